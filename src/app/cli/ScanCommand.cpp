#include "app/cli/ScanCommand.h"

#include "app/cli/OutputCommands.h"
#include "app/cli/ProjectIo.h"
#include "model/AppFolder.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/SettingsStore.h"
#include "output/TabExport.h"
#include "scan/NetworkContext.h"
#include "scan/ScanController.h"
#include "scan/ScanStatistics.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <algorithm>

namespace corvane::cli {

const char* const kScanUsage =
    "  scan PROJECT.prj [--tab FILE] [--report FILE] [--save]\n"
    "                        scan every Linking Site of every Main Site of the project, then\n"
    "                        print the results and the errors; progress goes to stderr\n"
    "                        --tab FILE     also write the results as a tab-delimited file\n"
    "                        --report FILE  also write the HTML report\n"
    "                        --save         write the project back to its file (results and\n"
    "                                       updated Linking Site URLs)\n"
    "                        --stall-report print the longest time the program's event loop\n"
    "                                       was held up during the scan (a responsiveness\n"
    "                                       check: a 10 ms timer's longest gap between ticks)\n"
    "                        exit status: 0 every Linking Site has its link, 1 some have none\n"
    "                        or miss links, 2 a usage or file error\n";

namespace {

const QString kCommand = QStringLiteral("scan");

int usageError(Environment& env, const QString& text)
{
    env.err << "corvane-cli scan: " << text << "\n\nUsage:\n" << kScanUsage;
    env.err.flush();
    return 2;
}

int fileError(Environment& env, const QString& text)
{
    env.err << "corvane-cli scan: " << text << '\n';
    env.err.flush();
    return 2;
}

// Progress on the error stream: on a terminal one line rewritten in place, elsewhere one line
// per page so that a log keeps them all.
// The page in progress on standard error. On a terminal one line is redrawn, at most ten times a
// second (a scan fetches thousands of pages a second, and a redraw for each only makes the
// terminal work); elsewhere (a log file) every page has its line, written out at most ten times
// a second. What is held back is shown within a tenth of a second all the same, so a page that
// keeps the scan waiting is on the screen or in the log while it does.
class ProgressLine
{
public:
    explicit ProgressLine(Environment& env) : m_env(env)
    {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { catchUp(); });
    }

    void show(const QString& text)
    {
        if (m_env.errIsTerminal)
            m_pending = text;
        else
            m_env.err << text << '\n';
        m_shown = true;
        if (!m_sinceOutput.isValid() || m_sinceOutput.hasExpired(kIntervalMs))
            catchUp();
        else if (!m_timer.isActive())
            m_timer.start(int(kIntervalMs - m_sinceOutput.elapsed()));
    }
    void finish()
    {
        m_timer.stop();
        catchUp();
        if (m_shown && m_env.errIsTerminal)
            m_env.err << '\n';
        m_env.err.flush();
        m_shown = false;
        m_sinceOutput.invalidate();
    }

private:
    static constexpr qint64 kIntervalMs = 100;

    void catchUp()
    {
        if (m_env.errIsTerminal && !m_pending.isNull()) {
            m_env.err << "\r\x1b[K" << m_pending;
            m_pending = QString();
        }
        m_env.err.flush();
        m_sinceOutput.start();
    }

    Environment& m_env;
    QString m_pending; // the terminal's line not drawn yet
    QElapsedTimer m_sinceOutput;
    QTimer m_timer;
    bool m_shown = false;
};

void printRows(const Project& project, QTextStream& out)
{
    const ResultList& results = project.results();
    out << "Results (" << results.count() << "):\n";
    for (int row = 0; row < results.count(); ++row) {
        const ResultEntry e = results.entry(row);
        out << e.main << '\t' << e.remote << '\t' << e.status << '\t' << e.number << '\t' << e.url
            << '\n';
    }
    const ErrorList& errors = project.errors();
    out << "Errors (" << errors.count() << "):\n";
    for (int row = 0; row < errors.count(); ++row) {
        const ErrorEntry e = errors.entry(row);
        out << e.error << '\t' << e.url << '\n';
    }
    out.flush();
}

bool anySiteWithoutItsLinks(const ResultList& results)
{
    for (int row = 0; row < results.count(); ++row) {
        const QString status = results.cell(row, ResultList::Status);
        if (status.startsWith(LinkStatus::NoneFound) || status.startsWith(LinkStatus::Missing))
            return true;
    }
    return false;
}

} // namespace

int runScan(const QStringList& arguments, Environment& env)
{
    SettingsStore settings;
    NetworkContext network;
    return runScan(arguments, settings, network, env);
}

int runScan(const QStringList& arguments, SettingsStore& settings, NetworkContext& network,
            Environment& env)
{
    const QString tabOption = QStringLiteral("--tab");
    const QString reportOption = QStringLiteral("--report");
    const QString saveOption = QStringLiteral("--save");
    const QString stallOption = QStringLiteral("--stall-report");
    ParsedArguments args;
    const QString mistake =
        parseArguments(arguments, {tabOption, reportOption}, {saveOption, stallOption}, args);
    if (!mistake.isEmpty())
        return usageError(env, mistake);
    QString projectPath;
    if (const QString wrong = singleProjectFile(args, &projectPath); !wrong.isEmpty())
        return usageError(env, wrong);
    const QString shownPath = QDir::toNativeSeparators(projectPath);

    for (const auto& [key, value] : args.sets)
        settings.setOverride(key, value);

    const AppFolder app = AppFolder::locate(args.appDir);
    if (!QFileInfo(app.path()).isDir())
        return fileError(env, QStringLiteral("cannot use the application folder \"")
                                  + QDir::toNativeSeparators(app.path()) + u'"');

    if (QFileInfo(projectPath).isDir())
        return fileError(env, u'"' + shownPath + QStringLiteral("\" is a folder, not a project file"));
    Project project;
    QString error;
    if (!loadProjectFile(project, projectPath, &error))
        return fileError(env, error);

    ScanStatistics statistics(settings);
    ScanController scan(project, settings, statistics, app, network);
    QString message;
    QObject::connect(&scan, &ScanController::messageRaised, &scan,
                     [&message](const QString& text) { message = text; });
    ProgressLine progress(env);
    QObject::connect(&scan, &ScanController::pageStarted, &scan,
                     [&progress](int main, int mainCount, const QString& site, const QString& url) {
                         // Built directly: a line per page, and arg() parses its pattern each time.
                         progress.show(QStringLiteral("Main Site ") + QString::number(main)
                                       + QStringLiteral(" of ") + QString::number(mainCount)
                                       + QStringLiteral("  ") + site + QStringLiteral("  ") + url);
                     });
    QEventLoop loop;
    QObject::connect(&scan, &ScanController::scanStopped, &loop, &QEventLoop::quit);
    bool interrupted = false;
    if (env.interrupt) {
        QObject::connect(env.interrupt, &Interrupt::interrupted, &scan, [&scan, &interrupted] {
            interrupted = true;
            scan.Stop();
        });
    }

    // The stall probe: a 10 ms timer whose longest gap between ticks tells how long the event loop
    // was ever kept from handling the window's events.
    QTimer probe;
    QElapsedTimer sinceTick;
    qint64 longestGapMs = 0;
    if (args.flags.contains(stallOption)) {
        probe.setInterval(10);
        probe.setTimerType(Qt::PreciseTimer);
        QObject::connect(&probe, &QTimer::timeout, &probe, [&sinceTick, &longestGapMs] {
            longestGapMs = std::max(longestGapMs, sinceTick.restart());
        });
        sinceTick.start();
        probe.start();
    }

    if (!scan.StartScan())
        return fileError(env, u'"' + shownPath + QStringLiteral("\": ") + message);
    if (scan.isRunning())
        loop.exec();
    progress.finish();
    if (probe.isActive()) {
        probe.stop();
        longestGapMs = std::max(longestGapMs, sinceTick.elapsed());
        env.err << "Longest event-loop stall: " << longestGapMs << " ms\n";
        env.err.flush();
    }
    if (interrupted) {
        env.err << "corvane-cli scan: interrupted; the Linking Site in progress has no result\n";
        env.err.flush();
    }

    printRows(project, env.out);

    int status = anySiteWithoutItsLinks(project.results()) ? 1 : 0;
    if (args.values.contains(tabOption)) {
        const QString file = args.values.value(tabOption);
        const QString extension = QStringLiteral(".tab");
        const WriteOutcome outcome = TabExport::save(
            project.results(), file, detail::replaceOnlyTheTarget(file, extension));
        if (detail::reportOutcome(outcome, kCommand, file, extension, env.out, env.err) != 0)
            status = 2;
    }
    if (args.values.contains(reportOption)) {
        if (writeReportFile(project, statistics.lPagesScanned, args.values.value(reportOption),
                            env.out, env.err)
            != 0)
            status = 2;
    }
    if (args.flags.contains(saveOption)) {
        if (saveProjectFile(project, projectPath, &error)) {
            env.out << "Saved " << shownPath << '\n';
            env.out.flush();
        } else {
            fileError(env, error);
            status = 2;
        }
    }
    return status;
}

} // namespace corvane::cli
