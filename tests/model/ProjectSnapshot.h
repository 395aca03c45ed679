#pragma once

#include "model/Project.h"

#include <QStringList>

namespace corvane::test {

// Everything a project file carries, one text per record, so two projects compare with one
// QCOMPARE and a failure shows the record that differs. Line breaks in page texts show as "\n".
inline QStringList snapshot(const Project& p)
{
    QStringList out;
    out << QStringLiteral("lists:%1").arg(p.linkingSiteListCount());
    for (int k = 1; k <= p.mainSiteCount(); ++k) {
        out << QStringLiteral("M%1:").arg(k) + p.mainSiteUrl(k);
        if (const LinkingSiteList* list = p.linkingSites(k)) {
            for (int row = 0; row < list->count(); ++row)
                out << QStringLiteral("L%1:").arg(k) + list->record(row).cells.join(u'|');
        }
    }
    for (int part = 1; part <= 3; ++part) {
        QString text = p.pageText(part);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
        out << QStringLiteral("P%1:").arg(part) + text;
    }
    for (int row = 0; row < p.results().count(); ++row) {
        const Record& r = p.results().record(row);
        out << QStringLiteral("R:%1|").arg(r.icon) + r.cells.join(u'|');
    }
    for (int row = 0; row < p.rules().count(); ++row)
        out << QStringLiteral("U:") + p.rules().record(row).cells.join(u'|');
    out << QStringLiteral("S:") + p.postSingle();
    for (int row = 0; row < p.postTargets().count(); ++row)
        out << QStringLiteral("T:") + p.postTargets().record(row).cells.join(u'|');
    return out;
}

} // namespace corvane::test
