#include "app/cli/OutputCommands.h"

#include "history/ProjectHistory.h"

#include "app/cli/Commands.h"
#include "app/cli/ProjectIo.h"
#include "branding/Branding.h"
#include "model/Project.h"
#include "output/OutputFile.h"
#include "output/ReportWriter.h"
#include "output/TabExport.h"

#include <QDateTime>
#include <QDir>
#include <QLocale>

#include <algorithm>
#include <functional>

namespace corvane::cli {

const char* const kReportHelp =
    "Writes the HTML report of the results saved in the project (by \"scan --save\") to FILE;\n"
    "\".htm\" is added unless the name contains it, and an existing file of that name is\n"
    "replaced. The report counts no pages scanned: no scan ran.\n"
    "\n"
    "  --report FILE   the HTML report\n"
    "  --json FILE     the saved results as JSON (see \"help scan\"); either option will do\n";

const char* const kExportHelp =
    "Writes the results saved in the project (by \"scan --save\") as a tab-delimited file:\n"
    "the column titles Main, Remote, Status, No., URL, an empty line, then one line per\n"
    "result. \".tab\" is added unless the name contains it; an existing file is replaced.\n"
    "\n"
    "  --tab FILE      the tab-delimited file\n"
    "  --json FILE     the saved results as JSON (see \"help scan\"); either option will do\n";

namespace {

// The command line names the file, which answers the overwrite question for it; a file of the
// bare name that the extension rule moves away from is not the user's target and stays.
OverwriteQuestion replaceOnlyTheTarget(const QString& file, const QString& extension)
{
    return [file, extension](const QString&) {
        return OutputFile::withExtension(file, extension) == file;
    };
}

int reportOutcome(const WriteOutcome& outcome, const QString& command, const QString& file,
                  const QString& extension, Environment& env, bool quiet)
{
    switch (outcome.status) {
    case WriteOutcome::Status::Written:
        if (!quiet) {
            env.out << "Wrote " << QDir::toNativeSeparators(outcome.path) << '\n';
            env.out.flush();
        }
        return ExitDone;
    case WriteOutcome::Status::Failed:
        return failure(env, command,
                       QStringLiteral("cannot write \"") + QDir::toNativeSeparators(outcome.path)
                           + QStringLiteral("\": ") + outcome.message,
                       ExitUsage);
    case WriteOutcome::Status::Cancelled:
        break;
    }
    return failure(env, command,
                   QStringLiteral("\"") + QDir::toNativeSeparators(file)
                       + QStringLiteral("\" exists and is not the file that would be written (\"")
                       + QDir::toNativeSeparators(OutputFile::withExtension(file, extension))
                       + QStringLiteral("\"); nothing written"),
                   ExitUsage);
}

int writeUnderName(const QString& text, const QString& file, const QString& extension,
                   const QString& command, Environment& env, bool quiet)
{
    const WriteOutcome outcome = OutputFile::saveUnderChosenName(
        file, extension, replaceOnlyTheTarget(file, extension),
        [&text](const QString& path) { return OutputFile::writeText(path, text); });
    return reportOutcome(outcome, command, file, extension, env, quiet);
}

// report and export: what they both do with the saved results.
int writeSavedResults(const ParsedArguments& args, Environment& env, const QString& ownOption,
                      const std::function<int(const Project&, const QString&, const HistoryStore*)>& writeOwn)
{
    const QString json = QStringLiteral("--json");
    QString projectPath;
    if (const QString wrong = singleProjectFile(args, &projectPath); !wrong.isEmpty())
        return usageError(env, args.command, wrong);
    if (!args.has(ownOption) && !args.has(json))
        return usageError(env, args.command,
                          QStringLiteral("nothing to write: give ") + ownOption
                              + QStringLiteral(" FILE or --json FILE"));
    Project project;
    QString error;
    if (!loadProjectFile(project, projectPath, &error))
        return failure(env, args.command, error, ExitUsage);
    // The last scan's changes from the project's history, when it has one.
    ProjectHistory history(project, *env.settings);
    history.projectOpened(projectPath);
    history.showLastChanges();
    if (!history.error().isEmpty())
        warn(env, args.command, history.error());
    int status = ExitDone;
    if (args.has(ownOption))
        status = std::max(status, writeOwn(project, args.value(ownOption), history.reader()));
    if (args.has(json)) {
        const QJsonObject doc = JsonExport::build(
            project, PartnerVerdict::fromResults(project.results()),
            jsonRunInfo(args.command, projectPath));
        status = std::max(status, writeJsonFile(doc, args.value(json), args.command, env,
                                                args.quiet()));
    }
    return status;
}

} // namespace

JsonExport::RunInfo jsonRunInfo(const QString& command, const QString& projectFile)
{
    JsonExport::RunInfo run;
    run.program = QStringLiteral("corvane-cli");
    run.version = Branding::version();
    run.command = command;
    run.projectFile = projectFile;
    return run;
}

int writeTabFile(const ResultList& results, const QString& file, const QString& note,
                 const QString& command, Environment& env, bool quiet)
{
    QString text = TabExport::buildText(results);
    if (!note.isEmpty())
        text += note + QStringLiteral("\r\n");
    return writeUnderName(text, file, QStringLiteral(".tab"), command, env, quiet);
}

int writeReportFile(const Project& project, qint32 pagesScanned, const QString& file,
                    const QString& note, const QString& command, Environment& env, bool quiet,
                    const HistoryStore* history, const QString& projectFile)
{
    QString document = ReportWriter::buildDocument(
        project, pagesScanned, QDateTime::currentDateTime(), QLocale(), history, projectFile);
    if (!note.isEmpty()) {
        // Under the date and time, before the first rule: where a reader looks first.
        const qsizetype rule = document.indexOf(QStringLiteral("<hr>"));
        document.insert(rule < 0 ? document.size() : rule,
                        QStringLiteral("<b>") + note.toHtmlEscaped()
                            + QStringLiteral("</b><BR><BR>\r\n"));
    }
    return writeUnderName(document, file, QStringLiteral(".htm"), command, env, quiet);
}

int writeJsonFile(const QJsonObject& document, const QString& file, const QString& command,
                  Environment& env, bool quiet)
{
    return reportOutcome(JsonExport::save(file, document), command, file, QString(), env, quiet);
}

int runReport(const ParsedArguments& args, Environment& env)
{
    return writeSavedResults(args, env, QStringLiteral("--report"),
                             [&](const Project& project, const QString& file,
                                 const HistoryStore* history) {
                                 QString projectPath;
                                 singleProjectFile(args, &projectPath);
                                 return writeReportFile(project, 0, file, QString(), args.command,
                                                        env, args.quiet(), history, projectPath);
                             });
}

int runExport(const ParsedArguments& args, Environment& env)
{
    return writeSavedResults(args, env, QStringLiteral("--tab"),
                             [&](const Project& project, const QString& file,
                                 const HistoryStore*) {
                                 return writeTabFile(project.results(), file, QString(),
                                                     args.command, env, args.quiet());
                             });
}

} // namespace corvane::cli
