#pragma once

#include <QGroupBox>

class QComboBox;
class QLabel;
class QLineEdit;
class QTimeEdit;

namespace corvane {

class SettingsStore;

// The options' rows for scans that run by themselves: "Scan this project automatically: never /
// every day / every week / every month, at HH:MM" for the open, saved project (a systemd user
// timer, or the crontab line to add where there is none), its next run, and "When links change,
// run:" (the setting "AlertCommand"). Each change takes effect at once, as every option does.
class ScheduleRows final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScheduleRows)

public:
    ScheduleRows(SettingsStore& settings, QWidget* parent = nullptr);

    // The project the schedule is for; empty while the project was never saved.
    void setProjectPath(const QString& path);

private:
    void showSchedule();
    void applySchedule();

    SettingsStore& m_settings;
    QString m_projectPath;
    bool m_showing = false;
    QComboBox* cmbSchedule = nullptr;
    QTimeEdit* txtScheduleAt = nullptr;
    QLabel* lblNextRun = nullptr;
    QLabel* lblScheduleNote = nullptr;
    QLineEdit* txtAlertCommand = nullptr;
};

} // namespace corvane
