#include "analysis/HrefValue.h"
#include "analysis/PageText.h"
#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "net/NetworkContext.h"
#include "net/PageFetcher.h"
#include "scan/PageAnalyzer.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"
#include "web/UrlTools.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;
using test::TestWebServer;

namespace {

constexpr quint64 kGeneration = 7;
const QString kPageUrl = QStringLiteral("partner.test/links/");

// A page analyser in the middle of a scan of Main Site "http://www.mine.test" (strMainSite
// "mine.test"), Linking Site row 1 "partner.test" of two, five links expected, with a short
// file-type list. Pages are analysed as if fetched from partner.test/links/ (directory
// partner.test/links/, page URL partner.test/links). Downloads go to the test web server.
struct AnalyzerFixture {
    test::Sandbox box;
    Project project;
    ScanStatistics statistics{*box.settings};
    NetworkContext network;
    TestWebServer server;
    PageAnalyzer analyzer{project, *box.settings, statistics, box.app, network};
    QList<PageAnalyzer::Continuation> finished;
    QList<quint64> generations;
    QStringList panel2;
    QStringList panel3;
    QStringList cues;

    explicit AnalyzerFixture(const QString& mainSite = QStringLiteral("http://www.mine.test"))
    {
        network.setRoute(server.route());
        set("txtTimeout", "2");
        project.mainSites().appendUrl(mainSite);
        const int k = project.addList();
        project.linkingSites(k)->appendSite(
            {QStringLiteral("partner.test"), QStringLiteral("5"), {}, {}, {}});
        project.linkingSites(k)->appendSite(
            {QStringLiteral("www.Other.test/Links.htm"), QStringLiteral("1"), {}, {}, {}});
        analyzer.resetForScan();
        ScanState& st = project.state();
        st.iCurrentMain = qint16(k);
        st.iCurrentSite = 1;
        st.strMainSite = UrlTools::NormalizeMainSite(mainSite);
        st.strLinkingSite = QStringLiteral("partner.test");
        st.iLinksExpected = 5;
        st.aFileTypes = QStringList{".htm", ".html", ".php", ".asp"};
        // The first page of the Linking Site at the default page limit, as the scan's page step
        // leaves them.
        st.lPagesTaken = 1;
        st.lPageLimit = 500;
        st.bScanRunning = true;
        QObject::connect(&analyzer, &PageAnalyzer::analysisFinished, &analyzer,
                         [this](int slot, quint64 generation, PageAnalyzer::Continuation next) {
                             QCOMPARE(slot, 0);
                             generations.append(generation);
                             finished.append(next);
                         });
        QObject::connect(&analyzer, &PageAnalyzer::statusChanged, &analyzer,
                         [this](int panel, const QString& text) {
                             (panel == 2 ? panel2 : panel3).append(text);
                         });
        QObject::connect(&analyzer, &PageAnalyzer::cueRequested, &analyzer,
                         [this](const QString& file) { cues.append(file.section(u'/', -1)); });
    }

    void set(const QString& key, const QString& value) { box.settings->WriteSetting(key, value); }
    // "key=value" pairs.
    void setAll(const QStringList& pairs)
    {
        for (const QString& pair : pairs)
            set(pair.section(u'=', 0, 0), pair.section(u'=', 1));
    }
    // "MainSite|RemoteSite|RuleType|RuleValue" rows.
    void addRules(const QStringList& rules)
    {
        for (const QString& r : rules) {
            const QStringList c = r.split(u'|');
            project.rules().appendRule({c.value(0), c.value(1), c.value(2), c.value(3)});
        }
    }

    static FetchedPage page(const QString& url)
    {
        const UrlSplit u = PageFetcher::splitUrl(url);
        return {0, u.strHost, u.strPath, u.strCurUrl, u.strCurDir};
    }
    void analyze(const QString& body, const QString& url = kPageUrl)
    {
        analyzer.AnalyzePage(body, page(url), kGeneration);
    }

    QStringList queue() const
    {
        QStringList pages;
        for (int r = 0; r < project.pageQueue().count(); ++r)
            pages.append(project.pageQueue().page(r));
        return pages;
    }
    // Result rows as "status | No. | URL".
    QStringList rows() const
    {
        QStringList out;
        for (int r = 0; r < project.results().count(); ++r) {
            const ResultEntry e = project.results().entry(r);
            out.append(e.status + " | " + e.number + " | " + e.url);
        }
        return out;
    }
    const ScanState& state() const { return project.state(); }
};

// An HTTP server's own "moved" pages.
const QString kApacheMoved = QStringLiteral(
    "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html><head>\n"
    "<title>301 Moved Permanently</title>\n</head><body>\n<h1>Moved Permanently</h1>\n"
    "<p>The document has moved <a href=\"http://moved.test/links.htm\">here</a>.</p>\n"
    "</body></html>\n");
const QString kIisMoved = QStringLiteral(
    "<head><title>Object moved</title></head><body><h1>Object Moved</h1>This object may be found "
    "<a HREF=\"/new.htm\">here</a>.</body>");
const QString kBareMoved = QStringLiteral(
    "<html>\r\n<head><title>301 Moved Permanently</title></head>\r\n<body>\r\n"
    "<center><h1>301 Moved Permanently</h1></center>\r\n<hr><center>nginx</center>\r\n"
    "</body>\r\n</html>\r\n");

} // namespace

class PageAnalyzerTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void linkValueIsCutOutOfTheLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("hasValue");
        QTest::addColumn<QString>("value");
        QTest::newRow("apostrophes") << "href='page.htm'>" << true << "page.htm";
        QTest::newRow("double quotes") << "href=\"page.htm\">" << true << "page.htm";
        QTest::newRow("closed by >") << "href=page.htm>Page</a>" << true << "page.htm";
        QTest::newRow("nothing closes it: two characters short")
            << "href=page.html" << true << "page.ht";
        QTest::newRow("> as the last character does not close it")
            << "href=page.html>" << true << "page.htm";
        QTest::newRow("quote as the last character does not close it")
            << "href=page.html'" << true << "page.htm";
        QTest::newRow("empty attribute") << "href=''>" << false << "";
        QTest::newRow("empty attribute, double quotes") << "href=\"\">" << false << "";
        QTest::newRow("shortest value") << "href=x'>" << true << "x";
        QTest::newRow("one character before the last >: too short") << "href=x>" << false << "";
        QTest::newRow("too short once cut") << "href=ab" << false << "";
        QTest::newRow("blank inside the quotes") << "href=\" page.htm \">" << true << "page.htm";
        QTest::newRow("cut at a blank") << "href=\"a b.htm\">" << true << "a";
        QTest::newRow("double then single quote both go") << "href=\"'x.htm'>" << true << "x.htm";
        QTest::newRow("absolute") << "href=\"http://www.mine.test/\" target=_blank>" << true
                                  << "http://www.mine.test/";
        QTest::newRow("unquoted with attributes") << "href=/a.htm title='A'>" << true << "/a.htm";
    }
    void linkValueIsCutOutOfTheLine()
    {
        QFETCH(QString, line);
        QFETCH(bool, hasValue);
        QFETCH(QString, value);
        const std::optional<QStringView> v = HrefValue::cut(QStringView(line).sliced(5));
        QCOMPARE(v.has_value(), hasValue);
        if (hasValue)
            QCOMPARE(*v, value);
    }

    void everyHrefStartsALine_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("rewritten");
        QTest::newRow("any letter case becomes lower case") << "<a HREF=\"x\">"
                                                            << "<a \r\nhref=\"x\">";
        QTest::newRow("two on one line") << "<a href=a>A</a><a Href=b>"
                                         << "<a \r\nhref=a>A</a><a \r\nhref=b>";
        QTest::newRow("blanks after the equals sign go") << "<a href=        'x'>"
                                                         << "<a \r\nhref='x'>";
        QTest::newRow("up to 36 blanks go") << "href=" + QString(36, u' ') + "x"
                                            << "\r\nhref=x";
        QTest::newRow("the 37th stays") << "href=" + QString(37, u' ') + "x"
                                        << "\r\nhref= x";
        QTest::newRow("blanks around the equals sign go") << "<a href = 'x'>"
                                                          << "<a \r\nhref='x'>";
        QTest::newRow("tabs and a line break") << "<a href\t=\n'x'>"
                                               << "<a \r\nhref='x'>";
        QTest::newRow("a longer attribute name is none") << "<link hreflang=en href=x>"
                                                         << "<link hreflang=en \r\nhref=x>";
    }
    void everyHrefStartsALine()
    {
        QFETCH(QString, text);
        QFETCH(QString, rewritten);
        QCOMPARE(PageText(text).rewritten(), rewritten);
    }

    void redirectTargetOfALine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("target");
        QTest::newRow("apache") << "href=\"http://moved.test/links.htm\">here</a>.</p>"
                                << "http://moved.test/links.htm";
        QTest::newRow("iis") << "href=\"/new.htm\">here</a>.</body>"
                             << "/new.htm";
        QTest::newRow("cut at a blank") << "href='http://moved.test/' class=x>"
                                        << "http://moved.test/";
        QTest::newRow("empty") << "href=\"\">here</a>"
                               << "";
    }
    void redirectTargetOfALine()
    {
        QFETCH(QString, line);
        QFETCH(QString, target);
        QCOMPARE(HrefValue::redirectTarget(line), target);
    }

    void linksOfAPage_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QStringList>("rules");
        QTest::addColumn<QStringList>("queued");
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<bool>("advance");

        const QStringList none;
        const QString direct = QStringLiteral("Direct Link | 001 | partner.test/links");

        QTest::newRow("spellings, letter cases, relative and absolute")
            << "<a href=\"page.htm\">P</a>\r\n<A HREF='../up.html'>U</A>\r\n<a href=/root.php>R</a>"
               "<a href = \"spaced.htm\">S</a><a href=   \"after.htm\">A</a>\r\n"
               "<a Href=\"HTTP://WWW.Partner.test/b.htm\">B</a><a href=\"http://partner.test/c.asp?x=1\">C</a>"
               "<a href=\"page.htm\">again</a><a href=\"PAGE.HTM\">upper</a>"
               "<a href=\"http://elsewhere.test/x.htm\">out</a>"
            << none << none
            << QStringList{"partner.test/links/page.htm",  "partner.test/up.html",
                           "partner.test/root.php",        "partner.test/links/spaced.htm",
                           "partner.test/links/after.htm", "WWW.Partner.test/b.htm",
                           "partner.test/c.asp?x=1"}
            << none << "" << false;
        // Letters beyond ASCII (one beyond the first plane too) ahead of the links must not shift
        // where the searches that ignore letter case find "href=" and the values' words.
        QTest::newRow("letter cases beyond ASCII ahead of the links")
            << QString(QStringLiteral("<p>\u00dcn\u00efc\u00f6d\u00c9 \U00010400\U00010428 x")
                           .repeated(5)
                       + "</p><a HREF=\"JavaScript:go()\">j</a><a href=\"Stra\u00dfe.HTM\">s</a>"
                         "<A href=\"http://WWW.MINE.TEST/\">m</a>")
            << none << none << QStringList{QStringLiteral("partner.test/links/Stra\u00dfe.HTM")}
            << QStringList{direct} << "Possible Redirected URL" << false;
        QTest::newRow("look-alike domains are no link and no mention")
            << "<a href=\"http://www.notmine.test/\">x</a><a href=\"http://mine.test.evil.test/\">y</a>"
            << none << none << none << none << "" << false;
        QTest::newRow("commented-out links are no links and no mention")
            << "<!-- <a href=\"http://www.mine.test/\">m</a> -->\r\n<!--\r\n<a href=\"friends.htm\">f</a>"
               "\r\n<a href=\"http://mine.test/\">m</a>\r\n-->\r\n<a href=\"open.htm\">o</a>"
               "<!-- not closed <a href=\"x.htm\">x</a> mine.test"
            << none << none << QStringList{"partner.test/links/open.htm"} << none << "" << false;
        QTest::newRow("a link right after a comment counts")
            << "<!-- old --><a href=\"http://www.mine.test/\">m</a>" << none << none << none
            << QStringList{direct} << "Possible Redirected URL" << false;
        QTest::newRow("a subdomain of the Main Site is a link")
            << "<a href=\"http://blog.mine.test/\">b</a>" << none << none << none
            << QStringList{direct} << "Possible Redirected URL" << false;
        QTest::newRow("link to the Main Site")
            << "<p>Friends</p><a href=\"http://www.mine.test/\">Mine</a>" << none << none << none
            << QStringList{direct} << "Possible Redirected URL" << false;
        QTest::newRow("javascript and mailto are no links")
            << "<a href=\"javascript:open('http://www.mine.test/')\">x</a><a href=\"MAILTO:me@mine.test\">m</a>"
            << none << none << none << none << "Possible Redirected URL" << true;
        QTest::newRow("mention without link, redirect detection off")
            << "Visit mine.test!" << QStringList{"chkRedirect=0"} << none << none << none
            << "Possible Redirected URL" << false;
        QTest::newRow("mention without link, redirect detection at another value than 1")
            << "Visit mine.test!" << QStringList{"chkRedirect=2"} << none << none << none
            << "Possible Redirected URL" << false;
        QTest::newRow("not a page type but a Direct Link")
            << "<img><a href=\"http://www.mine.test/banner.gif\">" << none << none << none
            << QStringList{direct} << "Possible Redirected URL" << false;
        QTest::newRow("not a page type")
            << "<a href=\"pic.gif\">" << none << none << none << none << "" << false;
        QTest::newRow("file types off")
            << "<a href=\"pic.gif\">" << QStringList{"chkFileTypes=0"} << none
            << QStringList{"partner.test/links/pic.gif"} << none << "" << false;
        QTest::newRow("fragments are dropped, a fragment alone is no link")
            << "<a href=\"page.htm#top\">t</a><a href=\"#top\">t</a><a href=\"page.htm#end\">e</a>"
               "<a href=\"http://www.mine.test/index.htm#top\">m</a>"
            << none << none << QStringList{"partner.test/links/page.htm"} << QStringList{direct}
            << "Possible Redirected URL" << false;
        QTest::newRow("other schemes are neither pages nor links")
            << "<a href=\"ftp://www.mine.test/x.htm\">f</a><a href=\"news:mine.test\">n</a>"
               "<a href=\"tel:+1-555\">t</a>"
            << QStringList{"chkRedirect=0"} << none << none << none << "Possible Redirected URL"
            << false;
        QTest::newRow("file and unsaved values are skipped")
            << "<a href=\"file://c:/x.htm\">f</a><a href=\"unsaved:///x.htm\">u</a>" << none << none
            << none << none << "" << false;
        QTest::newRow("dot dot values name directories: here the known home page")
            << "<a href=\"..\">up</a><a href=\"../..\">up</a><a href=\"./../links/.\">here</a>"
            << QStringList{"chkFileTypes=0"} << none << QStringList{"partner.test/links/"} << none
            << "" << false;
        QTest::newRow("rule refusal: not queued, still a Direct Link")
            << "<a href=\"private/p.htm\">p</a><a href=\"http://www.mine.test/private/\">m</a><a href=\"open.htm\">o</a>"
            << none << QStringList{"Global|Global|ExcludeString|private"}
            << QStringList{"partner.test/links/open.htm"} << QStringList{direct}
            << "Possible Rule Problem" << false;
        QTest::newRow("rules of this Linking Site and of others")
            << "<a href=\"blog/a.htm\">a</a><a href=\"blogs/b.htm\">b</a><a href=\"c.htm\">c</a>"
            << none
            << QStringList{"http://www.mine.test|partner.test|LimitDirectory|blog",
                           "http://www.mine.test|www.Other.test/Links.htm|ExcludeString|blog",
                           "www.mine.test|Global|ExcludeString|a.htm"}
            << QStringList{"partner.test/links/blog/a.htm"} << none << "Possible Rule Problem"
            << false;
        QTest::newRow("character references in hrefs, read as in any attribute")
            << "<a href=\"http://www&period;mine&period;test/\">m</a>"
               "<a href=\"p.php?a=1&amp;b=2\">a</a><a href=\"p.php?a=1&copy=2\">c</a>"
               "<a href=\"q.php?x=1&amp\">e</a><a href=\"&#x72;.htm\">r</a>"
            << none << none
            << QStringList{"partner.test/links/p.php?a=1&b=2",
                           "partner.test/links/p.php?a=1&copy=2", "partner.test/links/q.php?x=1&",
                           "partner.test/links/r.htm"}
            << QStringList{direct} << "" << false;
        // The Linking Site typed as a bare host is its home page, however a link spells it.
        QTest::newRow("the Linking Site's home page is known, with and without www. and /")
            << "<a href=\"http://www.partner.test/\">p</a><a href=\"http://partner.test/\">p</a>"
               "<a href=\"/\">p</a><a href=\"http://partner.test\">not a page type</a>"
            << none << none << none << none << "" << false;
    }
    void linksOfAPage()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, settings);
        QFETCH(QStringList, rules);
        QFETCH(QStringList, queued);
        QFETCH(QStringList, results);
        QFETCH(QString, problem);
        QFETCH(bool, advance);
        AnalyzerFixture f;
        f.setAll(settings);
        f.addRules(rules);
        f.analyze(body);
        QCOMPARE(f.queue(), queued);
        QCOMPARE(f.state().lPagesKnown, queued.size());
        QCOMPARE(f.statistics.lPagesFound, queued.size());
        QCOMPARE(f.rows(), results);
        QCOMPARE(f.state().strProblem, problem);
        QCOMPARE(f.finished,
                 QList<PageAnalyzer::Continuation>{advance ? PageAnalyzer::Continuation::AdvanceSite
                                                           : PageAnalyzer::Continuation::NextPage});
        QCOMPARE(f.generations, QList<quint64>{kGeneration});
        QCOMPARE(f.panel2, (QStringList{"Saving to HTML", "Getting Links", ""}));
    }

    void emptyFileTypeListAcceptsDirectoriesAndQueries()
    {
        AnalyzerFixture f;
        f.project.state().aFileTypes.clear();
        f.analyze("<a href=\"page.htm\">p</a><a href=\"dir/\">d</a><a href=\"find?q=1\">f</a>"
                  "<a href=\"p.php?id=1\">q</a><a href=\"http://www.mine.test/about.htm\">m</a>");
        QCOMPARE(f.queue(),
                 (QStringList{"partner.test/links/dir/", "partner.test/links/find?q=1"}));
        QCOMPARE(f.rows(), QStringList{"Direct Link | 001 | partner.test/links"});
    }

    // A <base href> is a URL like any other: without a "/" at its end, its last segment names a
    // file, and relative links resolve beside it.
    void baseHref_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("queued");
        QTest::newRow("a file at the root") << "/blog"
                                            << "partner.test/links.htm";
        QTest::newRow("a folder") << "/blog/"
                                  << "partner.test/blog/links.htm";
        QTest::newRow("an absolute file") << "http://partner.test/a/index.htm"
                                          << "partner.test/a/links.htm";
        QTest::newRow("a slash in the query") << "http://partner.test/a/b.php?to=/c/d"
                                              << "partner.test/a/links.htm";
        QTest::newRow("the host alone") << "http://partner.test"
                                        << "partner.test/links.htm";
        QTest::newRow("relative to the page") << "sub/page"
                                              << "partner.test/links/sub/links.htm";
        QTest::newRow("dot segments") << "../x/y"
                                      << "partner.test/x/links.htm";
        QTest::newRow("a reference in it") << "/blog&sol;"
                                           << "partner.test/blog/links.htm";
    }
    void baseHref()
    {
        QFETCH(QString, base);
        QFETCH(QString, queued);
        AnalyzerFixture f;
        f.analyze("<head><base href=\"" + base + "\"></head><a href=\"links.htm\">l</a>");
        QCOMPARE(f.queue(), QStringList{queued});
    }

    // A Linking Site that is itself a public suffix is that host (and its www.) alone: the sites
    // below it are other people's, and their links are not the partner's.
    void publicSuffixPartner()
    {
        AnalyzerFixture f;
        f.project.linkingSites(1)->appendSite(
            {QStringLiteral("github.io"), QStringLiteral("1"), {}, {}, {}});
        f.project.state().iCurrentSite = 3;
        f.project.state().strLinkingSite = QStringLiteral("github.io");
        f.analyze("<a href=\"http://octocat.github.io/links.htm\">o</a>"
                  "<a href=\"http://www.github.io/about.htm\">w</a><a href=\"/team.htm\">t</a>",
                  QStringLiteral("github.io/links/"));
        QCOMPARE(f.queue(), (QStringList{"www.github.io/about.htm", "github.io/team.htm"}));
    }

    void domainLink()
    {
        AnalyzerFixture f(QStringLiteral("http://blog.mine.test"));
        f.analyze(
            "<a href=\"http://www.mine.test/contact.htm\">c</a><a href=\"http://WWW.MINE.TEST/x.htm\">x</a>"
            "<a href=\"http://www.mine.test/logo.gif\">l</a>");
        // Only an exact host comparison makes a Domain Link, and a value that is not a page type
        // is never tested for one.
        QCOMPARE(f.rows(), QStringList{"Domain Link | 001 | partner.test/links"});
        QCOMPARE(f.state().strProblem, QString());
    }

    // An international Main Site is named by a link in either form of its host.
    void internationalMainSiteInEitherForm_data()
    {
        QTest::addColumn<QString>("mainSite");
        QTest::addColumn<QString>("link");
        QTest::newRow("typed in Unicode, linked in punycode")
            << QStringLiteral("http://www.b\u00fccher.test") << "http://xn--bcher-kva.test/";
        QTest::newRow("typed in punycode, linked in Unicode")
            << QStringLiteral("xn--bcher-kva.test")
            << QStringLiteral("http://www.b\u00fccher.test/");
        QTest::newRow("the same form") << QStringLiteral("b\u00fccher.test")
                                       << QStringLiteral("http://b\u00fccher.test/shop/");
    }
    void internationalMainSiteInEitherForm()
    {
        QFETCH(QString, mainSite);
        QFETCH(QString, link);
        AnalyzerFixture f(mainSite);
        f.analyze("<a href=\"" + link
                  + "\">Books</a><a href=\"http://xn--bchern-kva.test/\">x</a>");
        QCOMPARE(f.rows(), QStringList{"Direct Link | 001 | partner.test/links"});
    }

    void recordingALink_data()
    {
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("audio");
        QTest::addColumn<QString>("siteUrlAfter");
        QTest::addColumn<QStringList>("cues");
        QTest::newRow("defaults") << "1"
                                  << "1"
                                  << "partner.test/links/more" << QStringList{"foundemail.wav"};
        QTest::newRow("URL kept, silent") << "0"
                                          << "0"
                                          << "partner.test" << QStringList{};
    }
    void recordingALink()
    {
        QFETCH(QString, update);
        QFETCH(QString, audio);
        QFETCH(QString, siteUrlAfter);
        QFETCH(QStringList, cues);
        AnalyzerFixture f;
        f.set("chkUpdate", update);
        f.set("chkAudioEmail", audio);
        f.analyze(
            "<a href=\"http://www.mine.test/\">1</a><a href=\"x.htm\">x</a><a href=\"http://mine.test/a.htm\">2</a>",
            QStringLiteral("http://partner.test/links/more"));
        const ResultEntry e = f.project.results().entry(0);
        QCOMPARE(e.main, QStringLiteral("mine.test"));
        QCOMPARE(e.remote, QStringLiteral("partner.test"));
        QCOMPARE(e.icon, 2);
        QCOMPARE(e.colour, SiteColour::Blue);
        QCOMPARE(f.rows(),
                 (QStringList{"Direct Link | 001 | partner.test/links/more",
                              "Direct Link | 002 | partner.test/links/more"}));
        const LinkingSiteList& list = *f.project.linkingSites(1);
        QCOMPARE(list.record(0).colour, SiteColour::Blue);
        QCOMPARE(list.url(0), siteUrlAfter);
        QCOMPARE(list.url(1), QStringLiteral("www.Other.test/Links.htm"));
        QVERIFY(f.state().bLinkFound);
        QCOMPARE(f.state().iLinksFound, qint16(2));
        QCOMPARE(f.project.state().lSiteLinks, 2);
        QCOMPARE(f.statistics.lLinksFound, 2);
        QCOMPARE(f.statistics.lHistLinksFound, 2);
        QCOMPARE(f.statistics.lPagesFound, 1);
        QCOMPARE(f.panel3, (QStringList{"Found 1 links", "Found 2 links"}));
        QCOMPARE(f.cues, cues + cues);
    }

    void analysisStopsOnceTheExpectedLinksAreFound_data()
    {
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("body");
        QTest::addColumn<int>("links");
        QTest::addColumn<QStringList>("queued");
        const QString page
            = QStringLiteral("<a href=\"a.htm\">a</a><a href=\"http://mine.test/\">1</a>"
                             "<a href=\"b.htm\">b</a><a href=\"http://mine.test/x.htm\">2</a>");
        QTest::newRow("1") << 1 << page << 1 << QStringList{"partner.test/links/a.htm"};
        QTest::newRow("2") << 2 << page << 2
                           << QStringList{"partner.test/links/a.htm", "partner.test/links/b.htm"};
        // Only the first line is looked at: with the rewriting, that is the text before the first
        // "href=", even when the page starts with one.
        QTest::newRow("0") << 0 << page << 0 << QStringList{};
        QTest::newRow("0, page starts with href")
            << 0 << "href=\"http://mine.test/\">" << 0 << QStringList{};
    }
    void analysisStopsOnceTheExpectedLinksAreFound()
    {
        QFETCH(int, expected);
        QFETCH(QString, body);
        QFETCH(int, links);
        QFETCH(QStringList, queued);
        AnalyzerFixture f;
        f.project.state().iLinksExpected = qint16(expected);
        f.analyze(body);
        QCOMPARE(f.project.results().count(), links);
        QCOMPARE(f.queue(), queued);
        QCOMPARE(f.finished.size(), 1);
    }

    void numbering_data()
    {
        QTest::addColumn<int>("before");
        QTest::addColumn<QString>("number");
        QTest::newRow("fourth") << 3 << "004";
        QTest::newRow("42nd") << 41 << "042";
        QTest::newRow("thousandth") << 999 << "1000";
    }
    void numbering()
    {
        QFETCH(int, before);
        QFETCH(QString, number);
        AnalyzerFixture f;
        f.project.state().lLinkSerial = before;
        f.analyze("<a href=\"http://www.mine.test/\">");
        QCOMPARE(f.project.results().entry(0).number, number);
    }

    void lineEnds_data()
    {
        QTest::addColumn<QString>("eol");
        QTest::newRow("CR LF") << "\r\n";
        QTest::newRow("LF") << "\n";
        QTest::newRow("CR") << "\r";
    }
    void lineEnds()
    {
        QFETCH(QString, eol);
        AnalyzerFixture f;
        f.set("chkFileTypes", "0");
        // An unquoted value runs to the end of its line and loses its last two characters there
        // (".html" becomes ".ht", which the resolving repairs to ".htm"); it must not run on into
        // the next line.
        f.analyze("<a href=\"one.htm\">One</a>" + eol + "<a href=two.html" + eol
                  + " title='Two'>Two</a>" + eol + "<a href=three.htm>3</a>" + eol);
        QCOMPARE(f.queue(),
                 (QStringList{"partner.test/links/one.htm", "partner.test/links/two.htm",
                              "partner.test/links/three.htm"}));
    }

    void warningsInTheirOrder_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<bool>("redirect");
        QTest::newRow("mention") << "see MINE.test"
                                 << "Possible Redirected URL" << true;
        QTest::newRow("protected") << "You Are Seeing This Text Because"
                                   << "Source Protected" << false;
        QTest::newRow("look-alike names are no mention")
            << "see notmine.test, my-mine.test and mine.test.evil.test"
            << "" << false;
        QTest::newRow("mention and protected") << "mine.test: You are seeing this text because"
                                               << "Source Protected" << true;
        QTest::newRow("script error wins")
            << "<?PHP echo 1; You are seeing this text because; mine.test"
            << "Server Script Error" << true;
        QTest::newRow("nothing") << "plain"
                                 << "" << false;
        // The texts are searched many places at a time: one must be found wherever it stands,
        // the page's last characters included, and one cut short by the page's end must not be.
        const QList<QPair<QString, QString>> texts = {
            {QStringLiteral("<?php"), QStringLiteral("Server Script Error")},
            {QStringLiteral("YOU are seeing this text because"),
             QStringLiteral("Source Protected")},
            {QStringLiteral("Mine.Test"), QStringLiteral("Possible Redirected URL")},
        };
        for (const auto& [text, problem] : texts) {
            for (const int before : {0, 1, 15, 16, 17, 31, 32, 33, 47, 64, 100}) {
                for (const int after : {0, 1, 7, 40}) {
                    const QString page = QString(before, u' ') + text + QString(after, u'!');
                    QTest::addRow("%s at %d, %d after", qPrintable(problem), before, after)
                        << page << problem << (text == QStringLiteral("Mine.Test"));
                }
                QTest::addRow("%s cut short at %d", qPrintable(problem), before)
                    << QString(before, u' ') + text.chopped(1) << QString() << false;
            }
        }
    }
    void warningsInTheirOrder()
    {
        QFETCH(QString, body);
        QFETCH(QString, problem);
        QFETCH(bool, redirect);
        AnalyzerFixture f;
        f.set("chkRedirect", "0");
        f.analyze(body);
        QCOMPARE(f.state().strProblem, problem);
        QCOMPARE(f.state().bRedirectFound, redirect);
        QCOMPARE(f.state().strRedirectUrl,
                 redirect ? QStringLiteral("partner.test/links") : QString());
    }

    // Pages found on a page reach the queue and the statistics before anything else can look:
    // before a found link is reported, and before the analysis hands back.
    void foundPagesAreQueuedBeforeALinkIsReported()
    {
        AnalyzerFixture f;
        QStringList queuedWhenFound;
        qint32 countedWhenFound = -1;
        QObject::connect(&f.analyzer, &PageAnalyzer::statusChanged, &f.analyzer,
                         [&](int panel, const QString&) {
                             if (panel == 3 && queuedWhenFound.isEmpty()) {
                                 queuedWhenFound = f.queue();
                                 countedWhenFound = f.statistics.lPagesFound;
                             }
                         });
        QSignalSpy counted(&f.statistics, &ScanStatistics::statisticsChanged);
        f.analyze(
            "<a href=\"a.htm\"><a href=\"b.htm\"><a href=\"http://www.mine.test/\"><a href=\"c.htm\">");
        QCOMPARE(queuedWhenFound,
                 (QStringList{"partner.test/links/a.htm", "partner.test/links/b.htm"}));
        QCOMPARE(countedWhenFound, 2);
        QCOMPARE(f.queue(),
                 (QStringList{"partner.test/links/a.htm", "partner.test/links/b.htm",
                              "partner.test/links/c.htm"}));
        QCOMPARE(f.statistics.lPagesFound, 3);
        QCOMPARE(f.state().lPagesKnown, 3);
        QCOMPARE(f.finished,
                 QList<PageAnalyzer::Continuation>{PageAnalyzer::Continuation::NextPage});
        // Three signals: the two pages before the link, the link, the page after it.
        QCOMPARE(counted.count(), 3);
    }

    void pageFilesAreWritten()
    {
        AnalyzerFixture f;
        f.analyze(QStringLiteral("<p>caf\u00e9 \u20ac</p>\n<a HREF=  'a.htm'>A</a>\r\nend"));
        QCOMPARE(test::readAll(f.box.file("html0.txt")),
                 QByteArray("<p>caf\xe9 \x80</p>\n<a \r\nhref='a.htm'>A</a>\r\nend\r\n"));
        QCOMPARE(test::readAll(f.box.file("html20.txt")),
                 QByteArray("<p>caf\xe9 \x80</p><a href='a.htm'>A</a>end\r\n"));
        // Each page replaces the copies of the one before.
        f.analyze(QStringLiteral("x"));
        QCOMPARE(test::readAll(f.box.file("html0.txt")), QByteArray("x\r\n"));
        QCOMPARE(test::readAll(f.box.file("html20.txt")), QByteArray("x\r\n"));
        // Copies removed by someone else between two pages are written anew.
        QVERIFY(QFile::remove(f.box.file("html0.txt")));
        QVERIFY(QFile::remove(f.box.file("html20.txt")));
        f.analyze(QStringLiteral("yz"));
        QCOMPARE(test::readAll(f.box.file("html0.txt")), QByteArray("yz\r\n"));
        QCOMPARE(test::readAll(f.box.file("html20.txt")), QByteArray("yz\r\n"));
    }

    // A copy that cannot be written (here onto a device that is always full) is said once a
    // scan in the error list, with the system's reason; the page is analysed all the same.
    void failedPageCopyIsReportedOnceAScan()
    {
        if (!QFileInfo(QStringLiteral("/dev/full")).exists())
            QSKIP("no /dev/full on this system");
        AnalyzerFixture f;
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), f.box.file("html0.txt")));
        const auto errors = [&f] {
            QStringList rows;
            for (int r = 0; r < f.project.errors().count(); ++r)
                rows.append(f.project.errors().entry(r).error + " | "
                            + f.project.errors().entry(r).url);
            return rows;
        };
        f.analyze("<a href=\"a.htm\">A</a>");
        f.analyze("<a href=\"b.htm\">B</a>", QStringLiteral("partner.test/links/a.htm"));
        QCOMPARE(errors(),
                 QStringList{"Page copy not written: html0.txt: No space left on device"
                             " | partner.test/links"});
        QCOMPARE(f.queue(), (QStringList{"partner.test/links/a.htm", "partner.test/links/b.htm"}));
        QCOMPARE(f.finished.size(), 2);
        // The second copy does not depend on the first.
        QCOMPARE(test::readAll(f.box.file("html20.txt")),
                 QByteArray("<a href=\"b.htm\">B</a>\r\n"));
        // A new scan says it again.
        f.analyzer.resetForScan();
        f.analyze("x");
        QCOMPARE(errors().size(), 2);
    }

    // Pages of every size one after the other: each file ends up with the last page, whole.
    void pageCopiesEndWithTheLastPage()
    {
        AnalyzerFixture f;
        QString last;
        for (int i = 0; i < 300; ++i) {
            last = QStringLiteral("<p>page %1</p>").arg(i)
                + QString(i % 7 == 0 ? 5000 : 10 + i, u'x');
            f.analyze(last);
        }
        f.analyzer.endSite();
        QCOMPARE(test::readAll(f.box.file("html0.txt")), last.toLatin1() + "\r\n");
        QCOMPARE(test::readAll(f.box.file("html20.txt")), last.toLatin1() + "\r\n");
    }

    void knownPages_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("cleaned");
        QTest::addColumn<bool>("known");
        QTest::newRow("a Linking Site, scheme and www removed") << "http://www.partner.test"
                                                                << "partner.test" << true;
        QTest::newRow("letter case of a Linking Site ignored") << "  PARTNER.test "
                                                               << "PARTNER.test" << true;
        QTest::newRow("only a lower-case www. is removed") << "WWW.partner.test"
                                                           << "WWW.partner.test" << false;
        QTest::newRow("the other Linking Site, without its www.") << "other.test/LINKS.htm"
                                                                  << "other.test/LINKS.htm" << true;
        QTest::newRow("scheme remnants") << "ttp://ww.partner.test"
                                         << ".partner.test" << false;
        QTest::newRow("remnant of another scheme") << "hxxp://www.x"
                                                   << "hxxwww.x" << false;
        QTest::newRow("a queued page, letter case ignored") << "Partner.test/Links/A.htm"
                                                            << "Partner.test/Links/A.htm" << true;
        QTest::newRow("a page not seen") << "partner.test/links/b.htm"
                                         << "partner.test/links/b.htm" << false;
    }
    void knownPages()
    {
        QFETCH(QString, url);
        QFETCH(QString, cleaned);
        QFETCH(bool, known);
        AnalyzerFixture f;
        f.analyze("<a href=\"a.htm\">");
        QCOMPARE(f.queue(), QStringList{"partner.test/links/a.htm"});
        QString u = url;
        QCOMPARE(f.analyzer.IsKnownPage(u), known);
        QCOMPARE(u, cleaned);
    }

    void knownLinkingSitesFollowTheList()
    {
        AnalyzerFixture f;
        QString url = QStringLiteral("partner.test/links/more");
        QVERIFY(!f.analyzer.IsKnownPage(url));
        // A found link puts the page's URL into the Linking Site's row.
        f.analyze("<a href=\"http://www.mine.test/\">", QStringLiteral("partner.test/links/more"));
        QCOMPARE(f.project.linkingSites(1)->url(0), url);
        QVERIFY(f.analyzer.IsKnownPage(url));
        QString former = QStringLiteral("partner.test");
        QVERIFY(!f.analyzer.IsKnownPage(former));

        QString other = QStringLiteral("other.test/links.htm");
        QVERIFY(f.analyzer.IsKnownPage(other));
        f.project.linkingSites(1)->removeAt(1);
        QVERIFY(!f.analyzer.IsKnownPage(other));
        f.project.linkingSites(1)->appendSite(
            {QStringLiteral("third.test"), QStringLiteral("1"), {}, {}, {}});
        QString third = QStringLiteral("www.third.test");
        QVERIFY(f.analyzer.IsKnownPage(third));
    }

    // The queue holds no more pages than the Linking Site may still fetch: a page that links to
    // 200,000 new pages of its site leaves the page limit's worth, counted as found pages.
    void queueIsBoundedByThePageLimit_data()
    {
        QTest::addColumn<QString>("chkAuto");
        QTest::addColumn<int>("pagesTaken");
        QTest::addColumn<int>("alreadyQueued");
        QTest::addColumn<int>("links");  // new pages of the site the page links to
        QTest::addColumn<int>("queued"); // pages this page adds
        QTest::newRow("first page at the default limit") << "1" << 1 << 0 << 200000 << 499;
        QTest::newRow("later page, queue partly full") << "1" << 301 << 150 << 1000 << 49;
        QTest::newRow("last page the limit allows") << "1" << 500 << 0 << 1000 << 0;
        QTest::newRow("no page limit") << "0" << 1 << 0 << 20000 << 20000;
    }
    void queueIsBoundedByThePageLimit()
    {
        QFETCH(QString, chkAuto);
        QFETCH(int, pagesTaken);
        QFETCH(int, alreadyQueued);
        QFETCH(int, links);
        QFETCH(int, queued);
        AnalyzerFixture f;
        f.set("chkAuto", chkAuto);
        f.project.state().lPagesTaken = pagesTaken;
        for (int i = 0; i < alreadyQueued; ++i)
            f.project.pageQueue().enqueue(QStringLiteral("partner.test/old%1/").arg(i));
        f.project.state().lPagesKnown = alreadyQueued;
        QString body;
        body.reserve(links * 24);
        for (int i = 1; i <= links; ++i)
            body += QStringLiteral("<a href=\"p%1/\">\n").arg(i);
        f.analyze(body);
        QCOMPARE(f.project.pageQueue().count(), alreadyQueued + queued);
        QCOMPARE(f.state().lPagesKnown, alreadyQueued + queued);
        QCOMPARE(f.statistics.lPagesFound, queued);
        // Pages left out make the limit the Linking Site's reason, should it end without a link.
        QCOMPARE(f.state().bPagesLeftOut, queued < links);
        if (queued > 0)
            QCOMPARE(f.project.pageQueue().page(alreadyQueued + queued - 1),
                     QStringLiteral("partner.test/links/p%1/").arg(queued));
        QCOMPARE(f.finished,
                 QList<PageAnalyzer::Continuation>{PageAnalyzer::Continuation::NextPage});
    }

    // A page left out for want of room is not taken as known: once the limit allows more, a later
    // page queues it.
    void pageLeftOutIsQueuedOnceThereIsRoom()
    {
        AnalyzerFixture f;
        f.project.state().lPageLimit = 4;
        const QString body
            = "<a href=\"a.htm\"><a href=\"b.htm\"><a href=\"c.htm\"><a href=\"d.htm\">";
        f.analyze(body);
        QCOMPARE(f.queue(),
                 (QStringList{"partner.test/links/a.htm", "partner.test/links/b.htm",
                              "partner.test/links/c.htm"}));
        QString d = QStringLiteral("partner.test/links/d.htm");
        QVERIFY(!f.analyzer.IsKnownPage(d));
        f.project.pageQueue().takeFirst();
        f.project.state().lPagesTaken = 2;
        f.analyze(body);
        QCOMPARE(f.queue().size(), 2);
        f.project.state().lPageLimit = 10;
        f.analyze(body);
        QCOMPARE(f.queue(),
                 (QStringList{"partner.test/links/b.htm", "partner.test/links/c.htm",
                              "partner.test/links/d.htm"}));
        QCOMPARE(f.state().lPagesKnown, 4);
    }

    void redirectPages_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("requested");
        QTest::addColumn<QStringList>("results");
        QTest::addColumn<QStringList>("queued");
        const QStringList none;
        QTest::newRow("absolute target")
            << kApacheMoved << QStringList{"moved.test/links.htm"}
            << QStringList{"Direct Link | 001 | partner.test/links"}
            // Relative links of the downloaded page resolve against the redirecting page.
            << QStringList{"partner.test/links/rel.htm"};
        QTest::newRow("relative target cannot be fetched: an empty page")
            << kIisMoved << none << none << none;
        QTest::newRow("no target: the page itself, the server's redirect followed")
            << kBareMoved << QStringList{"partner.test/links", "new.partner.test/links/"}
            << QStringList{"Direct Link | 001 | partner.test/links"}
            << QStringList{"partner.test/links/rel.htm"};
        QTest::newRow("links before the marker count, those after it do not")
            << "<a href=\"before.htm\">b</a>\r\n<TITLE>Document Moved</TITLE><a href=\"http://moved.test/links.htm\">here</a>"
               "<a href=\"after.htm\">a</a>"
            << QStringList{"moved.test/links.htm"}
            << QStringList{"Direct Link | 001 | partner.test/links"}
            << QStringList{"partner.test/links/before.htm", "partner.test/links/rel.htm"};
        QTest::newRow("marker on a link's line: that link is the target")
            << "<p>Moved: <a href=\"http://moved.test/links.htm\">moved</a> 302 Found</p>"
            << QStringList{"moved.test/links.htm"}
            << QStringList{"Direct Link | 001 | partner.test/links"}
            << QStringList{"partner.test/links/rel.htm"};
        QTest::newRow("a commented-out link is not the target")
            << "<title>Document Moved</title><!-- <a href=\"http://old.test/x.htm\">old</a> -->"
               "<a href=\"http://moved.test/links.htm\">here</a>"
            << QStringList{"moved.test/links.htm"}
            << QStringList{"Direct Link | 001 | partner.test/links"}
            << QStringList{"partner.test/links/rel.htm"};
        QTest::newRow("marker in the middle of a line")
            << "HTTP/1.0 302 Found <a href=\"http://moved.test/links.htm\">"
            << QStringList{"moved.test/links.htm"}
            << QStringList{"Direct Link | 001 | partner.test/links"}
            << QStringList{"partner.test/links/rel.htm"};
    }
    void redirectPages()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, requested);
        QFETCH(QStringList, results);
        QFETCH(QStringList, queued);
        AnalyzerFixture f;
        // The downloaded page has a marker of its own: it is not followed again.
        const QByteArray target = "<title>Object moved</title><a href=\"rel.htm\">r</a>"
                                  "<a href=\"http://www.mine.test/\">m</a>"
                                  "<a href=\"http://moved.test/elsewhere.htm\">e</a>";
        f.server.setPage(QStringLiteral("moved.test"), QStringLiteral("/links.htm"), target);
        f.server.setPage(QStringLiteral("partner.test"), QStringLiteral("/links"), "Moved",
                         "301 Moved Permanently", {"Location: http://new.partner.test/links/"});
        f.server.setPage(QStringLiteral("new.partner.test"), QStringLiteral("/links/"), target);
        f.analyze(body);
        QTRY_COMPARE(f.finished.size(), 1);
        QCOMPARE(f.generations, QList<quint64>{kGeneration});
        QStringList got;
        for (const TestWebServer::Request& r : f.server.requests())
            got.append(r.host + QString::fromLatin1(r.path));
        QCOMPARE(got, requested);
        QCOMPARE(f.rows(), results);
        QCOMPARE(f.queue(), queued);
        QVERIFY(!f.project.state().bEmulate);
        QCOMPARE(f.finished.first(), PageAnalyzer::Continuation::NextPage);
        // The analysis of the download ran in full: its end step cleared the second panel.
        QCOMPARE(f.panel2.last(), QString());
    }

    // The page a "moved" page leads to is read by its charset as the fetcher's pages are.
    void redirectTargetInItsCharset_data()
    {
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("notes");
        const QByteArray utf8 = "Caf\xc3\xa9 M\xc3\xbcller";
        const QString cafe = QStringLiteral("text \"Caf\u00e9 M\u00fcller\"");
        QTest::newRow("UTF-8 by the header")
            << QByteArray("text/html; charset=utf-8") << QByteArray() << utf8 << cafe;
        QTest::newRow("UTF-8 by a meta")
            << QByteArray("text/html") << QByteArray("<meta charset=\"utf-8\">") << utf8 << cafe;
        QTest::newRow("UTF-8 by its mark, against the header")
            << QByteArray("text/html; charset=iso-8859-1") << QByteArray("\xef\xbb\xbf") << utf8
            << cafe;
        QTest::newRow("windows-1251 by the header")
            << QByteArray("text/html; charset=windows-1251") << QByteArray()
            << QByteArray("\xcf\xf0\xe8\xe2\xe5\xf2")
            << QStringLiteral("text \"\u041f\u0440\u0438\u0432\u0435\u0442\"");
        QTest::newRow("none: windows-1252")
            << QByteArray("text/html") << QByteArray() << QByteArray("Caf\xe9 M\xfcller") << cafe;
    }
    void redirectTargetInItsCharset()
    {
        QFETCH(QByteArray, contentType);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, text);
        QFETCH(QString, notes);
        AnalyzerFixture f;
        f.server.setPage(QStringLiteral("moved.test"), QStringLiteral("/links.htm"),
                         before + "<a href=\"http://www.mine.test/\">" + text + "</a>", "200 OK",
                         {"Content-Type: " + contentType});
        f.analyze(kApacheMoved);
        QTRY_COMPARE(f.finished.size(), 1);
        QCOMPARE(f.rows(), QStringList{"Direct Link | 001 | partner.test/links"});
        QCOMPARE(f.project.results().entry(0).notes, notes);
    }

    void redirectToAPageThatOnlyMentionsTheMainSite()
    {
        AnalyzerFixture f;
        f.server.setPage(QStringLiteral("moved.test"), QStringLiteral("/links.htm"),
                         "We love mine.test");
        f.analyze(kApacheMoved);
        QTRY_COMPARE(f.finished.size(), 1);
        QCOMPARE(f.finished.first(), PageAnalyzer::Continuation::AdvanceSite);
        QCOMPARE(f.state().strRedirectUrl, QStringLiteral("partner.test/links"));
        QCOMPARE(f.state().strProblem, QStringLiteral("Possible Redirected URL"));
    }

    void stoppedScanDropsTheWaitingDownload_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("stop") << true;
        QTest::newRow("site advanced (skip)") << false;
    }
    void stoppedScanDropsTheWaitingDownload()
    {
        QFETCH(bool, stop);
        AnalyzerFixture f;
        TestWebServer::Reply slow;
        slow.response = TestWebServer::response("200 OK", "<a href=\"http://www.mine.test/\">");
        slow.delayMs = 200;
        f.server.setReply(QStringLiteral("moved.test"), QStringLiteral("/links.htm"), slow);
        QSignalSpy closed(&f.server, &TestWebServer::connectionClosed);
        f.analyze(kApacheMoved);
        QTRY_COMPARE(f.server.requests().size(), 1);
        if (stop) {
            f.project.state().bScanRunning = false;
            f.analyzer.abort();
        } else {
            f.analyzer.endSite();
        }
        // The download let go of its connection before the answer was due.
        QTRY_COMPARE(closed.size(), 1);
        QCoreApplication::processEvents();
        QVERIFY(f.finished.isEmpty());
        QVERIFY(f.rows().isEmpty());
        QVERIFY(!f.project.state().bEmulate);
    }

    void stoppedScanIsNotAnalysed()
    {
        AnalyzerFixture f;
        f.project.state().bScanRunning = false;
        f.analyze("<a href=\"http://www.mine.test/\">mine.test</a>");
        QVERIFY(f.finished.isEmpty());
        QVERIFY(f.rows().isEmpty());
        QVERIFY(!f.state().bRedirectFound);
        QVERIFY(!QFile::exists(f.box.file("html0.txt")));
    }

    void stopDuringTheAnalysisEndsItSilently()
    {
        AnalyzerFixture f;
        QObject::connect(&f.analyzer, &PageAnalyzer::statusChanged, &f.analyzer,
                         [&f](int panel, const QString& text) {
                             if (panel == 3 && text == QStringLiteral("Found 1 links")) {
                                 f.project.state().bScanRunning = false;
                                 f.analyzer.abort();
                             }
                         });
        f.analyze(
            "<a href=\"http://www.mine.test/\">1</a><a href=\"http://www.mine.test/2.htm\">2</a><a href=\"x.htm\">");
        QCOMPARE(f.project.results().count(), 1);
        QVERIFY(f.queue().isEmpty());
        QVERIFY(f.finished.isEmpty());
    }

    void newScanForgetsTheStoppedOne()
    {
        AnalyzerFixture f;
        f.analyze("mine.test <a href=\"http://www.mine.test/\"><a href=\"a.htm\">");
        QCOMPARE(f.project.state().lLinkSerial, 1);
        f.analyzer.resetForScan();
        QCOMPARE(f.project.state().lLinkSerial, 0);
        QVERIFY(!f.state().bRedirectFound);
        QCOMPARE(f.state().strProblem, QString());
        QCOMPARE(f.state().strRedirectUrl, QString());
        QString queued = QStringLiteral("partner.test/links/a.htm");
        QVERIFY(!f.analyzer.IsKnownPage(queued));
    }

    void refusalsAreLoggedWhenAskedFor()
    {
        AnalyzerFixture f;
        f.set("chkLog", "1");
        f.addRules({"Global|Global|ExcludeDirectory|private"});
        f.analyze("<a href=\"private/a.htm\"><a href=\"b.htm\">");
        QCOMPARE(
            test::readAll(f.box.file("rules.log")),
            QByteArray(
                "Excluded Site: partner.test/links/private/a.htm\r\nRule Type: ExcludeDirectory\r\n"
                "Rule Value: private\r\n\r\n\r\n"));
    }
};

CORVANE_TEST_CLASS(PageAnalyzerTest);
#include "PageAnalyzerTest.moc"
