#include "history/HistoryStore.h"

// The history's reading side: the scans, the rows of a scan or a partner, the changes since a
// date, the partners and the count of partners linking back per scan.

#include "history/HistoryTime.h"

#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>

namespace corvane {

using HistoryTime::timeOf;
using HistoryTime::timeText;

QList<HistoryStore::Scan> HistoryStore::scans() const
{
    QList<Scan> out;
    QSqlQuery q(m_db);
    if (!q.exec(
            QStringLiteral("SELECT id, started, finished, state, version FROM scans ORDER BY id")))
        return out;
    while (q.next())
        out.append({q.value(0).toLongLong(), timeOf(q.value(1)), timeOf(q.value(2)),
                    q.value(3).toString(), q.value(4).toString()});
    return out;
}

std::optional<HistoryStore::Scan> HistoryStore::lastScan() const
{
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral("SELECT id, started, finished, state, version FROM scans WHERE id = "
                               "(SELECT MAX(scan) FROM checks)"))
        || !q.next())
        return std::nullopt;
    return Scan{q.value(0).toLongLong(), timeOf(q.value(1)), timeOf(q.value(2)),
                q.value(3).toString(), q.value(4).toString()};
}

QList<HistoryStore::PartnerRow> HistoryStore::readRows(const QString& where,
                                                       const QVariantList& values) const
{
    QList<PartnerRow> out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(
        QStringLiteral(
            "SELECT c.partner, p.main, p.url, c.scan, s.started, c.checked, c.outcome, "
            "c.status, c.found_on, c.links, c.missing, c.notes, c.change, c.detail, "
            "c.scan = (SELECT MIN(scan) FROM checks) "
            "FROM checks c JOIN partners p ON p.id = c.partner JOIN scans s ON s.id = c.scan ")
        + where);
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        m_error = q.lastError().text();
        return out;
    }
    while (q.next()) {
        PartnerRow r;
        r.partner = q.value(0).toLongLong();
        r.main = q.value(1).toString();
        r.url = q.value(2).toString();
        r.scan = q.value(3).toLongLong();
        r.scanStarted = timeOf(q.value(4));
        r.check.checked = QDateTime::fromSecsSinceEpoch(q.value(5).toLongLong());
        r.check.outcome = PartnerCheck::Outcome(q.value(6).toInt());
        r.check.status = q.value(7).toString();
        r.check.foundOn = q.value(8).toString();
        r.check.links = q.value(9).toInt();
        r.check.missing = q.value(10).toInt();
        r.check.notes = q.value(11).toString();
        r.change.kind = PartnerChange::Kind(q.value(12).toInt());
        r.change.detail = q.value(13).toString();
        // A history written before the first scan told no change still says "new" there.
        if (q.value(14).toBool())
            r.change = PartnerChange{PartnerChange::Kind::Unchanged, {}, true};
        out.append(r);
    }
    return out;
}

QList<HistoryStore::PartnerRow> HistoryStore::rowsOfScan(qint64 scan) const
{
    return readRows(QStringLiteral("WHERE c.scan = ? ORDER BY c.partner"), {scan});
}

QList<HistoryStore::PartnerRow> HistoryStore::changesSince(const QDateTime& since) const
{
    return readRows(QStringLiteral("WHERE c.scan >= (SELECT IFNULL(MIN(id), 0) FROM scans WHERE "
                                   "started >= ?) AND c.change != 0 AND c.scan > (SELECT "
                                   "MIN(scan) FROM checks) ORDER BY c.scan, c.partner"),
                    {timeText(since)});
}

QList<HistoryStore::PartnerRow> HistoryStore::partnerRows(qint64 partner) const
{
    return readRows(QStringLiteral("WHERE c.partner = ? ORDER BY c.scan"), {partner});
}

QList<HistoryStore::Partner> HistoryStore::partners() const
{
    QList<Partner> out;
    QSqlQuery q(m_db);
    if (!q.exec(QStringLiteral(
            "SELECT p.id, p.main, p.url, p.record, "
            "(SELECT COUNT(*) FROM checks c WHERE c.partner = p.id), "
            "(SELECT change || '|' || (c.scan = (SELECT MIN(scan) FROM checks)) || '|' || detail "
            " FROM checks c WHERE c.partner = p.id ORDER BY c.scan DESC LIMIT 1), "
            "(SELECT group_concat(n.url, char(10)) FROM names n WHERE n.partner = p.id "
            " AND n.url != p.url) "
            "FROM partners p ORDER BY p.id")))
        return out;
    while (q.next()) {
        Partner p;
        p.id = q.value(0).toLongLong();
        p.main = q.value(1).toString();
        p.url = q.value(2).toString();
        p.record = PartnerRecord::fromJson(
            QJsonDocument::fromJson(q.value(3).toString().toUtf8()).object());
        p.checks = q.value(4).toInt();
        // "change|first scan|detail"; the detail may hold "|" itself.
        const QString last = q.value(5).toString();
        const qsizetype bar = last.indexOf(u'|');
        const qsizetype second = bar > 0 ? last.indexOf(u'|', bar + 1) : -1;
        if (second > 0 && last.mid(bar + 1, second - bar - 1) == u"1") {
            p.lastChange = PartnerChange{PartnerChange::Kind::Unchanged, {}, true};
        } else if (second > 0) {
            p.lastChange.kind = PartnerChange::Kind(last.left(bar).toInt());
            p.lastChange.detail = last.mid(second + 1);
        }
        const QString former = q.value(6).toString();
        if (!former.isEmpty())
            p.formerUrls = former.split(u'\n');
        out.append(p);
    }
    return out;
}

std::optional<HistoryStore::Partner> HistoryStore::partner(const QString& main,
                                                           const QString& url) const
{
    const qint64 id = partnerId(main, url);
    if (id == 0)
        return std::nullopt;
    for (const Partner& p : partners()) {
        if (p.id == id)
            return p;
    }
    return std::nullopt;
}

QList<HistoryStore::ScanCount> HistoryStore::linkingPerScan(const QString& main) const
{
    QList<ScanCount> out;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("SELECT c.scan, s.started, SUM(c.outcome = 0), COUNT(*) FROM checks c "
                             "JOIN partners p ON p.id = c.partner JOIN scans s ON s.id = c.scan "
                             "WHERE p.main = ? GROUP BY c.scan ORDER BY c.scan"));
    q.addBindValue(main);
    if (!q.exec())
        return out;
    while (q.next())
        out.append(
            {q.value(0).toLongLong(), timeOf(q.value(1)), q.value(2).toInt(), q.value(3).toInt()});
    return out;
}

} // namespace corvane
