#include "app/cli/Commands.h"
#include "app/cli/ProjectIo.h"
#include "automation/ChangeSet.h"
#include "history/HistoryStore.h"
#include "model/Project.h"
#include "web/UrlTools.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace corvane::cli {

const char* const kChangesHelp =
    "Prints what changed at the project's last scan, or at every scan since a date, from the\n"
    "project's history (links.prj -> links.history.db): one line per partner whose change\n"
    "was not \"unchanged\",\n"
    "  lost         b.test (mine.test): Last found 2026-12-01\n"
    "  changed      a.test (mine.test): now nofollow\n"
    "Changes: new (found for the first time), lost (found at the last conclusive scan, now\n"
    "the pages were read and hold no link, or unreachable for LostAfterFailures scans in a\n"
    "row), restored (lost before, found again), changed (found both times; says what\n"
    "changed), unreachable (this scan could not tell). The first scan is what later ones\n"
    "are compared with: it says \"First scan: N partners link back\" and lists no change.\n"
    "\n"
    "  --since DATE   every change of the scans started on or after DATE (YYYY-MM-DD)\n"
    "  --json         print JSON: {project, history, since, scans [{id, started, finished,\n"
    "                 state, version}], changes [{scan, started, main, linkingSite, change,\n"
    "                 changeDetail, outcome, status, foundOn, notes, linkedSince,\n"
    "                 lastConfirmed, lastChecked}]}\n";

const char* const kHistoryHelp =
    "Prints each partner's history from the project's history database: without --partner\n"
    "one line per partner (its state; \"Linked since DATE\" and last confirmed while it links,\n"
    "\"Last found DATE\" once lost; last checked; the number of scans; \"removed\" for one\n"
    "no longer in the project), with --partner every scan of that partner (date, status,\n"
    "found on, notes, change; none at the first scan).\n"
    "\n"
    "  --partner URL  the Linking Site, as listed (a former name finds it too)\n"
    "  --json         print JSON: {project, history, partners [{main, linkingSite,\n"
    "                 formerNames, removed, lost, linkedSince, lastConfirmed, lastChecked,\n"
    "                 scans, lastChange, rows [{scan, started, outcome, status, foundOn,\n"
    "                 notes, change, changeDetail}]}]} (rows with --partner only; change\n"
    "                 and lastChange are null for the first scan)\n";

namespace {

QJsonValue timeValue(const QDateTime& time)
{
    if (!time.isValid())
        return QJsonValue::Null;
    return time.toOffsetFromUtc(time.offsetFromUtc()).toString(Qt::ISODate);
}

QString day(const QDateTime& time)
{
    return time.isValid() ? time.date().toString(Qt::ISODate) : QStringLiteral("never");
}

QString minute(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QJsonValue textOrNull(const QString& text)
{
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

// Opens the project (to tell which partners it still lists) and its history for reading.
int openHistory(const ParsedArguments& args, Environment& env, Project& project,
                HistoryStore& store, QString* projectPath)
{
    if (const QString wrong = singleProjectFile(args, projectPath); !wrong.isEmpty())
        return usageError(env, args.command, wrong);
    QString error;
    if (!loadProjectFile(project, *projectPath, &error))
        return failure(env, args.command, error, ExitUsage);
    const QString file = HistoryStore::pathFor(*projectPath);
    if (!QFileInfo::exists(file))
        return failure(env, args.command,
                       QStringLiteral("no history yet: \"") + QDir::toNativeSeparators(file)
                           + QStringLiteral("\" is written by the first scan"),
                       ExitUsage);
    if (!store.open(file, HistoryStore::Mode::Read))
        return failure(env, args.command, store.error(), ExitUsage);
    return ExitDone;
}

void print(Environment& env, const QJsonObject& doc)
{
    env.out << QString::fromUtf8(QJsonDocument(doc).toJson(QJsonDocument::Indented));
    env.out.flush();
}

} // namespace

int runChanges(const ParsedArguments& args, Environment& env)
{
    const QString sinceOption = QStringLiteral("--since");
    QDateTime since;
    if (args.has(sinceOption)) {
        const QDate date = QDate::fromString(args.value(sinceOption), Qt::ISODate);
        if (!date.isValid())
            return usageError(env, args.command,
                              QStringLiteral("--since takes a date as YYYY-MM-DD, not \"")
                                  + args.value(sinceOption) + u'"');
        since = date.startOfDay();
    }
    Project project;
    HistoryStore store;
    QString projectPath;
    if (const int status = openHistory(args, env, project, store, &projectPath); status != ExitDone)
        return status;
    if (!store.notice().isEmpty())
        warn(env, args.command, store.notice());

    // The same changes as the alert command reads after a scan.
    const ChangeSet set = since.isValid() ? ChangeSet::since(store, projectPath, since)
                                          : ChangeSet::lastScan(store, projectPath);
    if (args.has(QStringLiteral("--json"))) {
        print(env, set.toJson());
        return ExitDone;
    }
    const QHash<qint64, PartnerRecord>& records = set.records;
    const QList<HistoryStore::PartnerRow>& rows = set.rows;
    const QList<HistoryStore::Scan>& scans = set.scans;
    const QDateTime& against = set.against;

    if (scans.isEmpty()) {
        env.out << "No scan " << (since.isValid() ? QStringLiteral("since ") + day(since) : QStringLiteral("kept yet")) << ".\n";
        env.out.flush();
        return ExitDone;
    }
    if (!since.isValid() && set.isFirstScan()) {
        // Nothing to compare with: the baseline, not a list of every partner as new.
        const QList<HistoryStore::PartnerRow> checked = store.rowsOfScan(scans.first().id);
        const auto linking = std::count_if(
            checked.cbegin(), checked.cend(), [](const HistoryStore::PartnerRow& r) {
                return r.check.outcome == PartnerCheck::Outcome::Found;
            });
        env.out << "First scan: " << linking
                << (linking == 1 ? " partner links back" : " partners link back") << " (scan of "
                << minute(scans.first().started) << ", " << scans.first().state << ")\n";
        env.out.flush();
        return ExitDone;
    }
    if (since.isValid())
        env.out << "Changes since " << day(since) << " (" << scans.size()
                << (scans.size() == 1 ? " scan" : " scans") << "):\n";
    else
        env.out << "Changes at the scan of " << minute(scans.first().started) << " ("
                << scans.first().state << ")"
                << (against.isValid() ? QStringLiteral(" since ") + day(against)
                                      : QStringLiteral(", the first one kept"))
                << ":\n";
    for (const HistoryStore::PartnerRow& r : rows) {
        const PartnerRecord record = records.value(r.partner);
        QString line = QStringLiteral("  ");
        if (since.isValid())
            line += day(r.scanStarted) + QStringLiteral("  ");
        line += r.change.name().leftJustified(12) + r.url + QStringLiteral(" (") + r.main + u')';
        QStringList said;
        if (!r.change.detail.isEmpty())
            said << r.change.detail;
        if (r.change.kind == PartnerChange::Kind::Lost && record.everFound)
            said << record.linkText(day);
        if (!said.isEmpty())
            line += QStringLiteral(": ") + said.join(QStringLiteral("; "));
        env.out << line << '\n';
    }
    if (rows.isEmpty())
        env.out << "  no partner changed\n";
    env.out.flush();
    return ExitDone;
}

int runHistory(const ParsedArguments& args, Environment& env)
{
    Project project;
    HistoryStore store;
    QString projectPath;
    if (const int status = openHistory(args, env, project, store, &projectPath); status != ExitDone)
        return status;
    if (!store.notice().isEmpty())
        warn(env, args.command, store.notice());

    // The partners the project lists now, by Main Site and name.
    QSet<QString> listed;
    for (int k = 1; k <= project.mainSiteCount(); ++k) {
        const QString main = UrlTools::NormalizeMainSite(project.mainSiteUrl(k));
        const LinkingSiteList* list = project.linkingSites(k);
        for (int row = 0; list && row < list->count(); ++row)
            listed.insert(main + u'\n' + HistoryStore::partnerKey(list->url(row)));
    }
    auto isListed = [&listed](const HistoryStore::Partner& p) {
        if (listed.contains(p.main + u'\n' + p.url))
            return true;
        for (const QString& former : p.formerUrls) {
            if (listed.contains(p.main + u'\n' + former))
                return true;
        }
        return false;
    };

    QList<HistoryStore::Partner> partners = store.partners();
    const QString partnerOption = QStringLiteral("--partner");
    if (args.has(partnerOption)) {
        const QString wanted = HistoryStore::partnerKey(args.value(partnerOption));
        QList<HistoryStore::Partner> matching;
        for (const HistoryStore::Partner& p : std::as_const(partners)) {
            if (p.url == wanted || p.formerUrls.contains(wanted))
                matching.append(p);
        }
        if (matching.isEmpty())
            return failure(env, args.command,
                           QStringLiteral("no partner \"") + args.value(partnerOption)
                               + QStringLiteral("\" in the history"),
                           ExitUsage);
        partners = matching;
    }
    const bool withRows = args.has(partnerOption);

    if (args.has(QStringLiteral("--json"))) {
        QJsonArray array;
        for (const HistoryStore::Partner& p : std::as_const(partners)) {
            QJsonObject o{{QStringLiteral("main"), p.main},
                          {QStringLiteral("linkingSite"), p.url},
                          {QStringLiteral("formerNames"), QJsonArray::fromStringList(p.formerUrls)},
                          {QStringLiteral("removed"), !isListed(p)},
                          {QStringLiteral("lost"), p.record.lost},
                          {QStringLiteral("linkedSince"), timeValue(p.record.linkedSince)},
                          {QStringLiteral("lastConfirmed"), timeValue(p.record.lastConfirmed)},
                          {QStringLiteral("lastChecked"), timeValue(p.record.lastChecked)},
                          {QStringLiteral("scans"), p.checks},
                          {QStringLiteral("lastChange"), textOrNull(p.lastChange.name())}};
            if (withRows) {
                QJsonArray rows;
                for (const HistoryStore::PartnerRow& r : store.partnerRows(p.id))
                    rows.append(QJsonObject{
                        {QStringLiteral("scan"), r.scan},
                        {QStringLiteral("started"), timeValue(r.scanStarted)},
                        {QStringLiteral("outcome"), PartnerCheck::outcomeName(r.check.outcome)},
                        {QStringLiteral("status"), r.check.status},
                        {QStringLiteral("foundOn"), textOrNull(r.check.foundOn)},
                        {QStringLiteral("notes"), textOrNull(r.check.notes)},
                        {QStringLiteral("change"), textOrNull(r.change.name())},
                        {QStringLiteral("changeDetail"), textOrNull(r.change.detail)}});
                o.insert(QStringLiteral("rows"), rows);
            }
            array.append(o);
        }
        print(env, {{QStringLiteral("project"), projectPath},
                    {QStringLiteral("history"), store.path()},
                    {QStringLiteral("partners"), array}});
        return ExitDone;
    }

    for (const HistoryStore::Partner& p : std::as_const(partners)) {
        const QString state = p.record.lost          ? QStringLiteral("lost")
                              : p.record.failuresInRow > 0 ? QStringLiteral("unreachable")
                              : p.record.everFound   ? QStringLiteral("links back")
                                                     : QStringLiteral("never linked");
        // "never linked" is the state already; a lost link says when it was last found.
        QStringList dates;
        if (p.record.everFound)
            dates << p.record.linkText(day);
        if (p.record.linksNow())
            dates << QStringLiteral("last confirmed ") + day(p.record.lastConfirmed);
        dates << QStringLiteral("last checked ") + day(p.record.lastChecked);
        env.out << p.url << " (" << p.main << ")" << (isListed(p) ? "" : " [removed]") << ": "
                << state << "; " << dates.join(QStringLiteral(", ")) << "; " << p.checks
                << (p.checks == 1 ? " scan" : " scans");
        if (!p.formerUrls.isEmpty())
            env.out << "; formerly " << p.formerUrls.join(QStringLiteral(", "));
        env.out << '\n';
        if (!withRows)
            continue;
        for (const HistoryStore::PartnerRow& r : store.partnerRows(p.id)) {
            env.out << "  " << minute(r.scanStarted) << "  " << r.check.status;
            if (!r.check.foundOn.isEmpty())
                env.out << "  on " << r.check.foundOn;
            if (!r.check.notes.isEmpty())
                env.out << "  [" << r.check.notes << ']';
            if (!r.change.text().isEmpty())
                env.out << "  " << r.change.text();
            env.out << '\n';
        }
    }
    if (partners.isEmpty())
        env.out << "No partner in the history yet.\n";
    env.out.flush();
    return ExitDone;
}

} // namespace corvane::cli
