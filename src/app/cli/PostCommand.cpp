#include "app/cli/OutputCommands.h"
#include "app/cli/ProjectIo.h"

#include "model/Project.h"
#include "model/SettingsStore.h"
#include "output/ResultPoster.h"
#include "scan/NetworkContext.h"

#include <QEventLoop>

namespace corvane::cli {

int runPost(const QStringList& arguments, NetworkContext& network, SettingsStore& settings,
            QTextStream& out, QTextStream& err)
{
    const QString command = QStringLiteral("post");
    detail::OutputArguments args;
    const QString mistake = detail::parseOutputArguments(arguments, {}, args);
    if (!mistake.isEmpty())
        return detail::usageError(err, command, mistake);
    for (const QString& set : args.sets) {
        const qsizetype eq = set.indexOf(u'=');
        settings.setOverride(set.left(eq), set.mid(eq + 1));
    }
    Project project;
    QString error;
    if (!loadProjectFile(project, args.project, &error))
        return detail::failure(err, command, error);

    ResultPoster poster(project, settings, network);
    // The log goes out as it grows, so a long run shows its progress.
    QObject::connect(&poster, &ResultPoster::logAppended, &poster, [&out](const QString& text) {
        out << text;
        out.flush();
    });
    QString status;
    QObject::connect(&poster, &ResultPoster::statusChanged, &poster,
                     [&status](const QString& text) { status = text; });
    QEventLoop loop;
    QObject::connect(&poster, &ResultPoster::postFinished, &loop, &QEventLoop::quit);
    if (!poster.post())
        return detail::failure(err, command, status);
    // A run whose rows are all skipped has finished inside post().
    if (poster.isRunning())
        loop.exec();
    out << '\n';
    out.flush();
    return 0;
}

int runPost(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    NetworkContext network;
    SettingsStore settings;
    return runPost(arguments, network, settings, out, err);
}

} // namespace corvane::cli
