#include "output/JsonExport.h"

#include "history/PartnerChange.h"
#include "model/Project.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace corvane::JsonExport {

QJsonValue timeValue(const QDateTime& time)
{
    if (!time.isValid())
        return QJsonValue::Null;
    // Local time with its offset, so the reader knows both the hour and the zone.
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

namespace {

// A "Change" text ("changed: now nofollow") as its kind and its detail; null when there is none.
void insertChange(QJsonObject& o, const QString& text)
{
    const std::optional<PartnerChange::Kind> kind = PartnerChange::kindOfText(text);
    o.insert(QStringLiteral("change"),
             kind ? QJsonValue(PartnerChange::name(*kind)) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("changeDetail"),
             kind ? textOrNull(text.section(QStringLiteral(": "), 1)) : QJsonValue(QJsonValue::Null));
}

QJsonObject resultObject(const ResultEntry& row)
{
    QJsonObject o{{QStringLiteral("main"), row.main},
            {QStringLiteral("remote"), row.remote},
            {QStringLiteral("status"), row.status},
            {QStringLiteral("number"), row.number},
            {QStringLiteral("url"), row.url},
            {QStringLiteral("notes"), row.notes},
            {QStringLiteral("found"), PartnerVerdict::isFound(row.status)},
            {QStringLiteral("reason"), textOrNull(PartnerVerdict::reasonOf(row.status))}};
    insertChange(o, row.change);
    return o;
}

QJsonObject partnerObject(const PartnerOutcome& p)
{
    QJsonObject o{{QStringLiteral("main"), p.main},
                  {QStringLiteral("linkingSite"), p.linkingSite},
                  {QStringLiteral("verdict"), PartnerVerdict::name(p.verdict)},
                  {QStringLiteral("statuses"), QJsonArray::fromStringList(p.statuses())},
                  {QStringLiteral("reason"), textOrNull(p.reason())},
                  {QStringLiteral("blocked"), p.verdict == PartnerOutcome::Verdict::Blocked},
                  {QStringLiteral("noValueLinksOnly"), p.noValueLinksOnly()}};
    o.insert(QStringLiteral("mainSitePosition"),
             p.mainPosition > 0 ? QJsonValue(p.mainPosition) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("row"), p.row > 0 ? QJsonValue(p.row) : QJsonValue(QJsonValue::Null));
    insertChange(o, p.rows.isEmpty() ? QString() : p.rows.first().change);
    o.insert(QStringLiteral("pages"), p.pages >= 0 ? QJsonValue(p.pages) : QJsonValue(QJsonValue::Null));
    o.insert(QStringLiteral("seconds"),
             p.seconds >= 0 ? QJsonValue(qRound(p.seconds * 1000) / 1000.0)
                            : QJsonValue(QJsonValue::Null));
    return o;
}

} // namespace

QJsonObject build(const Project& project, const QList<PartnerOutcome>& partners, const RunInfo& run)
{
    QJsonObject doc;
    doc.insert(QStringLiteral("program"), run.program);
    doc.insert(QStringLiteral("version"), run.version);
    doc.insert(QStringLiteral("command"), run.command);
    doc.insert(QStringLiteral("project"), run.projectFile);
    doc.insert(QStringLiteral("started"), timeValue(run.started));
    doc.insert(QStringLiteral("finished"), timeValue(run.finished));
    doc.insert(QStringLiteral("seconds"),
               run.started.isValid() && run.finished.isValid()
                   ? QJsonValue(run.started.msecsTo(run.finished) / 1000.0)
                   : QJsonValue(QJsonValue::Null));
    // Saved results tell nothing of the scan that made them.
    doc.insert(QStringLiteral("complete"),
               run.started.isValid() ? QJsonValue(run.complete) : QJsonValue(QJsonValue::Null));
    doc.insert(QStringLiteral("stopped"), textOrNull(run.stopped));

    int counts[PartnerOutcome::kVerdictCount] = {};
    QJsonArray partnerArray;
    for (const PartnerOutcome& p : partners) {
        ++counts[int(p.verdict)];
        partnerArray.append(partnerObject(p));
    }
    doc.insert(QStringLiteral("summary"),
               QJsonObject{{QStringLiteral("total"), int(partners.size())},
                           {QStringLiteral("linksBack"), counts[int(PartnerOutcome::Verdict::LinksBack)]},
                           {QStringLiteral("missing"), counts[int(PartnerOutcome::Verdict::Missing)]},
                           {QStringLiteral("errors"), counts[int(PartnerOutcome::Verdict::Error)]},
                           {QStringLiteral("blocked"), counts[int(PartnerOutcome::Verdict::Blocked)]},
                           {QStringLiteral("notChecked"),
                            counts[int(PartnerOutcome::Verdict::NotChecked)]}});
    if (run.hasStatistics) {
        doc.insert(QStringLiteral("statistics"),
                   QJsonObject{{QStringLiteral("mainSitesScanned"), run.mainSitesScanned},
                               {QStringLiteral("linkingSitesScanned"), run.linkingSitesScanned},
                               {QStringLiteral("pagesScanned"), run.pagesScanned},
                               {QStringLiteral("pagesFound"), run.pagesFound},
                               {QStringLiteral("linksFound"), run.linksFound}});
    } else {
        doc.insert(QStringLiteral("statistics"), QJsonValue::Null);
    }
    doc.insert(QStringLiteral("linkingSites"), partnerArray);

    QJsonArray results;
    const ResultList& list = project.results();
    for (int i = 0; i < list.count(); ++i)
        results.append(resultObject(list.entry(i)));
    doc.insert(QStringLiteral("results"), results);

    QJsonArray errors;
    const ErrorList& errorList = project.errors();
    for (int i = 0; i < errorList.count(); ++i) {
        const ErrorEntry e = errorList.entry(i);
        errors.append(QJsonObject{{QStringLiteral("error"), e.error}, {QStringLiteral("url"), e.url}});
    }
    doc.insert(QStringLiteral("errors"), errors);
    return doc;
}

WriteOutcome save(const QString& path, const QJsonObject& document)
{
    return OutputFile::writeBytes(path, QJsonDocument(document).toJson(QJsonDocument::Indented));
}

} // namespace corvane::JsonExport
