#include "output/ScanSummary.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;

namespace {

PartnerOutcome outcome(const QString& status, const QString& notes = {})
{
    PartnerOutcome p;
    ResultEntry row;
    row.status = status;
    row.notes = notes;
    p.rows.append(row);
    p.verdict = PartnerVerdict::of(p.rows);
    return p;
}

} // namespace

// The one line that sums up a scan, for the command line and the window alike.
class ScanSummaryTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void line_data()
    {
        QTest::addColumn<QList<PartnerOutcome>>("finished");
        QTest::addColumn<int>("partners");
        QTest::addColumn<int>("pages");
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("line");
        const QList<PartnerOutcome> eight
            = {outcome("Direct Link"), outcome("Domain Link"), outcome("Redirect Link"),
               outcome("Direct Link"), outcome("Indirect Link"), outcome("None Found"),
               outcome("None Found (Timeout)"), outcome("None Found (404 Not found)")};
        QTest::newRow("every partner checked")
            << eight << 8 << 31 << qint64(12300)
            << "8 partners: 5 link back, 1 missing, 2 errors; 31 pages in 12 s";
        QTest::newRow("stopped early, one skipped")
            << QList<PartnerOutcome>{outcome("Direct Link"), outcome("None Found (Skipped)")} << 5
            << 1 << qint64(400) << "5 partners: 1 link back, 0 missing, 0 errors, 4 not checked; "
                                   "1 page in 0.4 s";
        QTest::newRow("one partner, one error")
            << QList<PartnerOutcome>{outcome("None Found (Connection refused)")} << 1 << 0
            << qint64(125000) << "1 partner: 0 link back, 0 missing, 1 error; 0 pages in 2 min 5 s";
        QTest::newRow("links that pass no value")
            << QList<PartnerOutcome>{outcome("Direct Link", "nofollow")} << 1 << 2 << qint64(9949)
            << "1 partner: 1 link back, 0 missing, 0 errors; 1 link passes no value (nofollow, "
               "sponsored, ugc, noindex, robots.txt, canonical); 2 pages in 9.9 s";
        QTest::newRow("blocked partners counted apart")
            << QList<PartnerOutcome>{outcome("Direct Link"),
                                     outcome("None Found (Blocked by bot protection)"),
                                     outcome("None Found (Blocked by bot protection)")}
            << 3 << 3 << qint64(1000)
            << "3 partners: 1 link back, 0 missing, 0 errors, 2 blocked; 3 pages in 1.0 s";
    }
    void line()
    {
        QFETCH(QList<PartnerOutcome>, finished);
        QFETCH(int, partners);
        QFETCH(int, pages);
        QFETCH(qint64, ms);
        QFETCH(QString, line);
        QCOMPARE(ScanSummary::line(finished, partners, pages, ms), line);
    }
};

CORVANE_TEST_CLASS(ScanSummaryTest);
#include "ScanSummaryTest.moc"
