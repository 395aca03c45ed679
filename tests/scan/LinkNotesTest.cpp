#include "scan/LinkNotes.h"
#include "model/Project.h"
#include "model/ProjectFormat.h"
#include "model/ResultNotes.h"
#include "output/JsonExport.h"
#include "output/PartnerOutcome.h"
#include "output/ReportWriter.h"
#include "output/TabExport.h"
#include "scan/NetworkContext.h"
#include "scan/ScanController.h"
#include "scan/ScanStatistics.h"
#include "support/ScanRig.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTest>

using namespace corvane;
using test::TestWebServer;

namespace {

// The notes of the first link to mine.test in page.
QString notesOfLinkIn(const QString& page, const QString& head = {})
{
    const qsizetype at = page.indexOf(QStringLiteral("mine.test"));
    const qsizetype href = page.lastIndexOf(QStringLiteral("href"), at, Qt::CaseInsensitive);
    LinkNotes notes(page, head);
    return notes.notesFor(href);
}

} // namespace

class LinkNotesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void notesOfALink_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("notes");
        const QString none;
        QTest::newRow("followed link: its text only")
            << "<p><a href=\"http://mine.test/\">Best widgets</a></p>" << none
            << "text \"Best widgets\"";
        QTest::newRow("rel unquoted")
            << "<a rel=nofollow href=http://mine.test/>W</a>" << none << "nofollow; text \"W\"";
        QTest::newRow("rel in capitals, single quotes, after other tokens")
            << "<A HREF='http://mine.test/' REL='external nofollow'>W</A>" << none
            << "nofollow; text \"W\"";
        QTest::newRow("sponsored among other tokens")
            << "<a target=_blank rel=\"noopener sponsored\" href=\"http://mine.test/\">W</a>"
            << none << "sponsored; text \"W\"";
        QTest::newRow("every token in any order")
            << "<a rel=\"UGC Sponsored NoFollow\" href=\"http://mine.test/\">W</a>" << none
            << "nofollow; sponsored; ugc; text \"W\"";
        QTest::newRow("a word that only contains a token")
            << "<a rel=\"nofollower\" title='rel=\"nofollow\"' href=\"http://mine.test/\">W</a>"
            << none << "text \"W\"";
        QTest::newRow("tag across lines")
            << "<a\r\n  class=\"x\"\n  href=\"http://mine.test/\"\n  rel=\"nofollow\"\n>\n W \n</a>"
            << none << "nofollow; text \"W\"";
        QTest::newRow("nested tags, entities, blanks folded")
            << "<a href=\"http://mine.test/\">\n  <b>Tom&amp;Jerry</b>&nbsp;&lt;3 <i>caf&#233;"
               "</i>\t&#x2014; ok</a>"
            << none << "text \"Tom&Jerry <3 caf\u00e9 \u2014 ok\"";
        QTest::newRow("image only: its alt")
            << "<a href=\"http://mine.test/\"><img src=\"b.png\" alt=\"Mine &amp; co\"></a>" << none
            << "text \"Mine & co\"";
        QTest::newRow("image with text: the text")
            << "<a href=\"http://mine.test/\"><img alt=\"logo\"> Mine</a>" << none
            << "text \"Mine\"";
        QTest::newRow("text at most 100 characters") << "<a href=\"http://mine.test/\">"
                + QString(150, u'x') + "</a>" << none << "text \"" + QString(100, u'x') + "\"";
        QTest::newRow("unclosed link: the text stops at the next link")
            << "<a href=\"http://mine.test/\">Mine <a href=\"/other\">Other</a>" << none
            << "text \"Mine\"";
        QTest::newRow("a bar in the text cannot split a project line")
            << "<a href=\"http://mine.test/\">A | B</a>" << none << "text \"A \u00a6 B\"";
        QTest::newRow("not in an a tag: no tag notes")
            << "<link rel=\"nofollow\" href=\"http://mine.test/s.css\">" << none << "";
        QTest::newRow("href mentioned in the text after a tag")
            << "<a name=\"x\" rel=\"nofollow\">see href=http://mine.test/ here</a>" << none << "";
        QTest::newRow("image map area: its alt")
            << "<area shape=rect rel=sponsored href=\"http://mine.test/\" alt=\"Mine\">" << none
            << "sponsored; text \"Mine\"";
        QTest::newRow("robots meta before the link")
            << "<head><meta name=\"robots\" content=\"noindex, follow\"></head>"
               "<a href=\"http://mine.test/\">W</a>"
            << none << "page noindex; text \"W\"";
        QTest::newRow("googlebot meta after the link, content first")
            << "<a href=\"http://mine.test/\" rel=sponsored>W</a>"
               "<META CONTENT='NOFOLLOW' NAME='googlebot'>"
            << none << "sponsored; page nofollow; text \"W\"";
        QTest::newRow("robots none: both")
            << "<meta name=robots content=none><a href=\"http://mine.test/\"></a>" << none
            << "page noindex; page nofollow";
        QTest::newRow("another meta says nothing")
            << "<meta name=\"description\" content=\"noindex\"><a href=\"http://mine.test/\"></a>"
            << none << "";
        QTest::newRow("X-Robots-Tag header")
            << "<a href=\"http://mine.test/\">W</a>"
            << "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nx-robots-tag: googlebot: noindex\r\n"
            << "page noindex; text \"W\"";
        QTest::newRow("another header says nothing") << "<a href=\"http://mine.test/\">W</a>"
                                                     << "HTTP/1.1 200 OK\r\nX-Note: noindex\r\n"
                                                     << "text \"W\"";
    }
    void notesOfALink()
    {
        QFETCH(QString, page);
        QFETCH(QString, head);
        QFETCH(QString, notes);
        QCOMPARE(notesOfLinkIn(page, head), notes);
    }

    // The notes are read back from their text the way the outputs count them; words in the link
    // text are not taken for notes.
    void notesReadBack()
    {
        const ResultNotes a = ResultNotes::read(u"nofollow; page noindex; text \"x\"");
        QVERIFY(a.nofollow && a.pageNoindex && !a.sponsored && !a.ugc && !a.pageNofollow);
        QVERIFY(a.passesNoValue());
        const ResultNotes b = ResultNotes::read(u"text \"nofollow; sponsored\"");
        QVERIFY(!b.passesNoValue());
        QVERIFY(!ResultNotes::read(u"").passesNoValue());
    }
};

namespace {

// Four partners of mine.test served by the test web server: a followed link, a nofollow link, a
// sponsored link on a noindex page, a link that holds only an image.
struct NotedPartners : test::ScanRig {

    NotedPartners() : ScanRig(200)
    {
        box.settings->WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("2"));
        test::writeAll(box.file(QStringLiteral("filetypes.txt")), ".htm\r\n.html\r\n");
        project.mainSites().appendUrl(QStringLiteral("http://www.mine.test"));
        project.addList();
        for (const char* site : {"plain.test", "nofollow.test", "paid.test", "image.test"})
            project.linkingSites(1)->appendSite({QString::fromLatin1(site), "1", {}, {}, {}});
        server.setPage("plain.test", "/",
                       "<p>Friends: <a href=\"http://www.mine.test/\">Best widgets</a></p>\n",
                       "200 OK", {});
        server.setPage("nofollow.test", "/",
                       "<a class=link\n   href='http://www.mine.test/'\n   REL='external nofollow'"
                       ">Mine</a>\n",
                       "200 OK", {});
        server.setPage("paid.test", "/",
                       "<a rel=\"noopener sponsored\" href=\"http://www.mine.test/\">Ad</a>\n",
                       "200 OK", {"X-Robots-Tag: noindex"});
        server.setPage("image.test", "/",
                       "<a href=\"http://www.mine.test/\"><img src=\"/b.png\" alt=\"Mine banner\">"
                       "</a>\n",
                       "200 OK", {});
    }
};

const QStringList kExpectedNotes = {
    "text \"Best widgets\"",
    "nofollow; text \"Mine\"",
    "sponsored; page noindex; text \"Ad\"",
    "text \"Mine banner\"",
};

} // namespace

class LinkNotesScanTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void notesEverywhere()
    {
        NotedPartners f;
        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        const ResultList& results = f.project.results();
        QCOMPARE(results.count(), 4);
        QStringList notes;
        for (int row = 0; row < results.count(); ++row) {
            // The verdict is as it always was.
            QCOMPARE(results.cell(row, ResultList::Status), LinkStatus::Direct);
            notes << results.cell(row, ResultList::Notes);
        }
        QCOMPARE(notes, kExpectedNotes);
        QCOMPARE(results.headers().value(ResultList::Notes), QStringLiteral("Notes"));

        // The tab file: a sixth column (the seventh, the change, is the history's).
        const QStringList lines = TabExport::buildText(results).split("\r\n");
        QCOMPARE(lines.first(), QStringLiteral("Main\tRemote\tStatus\tNo.\tURL\tNotes\tChange"));
        QCOMPARE(lines.at(3).split(u'\t'),
                 QStringList({"mine.test", "nofollow.test", "Direct Link", "001", "nofollow.test",
                              "nofollow; text \"Mine\"", ""}));

        // The report: a line under each result and the counts in the overview.
        const QString report
            = ReportWriter::buildDocument(f.project, 4, QDateTime::currentDateTime(), QLocale::c());
        QVERIFY(
            report.contains("Status: Direct Link<BR>Found On: <a href='http://paid.test'>paid.test</a><BR>"
                            "Notes: sponsored; page noindex; text &quot;Ad&quot;<BR><BR>"));
        QVERIFY(report.contains("<tr><td>Links Marked nofollow:</td><td> 1</td></tr>"));
        QVERIFY(report.contains("<tr><td>Links Marked sponsored:</td><td> 1</td></tr>"));
        QVERIFY(report.contains("<tr><td>Links Marked ugc:</td><td> 0</td></tr>"));
        QVERIFY(report.contains("<tr><td>Links on noindex Pages:</td><td> 1</td></tr>"));

        // The JSON: each row's notes, and which partners have only links that pass no value.
        const QList<PartnerOutcome> partners = PartnerVerdict::fromResults(results);
        const QJsonObject json = JsonExport::build(f.project, partners, {});
        QCOMPARE(json["results"].toArray().at(2).toObject()["notes"].toString(), kExpectedNotes[2]);
        QList<bool> onlyNoValue;
        for (const PartnerOutcome& p : partners)
            onlyNoValue << p.noValueLinksOnly();
        QCOMPARE(onlyNoValue, QList<bool>({false, true, true, false}));

        // The project file keeps them.
        Project reread;
        QVERIFY(ProjectFormat::deserialize(reread, ProjectFormat::serialize(f.project)).complete);
        for (int row = 0; row < results.count(); ++row)
            QCOMPARE(reread.results().cell(row, ResultList::Notes), kExpectedNotes[row]);
    }

    // A project without notes is written as it always was, and an old file reads as before.
    void projectFileWithoutNotes()
    {
        Project p;
        p.mainSites().appendUrl(QStringLiteral("mine.test"));
        p.addList();
        p.results().appendEntry(
            {2, "mine.test", "a.test", "Direct Link", "001", "a.test/x", SiteColour::Blue});
        const QByteArray bytes = ProjectFormat::serialize(p);
        QVERIFY(bytes.contains("\r\nRESULT:2|mine.test|a.test|Direct Link|001|a.test/x\r\n"));
        Project q;
        QVERIFY(ProjectFormat::deserialize(q, bytes).complete);
        QCOMPARE(q.results().cell(0, ResultList::Notes), QString());
        QCOMPARE(ProjectFormat::serialize(q), bytes);

        p.results().appendEntry({2, "mine.test", "b.test", "Direct Link", "001", "b.test/",
                                 SiteColour::Blue, "nofollow; text \"B\""});
        QVERIFY(ProjectFormat::serialize(p).contains(
            "\r\nRESULT:2|mine.test|b.test|Direct Link|001|b.test/|nofollow; text \"B\"\r\n"));
    }
};

CORVANE_TEST_CLASS(LinkNotesTest);
CORVANE_TEST_CLASS(LinkNotesScanTest);
#include "LinkNotesTest.moc"
