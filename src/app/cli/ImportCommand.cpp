#include "app/cli/ImportCommand.h"

#include "app/cli/ProjectIo.h"

#include "app/cli/Cli.h"

#include "import/GetLinks.h"
#include "import/SiteImporter.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "scan/NetworkContext.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QSaveFile>

namespace corvane::cli {

const char* const kImportUsage =
    "  import PROJECT.prj --linking-sites FILE --main K\n"
    "                        append the Linking Sites of a text file (one \"URL\" or \"URL|#\" a\n"
    "                        line) to Main Site K (1 = the first)\n"
    "  import PROJECT.prj --main-sites FILE\n"
    "                        append the Main Sites of a text file (one a line)\n"
    "  import PROJECT.prj --from-link-page URL --main K\n"
    "                        append to Main Site K every outgoing link of your link page at URL\n";

namespace {

struct ImportArguments {
    QString project;
    QString linkingSitesFile;
    QString mainSitesFile;
    QString linkPageUrl;
    QString main;
    bool hasMain = false;
};

int usageError(QTextStream& err, const QString& text)
{
    err << "corvane-cli import: " << text << "\n\nUsage:\n" << kImportUsage;
    err.flush();
    return 2;
}

int failure(QTextStream& err, const QString& text)
{
    err << "corvane-cli import: " << text << '\n';
    err.flush();
    return 1;
}

// Fills args; returns an error text for a usage mistake, empty when the arguments are sound.
QString parse(const QStringList& arguments, ImportArguments& args)
{
    ParsedArguments parsed;
    const QString mistake = parseArguments(
        arguments,
        {QStringLiteral("--linking-sites"), QStringLiteral("--main-sites"),
         QStringLiteral("--from-link-page"), QStringLiteral("--main")},
        {}, parsed);
    if (!mistake.isEmpty())
        return mistake;
    if (const QString wrong = singleProjectFile(parsed, &args.project); !wrong.isEmpty())
        return wrong;
    args.linkingSitesFile = parsed.values.value(QStringLiteral("--linking-sites"));
    args.mainSitesFile = parsed.values.value(QStringLiteral("--main-sites"));
    args.linkPageUrl = parsed.values.value(QStringLiteral("--from-link-page"));
    args.hasMain = parsed.values.contains(QStringLiteral("--main"));
    args.main = parsed.values.value(QStringLiteral("--main"));

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



} // namespace

int runImport(const QStringList& arguments, NetworkContext& network, QTextStream& out,
              QTextStream& err)
{
    ImportArguments args;
    const QString mistake = parse(arguments, args);
    if (!mistake.isEmpty())
        return usageError(err, mistake);

    Project project;
    QString error;
    if (!loadProjectFile(project, args.project, &error))
        return failure(err, error);

    if (args.hasMain) {
        bool isNumber = false;
        const int k = args.main.toInt(&isNumber);
        if (!isNumber || k < 1 || k > project.mainSiteCount())
            return failure(err, QStringLiteral("there is no Main Site ") + args.main
                                    + QStringLiteral(" in \"")
                                    + QDir::toNativeSeparators(args.project)
                                    + QStringLiteral("\" (it has ")
                                    + QString::number(project.mainSiteCount())
                                    + QStringLiteral(")"));
        project.state().iCurrentMain = qint16(k);
    }

    if (!args.linkingSitesFile.isEmpty() || !args.mainSitesFile.isEmpty()) {
        const ImportOutcome outcome =
            args.mainSitesFile.isEmpty()
                ? SiteImporter::importLinkingSites(project, args.linkingSitesFile)
                : SiteImporter::importMainSites(project, args.mainSitesFile);
        if (!outcome.ok)
            return failure(err, outcome.error);
        out << outcome.status << '\n';
    } else {
        GetLinksRequest request;
        request.option = GetLinksRequest::LinkPage;
        request.linkPageUrl = args.linkPageUrl;
        GetLinks getLinks(network);
        QEventLoop loop;
        QObject::connect(&getLinks, &GetLinks::finished, &loop, &QEventLoop::quit);
        getLinks.start(request);
        out << getLinks.statusText() << '\n';
        out.flush();
        if (getLinks.isRunning())
            loop.exec();
        if (!getLinks.downloadError().isEmpty())
            return failure(err, QStringLiteral("cannot download \"") + args.linkPageUrl
                                    + QStringLiteral("\": ") + getLinks.downloadError());
        out << getLinks.statusText() << '\n';
        QList<int> all;
        for (int row = 0; row < getLinks.results().count(); ++row)
            all.append(row);
        const int added = getLinks.addSelected(project, all);
        out << "Added " << added << " link(s)\n";
    }

    if (!saveProjectFile(project, args.project, &error))
        return failure(err, error);
    out << "Saved " << QDir::toNativeSeparators(args.project) << '\n';
    out.flush();
    return 0;
}

int runImport(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    NetworkContext network;
    return runImport(arguments, network, out, err);
}

} // namespace corvane::cli
