// What page analysis costs: a 2 MB page with 20,000 links (relative, absolute to the same host,
// external, mailto, javascript), analysed in full (every link examined, pages inside the site
// queued, its two page copies written). Prints milliseconds for the page and microseconds per
// link (best of a few runs): a measurement to set against a page's network time, not a target.
//
// Then hostile pages, each against a plain page of the same size (ordinary text with a link now
// and then), for the scan's analysis and for the import's link-page extraction: a 1 MB href of
// "../" and "/", a page of 200,000 links to new pages of the site (no page limit, so every one is
// queued), and a 16 MiB page of one link repeated. Work that grows faster than the page shows as
// a ratio that grows with the page; linear work keeps it near the cost of its links.
// Usage: analysis_bench [APP_FOLDER]   (a temporary folder by default)
//   ANALYSIS_BENCH_RUNS=N   runs of each side (5 by default; more for a profiler)
#include "import/LinkExtraction.h"
#include "model/AppFolder.h"
#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "model/SettingsStore.h"
#include "net/NetworkContext.h"
#include "scan/PageAnalyzer.h"

#include "BestTime.h"

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

// Ordinary HTML of about the given size: paragraphs of text, a link to a page of the site in each.
QString plainPage(qsizetype size)
{
    QString page = QStringLiteral("<html><head><title>Plain</title></head><body>\n");
    page.reserve(size + 256);
    const QString filler = QStringLiteral(
        "Lorem ipsum dolor sit amet, consectetur adipiscing elit, sed do eiusmod tempor "
        "incididunt ut labore et dolore magna aliqua. Ut enim ad minim veniam, quis nostrud ");
    for (int i = 0; page.size() < size - 16; ++i)
        page += QStringLiteral("<p>") + filler
            + QStringLiteral("<a href=\"page%1.htm\">more</a></p>\n").arg(i);
    page += QStringLiteral("</body></html>\n");
    return page;
}

struct HostilePage {
    const char* name;
    QString page;
};

QList<HostilePage> hostilePages()
{
    QList<HostilePage> pages;
    const QString open = QStringLiteral("<html><body>\n<a href=\"");
    const QString close = QStringLiteral("\">x</a>\n</body></html>\n");
    pages.append({"1 MB \"../\" and \"/\" href",
                  open + QStringLiteral("../").repeated(512 * 1024 / 3) + QString(512 * 1024, u'/')
                      + QStringLiteral("x.htm") + close});
    QString many = QStringLiteral("<html><body>\n");
    for (int i = 0; i < 200000; ++i)
        many += QStringLiteral("<a href=\"p%1.htm\">x</a>\n").arg(i);
    pages.append({"200,000 links to new pages", many});
    // A page of the Linking Site to the scan, a partner's page to the import.
    const QString link = QStringLiteral("<a href=\"http://localhost/site/page.htm\">x</a>\n");
    QString repeated = QStringLiteral("<html><body>\n");
    repeated += link.repeated((16 * 1024 * 1024 - 64) / link.size());
    pages.append({"16 MiB of one link repeated", repeated});
    return pages;
}

// A fresh project and analyser for one page, as a scan has them on the first page of a Linking
// Site; returns the milliseconds of the analysis. Setting up and tearing down are not timed.
double analyseOnce(const QString& page, SettingsStore& settings, const AppFolder& folder,
                   NetworkContext& network)
{
    Project project;
    project.mainSites().appendUrl(QStringLiteral("www.mymainsite.com"));
    project.linkingSites(project.addList())
        ->appendSite({QStringLiteral("localhost/site/index.htm"), QStringLiteral("1"), {}, {}, {}});
    ScanState& s = project.state();
    s.bScanRunning = true;
    s.iCurrentMain = 1;
    s.iCurrentSite = 1;
    s.lPagesTaken = 1;
    s.lPageLimit = 500;
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
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (!finished)
        std::fprintf(stderr, "analysis did not finish\n");
    return ms;
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

    // Each run analyses the page for a fresh Linking Site (nothing known yet).
    double analysis = 1e300;
    for (int run = 0; run < kRuns; ++run)
        analysis = std::min(analysis, analyseOnce(page, settings, folder, network));

    std::printf("%-34s %10s %12s\n", "2 MB page, 20,000 links", "ms", "us per link");
    std::printf("%-34s %10.2f %12.2f\n", "analysis incl. its two page copies", analysis,
                analysis * 1000.0 / kLinks);

    // Without a page limit every new page of the site is queued: the most work a page can make.
    settings.setOverride(QStringLiteral("chkAuto"), QStringLiteral("0"));
    const QString linkPage = QStringLiteral("http://www.mymainsite.com/links.htm");
    const int runs = std::min(kRuns, 3);
    std::printf("\n%-28s %9s %12s %9s %7s %12s %9s %7s\n", "hostile page (against a plain", "size",
                "analysis ms", "plain ms", "ratio", "import ms", "plain ms", "ratio");
    std::printf("%-28s\n", " page of the same size)");
    for (const HostilePage& hostile : hostilePages()) {
        const QString plain = plainPage(hostile.page.size());
        double hostileMs = 1e300;
        double plainMs = 1e300;
        // The two sides take turns, so a busy moment of the machine weighs on both.
        for (int run = 0; run < runs; ++run) {
            hostileMs = std::min(hostileMs, analyseOnce(hostile.page, settings, folder, network));
            plainMs = std::min(plainMs, analyseOnce(plain, settings, folder, network));
        }
        qsizetype sink = 0;
        const double importMs = bench::bestMs(runs, [&] {
            sink += LinkExtraction::linkPageEntries(hostile.page, linkPage).size();
        });
        const double importPlainMs = bench::bestMs(runs, [&] {
            sink += LinkExtraction::linkPageEntries(plain, linkPage).size();
        });
        std::printf("%-28s %8.1fM %12.1f %9.1f %7.2f %12.1f %9.1f %7.2f\n", hostile.name,
                    double(hostile.page.size()) / (1024 * 1024), hostileMs, plainMs,
                    hostileMs / plainMs, importMs, importPlainMs, importMs / importPlainMs);
        if (sink < 0)
            std::printf("%lld\n", static_cast<long long>(sink));
    }
    return 0;
}
