#pragma once

#include "model/Project.h"
#include "model/ProjectFormat.h"
#include "support/TestSupport.h"

#include <QTest>

namespace corvane::test {

// Fills the (empty) project from a project file of tests/data/output.
inline bool loadOutputFixture(Project& project, const QString& name)
{
    const QByteArray bytes = readAll(QStringLiteral(CORVANE_TEST_DATA "/output/") + name);
    if (bytes.isEmpty())
        return false;
    return ProjectFormat::deserialize(project, bytes).complete;
}

inline QString outputFixturePath(const QString& name)
{
    return QStringLiteral(CORVANE_TEST_DATA "/output/") + name;
}

inline LinkingSite site(const QString& url)
{
    LinkingSite s;
    s.url = url;
    return s;
}

inline ResultEntry result(const QString& main, const QString& remote, const QString& status,
                          const QString& url = {})
{
    ResultEntry e;
    e.main = main;
    e.remote = remote;
    e.status = status;
    e.number = QStringLiteral("001");
    e.url = url;
    return e;
}

} // namespace corvane::test
