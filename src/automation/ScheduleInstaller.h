#pragma once

#include "automation/ScanSchedule.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

// Puts a project's schedule in place as a systemd user timer and its service
// (~/.config/systemd/user/corvane-scan-NAME-HASH.timer and .service, Persistent=true so a run
// missed while the computer was off happens at the next start), enabled with `systemctl --user`;
// turning the schedule off disables and removes them.
//
// Where no user systemd answers (containers, some distributions) the files are still written, as
// the record of the schedule that the list and the window read, and the outcome says so and
// carries the crontab line to add instead.
class ScheduleInstaller final
{
public:
    struct Outcome {
        bool ok = false;         // the schedule is written (or removed)
        bool timerActive = false; // systemd took the timer
        QString message;         // what happened, for the user
        QString cronLine;        // the line to add (or remove) when no user systemd answers
    };
    struct Entry {
        QString projectPath;
        ScanSchedule schedule;
        QString unitName; // without .timer / .service
        QStringList command;
    };

    // unitFolder: where the units go; empty: $XDG_CONFIG_HOME/systemd/user (~/.config/...).
    // systemctl: the program to run, looked up on PATH when it has no "/".
    explicit ScheduleInstaller(QString unitFolder = QString(),
                               QString systemctl = QStringLiteral("systemctl"));

    static QString defaultUnitFolder();
    QString unitFolder() const { return m_unitFolder; }
    // "corvane-scan-links-1a2b3c4d": the project's file name, made fit for a unit name, and a hash
    // of its whole path, so two links.prj in two folders get two timers.
    static QString unitNameFor(const QString& projectPath);

    // The unit files' text.
    static QString timerText(const QString& projectPath, const ScanSchedule& schedule);
    static QString serviceText(const QString& projectPath, const QStringList& command);
    // The crontab line of the same schedule; it names the session bus, which cron does not give.
    static QString cronLine(const ScanSchedule& schedule, const QStringList& command);

    // projectPath is made absolute. command: what the service runs (ScheduledCommand::arguments).
    Outcome set(const QString& projectPath, const ScanSchedule& schedule, const QStringList& command);
    Outcome remove(const QString& projectPath);
    std::optional<Entry> find(const QString& projectPath) const;
    QList<Entry> list() const;

private:
    // Runs systemctl --user with the arguments; false with *error when it cannot or fails.
    bool systemctl(const QStringList& arguments, QString* error) const;
    std::optional<Entry> read(const QString& unitName) const;

    QString m_unitFolder;
    QString m_systemctl;
};

} // namespace corvane
