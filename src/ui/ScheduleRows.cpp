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
constexpr int kTimeSettlesMs = 1500;

// The command line the timer runs: the one beside this program, else the one on the PATH.
QString cliProgram()
{
    const QString beside = QCoreApplication::applicationDirPath() + QStringLiteral("/corvane-cli");
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("corvane-cli"));
    return onPath.isEmpty() ? QStringLiteral("corvane-cli") : onPath;
}

// " (with its own AlertCommand)": the settings a schedule made on the command line carries (--set),
// which the fields here do not show.
QString ownSettings(const ScheduleInstaller::Entry& entry)
{
    QStringList keys;
    for (const QString& set : ScheduledCommand::sets(entry.command))
        keys << set.section(u'=', 0, 0);
    if (keys.isEmpty())
        return {};
    return ScheduleRows::tr(" (with its own %1)").arg(keys.join(QStringLiteral(", ")));
}

} // namespace

ScheduleRows::ScheduleRows(SettingsStore& settings, QWidget* parent)
    : QGroupBox(tr("Scheduled scans:"), parent), m_settings(settings)
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
    // Not at every arrow step: each change rewrites the timer and asks systemd to take it. Nor only
    // when the field is left: Tab moves between its hours and minutes, and a window closed with the
    // new time in it must not keep the old one.
    m_timeSettles.setSingleShot(true);
    m_timeSettles.setInterval(kTimeSettlesMs);
    connect(&m_timeSettles, &QTimer::timeout, this, &ScheduleRows::applySchedule);
    connect(txtScheduleAt, &QTimeEdit::timeChanged, this, [this] {
        if (!m_showing)
            m_timeSettles.start();
    });
    connect(txtScheduleAt, &QTimeEdit::editingFinished, this, &ScheduleRows::applySchedule);
    showSchedule();
}

void ScheduleRows::setProjectPath(const QString& path)
{
    const QString absolute = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
    // A note of another project's schedule is not this one's.
    if (absolute != m_projectPath)
        lblScheduleNote->hide();
    m_projectPath = absolute;
    showSchedule();
}

void ScheduleRows::showSchedule(bool keepTime)
{
    m_showing = true;
    const std::optional<ScheduleInstaller::Entry> entry =
        m_projectPath.isEmpty() ? std::nullopt : ScheduleInstaller().find(m_projectPath);
    const ScanSchedule schedule = entry ? entry->schedule : ScanSchedule();
    cmbSchedule->setCurrentIndex(int(schedule.every));
    // A schedule just turned off keeps its time in the field, for turning it on again.
    if (entry || !keepTime)
        txtScheduleAt->setTime(schedule.at);
    cmbSchedule->setEnabled(!m_projectPath.isEmpty());
    txtScheduleAt->setEnabled(!m_projectPath.isEmpty());
    if (m_projectPath.isEmpty())
        lblNextRun->setText(tr("Save the project first: a schedule scans a saved project."));
    else if (schedule.isOn())
        lblNextRun->setText(tr("Next run: %1").arg(schedule.nextRun(QDateTime::currentDateTime())
                                                       .toString(QStringLiteral("yyyy-MM-dd HH:mm")))
                            + ownSettings(*entry));
    else
        lblNextRun->setText(tr("Not scheduled."));
    m_showing = false;
}

void ScheduleRows::hideEvent(QHideEvent* event)
{
    if (m_timeSettles.isActive())
        applySchedule();
    QGroupBox::hideEvent(event);
}

void ScheduleRows::applySchedule()
{
    m_timeSettles.stop();
    if (m_showing || m_projectPath.isEmpty())
        return;
    const ScanSchedule schedule{ScanSchedule::Every(cmbSchedule->currentIndex()), txtScheduleAt->time()};
    const std::optional<ScheduleInstaller::Entry> before = ScheduleInstaller().find(m_projectPath);
    if ((!before && !schedule.isOn()) || (before && before->schedule == schedule))
        return;
    ScheduleInstaller installer;
    const ScheduleInstaller::Outcome outcome =
        installer.set(m_projectPath, schedule,
                      ScheduledCommand::arguments(cliProgram(), m_projectPath,
                                                  before ? ScheduledCommand::sets(before->command)
                                                         : QStringList()));
    // Said only when it needs the user: no user systemd (the crontab line to add or remove), or
    // the timer could not be written or taken. The next run says the rest.
    const bool done = outcome.ok && (schedule.isOn() ? outcome.timerActive : outcome.cronLine.isEmpty());
    QString note = done ? QString() : outcome.message;
    if (!outcome.cronLine.isEmpty())
        note += u'\n' + outcome.cronLine;
    lblScheduleNote->setText(note);
    lblScheduleNote->setVisible(!note.isEmpty());
    showSchedule(true);
}

} // namespace corvane
