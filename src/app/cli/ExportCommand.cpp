#include "app/cli/OutputCommands.h"
#include "app/cli/ProjectIo.h"

#include "model/Project.h"
#include "output/TabExport.h"

namespace corvane::cli {

int runExport(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const QString command = QStringLiteral("export");
    detail::OutputArguments args;
    const QString mistake = detail::parseOutputArguments(arguments, {QStringLiteral("--tab")}, args);
    if (!mistake.isEmpty())
        return detail::usageError(err, command, mistake);
    Project project;
    QString error;
    if (!loadProjectFile(project, args.project, &error))
        return detail::failure(err, command, error);
    const QString file = args.values.value(QStringLiteral("--tab"));
    const QString extension = QStringLiteral(".tab");
    const WriteOutcome outcome = TabExport::save(project.results(), file,
                                                 detail::replaceOnlyTheTarget(file, extension));
    return detail::reportOutcome(outcome, command, file, extension, out, err);
}

} // namespace corvane::cli
