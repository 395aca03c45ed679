#include "app/cli/Commands.h"
#include "app/cli/ProjectIo.h"
#include "model/ProjectLock.h"

#include "import/GetLinks.h"
#include "import/SiteImporter.h"
#include "model/Project.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"

#include <QDir>
#include <QEventLoop>

#include <optional>

namespace corvane::cli {

const char* const kImportHelp =
    "Adds sites to the project and saves it in place; whatever goes wrong, the project file\n"
    "is left as it was.\n"
    "\n"
    "  --linking-sites FILE --main K\n"
    "                  the Linking Sites of a text file (one \"URL\" or \"URL|#\" a line; # is\n"
    "                  the number of links expected) into Main Site K (1 = the first)\n"
    "  --main-sites FILE\n"
    "                  the Main Sites of a text file (one a line)\n"
    "  --from-link-page URL --main K\n"
    "                  every outgoing link (http and https) of your own link page at URL,\n"
    "                  as Linking Sites of Main Site K; links to your own site, to pictures,\n"
    "                  scripts and documents are left out. A page that cannot be fetched,\n"
    "                  answers with an error status or is empty ends with exit status 1;\n"
    "                  the page is given up like a scan's page (txtTimeout), and Ctrl+C\n"
    "                  ends the import at once (exit status 130), adding nothing.\n";

namespace {

const QString kCommand = QStringLiteral("import");

struct ImportArguments {
    QString project;
    QString linkingSitesFile;
    QString mainSitesFile;
    QString linkPageUrl;
    QString main;
    bool hasMain = false;
};

// Empty when the arguments are sound, else the usage mistake.
QString check(const ParsedArguments& parsed, ImportArguments& args)
{
    if (const QString wrong = singleProjectFile(parsed, &args.project); !wrong.isEmpty())
        return wrong;
    args.linkingSitesFile = parsed.value(QStringLiteral("--linking-sites"));
    args.mainSitesFile = parsed.value(QStringLiteral("--main-sites"));
    args.linkPageUrl = parsed.value(QStringLiteral("--from-link-page"));
    args.hasMain = parsed.has(QStringLiteral("--main"));
    args.main = parsed.value(QStringLiteral("--main"));

    const int sources = int(!args.linkingSitesFile.isEmpty()) + int(!args.mainSitesFile.isEmpty())
                        + int(!args.linkPageUrl.isEmpty());
    if (sources != 1)
        return QStringLiteral(
            "give exactly one of --linking-sites, --main-sites and --from-link-page");
    if (!args.mainSitesFile.isEmpty() && args.hasMain)
        return QStringLiteral("--main-sites adds Main Sites; --main is not used with it");
    if (args.mainSitesFile.isEmpty() && !args.hasMain)
        return QStringLiteral("--main K names the Main Site that receives the Linking Sites");
    return {};
}

// Why a link page gave nothing to import; empty when it answered with a page.
QString linkPageProblem(const GetLinks& getLinks)
{
    if (!getLinks.downloadError().isEmpty())
        return QStringLiteral("no answer (") + getLinks.downloadError() + u')';
    if (getLinks.httpStatus() >= 400)
        return QStringLiteral("the server answered with status ")
               + QString::number(getLinks.httpStatus());
    if (getLinks.answerWasEmpty())
        return QStringLiteral("the page is empty");
    return {};
}

} // namespace

int runImport(const ParsedArguments& parsed, Environment& env)
{
    ImportArguments args;
    if (const QString mistake = check(parsed, args); !mistake.isEmpty())
        return usageError(env, kCommand, mistake);
    const bool quiet = parsed.quiet();

    // Read, changed and written back under the project's lock: a scan saving the same project
    // meanwhile would otherwise drop what this import adds.
    ProjectLock lock(args.project);
    if (!lock.tryLock()) {
        if (lock.heldByOther())
            return failure(env, kCommand, lock.error(), ExitUsage);
        warn(env, kCommand, lock.error());
    }
    Project project;
    QString error;
    if (!loadProjectFile(project, args.project, &error))
        return failure(env, kCommand, error, ExitUsage);

    if (args.hasMain) {
        bool isNumber = false;
        const int k = args.main.toInt(&isNumber);
        if (!isNumber || k < 1 || k > project.mainSiteCount())
            return usageError(env, kCommand,
                              QStringLiteral("--main ") + args.main
                                  + QStringLiteral(": there is no such Main Site in \"")
                                  + QDir::toNativeSeparators(args.project)
                                  + QStringLiteral("\" (it has ")
                                  + QString::number(project.mainSiteCount())
                                  + QStringLiteral(")"));
        project.state().iCurrentMain = qint16(k);
    }

    QString done;
    if (!args.linkingSitesFile.isEmpty() || !args.mainSitesFile.isEmpty()) {
        const ImportOutcome outcome =
            args.mainSitesFile.isEmpty()
                ? SiteImporter::importLinkingSites(project, args.linkingSitesFile)
                : SiteImporter::importMainSites(project, args.mainSitesFile);
        if (!outcome.ok)
            return failure(env, kCommand, outcome.error, ExitUsage);
        done = outcome.status;
    } else {
        GetLinksRequest request;
        request.option = GetLinksRequest::LinkPage;
        request.linkPageUrl = args.linkPageUrl;
        GetLinks getLinks(*env.network);
        // The scan's idle timeout holds for the link page too; a page that trickles in for
        // longer than five times it is given up all the same.
        if (env.settings)
            getLinks.setIdleTimeout(env.settings->readInt(SettingKey::txtTimeout) * 1000);
        QEventLoop loop;
        QObject::connect(&getLinks, &GetLinks::finished, &loop, &QEventLoop::quit);
        std::optional<Interrupt::Kind> interrupted;
        if (env.interrupt) {
            QObject::connect(env.interrupt, &Interrupt::interrupted, &loop,
                             [&getLinks, &loop, &interrupted](Interrupt::Kind kind) {
                                 if (interrupted)
                                     return;
                                 interrupted = kind;
                                 getLinks.abort();
                                 loop.quit();
                             });
        }
        getLinks.start(request);
        if (getLinks.isRunning())
            loop.exec();
        if (interrupted)
            return failure(env, kCommand,
                           (*interrupted == Interrupt::Kind::CtrlC
                                ? QStringLiteral("interrupted by Ctrl+C")
                                : QStringLiteral("stopped by a request to end (SIGTERM)"))
                               + QStringLiteral(" while reading the link page; nothing added"),
                           *interrupted == Interrupt::Kind::CtrlC ? ExitInterrupted : ExitNotAll);
        if (const QString problem = linkPageProblem(getLinks); !problem.isEmpty())
            return failure(env, kCommand,
                           QStringLiteral("cannot read the link page \"") + args.linkPageUrl
                               + QStringLiteral("\": ") + problem + QStringLiteral("; nothing added"),
                           ExitNotAll);
        QList<int> all;
        for (int row = 0; row < getLinks.results().count(); ++row)
            all.append(row);
        const int added = getLinks.addSelected(project, all);
        done = QStringLiteral("Found ") + QString::number(getLinks.results().count())
               + QStringLiteral(" link(s) on the link page; added ") + QString::number(added)
               + QStringLiteral(" to Main Site ") + args.main;
    }

    if (!saveProjectFile(project, args.project, &error))
        return failure(env, kCommand, error, ExitUsage);
    if (!quiet) {
        env.out << done << '\n'
                << "Saved " << QDir::toNativeSeparators(args.project) << '\n';
        env.out.flush();
    }
    return ExitDone;
}

} // namespace corvane::cli
