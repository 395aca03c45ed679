// What page analysis costs: a 2 MB page with 20,000 links (relative, absolute to the same host,
// external, mailto, javascript), analysed in full (every link examined, pages inside the site
// queued, its two page copies written). Prints milliseconds for the page and microseconds per
// link (best of a few runs): a measurement to set against a page's network time, not a target.
// Usage: analysis_bench [APP_FOLDER]   (a temporary folder by default)
//   ANALYSIS_BENCH_RUNS=N   runs of each side (5 by default; more for a profiler)
#include "model/AppFolder.h"
#include "model/Project.h"
#include "model/SettingsStore.h"
#include "scan/NetworkContext.h"
#include "scan/PageAnalyzer.h"
#include "scan/ScanStatistics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

using namespace corvane;

namespace {

const int kRuns = std::max(1,
                           qEnvironmentVariableIsSet("ANALYSIS_BENCH_RUNS")
                               ? qEnvironmentVariableIntValue("ANALYSIS_BENCH_RUNS")
                               : 5);
constexpr int kLinks = 20000;

QString makePage()
{
    QString page = QStringLiteral("<html><head><title>Links</title></head><body>\n");
    const QString filler
        = QStringLiteral("Lorem ipsum dolor sit amet, consectetur adipiscing elit ");
    for (int i = 0; i < kLinks; ++i) {
        QString href;
        switch (i % 6) {
        case 0:
            href = QStringLiteral("page%1.htm").arg(i);
            break;
        case 1:
            href = QStringLiteral("../dir%1/page%2.html").arg(i % 50).arg(i);
            break;
        case 2:
            href = QStringLiteral("/abs/p%1.php").arg(i);
            break;
        case 3:
            href = QStringLiteral("http://localhost/site/q%1.asp").arg(i);
            break;
        case 4:
            href = QStringLiteral("http://www.partner%1.org/").arg(i);
            break;
        default:
            href = i % 2 ? QStringLiteral("mailto:a%1@example.org").arg(i)
                         : QStringLiteral("javascript:go(%1)").arg(i);
        }
        page += QStringLiteral("<p>") + filler.left(20 + i % 37) + QStringLiteral("<a href=\"")
            + href + QStringLiteral("\">link</a></p>\n");
    }
    while (page.size() < 2 * 1024 * 1024)
        page += filler;
    page += QStringLiteral("</body></html>\n");
    return page;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    AppFolder folder(argc > 1 ? QString::fromLocal8Bit(argv[1]) : dir.path());
    folder.seed();
    SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    settings.setOverride(QStringLiteral("chkAudioEmail"), QStringLiteral("0"));
    NetworkContext network;
    const QString page = makePage();

    // Each run analyses the page for a fresh Linking Site (nothing known yet); setting up and
    // tearing down the project is not timed.
    double analysis = 1e300;
    for (int run = 0; run < kRuns; ++run) {
        Project project;
        project.mainSites().appendUrl(QStringLiteral("www.mymainsite.com"));
        project.linkingSites(project.addList())
            ->appendSite(
                {QStringLiteral("localhost/site/index.htm"), QStringLiteral("1"), {}, {}, {}});
        ScanState& s = project.state();
        s.bScanRunning = true;
        s.iCurrentMain = 1;
        s.iCurrentSite = 1;
        s.strMainSite = QStringLiteral("mymainsite.com");
        s.strLinkingSite = QStringLiteral("localhost/site/index.htm");
        s.iLinksExpected = 32767;
        s.aFileTypes = {QStringLiteral(".htm"), QStringLiteral(".html"), QStringLiteral(".php"),
                        QStringLiteral(".asp")};
        ScanStatistics statistics(settings);
        PageAnalyzer analyzer(project, settings, statistics, folder, network);
        analyzer.resetForScan();
        bool finished = false;
        QObject::connect(&analyzer, &PageAnalyzer::analysisFinished, &analyzer,
                         [&finished] { finished = true; });
        FetchedPage fetched;
        fetched.strHost = QStringLiteral("localhost");
        fetched.strPath = QStringLiteral("/site/links.htm");
        fetched.strCurUrl = QStringLiteral("localhost/site/links.htm");
        fetched.strCurDir = QStringLiteral("localhost/site/");
        QElapsedTimer t;
        t.start();
        analyzer.AnalyzePage(page, fetched, 1);
        analysis = std::min(analysis, double(t.nsecsElapsed()) / 1e6);
        if (!finished)
            std::fprintf(stderr, "analysis did not finish\n");
    }

    std::printf("%-34s %10s %12s\n", "2 MB page, 20,000 links", "ms", "us per link");
    std::printf("%-34s %10.2f %12.2f\n", "analysis incl. its two page copies", analysis,
                analysis * 1000.0 / kLinks);
    return 0;
}
