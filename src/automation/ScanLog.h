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
// Appends the lines, each after "yyyy-MM-dd HH:mm:ss  ". False when the file cannot be written.
bool append(const QString& projectPath, const QStringList& lines);

struct Run {
    QDateTime time;
    QString outcome; // the text after "scan: "
};
// The last "scan: " line.
std::optional<Run> lastRun(const QString& projectPath);

} // namespace ScanLog

} // namespace corvane
