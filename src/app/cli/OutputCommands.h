#pragma once

#include "app/cli/Cli.h"
#include "output/JsonExport.h"

namespace corvane {
class HistoryStore;
class Project;
class ResultList;
}

namespace corvane::cli {

// The files the scan, report and export commands write. Each returns ExitDone with "Wrote FILE"
// on out (unless quiet), or ExitUsage with what failed on err. An existing file of the name
// given is replaced; ".tab" and ".htm" are appended unless the name contains them, and a file of
// the bare name that is then not the one written is left alone (the write is refused).
//
// note: empty, or one line saying the results are incomplete (a stopped scan), which the files
// carry: the report under its date and time, the tab export after its rows.
int writeTabFile(const ResultList& results, const QString& file, const QString& note,
                 const QString& command, Environment& env, bool quiet);
int writeReportFile(const Project& project, qint32 pagesScanned, const QString& file,
                    const QString& note, const QString& command, Environment& env, bool quiet,
                    const HistoryStore* history = nullptr, const QString& projectFile = {});
int writeJsonFile(const QJsonObject& document, const QString& file, const QString& command,
                  Environment& env, bool quiet);

// The run facts every JSON document starts with.
JsonExport::RunInfo jsonRunInfo(const QString& command, const QString& projectFile);

} // namespace corvane::cli
