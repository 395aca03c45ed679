#pragma once

#include <QGroupBox>
#include <QTimer>

class QComboBox;
class QLabel;
class QLineEdit;
class QTimeEdit;

namespace corvane {

class SettingsStore;

// The options' rows for scheduled scans: "Scan this project automatically: never / every day /
// every week / every month, at HH:MM" for the open, saved project (a systemd user timer, or the
// crontab line to add where there is none), its next run, and "When links change, run:" (the
// setting "AlertCommand"). Each change takes effect at once, as every option does; a time being
// typed or stepped, once it rests a moment (or the rows are hidden). A schedule set on the command
// line keeps its own --set options when it is changed here.
class ScheduleRows final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleRows)

public:
    ScheduleRows(SettingsStore& settings, QWidget* parent = nullptr);

    // The project the schedule is for; empty while the project was never saved.
    void setProjectPath(const QString& path);

protected:
    void hideEvent(QHideEvent* event) override;

private:
    void showSchedule(bool keepTime = false);
    void applySchedule();

    SettingsStore& m_settings;
    QString m_projectPath;
    bool m_showing = false;
    // A time changed but not yet applied.
    QTimer m_timeSettles;
    QComboBox* cmbSchedule = nullptr;
    QTimeEdit* txtScheduleAt = nullptr;
    QLabel* lblNextRun = nullptr;
    QLabel* lblScheduleNote = nullptr;
    QLineEdit* txtAlertCommand = nullptr;
};

} // namespace corvane
