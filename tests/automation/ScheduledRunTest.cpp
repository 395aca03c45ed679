#include "automation/PrivateBus.h"
#include "automation/ScanLog.h"
#include "cli/CliHarness.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace corvane;
using test::CliHarness;
using test::CliRun;

namespace {

const QByteArray kProject = "mine.test\r\n"
                            "a.test|1|||\r\n"
                            "b.test|1|||\r\n";
const QByteArray kLink = "<a href=\"http://mine.test/\">me</a>";

// The run a schedule starts, with an alert command that keeps what it was given.
QStringList scheduledRun(const QString& project, const QString& alertCommand)
{
    return {QStringLiteral("scan"), project, QStringLiteral("--save"), QStringLiteral("--quiet"),
            QStringLiteral("--notify"), QStringLiteral("--set"), QStringLiteral("txtTimeout=1"),
            QStringLiteral("--set"), QStringLiteral("AlertCommand=") + alertCommand};
}

QByteArray read(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Environment variables set (or, with no value, unset) while it lives.
class EnvironmentOverride final
{
    Q_DISABLE_COPY_MOVE(EnvironmentOverride)

public:
    explicit EnvironmentOverride(const QList<std::pair<const char*, std::optional<QByteArray>>>& values)
    {
        for (const auto& [name, value] : values) {
            m_before.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name))
                                                                   : std::nullopt});
            value ? qputenv(name, *value) : qunsetenv(name);
        }
    }
    ~EnvironmentOverride()
    {
        for (const auto& [name, value] : m_before)
            value ? qputenv(name, *value) : qunsetenv(name);
    }

private:
    QList<std::pair<const char*, std::optional<QByteArray>>> m_before;
};

// Partners a.test and b.test, both linking back, and a command line routed to them, with the
// project of the two written.
struct TwoPartners {
    test::TestWebServer server;
    CliHarness cli;
    QString project;

    TwoPartners()
    {
        server.setPage(QStringLiteral("a.test"), QStringLiteral("/"), kLink);
        server.setPage(QStringLiteral("b.test"), QStringLiteral("/"), kLink);
        cli.network.setRoute(server.route());
        project = cli.writeFile(QStringLiteral("links.prj"), kProject);
    }
};

} // namespace

// The scheduled run, as the timer starts it, when a partner drops its link.
class ScheduledRunTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void lostLinkNotifiesAndRunsTheAlertCommand()
    {
        test::PrivateBus bus;
        QVERIFY(bus.isUp());
        QVERIFY(bus.startService({QStringLiteral("--invoke"), QStringLiteral("default")}));
        TwoPartners partners;
        test::TestWebServer& server = partners.server;
        CliHarness& cli = partners.cli;
        const QString& project = partners.project;
        const QString input = cli.file(QStringLiteral("alert.json"));
        const QString environment = cli.file(QStringLiteral("alert.env"));
        const QString alert = QStringLiteral("cat > '") + input
                              + QStringLiteral("'; env | grep ^CORVANE_ | sort > '") + environment
                              + QStringLiteral("'; echo mailed");
        // The window's stand-in: it writes down what it was asked to open.
        const QString opened = cli.file(QStringLiteral("opened"));
        const QString window = cli.writeFile(QStringLiteral("corvane"),
                                             "#!/bin/sh\necho \"$@\" > '" + opened.toLocal8Bit() + "'\n");
        QFile(window).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        cli.windowProgram = window;
        // Started straight from here, as outside a systemd unit.
        const EnvironmentOverride noUnit({{"INVOCATION_ID", std::nullopt}});

        // The first run is the baseline: both partners are new to the history, which is no news.
        CliRun r = cli.run(scheduledRun(project, alert));
        QCOMPARE(r.status, 0);
        const QString baseline = QStringLiteral("first scan of the project: nothing to compare with yet, so no alerts");
        QVERIFY2(r.err.contains(QStringLiteral("corvane-cli scan: ") + baseline + u'\n'), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("alert command")), qPrintable(r.err));
        QVERIFY(!QFile::exists(input));
        QVERIFY(ScanLog::lastRun(project)->outcome.endsWith(QStringLiteral("; ") + baseline));
        QVERIFY(!read(ScanLog::pathFor(project)).contains("notification"));

        server.setPage(QStringLiteral("b.test"), QStringLiteral("/"), "<p>gone</p>");
        r = cli.run(scheduledRun(project, alert));
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("corvane-cli scan: alert command: exit 0\n"
                                               "corvane-cli scan: alert command: | mailed\n")),
                 qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("corvane-cli scan: notification: shown\n")), qPrintable(r.err));

        const QList<QByteArray> sent = bus.notifications();
        QCOMPARE(sent.size(), 1);
        QCOMPARE(QJsonDocument::fromJson(sent.last()).object().value(QStringLiteral("summary")).toString(),
                 QStringLiteral("1 partner dropped your link: b.test"));
        // The action chosen in the stand-in opened the project in the window.
        QTRY_COMPARE(read(opened).trimmed(), project.toLocal8Bit());

        // The test runner's own CORVANE_ variable (which class to run) is inherited, not told.
        QByteArray told = read(environment);
        const QByteArray runner = "CORVANE_TEST_ONLY=" + qgetenv("CORVANE_TEST_ONLY") + '\n';
        told.replace(runner, QByteArray());
        QCOMPARE(told, QByteArray("CORVANE_CHANGED=0\nCORVANE_LOST=1\nCORVANE_NEW=0\n"
                                               "CORVANE_PROJECT=" + project.toLocal8Bit()
                                               + "\nCORVANE_RESTORED=0\n"));
        // The command was given what "changes --json" prints.
        const CliRun changes = cli.run({QStringLiteral("changes"), project, QStringLiteral("--json")});
        QCOMPARE(changes.status, 0);
        const QJsonObject given = QJsonDocument::fromJson(read(input)).object();
        QCOMPARE(given, QJsonDocument::fromJson(changes.out.toUtf8()).object());
        QCOMPARE(given.value(QStringLiteral("changes")).toArray().size(), 1);

        const std::optional<ScanLog::Run> last = ScanLog::lastRun(project);
        QVERIFY(last);
        QVERIFY2(last->outcome.startsWith(QStringLiteral("complete, exit 1: 2 partners: 1 link back")),
                 qPrintable(last->outcome));
        QVERIFY(last->outcome.endsWith(QStringLiteral("; 1 lost since ")
                                       + QDate::currentDate().toString(Qt::ISODate)));
    }

    // Inside the schedule's service, which systemd ends with all it started once the scan is
    // done, the window the notification's action asks for is started as a unit of its own.
    void insideAUnitTheWindowGetsAUnitOfItsOwn()
    {
        test::PrivateBus bus;
        QVERIFY(bus.startService({QStringLiteral("--invoke"), QStringLiteral("default")}));
        TwoPartners partners;
        test::TestWebServer& server = partners.server;
        CliHarness& cli = partners.cli;
        const QString& project = partners.project;
        cli.windowProgram = QStringLiteral("/opt/corvane/bin/corvane");
        const QString asked = cli.file(QStringLiteral("asked"));
        QDir().mkpath(cli.file(QStringLiteral("bin")));
        const QString systemdRun = cli.writeFile(QStringLiteral("bin/systemd-run"),
                                                 "#!/bin/sh\necho \"$@\" > '" + asked.toLocal8Bit() + "'\n");
        QFile(systemdRun).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        const EnvironmentOverride unit({{"INVOCATION_ID", QByteArray("0123456789abcdef")},
                                        {"PATH", cli.file(QStringLiteral("bin")).toLocal8Bit() + ':' + qgetenv("PATH")},
                                        {"DISPLAY", QByteArray(":42")},
                                        {"WAYLAND_DISPLAY", std::nullopt},
                                        {"XAUTHORITY", std::nullopt}});

        QCOMPARE(cli.run(scheduledRun(project, {})).status, 0);
        server.setPage(QStringLiteral("b.test"), QStringLiteral("/"), "<p>gone</p>");
        const CliRun r = cli.run(scheduledRun(project, {}));
        QCOMPARE(r.status, 1);
        QVERIFY2(!r.err.contains(QStringLiteral("cannot start the window")), qPrintable(r.err));
        QCOMPARE(QString::fromLocal8Bit(read(asked).trimmed()),
                 QStringLiteral("--user --collect --quiet --setenv=DISPLAY=:42 -- /opt/corvane/bin/corvane ")
                     + project);
    }

    // No notification service and a failing alert command: the scan's own outcome stands, and the
    // log and standard error say what went wrong.
    void failuresOfTheAlertsNeverFailTheScan()
    {
        test::PrivateBus bus;
        QVERIFY(bus.isUp());
        TwoPartners partners;
        test::TestWebServer& server = partners.server;
        CliHarness& cli = partners.cli;
        const QString& project = partners.project;
        const QString failing = QStringLiteral("echo no mail server >&2; exit 75");
        QCOMPARE(cli.run(scheduledRun(project, failing)).status, 0);
        server.setPage(QStringLiteral("b.test"), QStringLiteral("/"), "<p>gone</p>");
        const CliRun r = cli.run(scheduledRun(project, failing));
        QCOMPARE(r.status, 1);
        for (const QString& line : {QStringLiteral("notification: none, no notification service"),
                                    QStringLiteral("alert command: exit 75"),
                                    QStringLiteral("alert command: | no mail server")}) {
            QVERIFY2(r.err.contains(QStringLiteral("corvane-cli scan: ") + line), qPrintable(r.err));
            QVERIFY(read(ScanLog::pathFor(project)).contains(line.toUtf8()));
        }
    }

    // Ctrl+C or SIGTERM while the alert command runs ends it with what it left in the
    // background, and the program ends at once: Ctrl+C with its own status, SIGTERM with the
    // scan's.
    void interruptEndsTheAlertCommand_data()
    {
        QTest::addColumn<cli::Interrupt::Kind>("kind");
        QTest::addColumn<int>("status");
        QTest::newRow("Ctrl+C") << cli::Interrupt::Kind::CtrlC << 130;
        QTest::newRow("SIGTERM") << cli::Interrupt::Kind::Terminate << 1;
    }
    void interruptEndsTheAlertCommand()
    {
        QFETCH(cli::Interrupt::Kind, kind);
        QFETCH(int, status);
        test::PrivateBus bus;
        QVERIFY(bus.isUp());
        TwoPartners partners;
        CliHarness& cli = partners.cli;
        cli::Interrupt interrupt;
        cli.interrupt = &interrupt;
        const QString pidFile = cli.file(QStringLiteral("pid"));
        const QString alert = QStringLiteral("sleep 300 & echo $! > '") + pidFile
                              + QStringLiteral("'; sleep 300");
        QCOMPARE(cli.run(scheduledRun(partners.project, alert)).status, 0);
        partners.server.setPage(QStringLiteral("b.test"), QStringLiteral("/"), "<p>gone</p>");
        // The user's key, once the command has started its child.
        QTimer press;
        press.setInterval(20);
        QObject::connect(&press, &QTimer::timeout, &press, [&] {
            if (QFile(pidFile).size() > 0) {
                press.stop();
                Q_EMIT interrupt.interrupted(kind);
            }
        });
        press.start();
        const CliRun r = cli.run(scheduledRun(partners.project, alert));
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(QStringLiteral("corvane-cli scan: alert command: stopped\n")),
                 qPrintable(r.err));
        const int pid = read(pidFile).trimmed().toInt();
        QVERIFY(pid > 0);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        QVERIFY(!stat.open(QIODevice::ReadOnly) || stat.readAll().contains(") Z "));
    }

    // A scan with no news runs nothing and raises nothing; a run that cannot scan at all is in
    // the log for the list of schedules.
    void quietWhenNothingChanged()
    {
        test::PrivateBus bus;
        QVERIFY(bus.startService());
        TwoPartners partners;
        CliHarness& cli = partners.cli;
        const QString& project = partners.project;
        cli.notificationWaitMs = 0;
        const QString marker = cli.file(QStringLiteral("ran"));
        const QString alert = QStringLiteral("touch '") + marker + u'\'';
        QCOMPARE(cli.run(scheduledRun(project, alert)).status, 0);
        QFile::remove(marker);
        const int before = bus.notifications().size();
        const CliRun r = cli.run(scheduledRun(project, alert));
        QCOMPARE(r.status, 0);
        QVERIFY2(!r.err.contains(QStringLiteral("alert command")), qPrintable(r.err));
        QVERIFY(!QFile::exists(marker));
        QCOMPARE(bus.notifications().size(), before);

        // A project with no Main Site left: the scan cannot start.
        cli.writeFile(QStringLiteral("links.prj"), "");
        const CliRun failed = cli.run(scheduledRun(project, alert));
        QCOMPARE(failed.status, 2);
        QCOMPARE(ScanLog::lastRun(project)->outcome, QStringLiteral("not run, exit 2"));
    }
};

CORVANE_TEST_CLASS(ScheduledRunTest);
#include "ScheduledRunTest.moc"
