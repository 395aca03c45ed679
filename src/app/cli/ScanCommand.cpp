#include "app/cli/Commands.h"
#include "app/cli/OutputCommands.h"
#include "app/cli/ProjectIo.h"
#include "app/cli/ScanProgress.h"
#include "automation/ChangeSet.h"
#include "automation/ScanAlerts.h"
#include "automation/ScanLog.h"
#include "branding/Branding.h"
#include "history/ProjectHistory.h"
#include "model/AppFolder.h"
#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "model/SettingsStore.h"
#include "net/NetworkContext.h"
#include "scan/ScanController.h"
#include "web/UrlTools.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <optional>

namespace corvane::cli {

const char* const kScanHelp =
    "Checks every Linking Site of every Main Site of the project: crawls its pages and\n"
    "records whether it links back (Direct Link, Domain Link, Redirect Link), how many\n"
    "expected links are missing (Missing 00N), or that none was found and why (None Found,\n"
    "None Found (Timeout), None Found (404 Not found), ...). Then prints the result rows and\n"
    "the error rows on standard output.\n"
    "\n"
    "A partner whose bot protection answers with a challenge ends as \"None Found (Blocked by\n"
    "bot protection)\", with the page in the error rows, and is counted apart: blocked, not\n"
    "missing (also with --strict). Only these signs make a challenge: a 403 or 503 answer with\n"
    "the header \"cf-mitigated: challenge\", or whose page <title> is \"Just a moment...\" or\n"
    "\"Attention Required!\" (alone or followed by \" | \" and a name). A partner that turns away\n"
    "unknown clients may take another name: --set UserAgent=\"...\" (empty: the program's own).\n"
    "\n"
    "  --tab FILE      also write the results as a tab-delimited file\n"
    "  --report FILE   also write the HTML report\n"
    "  --json FILE     also write the results, errors, statistics and times as JSON\n"
    "  --save          write the project back to its file (the results, and Linking Site\n"
    "                  URLs the scan updated)\n"
    "  --strict        a Linking Site whose only links are nofollow, sponsored or ugc, or\n"
    "                  sit on a page closed to search engines (noindex, nofollow, blocked by\n"
    "                  robots.txt, canonical elsewhere), counts as not linking back for the\n"
    "                  exit status\n"
    "  --quiet         no result table and no progress: only errors and the summary line\n"
    "  --stall-report  print the longest time the program's event loop was held up (a\n"
    "                  10 ms timer's longest gap between ticks)\n"
    "  --fail-on lost  exit status 3 when a partner that linked back was lost in this scan\n"
    "                  (for cron and CI)\n"
    "  --notify        when a partner's link was lost, is new, restored or changed, a desktop\n"
    "                  notification says so (\"2 partners dropped your link: a.example,\n"
    "                  b.example\"); its action opens the project in the window, for which\n"
    "                  the scan waits up to 10 minutes once it is done. Without a notification\n"
    "                  service nothing fails: the scan log says so. The outcome of the run\n"
    "                  goes to the project's scan log (links.prj -> links.scan.log); the\n"
    "                  schedules run scans this way (\"corvane-cli help schedule\")\n"
    "\n"
    "Every scan is kept in the project's history, a database beside the project file\n"
    "(links.prj -> links.history.db), and each partner's change against the scans before\n"
    "it is in the result rows (the \"Change\" column of the tab-delimited file, \"change\" in\n"
    "the JSON): new, lost, restored, changed (what changed), unreachable (this scan could\n"
    "not tell; after LostAfterFailures such scans in a row, default 3, a partner last seen\n"
    "linking counts as lost) or unchanged; empty (null in the JSON) at the project's first\n"
    "scan, which has nothing to compare with. The summary line ends with the changes since\n"
    "the last scan: \"; 2 lost, 1 new since 2026-12-01\". While the scan runs, the project\n"
    "is locked (links.prj.lock): another program that would change it is refused.\n"
    "\n"
    "After a scan with changes (lost, new, restored, changed), the AlertCommand setting, when\n"
    "set, is run with the changes as JSON on its standard input (\"corvane-cli help\n"
    "schedule\" tells more); its exit status and last lines follow on standard error. The\n"
    "project's first scan is the baseline the later ones are compared with: it raises no\n"
    "notification and runs no alert command.\n"
    "\n"
    "Progress goes to standard error: a line for each Linking Site as it ends,\n"
    "  [12/48] partner.example: Direct Link (3 pages, 0.4 s)\n"
    "on a terminal a live line below them (the Linking Site in progress, its page, the pages\n"
    "so far, the time; colour unless NO_COLOR is set), and at the end the summary,\n"
    "  48 partners: 40 link back, 6 missing, 2 errors; 312 pages in 51 s\n"
    "with the partners blocked by bot protection and the links that pass no value counted when\n"
    "there are any,\n"
    "  48 partners: 38 link back, 6 missing, 2 errors, 2 blocked; 3 links pass no value\n"
    "  (nofollow, sponsored, ugc, noindex, robots.txt, canonical); 312 pages in 51 s\n"
    "Each result row's notes say how the link is made and whether it counts: nofollow,\n"
    "sponsored, ugc, page noindex, page nofollow, page blocked by robots.txt (the partner's\n"
    "robots.txt keeps search engines from the page: the rules for Googlebot, else for *, as\n"
    "RFC 9309 reads them; a robots.txt that is not there allows everything, one that cannot be\n"
    "read disallows everything), canonical elsewhere: URL (the page names another as its\n"
    "canonical one, by <link rel=\"canonical\"> or a Link header), and the link's text\n"
    "(text \"...\"). The crawl itself does not obey robots.txt: it checks the pages of a\n"
    "partner who promised you a link.\n"
    "\n"
    "Several Linking Sites are scanned at once (--set ParallelSites=N, 1 to 32, default 4);\n"
    "their lines and results come out in project order all the same, each when those before\n"
    "it are in. The live line shows the one whose result comes next and, after \"also\", the\n"
    "others in progress.\n"
    "\n"
    "Ctrl+C stops the scan: the Linking Sites in progress get no result, the files asked for\n"
    "are still written and say that the scan was stopped, and the exit status is 130 (a\n"
    "SIGTERM does the same with exit status 1). While the alert command runs, Ctrl+C or\n"
    "SIGTERM ends it and all it started, and the program ends (Ctrl+C: exit status 130).\n"
    "\n"
    "JSON: one object with program, version, command, project, started, finished, seconds,\n"
    "complete, stopped, summary {total, linksBack, missing, errors, blocked, notChecked},\n"
    "statistics {mainSitesScanned, linkingSitesScanned, pagesScanned, pagesFound, linksFound},\n"
    "linkingSites [{main, linkingSite, mainSitePosition, row, verdict (linksBack, missing,\n"
    "error, blocked, notChecked), statuses, reason, blocked, noValueLinksOnly, pages, seconds,\n"
    "change, changeDetail}], results [{main, remote, status, number, url, notes, found, reason,\n"
    "change, changeDetail}] (the rows of the tab-delimited file) and errors [{error, url}].\n";

namespace {

const QString kCommand = QStringLiteral("scan");

void printRows(const Project& project, QTextStream& out)
{
    const ResultList& results = project.results();
    out << "Results (" << results.count() << "):\n";
    for (int row = 0; row < results.count(); ++row) {
        const ResultEntry e = results.entry(row);
        out << e.main << '\t' << e.remote << '\t' << e.status << '\t' << e.number << '\t' << e.url;
        if (!e.notes.isEmpty())
            out << '\t' << e.notes;
        out << '\n';
    }
    const ErrorList& errors = project.errors();
    out << "Errors (" << errors.count() << "):\n";
    for (int row = 0; row < errors.count(); ++row) {
        const ErrorEntry e = errors.entry(row);
        out << e.error << '\t' << e.url << '\n';
    }
    out.flush();
}

// Why a scan cannot start, said for the command line rather than as the window's prompt.
QString cannotStart(const Project& project, ScanController::Focus focus, const QString& message)
{
    int linkingSites = 0;
    for (int k = 1; k <= project.mainSiteCount(); ++k)
        linkingSites += project.linkingSites(k) ? project.linkingSites(k)->count() : 0;
    switch (focus) {
    case ScanController::Focus::MainSiteEntry:
        if (project.mainSiteCount() == 0)
            return QStringLiteral("the project has no Main Site");
        return QStringLiteral("Main Site 1 has no address");
    case ScanController::Focus::LinkingSiteEntry:
        if (linkingSites == 0)
            return QStringLiteral("the project has no Linking Site");
        return QStringLiteral("Main Site 1 (") + project.mainSiteUrl(1)
               + QStringLiteral(") has no Linking Site; the scan begins with the first Main Site");
    case ScanController::Focus::None:
        break;
    }
    return message;
}

} // namespace

namespace {

// Run by a systemd unit (the schedule's service, which ends everything it started once the scan
// is done): the window is started as a unit of the user's own, through systemd-run, on the
// display the scan was given. False when there is no unit or no systemd-run to ask.
bool startInUnitOfItsOwn(const QString& program, const QString& projectPath)
{
    if (!qEnvironmentVariableIsSet("INVOCATION_ID"))
        return false;
    const QString systemdRun = QStandardPaths::findExecutable(QStringLiteral("systemd-run"));
    if (systemdRun.isEmpty())
        return false;
    QStringList arguments{QStringLiteral("--user"), QStringLiteral("--collect"), QStringLiteral("--quiet")};
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY"}) {
        if (qEnvironmentVariableIsSet(name))
            arguments << QStringLiteral("--setenv=") + QLatin1String(name) + u'='
                             + qEnvironmentVariable(name);
    }
    arguments << QStringLiteral("--") << program << projectPath;
    QProcess run;
    run.start(systemdRun, arguments);
    constexpr int kStartMs = 20000;
    if (run.waitForFinished(kStartMs) && run.exitStatus() == QProcess::NormalExit && run.exitCode() == 0)
        return true;
    run.kill();
    run.waitForFinished(1000);
    return false;
}

// The window that opens the project when the notification's action is chosen.
void openInWindow(const QString& projectPath, Environment& env)
{
    QString program = env.windowProgram;
    if (program.isEmpty()) {
        const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/corvane");
        program = QFileInfo(beside).isExecutable() ? beside
                                                   : QStandardPaths::findExecutable(QStringLiteral("corvane"));
    }
    if (program.isEmpty()
        || (!startInUnitOfItsOwn(program, projectPath) && !QProcess::startDetached(program, {projectPath})))
        warn(env, kCommand, QStringLiteral("cannot start the window to open the project"));
}

// Tells of the scan's changes (the alert command, the notification) and, when the notification
// is shown, waits a while for its action. The project is no longer locked by then.
// Runs the alert command and raises the notification. Ctrl+C or SIGTERM meanwhile ends the
// command with all it started and returns which one came.
std::optional<Interrupt::Kind> tellChanges(const HistoryStore& store, const QString& projectPath,
                                           bool notify, Environment& env)
{
    const ChangeSet changes = ChangeSet::lastScan(store, projectPath);
    ScanAlerts alerts(*env.settings, {Branding::productName(), Branding::appId()});
    QObject::connect(&alerts, &ScanAlerts::logged, &alerts,
                     [&env](const QString& line) { warn(env, kCommand, line); });
    QEventLoop loop;
    QObject::connect(&alerts, &ScanAlerts::finished, &loop, &QEventLoop::quit);
    std::optional<Interrupt::Kind> interrupted;
    if (env.interrupt)
        QObject::connect(env.interrupt, &Interrupt::interrupted, &alerts,
                         [&alerts, &loop, &interrupted](Interrupt::Kind kind) {
                             if (interrupted)
                                 return;
                             interrupted = kind;
                             alerts.stop();
                             // Past the alert command, nothing more is waited for.
                             if (!alerts.isBusy())
                                 loop.quit();
                         });
    if (!alerts.tell(changes, notify))
        return interrupted;
    if (alerts.isBusy())
        loop.exec();
    bool open = alerts.openWasRequested();
    if (interrupted
        || (!open && (!alerts.notificationShown() || alerts.notificationGone()
                      || env.notificationWaitMs <= 0)))
        return interrupted;
    QTimer wait;
    wait.setSingleShot(true);
    QObject::connect(&wait, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&alerts, &ScanAlerts::notificationClosed, &loop, &QEventLoop::quit);
    QObject::connect(&alerts, &ScanAlerts::openRequested, &loop, [&loop, &open] {
        open = true;
        loop.quit();
    });
    if (!open) {
        wait.start(env.notificationWaitMs);
        loop.exec();
    }
    if (interrupted)
        return interrupted;
    if (open)
        openInWindow(projectPath, env);
    return interrupted;
}

int scanProject(const ParsedArguments& args, Environment& env, QString* outcome);

} // namespace

int runScan(const ParsedArguments& args, Environment& env)
{
    QString outcome;
    const int status = scanProject(args, env, &outcome);
    // A scheduled run that could not scan at all is in the log too, or the list of schedules
    // would show the run before it as the last.
    QString projectPath;
    if (outcome.isEmpty() && args.has(QStringLiteral("--notify"))
        && singleProjectFile(args, &projectPath).isEmpty() && QFileInfo(projectPath).isFile())
        ScanLog::append(projectPath, {QStringLiteral("scan: not run, exit ") + QString::number(status)});
    return status;
}

namespace {

int scanProject(const ParsedArguments& args, Environment& env, QString* outcome)
{
    const QString tabOption = QStringLiteral("--tab");
    const QString reportOption = QStringLiteral("--report");
    const QString jsonOption = QStringLiteral("--json");
    const QString saveOption = QStringLiteral("--save");
    const QString stallOption = QStringLiteral("--stall-report");
    const QString failOnOption = QStringLiteral("--fail-on");
    if (args.has(failOnOption) && args.value(failOnOption) != QStringLiteral("lost"))
        return usageError(env, kCommand,
                          QStringLiteral("--fail-on takes \"lost\", not \"")
                              + args.value(failOnOption) + u'"');
    const bool strict = args.has(QStringLiteral("--strict"));
    const bool quiet = args.quiet();
    QString projectPath;
    if (const QString wrong = singleProjectFile(args, &projectPath); !wrong.isEmpty())
        return usageError(env, kCommand, wrong);
    const QString shownPath = QDir::toNativeSeparators(projectPath);

    const AppFolder app = AppFolder::locate(args.appDir);
    if (!QFileInfo(app.path()).isDir())
        return failure(env, kCommand,
                       QStringLiteral("cannot use the application folder \"")
                           + QDir::toNativeSeparators(app.path()) + u'"',
                       ExitUsage);

    if (QFileInfo(projectPath).isDir())
        return failure(env, kCommand,
                       u'"' + shownPath + QStringLiteral("\" is a folder, not a project file"),
                       ExitUsage);
    Project project;
    // The project and its history are this scan's until it ends: another program that would
    // change them (an import, a second scan) is refused meanwhile, and this scan does not start
    // while one is at work.
    ProjectHistory history(project, *env.settings);
    history.projectOpened(projectPath);
    history.setProgramVersion(Branding::version());
    if (!history.lock()->tryLock()) {
        if (history.lock()->heldByOther())
            return failure(env, kCommand, history.lock()->error(), ExitUsage);
        warn(env, kCommand, history.lock()->error());
    }
    QString error;
    if (!loadProjectFile(project, projectPath, &error))
        return failure(env, kCommand, error, ExitUsage);
    // What the history knew before this scan: the date the changes are counted from.
    std::optional<QDateTime> previousScan;
    // A history with no scan yet: this one is the baseline, with nothing to compare it with.
    bool firstScan = false;
    if (HistoryStore* before = history.reader()) {
        if (const std::optional<HistoryStore::Scan> last = before->lastScan())
            previousScan = last->started;
        else
            firstScan = true;
        before->close();
    } else if (!history.error().isEmpty()) {
        warn(env, kCommand, history.error());
    } else {
        firstScan = true; // no history file yet
    }
    bool historyFailed = false;
    // A history that could not be read fails the same way when the scan would write it: said once.
    const QString unreadable = history.error();
    QObject::connect(&history, &ProjectHistory::failed, &history,
                     [&env, &historyFailed, unreadable](const QString& message) {
                         historyFailed = true;
                         if (message != unreadable)
                             warn(env, kCommand, message);
                     });

    ScanStatistics statistics(*env.settings);
    ScanController scan(project, *env.settings, statistics, app, *env.network);
    // Before the progress: a partner's change is in its rows when the progress takes them.
    history.watch(scan);
    QString message;
    ScanController::Focus focus = ScanController::Focus::None;
    QObject::connect(&scan, &ScanController::messageRaised, &scan,
                     [&](const QString& text, ScanController::Focus f) {
                         message = text;
                         focus = f;
                     });
    ScanProgress progress(project, scan, env, quiet);
    QEventLoop loop;
    QObject::connect(&scan, &ScanController::scanStopped, &loop, &QEventLoop::quit);
    std::optional<Interrupt::Kind> interrupted;
    if (env.interrupt) {
        QObject::connect(env.interrupt, &Interrupt::interrupted, &scan,
                         [&scan, &interrupted](Interrupt::Kind kind) {
                             if (interrupted || !scan.isRunning())
                                 return;
                             interrupted = kind;
                             scan.Stop();
                         });
    }

    // The stall probe: a 10 ms timer whose longest gap between ticks tells how long the event loop
    // was ever kept from handling the window's events.
    QTimer probe;
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    if (args.has(stallOption)) {
        probe.setInterval(10);
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, &probe, [&sinceTick, &longestGapMs] {
            longestGapMs = std::max(longestGapMs, sinceTick.restart());
        });
        sinceTick.start();
        probe.start();
    }

    const QDateTime started = QDateTime::currentDateTime();
    if (!scan.StartScan())
        return failure(env, kCommand,
                       u'"' + shownPath + QStringLiteral("\": ") + cannotStart(project, focus, message),
                       ExitUsage);
    if (scan.isRunning())
        loop.exec();
    const QDateTime finished = QDateTime::currentDateTime();
    progress.finish();
    if (probe.isActive()) {
        probe.stop();
        longestGapMs = std::max(longestGapMs, sinceTick.elapsed());
        env.err << "Longest event-loop stall: " << longestGapMs << " ms\n";
        env.err.flush();
    }

    // A scan ends at its last Linking Site; one that ended before is incomplete, whatever it
    // found.
    const QList<PartnerOutcome> outcomes = progress.outcomes();
    const int unchecked = progress.linkingSiteCount() - progress.finishedCount();
    QString stopped;
    if (interrupted == Interrupt::Kind::CtrlC)
        stopped = QStringLiteral("interrupted");
    else if (interrupted == Interrupt::Kind::Terminate)
        stopped = QStringLiteral("terminated");
    else if (unchecked > 0)
        stopped = QStringLiteral("ended early");
    QString note;
    if (!stopped.isEmpty()) {
        const QString how = interrupted == Interrupt::Kind::CtrlC
                                ? QStringLiteral("interrupted by Ctrl+C")
                            : interrupted == Interrupt::Kind::Terminate
                                ? QStringLiteral("stopped by a request to end (SIGTERM)")
                                : QStringLiteral("ended before its last Linking Site");
        warn(env, kCommand,
             QStringLiteral("the scan was ") + how + QStringLiteral("; ")
                 + QString::number(unchecked) + QStringLiteral(" of ")
                 + QString::number(progress.linkingSiteCount())
                 + QStringLiteral(" Linking Sites not checked"));
        note = QStringLiteral("Scan stopped before the end (") + stopped + QStringLiteral("): ")
               + QString::number(progress.finishedCount()) + QStringLiteral(" of ")
               + QString::number(progress.linkingSiteCount())
               + QStringLiteral(" Linking Sites checked.");
    }

    if (!quiet)
        printRows(project, env.out);

    int status = ExitDone;
    for (const PartnerOutcome& p : outcomes) {
        // A partner behind a bot wall may well link back: it is counted apart, never as missing.
        if (p.verdict == PartnerOutcome::Verdict::Blocked)
            continue;
        if (p.verdict != PartnerOutcome::Verdict::LinksBack || (strict && p.noValueLinksOnly()))
            status = ExitNotAll;
    }
    if (args.has(failOnOption) && history.changeCount(PartnerChange::Kind::Lost) > 0)
        status = ExitLost;
    if (interrupted == Interrupt::Kind::CtrlC)
        status = ExitInterrupted;

    int fileStatus = ExitDone;
    if (args.has(tabOption))
        fileStatus = std::max(fileStatus, writeTabFile(project.results(), args.value(tabOption),
                                                       note, kCommand, env, quiet));
    if (args.has(reportOption))
        fileStatus = std::max(fileStatus,
                              writeReportFile(project, statistics.lPagesScanned,
                                              args.value(reportOption), note, kCommand, env, quiet,
                                              history.reader(), projectPath));
    if (args.has(jsonOption)) {
        JsonExport::RunInfo run = jsonRunInfo(kCommand, projectPath);
        run.started = started;
        run.finished = finished;
        run.complete = stopped.isEmpty();
        run.stopped = stopped;
        run.hasStatistics = true;
        run.mainSitesScanned = statistics.lMainSitesScanned;
        run.linkingSitesScanned = statistics.lLinkingSitesScanned;
        run.pagesScanned = statistics.lPagesScanned;
        run.pagesFound = statistics.lPagesFound;
        run.linksFound = statistics.lLinksFound;
        fileStatus = std::max(fileStatus,
                              writeJsonFile(JsonExport::build(project, outcomes, run),
                                            args.value(jsonOption), kCommand, env, quiet));
    }
    if (args.has(saveOption)) {
        if (saveProjectFile(project, projectPath, &error)) {
            if (!quiet) {
                env.out << "Saved " << shownPath << '\n';
                env.out.flush();
            }
        } else {
            fileStatus = failure(env, kCommand, error, ExitUsage);
        }
    }

    QString changes;
    if (previousScan && !historyFailed) {
        QStringList counted;
        for (const PartnerChange::Kind kind :
             {PartnerChange::Kind::Lost, PartnerChange::Kind::New, PartnerChange::Kind::Restored,
              PartnerChange::Kind::Changed, PartnerChange::Kind::Unreachable}) {
            if (const int n = history.changeCount(kind))
                counted << QString::number(n) + u' ' + PartnerChange::name(kind);
        }
        changes = QStringLiteral("; ")
                  + (counted.isEmpty() ? QStringLiteral("no changes") : counted.join(QStringLiteral(", ")))
                  + QStringLiteral(" since ") + previousScan->date().toString(Qt::ISODate);
    }
    env.err << progress.summary() << changes << '\n';
    env.err.flush();
    if (historyFailed)
        fileStatus = std::max<int>(fileStatus, ExitUsage);
    const int exitStatus = fileStatus != ExitDone ? fileStatus : status;

    const bool notify = args.has(QStringLiteral("--notify"));
    // Every partner of a first scan is new to the history: that is no news to the user, who
    // would otherwise be told on a fresh project that all the partners now link back.
    const QString firstScanNote =
        QStringLiteral("first scan of the project: nothing to compare with yet, so no alerts");
    *outcome = (stopped.isEmpty() ? QStringLiteral("complete") : QStringLiteral("stopped"))
               + QStringLiteral(", exit ") + QString::number(exitStatus) + QStringLiteral(": ")
               + progress.summary() + changes
               + (firstScan && !historyFailed ? QStringLiteral("; ") + firstScanNote : QString());
    if (notify)
        ScanLog::append(projectPath, {QStringLiteral("scan: ") + *outcome});
    if (firstScan && !historyFailed
        && (notify || !env.settings->ReadSetting(QStringLiteral("AlertCommand")).trimmed().isEmpty()))
        warn(env, kCommand, firstScanNote);
    using Kind = PartnerChange::Kind;
    const bool news = history.changeCount(Kind::Lost) + history.changeCount(Kind::New)
                          + history.changeCount(Kind::Restored) + history.changeCount(Kind::Changed)
                      > 0;
    if (news && !firstScan && !historyFailed && interrupted != Interrupt::Kind::CtrlC) {
        if (HistoryStore* store = history.reader()) {
            // The window may open the project from the notification: it is free by then.
            history.lock()->unlock();
            // Ctrl+C while the alerts run ends the program as it would have ended the scan.
            if (tellChanges(*store, QFileInfo(projectPath).absoluteFilePath(), notify, env)
                == Interrupt::Kind::CtrlC)
                return ExitInterrupted;
        }
    }
    return exitStatus;
}

} // namespace

} // namespace corvane::cli
