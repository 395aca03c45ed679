// Report and project-file times as the project grows: a project of N Linking Sites with N result
// rows, for N = 1,000 and 10,000, side by side. Prints milliseconds (best of a few runs) and the
// ratio of the large to the small project (target: at most 12 for a tenfold project).
#include "model/AppFolder.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/SettingsStore.h"
#include "output/ReportWriter.h"

#include "BestTime.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace corvane;

namespace {

constexpr int kRuns = 5;

// N Linking Sites spread over N / 100 Main Sites, one result row per Linking Site in the mix of
// outcomes a real scan gives.
void fill(Project& project, int n)
{
    const int mains = std::max(1, n / 100);
    for (int m = 0; m < mains; ++m) {
        const QString main = QStringLiteral("www.mysite%1.com").arg(m);
        project.mainSites().appendUrl(main);
        LinkingSiteList& list = *project.linkingSites(project.addList());
        for (int s = 0; s < n / mains; ++s) {
            const QString site = QStringLiteral("www.partner%1-%2.org/links.htm").arg(m).arg(s);
            list.appendSite({site, QStringLiteral("1"), QString(), QString(), QString()});
            ResultEntry e;
            e.main = QStringLiteral("mysite%1.com").arg(m);
            e.remote = QStringLiteral("partner%1-%2.org").arg(m).arg(s);
            switch (s % 4) {
            case 0:
                e.status = LinkStatus::Direct;
                e.icon = 2;
                break;
            case 1:
                e.status = LinkStatus::Domain;
                e.icon = 2;
                break;
            case 2:
                e.status = QStringLiteral("None Found (Timeout)");
                break;
            default:
                e.status = QStringLiteral("Missing 001");
                break;
            }
            e.number = QStringLiteral("001");
            e.url = site;
            project.results().appendEntry(e);
        }
    }
}

struct Times {
    double report, save, load;
};

Times measure(int n)
{
    QTemporaryDir dir;
    AppFolder app(dir.path());
    app.seed();
    SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    Project project;
    fill(project, n);
    ProjectFile files(project, settings, app);
    const QString path = app.file(QStringLiteral("Project Files/bench.prj"));
    Times t{};
    t.save = bench::bestMs(kRuns, [&] { files.SaveProjectFile(path); });
    ReportWriter report(project, app, settings);
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale(QLocale::English, QLocale::UnitedStates);
    t.report = bench::bestMs(kRuns, [&] { report.generate(1000, now, locale); });
    Project loaded;
    ProjectFile loader(loaded, settings, app);
    t.load = bench::bestMs(kRuns, [&] { loader.LoadProjectFile(path); });
    return t;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const Times small = measure(1000);
    const Times large = measure(10000);
    std::printf("%-22s %12s %12s %8s %8s\n", "files", "1,000 ms", "10,000 ms", "ratio", "target");
    const auto row = [](const char* name, double a, double b) {
        std::printf("%-22s %12.2f %12.2f %8.2f %8s %s\n", name, a, b, b / a, "<= 12",
                    b / a <= 12.0 ? "ok" : "MISSED");
    };
    row("report generation", small.report, large.report);
    row("project save", small.save, large.save);
    row("project load", small.load, large.load);
    return 0;
}
