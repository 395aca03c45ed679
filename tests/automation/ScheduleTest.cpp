#include "automation/ScanLog.h"
#include "automation/ScanSchedule.h"
#include "automation/ScheduleInstaller.h"
#include "cli/CliHarness.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;
using Every = ScanSchedule::Every;

namespace {

// A home of the test's own, with a stand-in systemctl first on the PATH that writes down how it
// was called and answers as a user manager would, or as a machine without one does.
struct UserHome {
    QTemporaryDir dir;
    QByteArray path = qgetenv("PATH");
    QByteArray home = qgetenv("HOME");
    QByteArray config = qgetenv("XDG_CONFIG_HOME");

    explicit UserHome(bool userSystemd)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        const QString script = dir.filePath(QStringLiteral("bin/systemctl"));
        QFile f(script);
        f.open(QIODevice::WriteOnly);
        f.write("#!/bin/sh\necho \"$*\" >> \"" + dir.filePath(QStringLiteral("calls")).toLocal8Bit()
                + "\"\n"
                + (userSystemd ? QByteArray("exit 0\n")
                               : QByteArray("echo 'Failed to connect to bus: No medium found' >&2\n"
                                            "exit 1\n")));
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        qputenv("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit() + ':' + path);
        qputenv("HOME", dir.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    }
    ~UserHome()
    {
        qputenv("PATH", path);
        qputenv("HOME", home);
        qputenv("XDG_CONFIG_HOME", config);
    }
    QStringList calls() const
    {
        QFile f(dir.filePath(QStringLiteral("calls")));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLocal8Bit(f.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }
    QString units() const { return dir.filePath(QStringLiteral("config/systemd/user")); }
    QString project(const QString& name) const
    {
        const QString file = dir.filePath(name);
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        f.open(QIODevice::WriteOnly);
        f.write("mine.test\r\na.test|1|||\r\n");
        return file;
    }
};

QString read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The words a shell makes of a crontab line's command, read first as cron reads it: a "\"
// takes the next character along and is dropped before a "%", and any other "%" ends the command
// (what follows is its input).
QStringList shellWords(const QString& cronLine)
{
    QString cronCommand;
    bool escaped = false;
    for (const QChar c : cronLine) {
        if (escaped) {
            if (c != u'%')
                cronCommand += u'\\';
            cronCommand += c;
            escaped = false;
        } else if (c == u'\\') {
            escaped = true;
        } else if (c == u'%') {
            break;
        } else {
            cronCommand += c;
        }
    }
    if (escaped)
        cronCommand += u'\\';
    QProcess sh;
    sh.start(QStringLiteral("/bin/sh"),
             {QStringLiteral("-c"), QStringLiteral("printf '%s\\n' ") + cronCommand});
    sh.waitForFinished();
    return QString::fromUtf8(sh.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class ScheduleTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void nextRun_data()
    {
        QTest::addColumn<int>("every");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("next");
        // 2026-03-04 is a Wednesday.
        QTest::newRow("day, later today") << int(Every::Day) << "18:30" << "2026-03-04T09:00:00" << "2026-03-04T18:30:00";
        QTest::newRow("day, at that minute: tomorrow") << int(Every::Day) << "09:00" << "2026-03-04T09:00:00" << "2026-03-05T09:00:00";
        QTest::newRow("week: next Monday") << int(Every::Week) << "06:00" << "2026-03-04T09:00:00" << "2026-03-09T06:00:00";
        QTest::newRow("week: a Monday before the time") << int(Every::Week) << "06:00" << "2026-03-09T05:59:00" << "2026-03-09T06:00:00";
        QTest::newRow("month: the 1st of next month") << int(Every::Month) << "00:05" << "2026-03-04T09:00:00" << "2026-04-01T00:05:00";
        QTest::newRow("month: across the year") << int(Every::Month) << "23:59" << "2026-12-01T23:59:30" << "2027-01-01T23:59:00";
        QTest::newRow("never") << int(Every::Never) << "06:00" << "2026-03-04T09:00:00" << "";
    }
    void nextRun()
    {
        QFETCH(int, every);
        QFETCH(QString, at);
        QFETCH(QString, from);
        QFETCH(QString, next);
        const ScanSchedule s{Every(every), *ScanSchedule::timeNamed(at)};
        const QDateTime run = s.nextRun(QDateTime::fromString(from, Qt::ISODate));
        QCOMPARE(run.isValid() ? run.toString(Qt::ISODate) : QString(), next);
    }

    // The unit files of each schedule: systemd reads them as meant (where systemd-analyze is
    // installed), and the crontab line runs at the same times.
    void unitFiles_data()
    {
        QTest::addColumn<int>("every");
        QTest::addColumn<QString>("at");
        QTest::addColumn<QString>("onCalendar");
        QTest::addColumn<QString>("cronFields");
        QTest::newRow("day") << int(Every::Day) << "06:00" << "*-*-* 06:00:00" << "0 6 * * *";
        QTest::newRow("week") << int(Every::Week) << "7:30" << "Mon *-*-* 07:30:00" << "30 7 * * 1";
        QTest::newRow("month") << int(Every::Month) << "23:05" << "*-*-01 23:05:00" << "5 23 1 * *";
    }
    void unitFiles()
    {
        QFETCH(int, every);
        QFETCH(QString, at);
        QFETCH(QString, onCalendar);
        QFETCH(QString, cronFields);
        UserHome home(true);
        const QString project = home.project(QStringLiteral("sites/links.prj"));
        const ScanSchedule s{Every(every), *ScanSchedule::timeNamed(at)};
        const QStringList command = ScheduledCommand::arguments(QStringLiteral("/bin/true"), project, {});
        ScheduleInstaller installer;
        QCOMPARE(installer.unitFolder(), home.units());
        QVERIFY(installer.set(project, s, command).timerActive);

        const QString base = home.units() + u'/' + ScheduleInstaller::unitNameFor(project);
        const QString timer = read(base + QStringLiteral(".timer"));
        const QString service = read(base + QStringLiteral(".service"));
        QVERIFY2(timer.contains(QStringLiteral("\nOnCalendar=") + onCalendar + u'\n'), qPrintable(timer));
        QVERIFY(timer.contains(QStringLiteral("\nPersistent=true\n")));
        QVERIFY(timer.contains(QStringLiteral("\n[Install]\nWantedBy=timers.target\n")));
        QVERIFY2(service.contains(QStringLiteral("\nType=oneshot\nExecStart=\"/bin/true\" \"scan\" \"")
                                  + project
                                  + QStringLiteral("\" \"--save\" \"--quiet\" \"--notify\"\n"
                                                   "SuccessExitStatus=1\n")),
                 qPrintable(service));
        QVERIFY(ScheduleInstaller::cronLine(s, command).startsWith(cronFields + u' '));
        QVERIFY2(service.contains(QStringLiteral("\nConditionPathExists=/bin/true\n")), qPrintable(service));

        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty())
            return;
        QProcess verify;
        verify.setProcessChannelMode(QProcess::MergedChannels);
        verify.start(analyze, {QStringLiteral("verify"), base + QStringLiteral(".timer"),
                               base + QStringLiteral(".service")});
        QVERIFY(verify.waitForFinished(30000));
        QVERIFY2(verify.exitCode() == 0, verify.readAll().constData());
    }

    // Any path survives the trip through the service's ExecStart= and the crontab line: blanks,
    // quotes, and the "%" and "$" that systemd and cron would otherwise expand, also right after
    // one backslash or two, where cron would pair a backslash with the one of "\%".
    void awkwardPathsSurviveQuoting()
    {
        UserHome home(true);
        const QString project = home.project(
            QStringLiteral("it's 100% \"mine\" $HOME\\x \\%d \\\\%e \\'%\\/links.prj"));
        const QStringList command = ScheduledCommand::arguments(
            QStringLiteral("/opt/my tools/corvane-cli"), project,
            {QStringLiteral("AlertCommand=echo $CORVANE_LOST% \\%s\\")});
        ScheduleInstaller installer;
        QVERIFY(installer.set(project, {Every::Day, QTime(6, 0)}, command).ok);
        const std::optional<ScheduleInstaller::Entry> entry = installer.find(project);
        QVERIFY(entry);
        QCOMPARE(entry->command, command);
        QCOMPARE(entry->projectPath, project);
        QCOMPARE(shellWords(ScheduledCommand::forCron(command)), command);
    }

    // A line break, a carriage return or another control character in the project's path (or in
    // a value the scheduled run carries) would end the unit's line or the crontab entry early and
    // make the rest a directive or an entry of its own: such a schedule is refused, and nothing
    // is written.
    void controlCharactersAreRefused_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("sets");
        QTest::addColumn<QString>("message");
        QTest::newRow("line break in the path")
            << "a\n[Timer]\nOnCalendar=minutely\n* * * * * touch owned\n" << QStringList{}
            << "its path holds a line break, which would split the timer and the crontab line; "
               "rename the file or its folder";
        QTest::newRow("carriage return in the path")
            << "a\rOnCalendar=minutely" << QStringList{}
            << "its path holds a carriage return, which would split the timer and the crontab "
               "line; rename the file or its folder";
        QTest::newRow("tab in the path") << "a\tb" << QStringList{}
                                         << "its path holds a control character (U+0009), which "
                                            "would split the timer and the crontab line; rename "
                                            "the file or its folder";
        QTest::newRow("line break in a carried setting")
            << "sites" << QStringList{"--set", "AlertCommand=true\n* * * * * touch owned"}
            << "\"AlertCommand=true\\n* * * * * touch owned\" holds a line break, which would "
               "split the timer and the crontab line";
    }
    void controlCharactersAreRefused()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, sets);
        QFETCH(QString, message);
        UserHome home(true);
        const QString project = home.project(folder + QStringLiteral("/links.prj"));
        test::CliHarness cli;
        const test::CliRun r = cli.run(QStringList{QStringLiteral("schedule"), project,
                                                   QStringLiteral("--every"), QStringLiteral("day")}
                                       + sets);
        QCOMPARE(r.status, 2);
        const QString said = r.err.section(QStringLiteral("corvane-cli schedule: "), 1);
        QVERIFY2(said.startsWith(QStringLiteral("cannot schedule \"")), qPrintable(r.err));
        QVERIFY2(said.contains(message + u'\n'), qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(home.units()) || QDir(home.units()).entryList(QDir::Files).isEmpty());
        QVERIFY(home.calls().isEmpty());
    }

    // A schedule left behind when the program was removed is skipped, by the service's own
    // condition on the program's path, as systemd evaluates it.
    void serviceIsSkippedWithoutTheProgram()
    {
        const QString analyze = QStandardPaths::findExecutable(QStringLiteral("systemd-analyze"));
        if (analyze.isEmpty())
            QSKIP("systemd-analyze is not installed");
        UserHome home(true);
        const QString project = home.project(QStringLiteral("links.prj"));
        // A "%" in the program's path: systemd would read "%t" as a specifier.
        const QString program = home.dir.filePath(QStringLiteral("100%t tools/corvane-cli"));
        QDir().mkpath(QFileInfo(program).path());
        QVERIFY(test::writeAll(program, "#!/bin/sh\n"));
        ScheduleInstaller installer;
        QVERIFY(installer.set(project, {Every::Day, QTime(6, 0)},
                              ScheduledCommand::arguments(program, project, {})).ok);
        const QString service = read(home.units() + u'/' + ScheduleInstaller::unitNameFor(project)
                                     + QStringLiteral(".service"));
        QString condition;
        for (const QString& line : service.split(u'\n')) {
            if (line.startsWith(QStringLiteral("ConditionPathExists=")))
                condition = line;
        }
        QVERIFY2(!condition.isEmpty(), qPrintable(service));
        QVERIFY2(service.contains(QStringLiteral("# When ") + program
                                  + QStringLiteral(" is not installed (any more), this scan is skipped.")),
                 qPrintable(service));
        auto holds = [&analyze, &condition] {
            QProcess check;
            check.setProcessChannelMode(QProcess::MergedChannels);
            check.start(analyze, {QStringLiteral("condition"), condition});
            check.waitForFinished(30000);
            const QByteArray said = check.readAll();
            return check.exitCode() == 0 && said.contains("succeeded") && !said.contains("ignoring");
        };
        QVERIFY(holds());
        QVERIFY(QFile::remove(program));
        QVERIFY(!holds());
    }

    // With a user manager: the timer is enabled and restarted (a changed time takes effect), and
    // turning it off disables it before the files go.
    void enablesAndDisablesThroughSystemctl()
    {
        UserHome home(true);
        const QString project = home.project(QStringLiteral("links.prj"));
        const QString timer = ScheduleInstaller::unitNameFor(project) + QStringLiteral(".timer");
        ScheduleInstaller installer;
        const auto set = installer.set(project, {Every::Week, QTime(7, 0)},
                                       ScheduledCommand::arguments(QStringLiteral("/bin/true"), project, {}));
        QVERIFY(set.ok && set.timerActive);
        QVERIFY(set.cronLine.isEmpty());
        QCOMPARE(home.calls(), (QStringList{QStringLiteral("--user daemon-reload"),
                                           QStringLiteral("--user enable ") + timer,
                                           QStringLiteral("--user restart ") + timer}));
        QCOMPARE(installer.list().size(), 1);

        const auto removed = installer.remove(project);
        QVERIFY(removed.ok);
        QCOMPARE(home.calls().mid(3), (QStringList{QStringLiteral("--user disable --now ") + timer,
                                                   QStringLiteral("--user daemon-reload")}));
        QVERIFY(QDir(home.units()).entryList(QDir::Files).isEmpty());
        QVERIFY(installer.list().isEmpty());
    }

    // Without a user manager the schedule is still written (the list and the window read it) and
    // the crontab line to add is given; turning it off tells to remove the same line.
    void withoutUserSystemdGivesTheCrontabLine()
    {
        UserHome home(false);
        const QString project = home.project(QStringLiteral("links.prj"));
        const QStringList command = ScheduledCommand::arguments(QStringLiteral("/usr/bin/corvane-cli"), project, {});
        ScheduleInstaller installer;
        const auto set = installer.set(project, {Every::Day, QTime(6, 15)}, command);
        QVERIFY(set.ok);
        QVERIFY(!set.timerActive);
        QVERIFY2(set.message.startsWith(QStringLiteral("No user systemd here (systemctl --user "
                                                       "daemon-reload failed: Failed to connect to bus")),
                 qPrintable(set.message));
        QCOMPARE(set.cronLine, QStringLiteral("15 6 * * * DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/%1/bus "
                                              "'/usr/bin/corvane-cli' 'scan' '%2' '--save' '--quiet' '--notify'")
                                   .arg(::getuid()).arg(project));
        QCOMPARE(installer.list().size(), 1);

        const auto removed = installer.remove(project);
        QVERIFY(removed.ok);
        QVERIFY(removed.message.contains(QStringLiteral("remove the line from your crontab")));
        QCOMPARE(removed.cronLine, set.cronLine);
        QVERIFY(installer.list().isEmpty());
    }

    // The command line: set, show, list with the next and the last run, turn off.
    void scheduleCommand()
    {
        UserHome home(true);
        const QString project = home.project(QStringLiteral("links.prj"));
        test::CliHarness cli;
        test::CliRun r = cli.run({QStringLiteral("schedule"), project, QStringLiteral("--every"),
                                  QStringLiteral("week"), QStringLiteral("--at"), QStringLiteral("7:30"),
                                  QStringLiteral("--set"), QStringLiteral("txtTimeout=20")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("Scheduled every week at 07:30 (systemd user timer corvane-scan-links-")),
                 qPrintable(r.out));
        const QDateTime next = ScanSchedule{Every::Week, QTime(7, 30)}.nextRun(QDateTime::currentDateTime());
        QVERIFY(r.out.endsWith(QStringLiteral("Next run: ") + next.toString(QStringLiteral("yyyy-MM-dd HH:mm")) + u'\n'));
        // The --set options ride along into the scheduled run.
        QCOMPARE(ScheduleInstaller().find(project)->command.mid(6),
                 (QStringList{QStringLiteral("--set"), QStringLiteral("txtTimeout=20")}));

        r = cli.run({QStringLiteral("schedule"), QStringLiteral("--list")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(project + QStringLiteral("\n  schedule: every week at 07:30 (")), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("\n  last run: never\n")));

        QVERIFY(ScanLog::append(project, {QStringLiteral("alert command: exit 0"),
                                          QStringLiteral("scan: complete, exit 3: 1 partner; 1 lost since 2026-03-02")}));
        r = cli.run({QStringLiteral("schedule"), project});
        QVERIFY2(r.out.contains(QStringLiteral(", complete, exit 3: 1 partner; 1 lost since 2026-03-02\n")), qPrintable(r.out));

        r = cli.run({QStringLiteral("schedule"), project, QStringLiteral("--off")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("Schedule removed")), qPrintable(r.out));
        r = cli.run({QStringLiteral("schedule"), QStringLiteral("--list")});
        QCOMPARE(r.out, QStringLiteral("No project is scanned by itself.\n"));
    }

    void scheduleUsageMistakes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("every hour") << QStringList{"P", "--every", "hour"} << "--every takes day, week or month, not \"hour\"";
        QTest::newRow("every never") << QStringList{"P", "--every", "never"} << "--every takes day, week or month, not \"never\"";
        QTest::newRow("25 o'clock") << QStringList{"P", "--every", "day", "--at", "25:00"} << "--at takes a time of day as HH:MM, not \"25:00\"";
        QTest::newRow("no minutes") << QStringList{"P", "--every", "day", "--at", "7"} << "--at takes a time of day as HH:MM, not \"7\"";
        QTest::newRow("at alone") << QStringList{"P", "--at", "07:00"} << "--at goes with --every";
        QTest::newRow("off and every") << QStringList{"P", "--off", "--every", "day"} << "--off takes no --every or --at";
        QTest::newRow("list and project") << QStringList{"P", "--list"} << "--list takes no project and no other option";
        QTest::newRow("no project") << QStringList{"--every", "day"} << "no project file given";
    }
    void scheduleUsageMistakes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        UserHome home(true);
        const QString project = home.project(QStringLiteral("links.prj"));
        arguments.replaceInStrings(QRegularExpression(QStringLiteral("^P$")), project);
        test::CliHarness cli;
        const test::CliRun r = cli.run(QStringList{QStringLiteral("schedule")} + arguments);
        QCOMPARE(r.status, 2);
        QCOMPARE(r.firstErrorLine(), QStringLiteral("corvane-cli schedule: ") + message);
        QVERIFY(home.calls().isEmpty());
    }
};

CORVANE_TEST_CLASS(ScheduleTest);
#include "ScheduleTest.moc"
