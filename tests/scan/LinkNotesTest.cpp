#include "analysis/LinkNotes.h"
#include "history/PartnerOutcome.h"
#include "model/Project.h"
#include "model/ProjectFormat.h"
#include "model/ResultNotes.h"
#include "model/ScanStatistics.h"
#include "net/NetworkContext.h"
#include "net/UserAgentSetting.h"
#include "output/JsonExport.h"
#include "output/ReportWriter.h"
#include "output/TabExport.h"
#include "scan/ScanController.h"
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

// The notes of the first link to mine.test in page, a page at pageUrl.
QString notesOfLinkIn(const QString& page, const QString& head = {},
                      const QString& pageUrl = QStringLiteral("partner.test/dir/links.htm"))
{
    const qsizetype at = page.indexOf(QStringLiteral("mine.test"));
    const qsizetype href = page.lastIndexOf(QStringLiteral("href"), at, Qt::CaseInsensitive);
    LinkNotes notes(page, head, pageUrl);
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
        QTest::newRow("references of the full table, with and without ;")
            << "<a href=\"http://mine.test/\">I &hearts; Mine &ndash; Fish &amp chips&period;"
               "</a>"
            << none << QStringLiteral("text \"I \u2665 Mine \u2013 Fish & chips.\"");
        QTest::newRow("alt: a legacy name before = stays, as in any attribute")
            << "<a href=\"http://mine.test/\"><img alt=\"a&copy=b &copy c\"></a>" << none
            << QStringLiteral("text \"a&copy=b \u00a9 c\"");
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

    // A page that names another as its canonical one, by a link in its head or a Link header,
    // resolved against the page; the page itself, however its address is spelt, is no other.
    void canonicalNote_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("notes");
        const QString link = "<a href=\"http://mine.test/\">W</a>";
        const auto headed = [&link](const QString& inHead) -> QString {
            return "<html><head>" + inHead + "</head><body>" + link + "</body></html>";
        };
        const QString none;
        QTest::newRow("absolute, another page")
            << headed("<link rel=\"canonical\" href=\"http://partner.test/links.htm\">") << none
            << "canonical elsewhere: partner.test/links.htm; text \"W\"";
        QTest::newRow("relative, resolved against the page")
            << headed("<LINK HREF='../all.htm?p=2' REL=Canonical>") << none
            << "canonical elsewhere: partner.test/all.htm?p=2; text \"W\"";
        QTest::newRow("entities in the address")
            << headed("<link rel=canonical href=\"/p.php?a=1&amp;b=2\">") << none
            << "canonical elsewhere: partner.test/p.php?a=1&b=2; text \"W\"";
        QTest::newRow("among other rel tokens, on another host")
            << headed("<link rel=\"alternate canonical\" href=\"https://mirror.test/x\">") << none
            << "canonical elsewhere: mirror.test/x; text \"W\"";
        QTest::newRow("with noindex: the robots first")
            << headed("<meta name=robots content=noindex><link rel=canonical href=/a.htm>") << none
            << "page noindex; canonical elsewhere: partner.test/a.htm; text \"W\"";
        QTest::newRow("itself, over https and with www")
            << headed("<link rel=canonical href=\"https://WWW.Partner.test/dir/links.htm\">") << none
            << "text \"W\"";
        QTest::newRow("itself, relative, with a fragment and the default port")
            << headed("<link rel=canonical href=\"//partner.test:80/dir/links.htm#top\">") << none
            << "text \"W\"";
        QTest::newRow("in the body: not taken")
            << "<html><body><link rel=canonical href=/a.htm>" + link + "</body></html>" << none
            << "text \"W\"";
        QTest::newRow("another rel") << headed("<link rel=\"stylesheet\" href=\"/s.css\">") << none
                                     << "text \"W\"";
        QTest::newRow("not a web address")
            << headed("<link rel=canonical href=\"javascript:void(0)\">") << none << "text \"W\"";
        QTest::newRow("Link header")
            << link << "HTTP/1.1 200 OK\r\nLink: <https://partner.test/links.htm>; rel=\"canonical\"\r\n"
            << "canonical elsewhere: partner.test/links.htm; text \"W\"";
        QTest::newRow("Link header, several links")
            << link
            << "HTTP/1.1 200 OK\r\nlink: </s.css>; rel=preload; as=style, </all.htm>; rel=canonical\r\n"
            << "canonical elsewhere: partner.test/all.htm; text \"W\"";
        QTest::newRow("Link header of another rel")
            << link << "HTTP/1.1 200 OK\r\nLink: </next.htm>; rel=\"next\"\r\n" << "text \"W\"";
    }
    void canonicalNote()
    {
        QFETCH(QString, page);
        QFETCH(QString, head);
        QFETCH(QString, notes);
        QCOMPARE(notesOfLinkIn(page, head), notes);
    }

    // The robots.txt note comes after the page is analysed: it goes before the link text.
    void partAddedBeforeTheText_data()
    {
        QTest::addColumn<QString>("notes");
        QTest::addColumn<QString>("result");
        QTest::newRow("no notes") << "" << "page blocked by robots.txt";
        QTest::newRow("text only") << "text \"W\"" << "page blocked by robots.txt; text \"W\"";
        QTest::newRow("no text") << "nofollow" << "nofollow; page blocked by robots.txt";
        QTest::newRow("notes and a text that looks like notes")
            << "nofollow; text \"a; text \"b\"\""
            << "nofollow; page blocked by robots.txt; text \"a; text \"b\"\"";
    }
    void partAddedBeforeTheText()
    {
        QFETCH(QString, notes);
        QFETCH(QString, result);
        QCOMPARE(LinkNotes::addPart(notes, QStringLiteral("page blocked by robots.txt")), result);
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
        const ResultNotes c = ResultNotes::read(u"page blocked by robots.txt; text \"x\"");
        QVERIFY(c.pageBlockedByRobotsTxt && !c.canonicalElsewhere && c.passesNoValue());
        const ResultNotes d = ResultNotes::read(u"canonical elsewhere: p.test/a.htm");
        QVERIFY(d.canonicalElsewhere && !d.pageBlockedByRobotsTxt && d.passesNoValue());
        QVERIFY(!ResultNotes::read(u"text \"canonical elsewhere: x\"").passesNoValue());
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

namespace {

// Partners of mine.test whose links may not count, or cannot be seen: one behind a bot wall, one
// whose robots.txt keeps search engines from the page of its second link, one whose page names
// another as its canonical page, and a plain one without a robots.txt.
struct DoubtfulPartners : test::ScanRig {

    DoubtfulPartners() : ScanRig(200)
    {
        box.settings->WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("2"));
        test::writeAll(box.file(QStringLiteral("filetypes.txt")), ".htm\r\n.html\r\n");
        project.mainSites().appendUrl(QStringLiteral("http://www.mine.test"));
        project.addList();
        for (const auto& [site, expected] : {std::pair{"walled.test", "1"}, {"robots.test", "2"},
                                             {"canon.test", "1"}, {"plain.test", "1"}})
            project.linkingSites(1)->appendSite(
                {QString::fromLatin1(site), QString::fromLatin1(expected), {}, {}, {}});
        server.setPage("walled.test", "/",
                       "<html><head><title>Just a moment...</title></head><body></body></html>",
                       "503 Service Unavailable", {"cf-mitigated: challenge", "Retry-After: 1"});
        server.setPage("robots.test", "/",
                       "<a href=\"http://www.mine.test/\">Home</a> <a href=\"private/links.htm\">"
                       "More</a>\n");
        server.setPage("robots.test", "/private/links.htm",
                       "<a href=\"http://www.mine.test/\">Mine</a>\n");
        server.setPage("robots.test", "/robots.txt",
                       "User-agent: *\nDisallow: /private/\n\nUser-agent: otherbot\nDisallow: /\n");
        server.setPage("canon.test", "/",
                       "<html><head><link rel=\"canonical\" href=\"http://canon.test/home.htm\">"
                       "</head><body><a href=\"http://www.mine.test/\">Mine</a></body></html>\n");
        server.setPage("plain.test", "/", "<a href=\"http://www.mine.test/\">Mine</a>\n");
    }

    int requestsFor(const QString& hostAndPath) const
    {
        int count = 0;
        for (const TestWebServer::Request& r : server.requests())
            count += r.host + QString::fromLatin1(r.path) == hostAndPath;
        return count;
    }
};

} // namespace

class LinkNotesScanTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A bot wall ends its partner as blocked, not missing; links on a page robots.txt keeps from
    // search engines, or on a page canonical elsewhere, say so in every output.
    void blockedPartnerAndDoubtfulLinksInTheOutputs()
    {
        DoubtfulPartners f;
        UserAgentSetting::follow(f.network, *f.box.settings, "Corvane/0");
        f.box.settings->WriteSetting(QStringLiteral("UserAgent"), QStringLiteral(" Friendly/1.0 "));
        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QStringList rows;
        for (int r = 0; r < f.project.results().count(); ++r) {
            const ResultEntry e = f.project.results().entry(r);
            rows << QStringList{e.remote, e.status, e.number, e.url, e.notes}.join(" | ");
        }
        QCOMPARE(rows,
                 (QStringList{
                     "walled.test | None Found (Blocked by bot protection) | 000 | walled.test | ",
                     "robots.test | Direct Link | 001 | robots.test | text \"Home\"",
                     "robots.test | Direct Link | 002 | robots.test/private/links.htm | page blocked "
                     "by robots.txt; text \"Mine\"",
                     "canon.test | Direct Link | 001 | canon.test | canonical elsewhere: "
                     "canon.test/home.htm; text \"Mine\"",
                     "plain.test | Direct Link | 001 | plain.test | text \"Mine\"",
                 }));
        QCOMPARE(f.errors(), QStringList{"Blocked by bot protection | walled.test/"});
        // The challenge is not asked again; robots.txt is read once, and only where links were
        // found.
        QCOMPARE(f.requestsFor("walled.test/"), 1);
        QCOMPARE(f.requestsFor("robots.test/robots.txt"), 1);
        QCOMPARE(f.requestsFor("plain.test/robots.txt"), 1);
        QCOMPARE(f.requestsFor("walled.test/robots.txt"), 0);
        // Every request, page or robots.txt, names the client the setting names.
        for (const TestWebServer::Request& r : f.server.requests())
            QVERIFY2(r.raw.contains("\r\nUser-Agent: Friendly/1.0\r\n"), r.raw.constData());

        const ResultList& results = f.project.results();
        const QStringList lines = TabExport::buildText(results).split("\r\n");
        QCOMPARE(lines.at(4).split(u'\t').value(ResultList::Notes),
                 QStringLiteral("page blocked by robots.txt; text \"Mine\""));
        const QString report
            = ReportWriter::buildDocument(f.project, 5, QDateTime::currentDateTime(), QLocale::c());
        QVERIFY(report.contains("Status: None Found (Blocked by bot protection)<BR>"));
        QVERIFY(report.contains("Notes: canonical elsewhere: canon.test/home.htm; text "
                                "&quot;Mine&quot;<BR>"));
        QVERIFY(report.contains("<tr><td>Links on Pages Blocked by robots.txt:</td><td> 1</td></tr>"));
        QVERIFY(report.contains("<tr><td>Links on Pages Canonical Elsewhere:</td><td> 1</td></tr>"));

        const QList<PartnerOutcome> partners = PartnerVerdict::fromResults(results);
        const QJsonObject json = JsonExport::build(f.project, partners, {});
        const QJsonArray sites = json["linkingSites"].toArray();
        QCOMPARE(sites.at(0).toObject()["verdict"].toString(), QStringLiteral("blocked"));
        QCOMPARE(sites.at(0).toObject()["blocked"].toBool(), true);
        QCOMPARE(sites.at(1).toObject()["blocked"].toBool(), false);
        QCOMPARE(json["summary"].toObject()["blocked"].toInt(), 1);
        QCOMPARE(json["summary"].toObject()["errors"].toInt(), 0);
        QCOMPARE(json["results"].toArray().at(3).toObject()["notes"].toString(),
                 results.cell(3, ResultList::Notes));
        // One of robots.test's links counts; canon.test's only link does not.
        QList<bool> onlyNoValue;
        for (const PartnerOutcome& p : partners)
            onlyNoValue << p.noValueLinksOnly();
        QCOMPARE(onlyNoValue, QList<bool>({false, false, true, false}));

        // The project file keeps the notes.
        Project reread;
        QVERIFY(ProjectFormat::deserialize(reread, ProjectFormat::serialize(f.project)).complete);
        QCOMPARE(reread.results().cell(2, ResultList::Notes), results.cell(2, ResultList::Notes));
    }

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
