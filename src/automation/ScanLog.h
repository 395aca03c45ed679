#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

// The log of the scans that ran by themselves or raised alerts, beside the project file
// (links.prj -> links.scan.log): a line for each scan's outcome, the notification and the alert
// command, each after its local time. A scheduled run has no window to show them, and the list of
// schedules reads its last run from here.
namespace ScanLog {

QString pathFor(const QString& projectPath);

// A daily schedule must not grow the log for ever: an append that would take it past maxBytes
// keeps only its newest whole lines, about half of maxBytes, and the lines appended.
constexpr qint64 kMaxBytes = 256 * 1024;
// Appends the lines, each after "yyyy-MM-dd HH:mm:ss  ". False when the file cannot be written.
bool append(const QString& projectPath, const QStringList& lines, qint64 maxBytes = kMaxBytes);

struct Run {
    QDateTime time;
    QString outcome; // the text after "scan: "
};
// The last "scan: " line.
std::optional<Run> lastRun(const QString& projectPath);

} // namespace ScanLog

} // namespace corvane
