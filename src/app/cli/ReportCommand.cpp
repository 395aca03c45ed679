#include "app/cli/OutputCommands.h"

#include "app/cli/Cli.h"
#include "app/cli/ProjectIo.h"

#include "model/Project.h"
#include "model/ProjectFile.h"
#include "output/OutputFile.h"
#include "output/ReportWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>

namespace corvane::cli {

const char* const kOutputUsage =
    "  report PROJECT.prj --report FILE\n"
    "                        write the HTML report of the project's saved results to FILE\n"
    "                        (\".htm\" is added unless the name contains it; an existing file\n"
    "                        of that name is replaced)\n"
    "  export PROJECT.prj --tab FILE\n"
    "                        write the saved results as a tab-delimited file (\".tab\" is added\n"
    "                        unless the name contains it; an existing file is replaced)\n"
    "  post PROJECT.prj      request the project's script URL once per saved result and print\n"
    "                        the log (--set optScript=1: the script URL of each Main Site)\n";

namespace detail {

QString parseOutputArguments(const QStringList& arguments, const QStringList& valueOptions,
                             OutputArguments& args)
{
    ParsedArguments parsed;
    const QString mistake = parseArguments(arguments, valueOptions, {}, parsed);
    if (!mistake.isEmpty())
        return mistake;
    if (const QString wrong = singleProjectFile(parsed, &args.project); !wrong.isEmpty())
        return wrong;
    args.values = parsed.values;
    for (const auto& [key, value] : parsed.sets)
        args.sets.append(key + u'=' + value);
    for (const QString& option : valueOptions) {
        if (!args.values.contains(option))
            return option + QStringLiteral(" FILE is needed");
    }
    return {};
}


int usageError(QTextStream& err, const QString& command, const QString& text)
{
    err << "corvane-cli " << command << ": " << text << "\n\nUsage:\n" << kOutputUsage;
    err.flush();
    return 2;
}

int failure(QTextStream& err, const QString& command, const QString& text)
{
    err << "corvane-cli " << command << ": " << text << '\n';
    err.flush();
    return 1;
}

OverwriteQuestion replaceOnlyTheTarget(const QString& file, const QString& extension)
{
    return [file, extension](const QString&) {
        return OutputFile::withExtension(file, extension) == file;
    };
}

int reportOutcome(const WriteOutcome& outcome, const QString& command, const QString& file,
                  const QString& extension, QTextStream& out, QTextStream& err)
{
    switch (outcome.status) {
    case WriteOutcome::Status::Written:
        out << "Wrote " << QDir::toNativeSeparators(outcome.path) << '\n';
        out.flush();
        return 0;
    case WriteOutcome::Status::Failed:
        return failure(err, command,
                       QDir::toNativeSeparators(outcome.path) + QStringLiteral(": ")
                           + outcome.message);
    case WriteOutcome::Status::Cancelled:
        break;
    }
    return failure(err, command,
                   QStringLiteral("\"") + QDir::toNativeSeparators(file)
                       + QStringLiteral("\" exists and is not the file that would be written (\"")
                       + QDir::toNativeSeparators(OutputFile::withExtension(file, extension))
                       + QStringLiteral("\"); nothing written"));
}

} // namespace detail

namespace {

int writeReport(const Project& project, qint32 pagesScanned, const QString& file,
                const QString& command, QTextStream& out, QTextStream& err)
{
    const QString document =
        ReportWriter::buildDocument(project, pagesScanned, QDateTime::currentDateTime(), QLocale());
    const QString extension = QStringLiteral(".htm");
    const WriteOutcome outcome = OutputFile::saveUnderChosenName(
        file, extension, detail::replaceOnlyTheTarget(file, extension),
        [&document](const QString& path) { return OutputFile::writeText(path, document); });
    return detail::reportOutcome(outcome, command, file, extension, out, err);
}

} // namespace

int runReport(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QString command = QStringLiteral("report");
    detail::OutputArguments args;
    const QString mistake =
        detail::parseOutputArguments(arguments, {QStringLiteral("--report")}, args);
    if (!mistake.isEmpty())
        return detail::usageError(err, command, mistake);
    Project project;
    QString error;
    if (!loadProjectFile(project, args.project, &error))
        return detail::failure(err, command, error);
    return writeReport(project, 0, args.values.value(QStringLiteral("--report")), command, out, err);
}

int writeReportFile(const Project& project, qint32 pagesScanned, const QString& file,
                    QTextStream& out, QTextStream& err)
{
    return writeReport(project, pagesScanned, file, QStringLiteral("scan"), out, err);
}

} // namespace corvane::cli
