#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>

#include <optional>

namespace corvane {

// When a project is scanned by itself: never, or every day, week (Mondays) or month (the 1st) at
// a time of day. Weeks and months start where the timer and cron tables start theirs, so the next
// run the program shows is the one they make.
struct ScanSchedule {
    enum class Every { Never = 0, Day, Week, Month };

    Every every = Every::Never;
    QTime at = defaultTime();

    static QTime defaultTime() { return QTime(6, 0); }
    // "never", "day", "week", "month"
    static QString name(Every every);
    static std::optional<Every> everyNamed(const QString& name);
    // "HH:MM" (one or two digits for the hour); nullopt when it is not a time of day.
    static std::optional<QTime> timeNamed(const QString& text);

    bool isOn() const { return every != Every::Never; }
    // "every day at 06:00", "never"
    QString text() const;
    // The first run after from (local time); invalid when never.
    QDateTime nextRun(const QDateTime& from) const;
    // The timer's OnCalendar value: "*-*-* 06:00:00", "Mon *-*-* 06:00:00", "*-*-01 06:00:00".
    QString onCalendar() const;
    // The five time fields of a crontab line: "0 6 * * *", "0 6 * * 1", "0 6 1 * *".
    QString cronFields() const;

    bool operator==(const ScanSchedule&) const = default;
};

// The command a schedule runs, as program and arguments, and the same written for the places that
// run it.
namespace ScheduledCommand {

// program scan PROJECT --save --quiet --notify, then each "--set KEY=VALUE" carried along.
QStringList arguments(const QString& cliProgram, const QString& projectPath,
                      const QStringList& sets);
// The "KEY=VALUE" of each "--set" of such a command, in order: what a changed schedule keeps.
QStringList sets(const QStringList& command);
// For a systemd ExecStart= line: each word in double quotes, with "\", "\"", "%" and "$" escaped
// so that systemd hands the program the word as it was.
QString forSystemd(const QStringList& words);
// For a crontab line: each word in single quotes, and "%" (a line break to cron) escaped so
// that cron hands the shell the word as it was, backslashes included.
QString forCron(const QStringList& words);
// What no unit file or crontab line can hold in a word (a line there ends the directive or the
// entry, and what follows would be read as one of its own): "a line break", "a carriage return",
// "a control character (U+0009)"; nullopt when there is none.
std::optional<QString> controlCharacterIn(const QString& word);

} // namespace ScheduledCommand

} // namespace corvane
