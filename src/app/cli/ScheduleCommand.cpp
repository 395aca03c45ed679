#include "app/cli/Commands.h"
#include "automation/ScanLog.h"
#include "automation/ScanSchedule.h"
#include "automation/ScheduleInstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace corvane::cli {

const char* const kScheduleHelp =
    "Scans the project by itself, every day, every week (on Mondays) or every month (on the\n"
    "1st), at a time of day (--at HH:MM, default 06:00). The scheduled run is\n"
    "  corvane-cli scan PROJECT.prj --save --quiet --notify\n"
    "(with the --set options given here): it saves the project, its history and its results\n"
    "as a scan from the window does, raises a desktop notification when a partner's link was\n"
    "lost, is new, restored or changed, and runs the AlertCommand setting. The project's first\n"
    "scan tells nothing: it is the baseline, with nothing to compare it with. Each run writes\n"
    "its outcome to the project's scan log (links.prj -> links.scan.log), which keeps its\n"
    "newest lines when it grows past 256 KiB.\n"
    "\n"
    "The schedule is a systemd user timer and its service in ~/.config/systemd/user\n"
    "(corvane-scan-NAME-HASH.timer, Persistent=true: a run missed while the computer was off\n"
    "happens at the next start), enabled with \"systemctl --user\". Where no user systemd\n"
    "answers (containers, some distributions) the timer is written all the same and the\n"
    "crontab line to add instead (crontab -e) is printed.\n"
    "\n"
    "  --every day|week|month  scan this often\n"
    "  --at HH:MM              at this time of day (24 hours)\n"
    "  --off                   stop scanning the project by itself: the timer is disabled and\n"
    "                          removed\n"
    "  --list                  every scheduled project: its schedule, next run, and last run\n"
    "                          with its outcome\n"
    "Without an option, the project's schedule is shown.\n"
    "\n"
    "When links change, the AlertCommand setting (\"When links change, run:\" in the window's\n"
    "options; --set AlertCommand=... for one run) is run through /bin/sh after the scan, at\n"
    "most 60 s, with the changes as JSON on its standard input (as \"changes --json\" prints\n"
    "them) and CORVANE_LOST, CORVANE_NEW, CORVANE_RESTORED, CORVANE_CHANGED (counts) and\n"
    "CORVANE_PROJECT in its environment. What it starts in the background shares those 60 s:\n"
    "then the command and all it started are killed, and so they are at once on Ctrl+C or\n"
    "SIGTERM. Its exit status and last lines go to the scan log and to standard error; a\n"
    "failing command never fails the scan. For example, a mail:\n"
    "  { printf 'Subject: links: %s lost, %s new\\n\\n' \"$CORVANE_LOST\" \"$CORVANE_NEW\";\n"
    "    cat; } | /usr/sbin/sendmail you@example.com\n"
    "or a chat message:\n"
    "  curl -fsS -m 30 -H 'Content-Type: application/json' --data-binary @-\n"
    "    https://chat.example/hooks/TOKEN\n";

namespace {

const QString kCommand = QStringLiteral("schedule");

QString minute(const QDateTime& time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

QString lastRunText(const QString& projectPath)
{
    const std::optional<ScanLog::Run> last = ScanLog::lastRun(projectPath);
    return last ? minute(last->time) + QStringLiteral(", ") + last->outcome : QStringLiteral("never");
}

void printEntry(Environment& env, const ScheduleInstaller::Entry& e)
{
    env.out << QDir::toNativeSeparators(e.projectPath) << '\n'
            << "  schedule: " << e.schedule.text() << " (" << e.unitName << ".timer)\n"
            << "  next run: " << minute(e.schedule.nextRun(QDateTime::currentDateTime())) << '\n'
            << "  last run: " << lastRunText(e.projectPath) << '\n';
}

void printOutcome(Environment& env, const ScheduleInstaller::Outcome& outcome)
{
    env.out << outcome.message << '\n';
    if (!outcome.cronLine.isEmpty())
        env.out << "  " << outcome.cronLine << '\n';
}

} // namespace

int runSchedule(const ParsedArguments& args, Environment& env)
{
    const QString everyOption = QStringLiteral("--every");
    const QString atOption = QStringLiteral("--at");
    const bool off = args.has(QStringLiteral("--off"));
    const bool list = args.has(QStringLiteral("--list"));
    ScheduleInstaller installer;

    if (list) {
        if (!args.positional.isEmpty() || off || args.has(everyOption) || args.has(atOption))
            return usageError(env, kCommand, QStringLiteral("--list takes no project and no other option"));
        const QList<ScheduleInstaller::Entry> entries = installer.list();
        for (const ScheduleInstaller::Entry& e : entries)
            printEntry(env, e);
        if (entries.isEmpty())
            env.out << "No project is scanned by itself.\n";
        env.out.flush();
        return ExitDone;
    }

    QString projectPath;
    if (const QString wrong = singleProjectFile(args, &projectPath); !wrong.isEmpty())
        return usageError(env, kCommand, wrong);
    projectPath = QFileInfo(projectPath).absoluteFilePath();
    if (off && (args.has(everyOption) || args.has(atOption)))
        return usageError(env, kCommand, QStringLiteral("--off takes no --every or --at"));
    if (args.has(atOption) && !args.has(everyOption))
        return usageError(env, kCommand, QStringLiteral("--at goes with --every"));

    if (off) {
        const ScheduleInstaller::Outcome outcome = installer.remove(projectPath);
        if (!outcome.ok)
            return failure(env, kCommand, outcome.message, ExitUsage);
        printOutcome(env, outcome);
        env.out.flush();
        return ExitDone;
    }

    if (!args.has(everyOption)) {
        const std::optional<ScheduleInstaller::Entry> e = installer.find(projectPath);
        if (e)
            printEntry(env, *e);
        else
            env.out << QDir::toNativeSeparators(projectPath) << " is not scanned by itself.\n";
        env.out.flush();
        return ExitDone;
    }

    ScanSchedule schedule;
    const std::optional<ScanSchedule::Every> every = ScanSchedule::everyNamed(args.value(everyOption));
    if (!every || *every == ScanSchedule::Every::Never)
        return usageError(env, kCommand,
                          QStringLiteral("--every takes day, week or month, not \"")
                              + args.value(everyOption) + u'"');
    schedule.every = *every;
    if (args.has(atOption)) {
        const std::optional<QTime> at = ScanSchedule::timeNamed(args.value(atOption));
        if (!at)
            return usageError(env, kCommand,
                              QStringLiteral("--at takes a time of day as HH:MM, not \"")
                                  + args.value(atOption) + u'"');
        schedule.at = *at;
    }
    if (!QFileInfo(projectPath).isFile())
        return failure(env, kCommand,
                       QStringLiteral("no project file \"") + QDir::toNativeSeparators(projectPath)
                           + QStringLiteral("\" (a schedule scans a saved project)"),
                       ExitUsage);

    QStringList sets;
    for (const auto& [key, value] : args.sets)
        sets << key + u'=' + value;
    const QString program = env.cliProgram.isEmpty() ? QCoreApplication::applicationFilePath()
                                                     : env.cliProgram;
    const ScheduleInstaller::Outcome outcome =
        installer.set(projectPath, schedule, ScheduledCommand::arguments(program, projectPath, sets));
    if (!outcome.ok)
        return failure(env, kCommand, outcome.message, ExitUsage);
    printOutcome(env, outcome);
    env.out << "Next run: " << minute(schedule.nextRun(QDateTime::currentDateTime())) << '\n';
    env.out.flush();
    return ExitDone;
}

} // namespace corvane::cli
