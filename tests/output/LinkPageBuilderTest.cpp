#include "output/LinkPageBuilder.h"

#include "OutputTestData.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;

namespace {

// A project from project-file lines (Main Sites, Linking Sites "Website|#|HTML Link|HTML Name|
// Description", "RESULT:icon|Main|Remote|Status|No.|URL").
bool loadLines(Project& project, const QStringList& lines)
{
    return ProjectFormat::deserialize(project,
                                    (lines.join(QStringLiteral("\r\n")) + "\r\n").toLatin1())
        .complete;
}

} // namespace

class LinkPageBuilderTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void generatedLinks_data()
    {
        QTest::addColumn<QStringList>("project");
        QTest::addColumn<int>("optAll");
        QTest::addColumn<QString>("combo");
        QTest::addColumn<bool>("newWindow");
        QTest::addColumn<bool>("bullets");
        QTest::addColumn<QString>("links");

        const QStringList oneSite
            = {"m.example", "p.example|1|p.example/links.htm|Partner|Fine widgets",
               "RESULT:2|m.example|p.example|Direct Link|001|p.example/links.htm"};
        QTest::newRow("both boxes checked")
            << oneSite << 0 << "Select" << true << true
            << "<li><a href=\"http://p.example/links.htm\" target=\"_blank\">Partner</a>"
               "<BR>Fine widgets</li><br><br>\r\n";
        QTest::newRow("both boxes unchecked, no description")
            << QStringList({"m.example", "p.example|1|http://p.example/|Partner|",
                            "RESULT:2|m.example|p.example|Direct Link|001|p.example/"})
            << 0 << "" << false << false << "<a href=\"http://p.example/\">Partner</a><br><br>\r\n";
        QTest::newRow("only none found and domain rows")
            << QStringList({"m.example", "p.example|1|||", "q.example|1|||",
                            "RESULT:1|m.example|p.example|None Found (Timeout)|000|",
                            "RESULT:2|m.example|q.example|Domain Link|001|q.example/"})
            << 0 << "" << true << false << "";
        QTest::newRow("every status with direct in it passes, once per Linking Site")
            << QStringList({"m.example", "NEXTSITE:n.example",
                            "RESULT:2|m.example|a.example|Indirect Link|001|",
                            "RESULT:2|m.example|b.example|Redirect Link|001|",
                            "RESULT:2|n.example|a.example|Direct Link|001|",
                            "RESULT:2|m.example|c.example|Missing 001|001|"})
            << 0 << "" << false << false
            << "<a href=\"http://a.example\">a.example</a><br><br>\r\n"
               "<a href=\"http://b.example\">b.example</a><br><br>\r\n";
        QTest::newRow("option 1 with the selector unset matches nothing")
            << oneSite << 1 << "Select" << true << false << "";
        QTest::newRow("option 1 keeps the selected Main Site's rows")
            << QStringList({"m.example", "NEXTSITE:n.example",
                            "RESULT:2|m.example|a.example|Direct Link|001|",
                            "RESULT:2|n.example|b.example|Direct Link|001|"})
            << 1 << "n.example" << false << false
            << "<a href=\"http://b.example\">b.example</a><br><br>\r\n";
        QTest::newRow("option 1: a Main Site entered with scheme finds no rows")
            << QStringList(
                   {"http://www.m.example", "RESULT:2|m.example|a.example|Direct Link|001|"})
            << 1 << "http://www.m.example" << false << false << "";
        QTest::newRow("unknown Main Site falls back to the first Main Site's list")
            << QStringList({"http://www.m.example", "a.example|1|a.example/l.htm|A site|Desc",
                            "NEXTSITE:other.example", "a.example|1|other-list.example||",
                            "RESULT:2|m.example|a.example|Direct Link|001|"})
            << 0 << "" << false << false
            << "<a href=\"http://a.example/l.htm\">A site</a><BR>Desc<br><br>\r\n";
        QTest::newRow("Main Site found by trimmed text uses its own list")
            << QStringList({"m.example", "a.example|1|first.example||", "NEXTSITE: n.example ",
                            "a.example|1|second.example||",
                            "RESULT:2| n.example|a.example|Direct Link|001|"})
            << 0 << "" << false << false
            << "<a href=\"http://second.example\">a.example</a><br><br>\r\n";
        QTest::newRow("Linking Site entered with www. is not found")
            << QStringList({"m.example", "www.a.example|1|x.example|X|D",
                            "RESULT:2|m.example|a.example|Direct Link|001|"})
            << 0 << "" << false << false
            << "<a href=\"http://a.example\">a.example</a><br><br>\r\n";
        QTest::newRow("each field from the first entry that has it")
            << QStringList({"m.example", "a.example|1|||", "a.example|1||Name two|",
                            "a.example|1|HTTP://A.EXAMPLE/x|Name three|Third",
                            "RESULT:2|m.example|a.example|Direct Link|001|"})
            << 0 << "" << false << false
            << "<a href=\"HTTP://A.EXAMPLE/x\">Name two</a><BR>Third<br><br>\r\n";
        QTest::newRow("a single-space description is none")
            << QStringList({"m.example", "a.example|1||| ",
                            "RESULT:2|m.example|a.example|Direct Link|001|"})
            << 0 << "" << false << true
            << "<li><a href=\"http://a.example\">a.example</a></li><br><br>\r\n";
        // Only web addresses are published: an https address stays as it is (not
        // "http://https://"), an address holding "http://" further on still gets its scheme, one
        // of another scheme links to the partner itself, and a quote cannot end the attribute.
        QTest::newRow("link addresses of every kind")
            << QStringList({"m.example", "a.example|1|https://a.example/links.htm||",
                            "b.example|1|b.example/go?to=http://c.example||",
                            "c.example|1|javascript:alert('http://')||",
                            "d.example|1|d.example/\" onclick=\"x||",
                            "RESULT:2|m.example|a.example|Direct Link|001|",
                            "RESULT:2|m.example|b.example|Direct Link|001|",
                            "RESULT:2|m.example|c.example|Direct Link|001|",
                            "RESULT:2|m.example|d.example|Direct Link|001|"})
            << 0 << "" << false << false
            << "<a href=\"https://a.example/links.htm\">a.example</a><br><br>\r\n"
               "<a href=\"http://b.example/go?to=http://c.example\">b.example</a><br><br>\r\n"
               "<a href=\"http://c.example\">c.example</a><br><br>\r\n"
               "<a href=\"http://d.example/&quot; onclick=&quot;x\">d.example</a><br><br>\r\n";
        QTest::newRow("no Main Sites at all")
            << QStringList({"HTML01:", "RESULT:2|m.example|a.example/x|Direct Link|001|"}) << 0
            << "" << false << false << "<a href=\"http://a.example\">a.example</a><br><br>\r\n";
    }
    void generatedLinks()
    {
        QFETCH(QStringList, project);
        QFETCH(int, optAll);
        QFETCH(QString, combo);
        QFETCH(bool, newWindow);
        QFETCH(bool, bullets);
        QFETCH(QString, links);
        Project p;
        QVERIFY(loadLines(p, project));
        LinkPageBuilder::Options options;
        options.optAll = optAll;
        options.selectedMainSite = combo;
        options.newWindow = newWindow;
        options.bullets = bullets;
        QCOMPARE(LinkPageBuilder::buildLinks(p, options), links);
    }

    void generateLinksReadsTheOptionsAndWritesTheSecondPart()
    {
        test::Sandbox box;
        Project project;
        QVERIFY(loadLines(project,
                          {"m.example", "NEXTSITE:n.example",
                           "RESULT:2|m.example|a.example|Direct Link|001|",
                           "RESULT:2|n.example|b.example|Direct Link|001|"}));
        LinkPageBuilder builder(project, *box.settings);
        builder.setOptAll(1);
        builder.setNewWindow(false);
        builder.setBullets(true);
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("optAll")), QStringLiteral("1"));
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("chkNewWin")), QStringLiteral("0"));
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("chkBullet")), QStringLiteral("1"));

        const LinkPageBuilder::Generation g = builder.generateLinks(QStringLiteral("m.example"));
        QVERIFY(!g.refused);
        const QString expected
            = QStringLiteral("<li><a href=\"http://a.example\">a.example</a></li><br><br>\r\n");
        QCOMPARE(g.links, expected);
        QCOMPARE(project.pageText(2), expected);
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("txtHTML2")), expected);
    }

    void emptyResultsAreRefusedAndKeepTheSecondPart()
    {
        test::Sandbox box;
        Project project;
        project.setPageText(2, QStringLiteral("my edit"));
        LinkPageBuilder builder(project, *box.settings);
        const LinkPageBuilder::Generation g = builder.generateLinks(QString());
        QVERIFY(g.refused);
        QCOMPARE(g.message,
                 QStringLiteral("No links were found in your Links List to generate HTML "
                                "from.  Please scan for links first."));
        QCOMPARE(project.pageText(2), QStringLiteral("my edit"));
    }

    void partsComeFromAndGoToTheSettings()
    {
        test::Sandbox box;
        Project project;
        LinkPageBuilder builder(project, *box.settings);
        builder.loadPartsFromSettings();
        QCOMPARE(project.pageText(2),
                 QStringLiteral("Your link HTML will be generated here.  This "
                                "will be the second part of your generated "
                                "webpage."));
        builder.setPart(3, QStringLiteral("</body>"));
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("txtHTML3")), QStringLiteral("</body>"));
    }

    void saveWebpageWritesTheThreePartsUnderTheNameAsChosen()
    {
        test::Sandbox box;
        Project project;
        project.setPageText(1, QStringLiteral("<html>\n<body>"));
        project.setPageText(2, QStringLiteral("<a href=\"http://a\">a</a><br><br>\r\n"));
        project.setPageText(3, QStringLiteral("</body>"));
        LinkPageBuilder builder(project, *box.settings);
        const QString path = box.file(QStringLiteral("links"));
        QVERIFY(test::writeAll(path, "older page"));
        const WriteOutcome o = builder.saveWebpage(path);
        QVERIFY(o.written());
        QCOMPARE(o.path, path);
        QCOMPARE(test::readAll(path),
                 QByteArray("<html>\r\n<body>\r\n\r\n<a href=\"http://a\">a</a><br><br>\r\n\r\n\r\n"
                            "</body>\r\n"));
        QCOMPARE(builder.saveWebpage(QString()).status, WriteOutcome::Status::Cancelled);
    }

    void unwritableWebpageIsReported()
    {
        test::Sandbox box;
        Project project;
        LinkPageBuilder builder(project, *box.settings);
        QVERIFY(test::writeAll(box.file(QStringLiteral("blocker")), "x"));
        const WriteOutcome o = builder.saveWebpage(box.file(QStringLiteral("blocker/page.htm")));
        QCOMPARE(o.status, WriteOutcome::Status::Failed);
        QVERIFY2(o.message.startsWith(QStringLiteral("Error: ")), qPrintable(o.message));
    }
};

CORVANE_TEST_CLASS(LinkPageBuilderTest);
#include "LinkPageBuilderTest.moc"
