#include "output/ResultListActions.h"

#include "OutputTestData.h"
#include "support/TestRegistry.h"

#include <QAbstractItemModelTester>
#include <QTest>

using namespace corvane;
using namespace corvane::ResultListActions;

namespace {

QStringList column(const RecordTableModel& list, int c)
{
    QStringList texts;
    for (int row = 0; row < list.count(); ++row)
        texts << list.cell(row, c);
    return texts;
}

void fill(ResultList& results)
{
    results.appendEntry(test::result(QStringLiteral("b.example"), QStringLiteral("r2"),
                                     LinkStatus::Direct, QStringLiteral("x")));
    results.appendEntry(test::result(QStringLiteral("A.example"), QStringLiteral("r1"),
                                     QStringLiteral("None Found (Timeout)")));
    results.appendEntry(test::result(QStringLiteral("c.example"), QStringLiteral("r3"),
                                     QStringLiteral("Missing 002")));
}

} // namespace

class ResultListActionsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The direction belongs to the list: every header click toggles it, whichever column.
    void headerClicksToggleTheListsDirection()
    {
        ResultList results;
        QAbstractItemModelTester tester(&results);
        fill(results);
        QVERIFY(sortList(results, 1));
        QCOMPARE(column(results, 0), QStringList({"c.example", "b.example", "A.example"}));
        QVERIFY(sortList(results, 1));
        QCOMPARE(column(results, 0), QStringList({"A.example", "b.example", "c.example"}));
        QVERIFY(sortList(results, 2)); // another column: opposite of the previous sort
        QCOMPARE(column(results, 1), QStringList({"r3", "r2", "r1"}));
        QCOMPARE(results.sortColumn(), 2);
    }

    void textOrderIgnoresCaseAndNumbersSortAsText()
    {
        ErrorList errors;
        for (const char* e : {"9", "10", "b", "B2", "a"})
            errors.appendEntry({QString::fromLatin1(e), {}});
        sortList(errors, 1); // descending
        sortList(errors, 1); // ascending
        QCOMPARE(column(errors, 0), QStringList({"10", "9", "a", "b", "B2"}));
    }

    void emptyListKeepsItsDirection()
    {
        ResultList results;
        QVERIFY(sortList(results, 1));
        QVERIFY(!results.isSorted());
        fill(results);
        sortList(results, 1); // the first real click still sorts descending
        QCOMPARE(results.cell(0, ResultList::Main), QStringLiteral("c.example"));
    }

    void laterRowsLandAtTheirSortedPlace()
    {
        ResultList results;
        QAbstractItemModelTester tester(&results);
        fill(results);
        sortList(results, 3);
        sortList(results, 3); // ascending by Status
        results.appendEntry(test::result(QStringLiteral("d.example"), QStringLiteral("r4"),
                                         QStringLiteral("Domain Link")));
        results.appendEntry(test::result(QStringLiteral("e.example"), QStringLiteral("r5"),
                                         QStringLiteral("Redirect Link")));
        QCOMPARE(column(results, ResultList::Status),
                 QStringList({"Direct Link", "Domain Link", "Missing 002", "None Found (Timeout)",
                              "Redirect Link"}));
    }

    void linkingSiteListsRefuseSortingDuringAScan()
    {
        LinkingSiteList sites;
        sites.appendSite(test::site(QStringLiteral("a.example")));
        sites.appendSite(test::site(QStringLiteral("b.example")));
        QCOMPARE(sortLinkingSites(sites, 1, true),
                 QStringLiteral("You cannot sort this column while a search is running."));
        QVERIFY(!sites.isSorted());
        QCOMPARE(sites.url(0), QStringLiteral("a.example"));
        QVERIFY(sortLinkingSites(sites, 1, false).isEmpty());
        QCOMPARE(sites.url(0), QStringLiteral("b.example"));
    }

    void urlCompletion_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("completed");
        QTest::newRow("no scheme") << "example.com/links.htm"
                                   << "http://example.com/links.htm";
        QTest::newRow("http kept") << "http://example.com"
                                   << "http://example.com";
        QTest::newRow("https kept") << "https://example.com"
                                    << "https://example.com";
        QTest::newRow("upper case") << "HTTP://EXAMPLE.COM"
                                    << "HTTP://EXAMPLE.COM";
        QTest::newRow("http inside the path") << "example.com/go?u=http"
                                              << "example.com/go?u=http";
        QTest::newRow("empty") << ""
                               << "http://";
    }
    void urlCompletion()
    {
        QFETCH(QString, text);
        QFETCH(QString, completed);
        QCOMPARE(CompleteUrl(text), completed);
    }

    void menuItemsBrowseAndCopyTheirColumn_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("text");
        using K = MenuOutcome::Kind;
        QTest::newRow("browse main")
            << int(ResultMenuItem::BrowseMainSite) << int(K::Browse) << "http://mysite.example";
        QTest::newRow("browse linking")
            << int(ResultMenuItem::BrowseLinkingSite) << int(K::Browse) << "http://partner.example";
        QTest::newRow("browse found on") << int(ResultMenuItem::BrowseFoundOn) << int(K::Browse)
                                         << "partner.example/out?to=http";
        QTest::newRow("copy main")
            << int(ResultMenuItem::CopyMainSite) << int(K::Copy) << "mysite.example";
        QTest::newRow("copy linking")
            << int(ResultMenuItem::CopyLinkingSite) << int(K::Copy) << "partner.example";
        QTest::newRow("copy found on")
            << int(ResultMenuItem::CopyFoundOn) << int(K::Copy) << "partner.example/out?to=http";
        QTest::newRow("separator") << int(ResultMenuItem::Separator) << int(K::Nothing) << "";
    }
    void menuItemsBrowseAndCopyTheirColumn()
    {
        QFETCH(int, item);
        QFETCH(int, kind);
        QFETCH(QString, text);
        ResultList results;
        results.appendEntry(test::result(QStringLiteral("mysite.example"),
                                         QStringLiteral("partner.example"), LinkStatus::Direct,
                                         QStringLiteral("partner.example/out?to=http")));
        const MenuOutcome o = chooseResultMenuItem(results, 0, ResultMenuItem(item));
        QCOMPARE(int(o.kind), kind);
        QCOMPARE(o.text, text);
        QCOMPARE(resultMenuCaptions().size(), 9);
    }

    void markingChangesStatusColourAndIconOnly()
    {
        Project project;
        project.mainSites().appendUrl(QStringLiteral("mysite.example"));
        project.addList();
        project.linkingSites(1)->appendSite(test::site(QStringLiteral("partner.example")));
        project.linkingSites(1)->setColour(0, SiteColour::Red);
        project.state().bProjectSaved = true;
        ResultList& results = project.results();
        ResultEntry row = test::result(QStringLiteral("mysite.example"),
                                       QStringLiteral("partner.example"),
                                       QStringLiteral("None Found (Timeout)"), QStringLiteral("u"));
        row.number = QStringLiteral("000");
        results.appendEntry(row);

        chooseResultMenuItem(results, 0, ResultMenuItem::MarkAsFound);
        ResultEntry e = results.entry(0);
        QCOMPARE(e.status, QStringLiteral("Direct Link"));
        QCOMPARE(e.colour, SiteColour::Blue);
        QCOMPARE(e.icon, 2);
        QCOMPARE(QStringList({e.main, e.remote, e.number, e.url}),
                 QStringList({"mysite.example", "partner.example", "000", "u"}));

        chooseResultMenuItem(results, 0, ResultMenuItem::MarkAsNoneFound);
        e = results.entry(0);
        QCOMPARE(e.status, QStringLiteral("None Found"));
        QCOMPARE(e.colour, SiteColour::Red);
        QCOMPARE(e.icon, 1);
        QCOMPARE(e.url, QStringLiteral("u"));

        QCOMPARE(project.linkingSites(1)->record(0).colour, SiteColour::Red);
        QVERIFY(project.state().bProjectSaved);
    }

    void actionsWithoutARowDoNothing()
    {
        ResultList results;
        QCOMPARE(int(chooseResultMenuItem(results, -1, ResultMenuItem::CopyFoundOn).kind),
                 int(MenuOutcome::Kind::Nothing));
        QCOMPARE(int(chooseResultMenuItem(results, 0, ResultMenuItem::MarkAsFound).kind),
                 int(MenuOutcome::Kind::Nothing));
        ErrorList errors;
        QVERIFY(errorRowUrl(errors, 0).isEmpty());
        errors.appendEntry({QStringLiteral("404 Not found"), QStringLiteral("partner.example/x")});
        QCOMPARE(errorRowUrl(errors, 0), QStringLiteral("http://partner.example/x"));
    }
};

CORVANE_TEST_CLASS(ResultListActionsTest);
#include "ResultListActionsTest.moc"
