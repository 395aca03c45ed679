#include "ui/ScheduleRows.h"

#include "automation/ScanSchedule.h"
#include "automation/ScheduleInstaller.h"
#include "model/SettingsStore.h"
#include "ui/Widgets.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStandardPaths>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace corvane {

namespace {

const QString kAlertCommand = QStringLiteral("AlertCommand");

// The command line the timer runs: the one beside this program, else the one on the PATH.
QString cliProgram()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/corvane-cli");
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("corvane-cli"));
    return onPath.isEmpty() ? QStringLiteral("corvane-cli") : onPath;
}

} // namespace

ScheduleRows::ScheduleRows(SettingsStore& settings, QWidget* parent)
    : QGroupBox(tr("Scans by themselves:"), parent), m_settings(settings)
{
    setObjectName(QStringLiteral("fraSchedule"));
    auto* rows = new QVBoxLayout(this);

    auto* scheduleRow = new QHBoxLayout;
    auto* lblSchedule = makeLabel(this, QStringLiteral("lblSchedule"),
                                  tr("Scan this project automatically:"));
    cmbSchedule = new QComboBox(this);
    cmbSchedule->setObjectName(QStringLiteral("cmbSchedule"));
    cmbSchedule->addItems({tr("never"), tr("every day"), tr("every week"), tr("every month")});
    cmbSchedule->setToolTip(tr("Weeks start on Mondays, months on the 1st. A run missed while the "
                               "computer was off happens at the next start."));
    lblSchedule->setBuddy(cmbSchedule);
    txtScheduleAt = new QTimeEdit(ScanSchedule::defaultTime(), this);
    txtScheduleAt->setObjectName(QStringLiteral("txtScheduleAt"));
    txtScheduleAt->setDisplayFormat(QStringLiteral("HH:mm"));
    txtScheduleAt->setAccessibleName(tr("Scan at"));
    scheduleRow->addWidget(lblSchedule);
    scheduleRow->addWidget(cmbSchedule);
    scheduleRow->addWidget(new QLabel(tr("at"), this));
    scheduleRow->addWidget(txtScheduleAt);
    scheduleRow->addStretch(1);
    rows->addLayout(scheduleRow);

    lblNextRun = makeLabel(this, QStringLiteral("lblNextRun"), {});
    rows->addWidget(lblNextRun);
    lblScheduleNote = makeLabel(this, QStringLiteral("lblScheduleNote"), {});
    lblScheduleNote->setWordWrap(true);
    // The crontab line is there to be copied.
    lblScheduleNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblScheduleNote->hide();
    rows->addWidget(lblScheduleNote);

    auto* alertRow = new QHBoxLayout;
    auto* lblAlert = makeLabel(this, QStringLiteral("lblAlertCommand"), tr("When links change, run:"));
    txtAlertCommand = makeEntry(this, QStringLiteral("txtAlertCommand"),
                                tr("A shell command run after a scan that lost, found or changed a "
                                   "link: the changes as JSON on its input, CORVANE_LOST, "
                                   "CORVANE_NEW and CORVANE_PROJECT in its environment, at most "
                                   "60 seconds. The help shows a mail and a chat example."));
    lblAlert->setBuddy(txtAlertCommand);
    txtAlertCommand->setText(m_settings.ReadSetting(kAlertCommand));
    alertRow->addWidget(lblAlert);
    alertRow->addWidget(txtAlertCommand, 1);
    rows->addLayout(alertRow);

    connect(txtAlertCommand, &QLineEdit::textChanged, this,
            [this](const QString& text) { m_settings.WriteSetting(kAlertCommand, text); });
    connect(cmbSchedule, &QComboBox::currentIndexChanged, this, &ScheduleRows::applySchedule);
    // Not at every arrow step: each change rewrites the timer and asks systemd to take it.
    connect(txtScheduleAt, &QTimeEdit::editingFinished, this, &ScheduleRows::applySchedule);
    showSchedule();
}

void ScheduleRows::setProjectPath(const QString& path)
{
    m_projectPath = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    showSchedule();
}

void ScheduleRows::showSchedule()
{
    m_showing = true;
    const std::optional<ScheduleInstaller::Entry> entry =
        m_projectPath.isEmpty() ? std::nullopt : ScheduleInstaller().find(m_projectPath);
    const ScanSchedule schedule = entry ? entry->schedule : ScanSchedule();
    cmbSchedule->setCurrentIndex(int(schedule.every));
    txtScheduleAt->setTime(schedule.at);
    cmbSchedule->setEnabled(!m_projectPath.isEmpty());
    txtScheduleAt->setEnabled(!m_projectPath.isEmpty());
    if (m_projectPath.isEmpty())
        lblNextRun->setText(tr("Save the project first: a schedule scans a saved project."));
    else if (schedule.isOn())
        lblNextRun->setText(tr("Next run: %1").arg(schedule.nextRun(QDateTime::currentDateTime())
                                                       .toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    else
        lblNextRun->clear();
    m_showing = false;
}

void ScheduleRows::applySchedule()
{
    if (m_showing || m_projectPath.isEmpty())
        return;
    const ScanSchedule schedule{ScanSchedule::Every(cmbSchedule->currentIndex()), txtScheduleAt->time()};
    const std::optional<ScheduleInstaller::Entry> before = ScheduleInstaller().find(m_projectPath);
    if ((!before && !schedule.isOn()) || (before && before->schedule == schedule))
        return;
    ScheduleInstaller installer;
    const ScheduleInstaller::Outcome outcome =
        installer.set(m_projectPath, schedule,
                      ScheduledCommand::arguments(cliProgram(), m_projectPath, {}));
    QString note = outcome.timerActive ? QString() : outcome.message;
    if (!outcome.cronLine.isEmpty())
        note += u'\n' + outcome.cronLine;
    lblScheduleNote->setText(note);
    lblScheduleNote->setVisible(!note.isEmpty());
    showSchedule();
}

} // namespace corvane
