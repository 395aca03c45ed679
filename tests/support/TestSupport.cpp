#include "support/TestSupport.h"

#include <QFile>

namespace corvane::test {

Sandbox::Sandbox()
    : app(dir.path() + QStringLiteral("/app")),
      settings(std::make_unique<SettingsStore>(dir.path() + QStringLiteral("/settings.ini")))
{
    app.seed();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

bool writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

} // namespace corvane::test
