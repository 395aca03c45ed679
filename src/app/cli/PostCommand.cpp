#include "app/cli/Commands.h"
#include "app/cli/ProjectIo.h"
#include "model/ProjectLock.h"

#include "model/Project.h"
#include "model/SettingsStore.h"
#include "output/ResultPoster.h"

#include <QDir>
#include <QEventLoop>

namespace corvane::cli {

const char* const kPostHelp =
    "Sends the results saved in the project (by \"scan --save\") to a script on your own web\n"
    "server: for every result row the script URL gets the row's values in place of its\n"
    "variables, and is requested once (HTTP GET). Rows whose status is \"Missing ...\" are not\n"
    "sent. Each request is printed with its HTTP status; any failed request (no answer, or a\n"
    "status of 400 or more) makes the exit status 1.\n"
    "\n"
    "  --script URL    the script URL for this run (in place of the project's single URL);\n"
    "                  with --save it is also stored in the project\n"
    "  --dry-run       print the URLs that would be requested, request nothing\n"
    "  --save          store the --script URL in the project file\n"
    "\n"
    "The project's script URL is the single URL of its Post settings, or with\n"
    "--set optScript=1 the URL given for each Main Site. A URL that is empty or only\n"
    "\"http://\" is refused (exit status 2).\n"
    "\n"
    "Variables (names in any letter case; values URL-encoded, spaces as \"+\"):\n"
    "  $MainSite     the result's Main Site\n"
    "  $LinkingSite  the Linking Site\n"
    "  $Status       True for a Direct, Indirect or Redirect Link, else False (a Domain\n"
    "                Link too)\n"
    "  $FoundOn      the page the link was found on\n"
    "\n"
    "Example:\n"
    "  corvane-cli post links.prj \\\n"
    "    --script 'http://www.mysite.example/links.php?site=$LinkingSite&ok=$Status&page=$FoundOn'\n"
    "requests, for a Direct Link of partner.example found on partner.example/links.html,\n"
    "  http://www.mysite.example/links.php?site=partner.example&ok=True&page=partner.example%2Flinks.html\n";

namespace {

const QString kCommand = QStringLiteral("post");

// The answer as one short line: a script may well answer with a whole page.
QString shortAnswer(const QString& text)
{
    QString line = text.simplified();
    if (line.size() > 200)
        line = line.left(200) + QStringLiteral("...");
    return line;
}

} // namespace

int runPost(const ParsedArguments& args, Environment& env)
{
    const QString scriptOption = QStringLiteral("--script");
    const bool quiet = args.quiet();
    QString projectPath;
    if (const QString wrong = singleProjectFile(args, &projectPath); !wrong.isEmpty())
        return usageError(env, kCommand, wrong);
    if (args.has(QStringLiteral("--save")) && !args.has(scriptOption))
        return usageError(env, kCommand,
                          QStringLiteral("--save stores the --script URL; give --script URL"));
    // --save writes the project back: it is read and written under the project's lock.
    ProjectLock lock(projectPath);
    if (args.has(QStringLiteral("--save")) && !lock.tryLock()) {
        if (lock.heldByOther())
            return failure(env, kCommand, lock.error(), ExitUsage);
        warn(env, kCommand, lock.error());
    }
    Project project;
    QString error;
    if (!loadProjectFile(project, projectPath, &error))
        return failure(env, kCommand, error, ExitUsage);

    if (args.has(scriptOption)) {
        project.setPostSingle(args.value(scriptOption));
        // The URL given is the one to use, whatever the stored choice of targets.
        env.settings->setOverride(QStringLiteral("optScript"), QStringLiteral("0"));
    }
    ResultPoster poster(project, *env.settings, *env.network);
    const int option = poster.option();

    if (project.results().isEmpty())
        return failure(env, kCommand,
                       QStringLiteral("the project has no saved results; run \"corvane-cli scan ")
                           + projectPath + QStringLiteral(" --save\" first"),
                       ExitUsage);
    if (option == 1) {
        const PostTargetList& targets = project.postTargets();
        for (int t = 0; t < targets.count(); ++t) {
            const QString url = targets.cell(t, PostTargetList::ScriptUrl);
            if (!ResultPoster::isScriptUrl(url))
                return failure(env, kCommand,
                               QStringLiteral("the script URL of Main Site \"")
                                   + targets.cell(t, PostTargetList::MainSite)
                                   + QStringLiteral("\" is \"") + url
                                   + QStringLiteral("\": it names no script"),
                               ExitUsage);
        }
    } else if (!ResultPoster::isScriptUrl(project.postSingle())) {
        return failure(env, kCommand,
                       QStringLiteral("the project's script URL is \"") + project.postSingle()
                           + QStringLiteral("\": give one with --script URL (\"corvane-cli help "
                                            "post\" shows how)"),
                       ExitUsage);
    }
    const QList<ResultPoster::Request> requests = ResultPoster::plan(project, option);
    if (requests.isEmpty())
        return failure(env, kCommand,
                       option == 1 ? QStringLiteral("no result row has a script URL for its Main "
                                                    "Site; nothing to post")
                                   : QStringLiteral("every result row is a Missing one; nothing "
                                                    "to post"),
                       ExitUsage);

    if (args.has(QStringLiteral("--dry-run"))) {
        for (const ResultPoster::Request& r : requests)
            env.out << r.url << '\n';
        env.out.flush();
        return ExitDone;
    }

    int failed = 0;
    const QString total = QString::number(requests.size());
    int done = 0;
    QObject::connect(&poster, &ResultPoster::requestFinished, &poster,
                     [&](const ResultPoster::Request& r, const DownloadResult& result) {
                         ++done;
                         const bool ok = result.ok() && result.httpStatus < 400;
                         if (!ok)
                             ++failed;
                         if (quiet && ok)
                             return;
                         QTextStream& stream = ok ? env.out : env.err;
                         stream << '[' << done << '/' << total << "] ";
                         if (result.ok())
                             stream << result.httpStatus;
                         else
                             stream << "failed (" << result.error << ')';
                         stream << ' ' << r.url << '\n';
                         if (!quiet && !result.text.isEmpty())
                             stream << "    Returned: " << shortAnswer(result.text) << '\n';
                         stream.flush();
                     });
    QEventLoop loop;
    QObject::connect(&poster, &ResultPoster::postFinished, &loop, &QEventLoop::quit);
    if (poster.post() && poster.isRunning())
        loop.exec();

    int status = ExitDone;
    if (args.has(QStringLiteral("--save"))) {
        if (!saveProjectFile(project, projectPath, &error))
            status = failure(env, kCommand, error, ExitUsage);
        else if (!quiet)
            env.out << "Saved " << QDir::toNativeSeparators(projectPath) << '\n';
    }
    if (failed > 0) {
        warn(env, kCommand,
             QString::number(failed) + QStringLiteral(" of ") + total
                 + QStringLiteral(" requests failed"));
        if (status == ExitDone)
            status = ExitNotAll;
    } else if (!quiet) {
        env.out << "Posted " << total << (requests.size() == 1 ? " result" : " results") << '\n';
    }
    env.out.flush();
    return status;
}

} // namespace corvane::cli
