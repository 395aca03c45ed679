// The scan history at ten years of weekly scans: a project of 1,000 partners with 520 scans
// kept. Prints the database's size, the time the "changes" and "history" commands take to read
// it, and the time the window takes to fill the results list's Change column after opening the
// project, each beside its target (under 100 MB, 0.5 s, 0.5 s, 0.2 s) as a ratio.
#include "history/HistoryStore.h"
#include "history/ProjectHistory.h"
#include "model/Project.h"
#include "model/SettingsStore.h"

#include "BestTime.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>

using namespace corvane;

namespace {

constexpr int kPartners = 1000;
constexpr int kScans = 520;
const QString kMain = QStringLiteral("mysite.com");

// A partner's outcome at a scan: most keep linking; every week a few drop out, come back, move
// the link, turn nofollow or do not answer.
PartnerCheck checkAt(int partner, int scan, const QDateTime& when)
{
    PartnerCheck c;
    c.checked = when;
    const unsigned h = unsigned(partner * 7919 + scan * 104729) % 1000;
    if (partner % 10 == 9 || h < 5) {
        c.outcome = PartnerCheck::Outcome::NotFound;
        c.status = QStringLiteral("None Found");
    } else if (h < 25) {
        c.outcome = PartnerCheck::Outcome::Inconclusive;
        c.status = QStringLiteral("None Found (Timeout)");
    } else {
        c.outcome = PartnerCheck::Outcome::Found;
        c.status = QStringLiteral("Direct Link");
        c.foundOn = QStringLiteral("www.partner%1.org/%2.htm")
                        .arg(partner)
                        .arg((scan / 100 + partner) % 3 == 0 ? "links" : "friends");
        c.links = 1;
        c.notes = (scan / 50 + partner) % 7 == 0 ? QStringLiteral("nofollow; text \"My Site\"")
                                                 : QStringLiteral("text \"My Site\"");
    }
    return c;
}

QString verdict(double value, double target)
{
    return QString::asprintf("%6.2f x target  %s", value / target, value <= target ? "ok" : "MISSED");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString project = dir.filePath(QStringLiteral("links.prj"));
    const QString file = HistoryStore::pathFor(project);

    QElapsedTimer built;
    built.start();
    {
        HistoryStore store;
        if (!store.open(file, HistoryStore::Mode::Write)) {
            std::fprintf(stderr, "%s\n", qPrintable(store.error()));
            return 1;
        }
        QDateTime when(QDate(2016, 12, 5), QTime(3, 0));
        for (int s = 0; s < kScans; ++s, when = when.addDays(7)) {
            // One transaction per scan here (generating ten years one partner at a time would
            // only measure the disk's flushes); a real scan commits each partner.
            store.beginBatch();
            const qint64 scan = store.beginScan(when, QStringLiteral("bench"));
            for (int p = 0; p < kPartners; ++p)
                store.recordCheck(scan, kMain, QStringLiteral("www.partner%1.org").arg(p), {},
                                  checkAt(p, s, when), 3);
            store.endScan(scan, when.addSecs(600), true);
            store.endBatch();
        }
    }
    const double buildSeconds = double(built.elapsed()) / 1000.0;
    // The database as the program leaves it: checkpointed into the main file.
    const double megabytes = double(QFileInfo(file).size() + QFileInfo(file + QStringLiteral("-wal")).size())
                             / (1024.0 * 1024.0);

    HistoryStore store;
    store.open(file, HistoryStore::Mode::Read);
    const double changesMs = bench::bestMs(3, [&store] {
        const std::optional<HistoryStore::Scan> last = store.lastScan();
        const QList<HistoryStore::PartnerRow> rows = store.rowsOfScan(last->id);
        const QList<HistoryStore::Partner> partners = store.partners();
        if (rows.size() != kPartners || partners.size() != kPartners)
            std::abort();
    });
    const double historyMs = bench::bestMs(3, [&store] {
        const std::optional<HistoryStore::Partner> p =
            store.partner(kMain, QStringLiteral("www.partner500.org"));
        if (!p || store.partnerRows(p->id).size() != kScans)
            std::abort();
    });
    const double listMs = bench::bestMs(3, [&store] {
        if (store.partners().size() != kPartners)
            std::abort();
    });
    store.close();

    // The window after opening the project: its results list (one row per partner) gets the
    // last scan's changes.
    Project proj;
    proj.mainSites().appendUrl(kMain);
    proj.addList();
    for (int p = 0; p < kPartners; ++p) {
        ResultEntry e;
        e.main = kMain;
        e.remote = QStringLiteral("partner%1.org").arg(p);
        e.status = QStringLiteral("Direct Link");
        proj.results().appendEntry(e);
    }
    SettingsStore settings(dir.filePath(QStringLiteral("settings.ini")));
    const double fillMs = bench::bestMs(3, [&] {
        ProjectHistory history(proj, settings);
        history.projectOpened(project);
        history.showLastChanges();
    });

    std::printf("History of %d partners x %d weekly scans (generated in %.0f s)\n", kPartners,
                kScans, buildSeconds);
    std::printf("  database size            %8.1f MB   %s\n", megabytes,
                qPrintable(verdict(megabytes, 100)));
    std::printf("  changes (last scan)      %8.1f ms   %s\n", changesMs,
                qPrintable(verdict(changesMs, 500)));
    std::printf("  history --partner        %8.1f ms   %s\n", historyMs,
                qPrintable(verdict(historyMs, 500)));
    std::printf("  history (every partner)  %8.1f ms   %s\n", listMs, qPrintable(verdict(listMs, 500)));
    std::printf("  window list fill         %8.1f ms   %s\n", fillMs, qPrintable(verdict(fillMs, 200)));
    return 0;
}
