#include "history/PartnerOutcome.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;

class PartnerOutcomeTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A Linking Site counts as linking back only when nothing is missing; a "None Found" whose
    // reason is the page's own (a warning) is a missing link, one the server or the address gave
    // is an error.
    void verdictFromTheRows_data()
    {
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QString>("verdict");
        QTest::newRow("direct") << QStringList{"Direct Link"} << "linksBack";
        QTest::newRow("domain and redirect") << QStringList{"Domain Link", "Redirect Link"} << "linksBack";
        QTest::newRow("one of two found") << QStringList{"Direct Link", "Missing 001"} << "missing";
        QTest::newRow("none found") << QStringList{"None Found"} << "missing";
        QTest::newRow("a page warning") << QStringList{"None Found (Source Protected)"} << "missing";
        QTest::newRow("rule problem") << QStringList{"None Found (Possible Rule Problem)"} << "missing";
        QTest::newRow("timeout") << QStringList{"None Found (Timeout)"} << "error";
        QTest::newRow("error status") << QStringList{"None Found (404 Not found)"} << "error";
        QTest::newRow("bad host") << QStringList{"None Found (Invalid Host)"} << "error";
        QTest::newRow("bot wall") << QStringList{"None Found (Blocked by bot protection)"} << "blocked";
        QTest::newRow("ordinary refusal") << QStringList{"None Found (403 Forbidden)"} << "error";
        QTest::newRow("skipped") << QStringList{"None Found (Skipped)"} << "notChecked";
        QTest::newRow("no rows") << QStringList{} << "notChecked";
    }
    void verdictFromTheRows()
    {
        QFETCH(QStringList, statuses);
        QFETCH(QString, verdict);
        QList<ResultEntry> rows;
        for (const QString& status : statuses) {
            ResultEntry row;
            row.status = status;
            rows.append(row);
        }
        QCOMPARE(PartnerVerdict::name(PartnerVerdict::of(rows)), verdict);
    }

    void savedResultsGroupByLinkingSite()
    {
        ResultList results;
        for (const auto& [main, remote, status] :
             {std::tuple{"a.test", "p.test", "Direct Link"}, {"a.test", "p.test", "Missing 001"},
              {"a.test", "q.test", "None Found (Timeout)"}, {"b.test", "p.test", "Domain Link"}}) {
            ResultEntry row;
            row.main = QLatin1String(main);
            row.remote = QLatin1String(remote);
            row.status = QLatin1String(status);
            results.appendEntry(row);
        }
        const QList<PartnerOutcome> partners = PartnerVerdict::fromResults(results);
        QCOMPARE(partners.size(), 3);
        QCOMPARE(partners.at(0).statuses(), (QStringList{"Direct Link", "Missing 001"}));
        QCOMPARE(partners.at(0).verdict, PartnerOutcome::Verdict::Missing);
        QCOMPARE(partners.at(1).reason(), QStringLiteral("Timeout"));
        QCOMPARE(partners.at(2).main, QStringLiteral("b.test"));
        QCOMPARE(partners.at(2).verdict, PartnerOutcome::Verdict::LinksBack);
    }
};

CORVANE_TEST_CLASS(PartnerOutcomeTest);
#include "PartnerOutcomeTest.moc"
