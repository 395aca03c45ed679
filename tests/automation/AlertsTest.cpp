#include "automation/AlertCommand.h"
#include "automation/PrivateBus.h"
#include "automation/ScanAlerts.h"
#include "model/SettingsStore.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace corvane;
using Kind = PartnerChange::Kind;

namespace {

HistoryStore::PartnerRow row(const QString& url, Kind kind, const QString& detail = {})
{
    HistoryStore::PartnerRow r;
    r.main = QStringLiteral("mine.example");
    r.url = url;
    r.change = {kind, detail};
    return r;
}

ChangeSet changes(const QList<HistoryStore::PartnerRow>& rows)
{
    ChangeSet set;
    set.projectPath = QStringLiteral("/home/me/links.prj");
    set.rows = rows;
    set.against = QDateTime(QDate(2026, 3, 2), QTime(6, 0));
    return set;
}

const ScanAlerts::Identity kIdentity{QStringLiteral("Corvane"), QStringLiteral("example.corvane.Corvane")};

} // namespace

// The user's alert command: what it is given and what comes back of it.
class AlertCommandTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void run_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QStringList>("lastLines");
        QTest::newRow("reads its input") << "wc -c" << 10000 << "exit 0" << QStringList{"5000"};
        QTest::newRow("its environment")
            << "echo \"$CORVANE_LOST lost, $CORVANE_NEW new in $CORVANE_PROJECT\"" << 10000 << "exit 0"
            << QStringList{"2 lost, 1 new in /home/me/links.prj"};
        QTest::newRow("fails, both channels, the last five lines")
            << "for i in 1 2 3 4 5 6; do echo out $i; done; echo err >&2; exit 7" << 10000 << "exit 7"
            << QStringList{"out 3", "out 4", "out 5", "out 6", "err"};
        // A command that ignores its input must not take the program down with a broken pipe.
        QTest::newRow("ignores its input") << "exit 0" << 10000 << "exit 0" << QStringList{};
        QTest::newRow("no such command") << "no-such-alert-command-here" << 10000 << "exit 127"
                                         << QStringList{"/bin/sh: 1: no-such-alert-command-here: not found"};
        QTest::newRow("over its time") << "echo started; sleep 30" << 300 << "killed after 0.3 s"
                                       << QStringList{"started"};
    }
    void run()
    {
        QFETCH(QString, command);
        QFETCH(int, timeoutMs);
        QFETCH(QString, summary);
        QFETCH(QStringList, lastLines);
        AlertCommand alert;
        alert.setTimeout(timeoutMs);
        QSignalSpy done(&alert, &AlertCommand::finished);
        ChangeSet set = changes({row(QStringLiteral("a.example"), Kind::Lost),
                                 row(QStringLiteral("b.example"), Kind::Lost),
                                 row(QStringLiteral("c.example"), Kind::New)});
        alert.start(command, QByteArray(5000, 'x'), ScanAlerts::environmentFor(set));
        QVERIFY(done.wait(15000));
        const auto result = done.first().first().value<AlertCommand::Result>();
        QCOMPARE(result.summary(), summary);
        QCOMPARE(result.lastLines, lastLines);
    }

    // The time limit ends what the command started too: a pipe to a mailer that hangs would
    // otherwise outlive the scan.
    void timeoutEndsWhatTheCommandStarted()
    {
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("pid"));
        AlertCommand alert;
        alert.setTimeout(300);
        QSignalSpy done(&alert, &AlertCommand::finished);
        alert.start(QStringLiteral("sleep 30 & echo $! > '") + pidFile + QStringLiteral("'; wait"), {}, {});
        QVERIFY(done.wait(15000));
        QFile f(pidFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const int pid = f.readAll().trimmed().toInt();
        QVERIFY(pid > 0);
        QTRY_VERIFY(::kill(pid, 0) != 0);
    }

    // What the shell leaves in the background belongs to the command: it may finish within the
    // time limit (the command's end waits for it), and is killed with the rest at the limit or
    // on stop(), whether or not it holds the command's output open.
    void backgroundChildrenEndWithTheCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("timeoutMs");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<bool>("markerWritten");
        QTest::newRow("ends within the limit")
            << "(sleep 0.3; echo done > marker) >/dev/null 2>&1 & echo $! > pid" << 10000 << false
            << "exit 0" << true;
        QTest::newRow("outlives the limit, output closed")
            << "(sleep 30; echo done > marker) >/dev/null 2>&1 & echo $! > pid" << 300 << false
            << "killed after 0.3 s" << false;
        QTest::newRow("outlives the limit, output open")
            << "(sleep 30; echo done > marker) & echo $! > pid; echo started" << 300 << false
            << "killed after 0.3 s" << false;
        QTest::newRow("stopped while the shell waits")
            << "(sleep 30; echo done > marker) & echo $! > pid; sleep 30" << 60000 << true
            << "stopped" << false;
        QTest::newRow("stopped after the shell ended")
            << "(sleep 30; echo done > marker) >/dev/null 2>&1 & echo $! > pid" << 60000 << true
            << "stopped" << false;
    }
    void backgroundChildrenEndWithTheCommand()
    {
        QFETCH(QString, command);
        QFETCH(int, timeoutMs);
        QFETCH(bool, stop);
        QFETCH(QString, summary);
        QFETCH(bool, markerWritten);
        QTemporaryDir dir;
        const QString pidFile = dir.filePath(QStringLiteral("pid"));
        AlertCommand alert;
        alert.setTimeout(timeoutMs);
        QSignalSpy done(&alert, &AlertCommand::finished);
        alert.start(QStringLiteral("cd '") + dir.path() + QStringLiteral("'; ") + command, {}, {});
        QTRY_VERIFY_WITH_TIMEOUT(QFile(pidFile).size() > 0, 10000);
        QFile f(pidFile);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const int pid = f.readAll().trimmed().toInt();
        QVERIFY(pid > 0);
        if (stop)
            alert.stop();
        QVERIFY(done.wait(15000));
        QCOMPARE(done.first().first().value<AlertCommand::Result>().summary(), summary);
        QVERIFY(!alert.isRunning());
        // Gone, or a zombie waiting for its new parent to reap it.
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        const bool runs = stat.open(QIODevice::ReadOnly) && !stat.readAll().contains(") Z ");
        QVERIFY(!runs);
        QCOMPARE(QFile::exists(dir.filePath(QStringLiteral("marker"))), markerWritten);
    }

    // The JSON on its input is the changes' own, as "changes --json" prints them.
    void inputIsTheChangesJson()
    {
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
        const QString out = dir.filePath(QStringLiteral("in.json"));
        settings.setOverride(QStringLiteral("AlertCommand"), QStringLiteral("cat > '") + out + u'\'');
        ScanAlerts alerts(settings, kIdentity);
        QSignalSpy logged(&alerts, &ScanAlerts::logged);
        QSignalSpy finished(&alerts, &ScanAlerts::finished);
        const ChangeSet set = changes({row(QStringLiteral("a.example/links.html"), Kind::Lost)});
        QVERIFY(alerts.tell(set, false));
        QVERIFY(finished.wait(15000));
        QFile f(out);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(f.readAll()).object(), set.toJson());
        QCOMPARE(logged.size(), 1);
        QCOMPARE(logged.first().first().toString(), QStringLiteral("alert command: exit 0"));
    }
};

// What the desktop notification says, and its trip over a session bus of the test's own to a
// stand-in notification service.
class NotificationTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QList<HistoryStore::PartnerRow>>("rows");
        QTest::addColumn<bool>("news");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("body");
        const QString project = QStringLiteral("links.prj");
        QTest::newRow("lost first, then new and restored")
            << QList{row("c.example", Kind::New), row("a.example", Kind::Lost),
                     row("d.example/friends.html", Kind::Restored), row("b.example", Kind::Lost),
                     row("e.example", Kind::Unreachable)}
            << true << "2 partners dropped your link: a.example, b.example"
            << "1 new partner links to you: c.example\n1 partner restored your link: d.example\n" + project;
        QTest::newRow("many hosts")
            << QList{row("a.example", Kind::New), row("b.example", Kind::New), row("c.example", Kind::New),
                     row("d.example", Kind::New), row("e.example", Kind::New), row("f.example", Kind::New),
                     row("g.example", Kind::New)}
            << true
            << "7 new partners link to you: a.example, b.example, c.example, d.example, e.example and 2 more"
            << project;
        QTest::newRow("changed only") << QList{row("a.example", Kind::Changed, "now nofollow")} << true
                                      << "1 partner changed your link: a.example" << project;
        // A partner that could not be reached says nothing of its link: no alert.
        QTest::newRow("unreachable only") << QList{row("a.example", Kind::Unreachable)} << false << "" << project;
    }
    void text()
    {
        QFETCH(QList<HistoryStore::PartnerRow>, rows);
        QFETCH(bool, news);
        QFETCH(QString, summary);
        QFETCH(QString, body);
        const ChangeSet set = changes(rows);
        QCOMPARE(set.isNews(), news);
        const DesktopNotifier::Notification n = ScanAlerts::notificationFor(set, kIdentity);
        QCOMPARE(n.summary, summary);
        QCOMPARE(n.body, body);
    }

    void sentToTheService()
    {
        test::PrivateBus bus;
        QVERIFY(bus.isUp());
        QVERIFY(bus.startService({QStringLiteral("--invoke"), QStringLiteral("default")}));
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
        ScanAlerts alerts(settings, kIdentity);
        QSignalSpy finished(&alerts, &ScanAlerts::finished);
        QSignalSpy open(&alerts, &ScanAlerts::openRequested);
        QVERIFY(alerts.tell(changes({row("a.example", Kind::Lost)}), true));
        QVERIFY(finished.wait(10000));
        QVERIFY(alerts.notificationShown());
        QVERIFY(open.wait(10000));

        const QList<QByteArray> sent = bus.notifications();
        QCOMPARE(sent.size(), 1);
        const QJsonObject n = QJsonDocument::fromJson(sent.first()).object();
        QCOMPARE(n.value(QStringLiteral("app")).toString(), QStringLiteral("Corvane"));
        QCOMPARE(n.value(QStringLiteral("summary")).toString(), QStringLiteral("1 partner dropped your link: a.example"));
        QCOMPARE(n.value(QStringLiteral("body")).toString(), QStringLiteral("links.prj"));
        QCOMPARE(n.value(QStringLiteral("actions")).toArray().first().toString(), QStringLiteral("default"));
        const QJsonObject hints = n.value(QStringLiteral("hints")).toObject();
        QCOMPARE(hints.value(QStringLiteral("urgency")).toInt(), 2);
        QCOMPARE(hints.value(QStringLiteral("desktop-entry")).toString(), kIdentity.appId);
    }

    // A project's first scan finds every partner new: the baseline, which starts nothing, in the
    // window as in a scheduled run.
    void firstScanTellsNothing()
    {
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
        settings.setOverride(QStringLiteral("AlertCommand"), QStringLiteral("true"));
        ScanAlerts alerts(settings, kIdentity);
        QSignalSpy logged(&alerts, &ScanAlerts::logged);
        ChangeSet first = changes({row("a.example", Kind::New), row("b.example", Kind::New)});
        first.against = {};
        QVERIFY(first.isFirstScan());
        QVERIFY(!alerts.tell(first, true));
        // Neither the command nor the notification was started.
        QVERIFY(!alerts.isBusy());
        QVERIFY(logged.isEmpty());
    }

    // No notification service, or no bus at all: said once, and the alerts still finish.
    void nothingFailsWithoutAService_data()
    {
        QTest::addColumn<bool>("withBus");
        QTest::addColumn<QString>("said");
        QTest::newRow("bus without the service") << true << "notification: none, no notification service (org.freedesktop.Notifications) on the session bus";
        QTest::newRow("no bus") << false << "notification: none, no session bus";
    }
    void nothingFailsWithoutAService()
    {
        QFETCH(bool, withBus);
        QFETCH(QString, said);
        std::optional<test::PrivateBus> bus;
        if (withBus) {
            bus.emplace();
            QVERIFY(bus->isUp());
        }
        QTemporaryDir dir;
        SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
        ScanAlerts alerts(settings, kIdentity);
        QSignalSpy logged(&alerts, &ScanAlerts::logged);
        QSignalSpy finished(&alerts, &ScanAlerts::finished);
        QVERIFY(alerts.tell(changes({row("a.example", Kind::Lost)}), true));
        QVERIFY(!alerts.isBusy() || finished.wait(15000));
        QVERIFY(!alerts.notificationShown());
        QCOMPARE(logged.size(), 1);
        QVERIFY2(logged.first().first().toString().startsWith(said), qPrintable(logged.first().first().toString()));
    }
};

CORVANE_TEST_CLASS(AlertCommandTest);
CORVANE_TEST_CLASS(NotificationTest);
#include "AlertsTest.moc"
