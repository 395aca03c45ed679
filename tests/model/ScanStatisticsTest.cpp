#include "model/ScanStatistics.h"
#include "model/SettingsStore.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QSignalSpy>
#include <QTest>

#include <limits>

using namespace corvane;

namespace {

constexpr qint32 kMax = std::numeric_limits<qint32>::max();

// mainSites, linkingSites, pages, pagesFound, links, histPages, histLinks
QList<qint32> counters(const ScanStatistics& s)
{
    return {s.lMainSitesScanned, s.lLinkingSitesScanned, s.lPagesScanned,  s.lPagesFound,
            s.lLinksFound,       s.lHistPagesScanned,    s.lHistLinksFound};
}

} // namespace

class ScanStatisticsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void counting_data()
    {
        QTest::addColumn<QList<int>>("events");
        QTest::addColumn<QList<qint32>>("expected");
        QTest::newRow("a 404 page counts twice")
            << QList<int>{0, 0} << QList<qint32>{0, 0, 2, 0, 0, 2, 0};
        QTest::newRow("queued pages") << QList<int>{1, 1, 1} << QList<qint32>{0, 0, 0, 3, 0, 0, 0};
        QTest::newRow("links and redirect links")
            << QList<int>{2, 2} << QList<qint32>{0, 0, 0, 0, 2, 0, 2};
        QTest::newRow("two Main Sites ending normally")
            << QList<int>{4, 3, 4, 3} << QList<qint32>{2, 2, 0, 0, 0, 0, 0};
        QTest::newRow("unknown kinds count nothing")
            << QList<int>{5, -1, 100} << QList<qint32>{0, 0, 0, 0, 0, 0, 0};
    }
    void counting()
    {
        QFETCH(QList<int>, events);
        QFETCH(QList<qint32>, expected);
        test::Sandbox box;
        ScanStatistics stats(*box.settings);
        QSignalSpy changed(&stats, &ScanStatistics::statisticsChanged);
        for (const int kind : events)
            stats.CountScanEvent(kind);
        QCOMPARE(counters(stats), expected);
        QCOMPARE(changed.count(), events.size()); // every count refreshes the display
    }

    void pagesQueuedInOneGo()
    {
        test::Sandbox box;
        ScanStatistics stats(*box.settings);
        QSignalSpy changed(&stats, &ScanStatistics::statisticsChanged);
        stats.CountPagesQueued(0);
        stats.CountPagesQueued(-3);
        QCOMPARE(changed.count(), 0);
        stats.CountPagesQueued(2500);
        stats.CountScanEvent(ScanStatistics::PageQueued);
        QCOMPARE(stats.lPagesFound, 2501);
        QCOMPARE(changed.count(), 2);
        // The counter stops at its largest value.
        stats.CountPagesQueued(std::numeric_limits<qint32>::max());
        QCOMPARE(stats.lPagesFound, std::numeric_limits<qint32>::max());
        QCOMPARE(counters(stats),
                 (QList<qint32>{0, 0, 0, std::numeric_limits<qint32>::max(), 0, 0, 0}));
    }

    void historyPersistsAcrossRuns()
    {
        test::Sandbox box;
        {
            ScanStatistics stats(*box.settings);
            for (const int kind : {0, 0, 0, 2, 1, 3, 4})
                stats.CountScanEvent(kind);
            QCOMPARE(box.settings->ReadSetting(QStringLiteral("lHistWebScanned")),
                     QStringLiteral("3"));
            QCOMPARE(box.settings->ReadSetting(QStringLiteral("lHistEmailFound")),
                     QStringLiteral("1"));

            QSignalSpy changed(&stats, &ScanStatistics::statisticsChanged);
            stats.resetRun();
            QCOMPARE(counters(stats), (QList<qint32>{0, 0, 0, 0, 0, 3, 1}));
            QCOMPARE(changed.count(), 0); // the panel keeps the last scan until the next count
        }
        ScanStatistics next(*box.settings);
        QCOMPARE(counters(next), (QList<qint32>{0, 0, 0, 0, 0, 3, 1}));
        next.CountScanEvent(0);
        QCOMPARE(next.lHistPagesScanned, 4);
    }

    void storedHistory_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<qint32>("loaded");
        QTest::newRow("number") << "41" << 41;
        QTest::newRow("blanks around") << " 12 " << 12;
        QTest::newRow("not a number") << "abc" << 0;
        QTest::newRow("number with trailing text") << "12abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("negative") << "-5" << 0;
        QTest::newRow("beyond the range") << "99999999999" << kMax;
        QTest::newRow("far beyond the range") << "999999999999999999999999999" << kMax;
    }
    void storedHistory()
    {
        QFETCH(QString, stored);
        QFETCH(qint32, loaded);
        test::Sandbox box;
        box.settings->WriteSetting(QStringLiteral("lHistWebScanned"), stored);
        box.settings->WriteSetting(QStringLiteral("lHistEmailFound"), stored);
        ScanStatistics stats(*box.settings);
        QCOMPARE(stats.lHistPagesScanned, loaded);
        QCOMPARE(stats.lHistLinksFound, loaded);
        stats.CountScanEvent(2);
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("lHistEmailFound")),
                 QString::number(loaded == kMax ? kMax : loaded + 1));
    }

    void countersSaturate()
    {
        test::Sandbox box;
        box.settings->WriteSetting(QStringLiteral("lHistWebScanned"), QStringLiteral("2147483646"));
        ScanStatistics stats(*box.settings);
        stats.lPagesScanned = kMax - 1;
        stats.lLinkingSitesScanned = kMax;
        for (int i = 0; i < 3; ++i) {
            stats.CountScanEvent(0);
            stats.CountScanEvent(4);
        }
        QCOMPARE(stats.lPagesScanned, kMax);
        QCOMPARE(stats.lHistPagesScanned, kMax);
        QCOMPARE(stats.lLinkingSitesScanned, kMax);
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("lHistWebScanned")),
                 QStringLiteral("2147483647"));
    }
};

CORVANE_TEST_CLASS(ScanStatisticsTest);
#include "ScanStatisticsTest.moc"
