#include "automation/ScheduleInstaller.h"
#include "model/SettingsStore.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "ui/ScheduleRows.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>

using namespace corvane;

namespace {

// systemctl stand-in first on the PATH and a config folder of the test's own.
struct StandInSystemctl {
    QTemporaryDir dir;
    QByteArray path = qgetenv("PATH");
    QByteArray config = qgetenv("XDG_CONFIG_HOME");

    explicit StandInSystemctl(bool userSystemd)
    {
        QDir().mkpath(dir.filePath(QStringLiteral("bin")));
        test::writeAll(dir.filePath(QStringLiteral("bin/systemctl")),
                       userSystemd ? "#!/bin/sh\nexit 0\n"
                                   : "#!/bin/sh\necho 'Failed to connect to bus' >&2\nexit 1\n");
        QFile(dir.filePath(QStringLiteral("bin/systemctl"))).setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
        qputenv("PATH", dir.filePath(QStringLiteral("bin")).toLocal8Bit() + ':' + path);
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    }
    ~StandInSystemctl()
    {
        qputenv("PATH", path);
        qputenv("XDG_CONFIG_HOME", config);
    }
};

} // namespace

// The options' rows for scans that run by themselves.
class ScheduleRowsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scheduleSetAndRemoved_data()
    {
        QTest::addColumn<bool>("userSystemd");
        QTest::newRow("user systemd") << true;
        QTest::newRow("no user systemd: the crontab line") << false;
    }
    void scheduleSetAndRemoved()
    {
        QFETCH(bool, userSystemd);
        StandInSystemctl systemctl(userSystemd);
        test::Sandbox box;
        const QString project = box.dir.filePath(QStringLiteral("links.prj"));
        test::writeAll(project, "mine.test\r\n");
        ScheduleRows rows(*box.settings);
        auto* every = rows.findChild<QComboBox*>(QStringLiteral("cmbSchedule"));
        auto* at = rows.findChild<QTimeEdit*>(QStringLiteral("txtScheduleAt"));
        auto* next = rows.findChild<QLabel*>(QStringLiteral("lblNextRun"));
        auto* note = rows.findChild<QLabel*>(QStringLiteral("lblScheduleNote"));
        QVERIFY(!every->isEnabled());
        QCOMPARE(next->text(), QStringLiteral("Save the project first: a schedule scans a saved project."));

        rows.setProjectPath(project);
        QCOMPARE(every->currentText(), QStringLiteral("never"));
        at->setTime(QTime(7, 45));
        every->setCurrentIndex(2);
        const std::optional<ScheduleInstaller::Entry> entry = ScheduleInstaller().find(project);
        QVERIFY(entry);
        QCOMPARE(entry->schedule.text(), QStringLiteral("every week at 07:45"));
        QVERIFY2(next->text().startsWith(QStringLiteral("Next run: ")), qPrintable(next->text()));
        QVERIFY(next->text().endsWith(QStringLiteral(" 07:45")));
        QCOMPARE(note->text().contains(QStringLiteral("45 7 * * 1 ")), !userSystemd);
        QCOMPARE(note->text().startsWith(QStringLiteral("No user systemd here")), !userSystemd);

        // Opened again, the rows show what is scheduled.
        ScheduleRows again(*box.settings);
        again.setProjectPath(project);
        QCOMPARE(again.findChild<QComboBox*>(QStringLiteral("cmbSchedule"))->currentText(), QStringLiteral("every week"));
        QCOMPARE(again.findChild<QTimeEdit*>(QStringLiteral("txtScheduleAt"))->time(), QTime(7, 45));

        every->setCurrentIndex(0);
        QVERIFY(!ScheduleInstaller().find(project));
        QCOMPARE(next->text(), QStringLiteral("Not scheduled."));
        QCOMPARE(at->time(), QTime(7, 45));
        // Turned off, only the crontab line to remove is worth a word.
        QCOMPARE(note->isVisibleTo(&rows), !userSystemd);
        QCOMPARE(note->text().contains(QStringLiteral("45 7 * * 1 ")), !userSystemd);
    }

    // A time stepped or typed takes effect once it rests, or when the rows are hidden, without
    // leaving the field (Tab only moves to its minutes); a schedule made on the command line keeps
    // its own --set options.
    void changedTimeKeepsTheScheduleSettings()
    {
        StandInSystemctl systemctl(true);
        test::Sandbox box;
        const QString project = box.dir.filePath(QStringLiteral("links.prj"));
        test::writeAll(project, "mine.test\r\n");
        const QStringList sets{QStringLiteral("AlertCommand=mail -s links me"), QStringLiteral("txtTimeout=20")};
        QVERIFY(ScheduleInstaller()
                    .set(project, {ScanSchedule::Every::Day, QTime(6, 0)},
                         ScheduledCommand::arguments(QStringLiteral("/usr/bin/corvane-cli"), project, sets))
                    .ok);
        ScheduleRows rows(*box.settings);
        rows.setProjectPath(project);
        rows.show();
        auto* at = rows.findChild<QTimeEdit*>(QStringLiteral("txtScheduleAt"));
        QVERIFY2(rows.findChild<QLabel*>(QStringLiteral("lblNextRun"))->text().endsWith(
                     QStringLiteral(" 06:00 (with its own AlertCommand, txtTimeout)")),
                 qPrintable(rows.findChild<QLabel*>(QStringLiteral("lblNextRun"))->text()));

        at->setTime(QTime(6, 30));
        QTRY_COMPARE(ScheduleInstaller().find(project)->schedule.at, QTime(6, 30));
        QCOMPARE(ScheduledCommand::sets(ScheduleInstaller().find(project)->command), sets);

        at->setTime(QTime(7, 0));
        rows.hide();
        QCOMPARE(ScheduleInstaller().find(project)->schedule.at, QTime(7, 0));
        QCOMPARE(ScheduledCommand::sets(ScheduleInstaller().find(project)->command), sets);
    }

    void alertCommandIsWrittenAsTyped()
    {
        test::Sandbox box;
        ScheduleRows rows(*box.settings);
        rows.findChild<QLineEdit*>(QStringLiteral("txtAlertCommand"))->setText(QStringLiteral("mail -s x me"));
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("alertcommand")), QStringLiteral("mail -s x me"));
    }
};

CORVANE_TEST_CLASS(ScheduleRowsTest);
#include "ScheduleRowsTest.moc"
