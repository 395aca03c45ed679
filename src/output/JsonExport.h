#pragma once

#include "history/PartnerOutcome.h"
#include "output/OutputFile.h"

#include <QDateTime>
#include <QJsonObject>
#include <QJsonValue>

namespace corvane {

class Project;

// The results of a scan (or the saved results of a project) as one JSON object, for scripts:
// the program and version, the project, when the scan ran and whether it reached its end, a
// summary of the Linking Sites by verdict, the statistics, every Linking Site's outcome, every
// result row (as the tab-delimited export has them) and every error row.
namespace JsonExport {

struct RunInfo {
    QString program;
    QString version;
    QString command;     // "scan", "report", "export"
    QString projectFile; // as given
    QDateTime started;   // invalid when no scan ran (the saved results)
    QDateTime finished;
    bool complete = true;
    QString stopped;     // why the scan ended early: "interrupted", "terminated", "ended early"
    bool hasStatistics = false;
    qint32 mainSitesScanned = 0;
    qint32 linkingSitesScanned = 0;
    qint32 pagesScanned = 0;
    qint32 pagesFound = 0;
    qint32 linksFound = 0;
};

// A time as the JSON writes it (local time with its offset), null when there is none; a text,
// null when it is empty.
QJsonValue timeValue(const QDateTime& time);
QJsonValue textOrNull(const QString& text);

QJsonObject build(const Project& project, const QList<PartnerOutcome>& partners,
                  const RunInfo& run);
// Written whole (a failed write keeps an existing file), UTF-8, indented.
WriteOutcome save(const QString& path, const QJsonObject& document);

} // namespace JsonExport

} // namespace corvane
