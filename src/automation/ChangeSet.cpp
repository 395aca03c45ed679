#include "automation/ChangeSet.h"

#include "output/JsonExport.h"

#include <QJsonArray>

namespace corvane {

namespace {

using JsonExport::textOrNull;
using JsonExport::timeValue;

QJsonObject scanObject(const HistoryStore::Scan& s)
{
    return {{QStringLiteral("id"), s.id},
            {QStringLiteral("started"), timeValue(s.started)},
            {QStringLiteral("finished"), timeValue(s.finished)},
            {QStringLiteral("state"), s.state},
            {QStringLiteral("version"), s.version}};
}

ChangeSet withRecords(const HistoryStore& store, const QString& projectPath)
{
    ChangeSet set;
    set.projectPath = projectPath;
    set.historyPath = store.path();
    for (const HistoryStore::Partner& p : store.partners())
        set.records.insert(p.id, p.record);
    return set;
}

// "partner.example/links.html" -> "partner.example"
QString hostOf(const QString& partner)
{
    return partner.section(u'/', 0, 0);
}

// "a.example, b.example, c.example and 3 more"
QString listed(const QStringList& hosts)
{
    constexpr int kShown = 5;
    if (hosts.size() <= kShown)
        return hosts.join(QStringLiteral(", "));
    return hosts.first(kShown).join(QStringLiteral(", ")) + QStringLiteral(" and ")
        + QString::number(hosts.size() - kShown) + QStringLiteral(" more");
}

} // namespace

ChangeSet ChangeSet::lastScan(const HistoryStore& store, const QString& projectPath)
{
    ChangeSet set = withRecords(store, projectPath);
    const std::optional<HistoryStore::Scan> last = store.lastScan();
    if (!last)
        return set;
    for (const HistoryStore::PartnerRow& r : store.rowsOfScan(last->id)) {
        if (r.change.kind != PartnerChange::Kind::Unchanged)
            set.rows.append(r);
    }
    set.scans.append(*last);
    for (const HistoryStore::Scan& s : store.scans()) {
        if (s.id < last->id)
            set.against = s.started;
    }
    return set;
}

ChangeSet ChangeSet::since(const HistoryStore& store, const QString& projectPath,
                           const QDateTime& since)
{
    ChangeSet set = withRecords(store, projectPath);
    set.rows = store.changesSince(since);
    for (const HistoryStore::Scan& s : store.scans()) {
        if (s.started >= since)
            set.scans.append(s);
    }
    set.against = since;
    return set;
}

QJsonObject ChangeSet::toJson() const
{
    QJsonArray scanArray;
    for (const HistoryStore::Scan& s : scans)
        scanArray.append(scanObject(s));
    QJsonArray changes;
    for (const HistoryStore::PartnerRow& r : rows) {
        const PartnerRecord record = records.value(r.partner);
        changes.append(
            QJsonObject{{QStringLiteral("scan"), r.scan},
                        {QStringLiteral("started"), timeValue(r.scanStarted)},
                        {QStringLiteral("main"), r.main},
                        {QStringLiteral("linkingSite"), r.url},
                        {QStringLiteral("change"), r.change.name()},
                        {QStringLiteral("changeDetail"), textOrNull(r.change.detail)},
                        {QStringLiteral("outcome"), PartnerCheck::outcomeName(r.check.outcome)},
                        {QStringLiteral("status"), r.check.status},
                        {QStringLiteral("foundOn"), textOrNull(r.check.foundOn)},
                        {QStringLiteral("notes"), textOrNull(r.check.notes)},
                        {QStringLiteral("linkedSince"), timeValue(record.linkedSince)},
                        {QStringLiteral("lastConfirmed"), timeValue(record.lastConfirmed)},
                        {QStringLiteral("lastChecked"), timeValue(record.lastChecked)}});
    }
    return {{QStringLiteral("project"), projectPath},
            {QStringLiteral("history"), historyPath},
            {QStringLiteral("since"), timeValue(against)},
            {QStringLiteral("scans"), scanArray},
            {QStringLiteral("changes"), changes}};
}

int ChangeSet::count(PartnerChange::Kind kind) const
{
    return int(std::count_if(rows.cbegin(), rows.cend(), [kind](const HistoryStore::PartnerRow& r) {
        return r.change.kind == kind;
    }));
}

QStringList ChangeSet::hosts(PartnerChange::Kind kind) const
{
    QStringList found;
    for (const HistoryStore::PartnerRow& r : rows) {
        if (r.change.kind == kind && !found.contains(hostOf(r.url)))
            found << hostOf(r.url);
    }
    return found;
}

bool ChangeSet::isNews() const
{
    return !isFirstScan() && std::any_of(rows.cbegin(), rows.cend(), [](const HistoryStore::PartnerRow& r) {
        return r.change.kind != PartnerChange::Kind::Unchanged
            && r.change.kind != PartnerChange::Kind::Unreachable;
    });
}

QStringList ChangeSet::sentences() const
{
    using Kind = PartnerChange::Kind;
    struct Phrase {
        Kind kind;
        const char* one;
        const char* many;
    };
    static const Phrase kPhrases[] = {
        {Kind::Lost, "1 partner dropped your link: ", "%1 partners dropped your link: "},
        {Kind::New, "1 new partner links to you: ", "%1 new partners link to you: "},
        {Kind::Restored, "1 partner restored your link: ", "%1 partners restored your link: "},
        {Kind::Changed, "1 partner changed your link: ", "%1 partners changed your link: "},
    };
    QStringList said;
    for (const Phrase& p : kPhrases) {
        const QStringList names = hosts(p.kind);
        if (names.isEmpty())
            continue;
        const int n = count(p.kind);
        const QString lead = n == 1 ? QString::fromLatin1(p.one)
                                    : QString::fromLatin1(p.many).arg(n);
        said << lead + listed(names);
    }
    return said;
}

} // namespace corvane
