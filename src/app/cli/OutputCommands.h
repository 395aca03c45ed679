#pragma once

#include "output/OutputFile.h"

#include <QHash>
#include <QStringList>
#include <QTextStream>

namespace corvane {
class NetworkContext;
class Project;
class SettingsStore;
}

namespace corvane::cli {

// The usage lines of report, export and post, for the command line's help text.
extern const char* const kOutputUsage;

// Each command takes what follows its own word on the command line. The common options
// (--app-dir DIR, --set KEY=VALUE) may be left in: --set is applied to the settings of the run,
// --app-dir is passed over. Exit status: 0 done, 1 a file could not be read or written (or
// nothing to post), 2 a usage mistake.

// `report PROJECT.prj --report FILE`: the HTML report of the saved results (no pages scanned in
// this run, no errors), written to FILE; ".htm" is appended unless FILE contains it.
int runReport(const QStringList& arguments, QTextStream& out, QTextStream& err);

// `export PROJECT.prj --tab FILE`: the saved results as a tab-delimited file; ".tab" is appended
// unless FILE contains it.
int runExport(const QStringList& arguments, QTextStream& out, QTextStream& err);

// `post PROJECT.prj`: requests the project's script URL once per saved result (the single URL,
// or with the setting optScript=1 the URL of each Main Site) and prints the log.
int runPost(const QStringList& arguments, NetworkContext& network, SettingsStore& settings,
            QTextStream& out, QTextStream& err);
int runPost(const QStringList& arguments, QTextStream& out, QTextStream& err);

// For `scan --report FILE`: writes the report of the project just scanned to FILE with the
// pages the scan counted. An existing FILE is replaced; a file of the bare name that is not the
// one written (FILE without ".htm") is left alone and the write refused. Returns the exit
// status: "Wrote FILE" on out, or what failed on err.
int writeReportFile(const Project& project, qint32 pagesScanned, const QString& file,
                    QTextStream& out, QTextStream& err);

namespace detail {

struct OutputArguments {
    QString project;
    QHash<QString, QString> values; // "--report" -> FILE
    QStringList sets;               // KEY=VALUE of every --set
};

// Empty on success, else the usage mistake. valueOptions: the command's own options, each
// taking one value.
QString parseOutputArguments(const QStringList& arguments, const QStringList& valueOptions,
                             OutputArguments& args);
int usageError(QTextStream& err, const QString& command, const QString& text);
int failure(QTextStream& err, const QString& command, const QString& text);
// The command line names the file, which answers the overwrite question for it; a file of the
// bare name that the extension rule moves away from is not the user's target and stays.
OverwriteQuestion replaceOnlyTheTarget(const QString& file, const QString& extension);
// A save's outcome as the command's exit status, with its message.
int reportOutcome(const WriteOutcome& outcome, const QString& command, const QString& file,
                  const QString& extension, QTextStream& out, QTextStream& err);

} // namespace detail

} // namespace corvane::cli
