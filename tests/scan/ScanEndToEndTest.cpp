#include "history/PartnerChange.h"
#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "net/NetworkContext.h"
#include "net/PageFetcher.h"
#include "scan/ScanController.h"
#include "support/ScanRig.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QTcpServer>
#include <QTest>

#include <algorithm>

using namespace corvane;
using test::TestWebServer;

namespace {

// A whole scan of a small set of partner sites, served by the test web server under their own
// host names: every page the crawl may ask for is defined, so any other request would show up as
// an error row.
struct PartnerSites : test::ScanRig {
    // Empty: only the Main Site, for a test's own partners.
    enum class Sites { Standard, None };

    // A watchdog "second" of 200 ms: a silent server ends its site in a fraction of the time.
    explicit PartnerSites(Sites sites = Sites::Standard) : ScanRig(200)
    {
        box.settings->WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("2"));
        test::writeAll(box.file(QStringLiteral("filetypes.txt")),
                       ".htm\r\n.html\r\n.php\r\n\r\n.asp\r\n");

        project.mainSites().appendUrl(QStringLiteral("http://www.mine.test"));
        project.addList();
        if (sites == Sites::Standard)
            addStandardSites();
    }

    void addStandardSites()
    {
        for (const char* site :
             {"alpha.test/links.htm#1", "beta.test#3", "gamma.test#1", "delta.test/old/#1",
              "epsilon.test#1", "zeta.test#1", "eta.test/gone.htm#1", "theta.test#1", "iota.test#0",
              "kappa.test#1", "lambda.test#1"})
            addSite(1, QString::fromLatin1(site));
        project.mainSites().appendUrl(QStringLiteral("mine.test/shop"));
        project.addList();
        addSite(2, QStringLiteral("mu.test#1"));

        const auto rule = [this](const char* main, const char* remote, const char* type,
                                 const char* value) {
            project.rules().appendRule({QString::fromLatin1(main), QString::fromLatin1(remote),
                                        QString::fromLatin1(type), QString::fromLatin1(value)});
        };
        rule("Global", "Global", "ExcludeString", "private");
        rule("http://www.mine.test", "kappa.test", "LimitDirectory", "links");
        rule("http://www.mine.test", "Global", "ExcludeString", "secret");
        // Neither applies: the Main Site is spelled otherwise in its list, and no Linking Site
        // has that URL.
        rule("www.mine.test", "Global", "ExcludeString", "links");
        rule("Global", "nosuch.test", "ExcludeString", "htm");

        // A Unix host: lines end with LF. Links in many spellings; the Main Site is linked from
        // the second page.
        page("alpha.test", "/links.htm",
             "<html><body>\n<a href=\"friends.htm\">Friends</a>\n"
             "<A HREF='HTTP://WWW.ALPHA.TEST/About.PHP'>About</A>\n"
             "<a href=/partners/index.html>Partners</a>\n"
             "<a href = \"spaced.htm\">Spaced</a>\n"
             "<a href=\"mailto:info@alpha.test\">Mail</a>\n"
             "<a href=\"links.htm#top\">Top</a>\n"
             "<a href=\"http://alpha.test/links.htm\">This page</a>\n"
             "<a href=\"logo.gif\">Logo</a>\n</body></html>\n");
        page("alpha.test", "/friends.htm",
             "<p>Our friends:</p>\n<a href=\"http://www.elsewhere.test/\">Elsewhere</a>\n"
             "<a href=\"Friends.htm\">Again</a>\n<A HREF=\"http://WWW.mine.test/\">Mine</A>\n"
             "<a href=\"more.htm\">More</a>\n");
        // One link of three.
        page("beta.test", "/",
             "<a href=\"page2.htm\">Next</a> <a href=\"http://mine.test/\">Mine</a>\r\n");
        page("beta.test", "/page2.htm", "<p>Nothing here</p>\r\n");
        // A redirect page with an absolute target.
        page("gamma.test", "/",
             "<!DOCTYPE HTML PUBLIC \"-//IETF//DTD HTML 2.0//EN\">\n<html><head>\n"
             "<title>301 Moved Permanently</title>\n</head><body>\n<h1>Moved Permanently</h1>\n"
             "<p>The document has moved <a href=\"http://gamma-new.test/links.htm\">here</a>.</p>\n"
             "</body></html>\n",
             "301 Moved Permanently", {"Location: http://gamma-new.test/links.htm"});
        page("gamma-new.test", "/links.htm",
             "<a href=\"sub.htm\">Sub</a> <a href=\"http://www.mine.test/\">Mine</a>\r\n");
        // A server's bare "moved" page: no target in it, only in the Location header.
        const QByteArray bare
            = "<html>\r\n<head><title>301 Moved Permanently</title></head>\r\n<body>\r\n"
              "<center><h1>301 Moved Permanently</h1></center>\r\n"
              "<hr><center>nginx</center>\r\n</body>\r\n</html>\r\n";
        page("delta.test", "/old/", bare, "301 Moved Permanently",
             {"Location: http://delta2.test/new/"});
        page("delta.test", "/old", bare, "301 Moved Permanently",
             {"Location: http://delta2.test/new/"});
        page("delta2.test", "/new/", "<a href=\"http://www.mine.test/\">Mine</a>\r\n");
        // A redirect page with a relative target.
        page(
            "epsilon.test", "/",
            "<head><title>Object moved</title></head><body><h1>Object Moved</h1>This object may be "
            "found <a HREF=\"/moved.htm\">here</a>.</body>",
            "302 Object moved", {"Location: /moved.htm"});
        // The Main Site is only mentioned.
        page("zeta.test", "/",
             "<a href=\"sponsors.htm\">Sponsors</a><a href=\"more.htm\">More</a>\r\n");
        page("zeta.test", "/sponsors.htm", "<p>Sponsored by www.mine.test</p>\r\n");
        page("eta.test", "/gone.htm", "<html><body>Not here</body></html>", "404 Not Found");
        page("theta.test", "/", "<?php include('links.php'); ?>\r\n");
        // Crawl rules: only links/ may be followed, private/ never.
        page(
            "kappa.test", "/",
            "<a href=\"links/\">Links</a><a href=\"private/p.htm\">Private</a><a href=\"other/x.htm\">Other</a>\r\n");
        page("kappa.test", "/links/", "<a href=\"http://www.mine.test/\">Mine</a>\r\n");
        page("lambda.test", "/", "<a href=\"secret/links.htm\">Links</a>\r\n");
        page("mu.test", "/", "<a href=\"http://www.mine.test/index.htm\">Home</a>\r\n");
    }

    // "url#expected"
    void addSite(int k, const QString& site)
    {
        project.linkingSites(k)->appendSite(
            {site.section(u'#', 0, 0), site.section(u'#', 1), {}, {}, {}});
    }
    void page(const char* host, const char* path, const QByteArray& body,
              const QByteArray& status = "200 OK", const QList<QByteArray>& headers = {})
    {
        server.setPage(QString::fromLatin1(host), QString::fromLatin1(path), body, status, headers);
    }

    QStringList results() const
    {
        QStringList rows;
        for (int r = 0; r < project.results().count(); ++r) {
            const ResultEntry e = project.results().entry(r);
            rows.append(
                QStringList{e.main, e.remote, e.status, e.number, e.url, QString::number(e.icon)}
                    .join(" | "));
        }
        return rows;
    }
    // "url colour" of every Linking Site of Main Site k.
    QStringList sites(int k) const
    {
        static const char* colours[] = {"black", "blue", "green", "red"};
        QStringList rows;
        const LinkingSiteList& list = *project.linkingSites(k);
        for (int r = 0; r < list.count(); ++r)
            rows.append(list.url(r) + " " + colours[int(list.record(r).colour)]);
        return rows;
    }
    QStringList requests() const
    {
        QStringList rows;
        for (const TestWebServer::Request& r : server.requests())
            rows.append(r.host + QString::fromLatin1(r.path));
        return rows;
    }
};

// The certificate of the tests' TLS server: for "localhost", a file under tests/data that only the
// tests trust.
QByteArray scanFixture(const char* name)
{
    return test::readAll(QStringLiteral(CORVANE_TEST_DATA "/scan/") + QLatin1String(name));
}

QSslCertificate localhostCertificate()
{
    return QSslCertificate(scanFixture("localhost.crt"));
}

QSslConfiguration localhostTls()
{
    QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
    tls.setLocalCertificate(localhostCertificate());
    tls.setPrivateKey(QSslKey(scanFixture("localhost.key"), QSsl::Rsa));
    return tls;
}

} // namespace

class ScanEndToEndTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scanOfPartnerSites()
    {
        PartnerSites f;
        // The requests are compared one by one below: one Linking Site at a time. The same
        // project scanned several at once gives the same rows (ParallelScanTest).
        f.box.settings->WriteSetting(QStringLiteral("ParallelSites"), QStringLiteral("1"));
        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(
            f.results(),
            (QStringList{
                "mine.test | alpha.test | Direct Link | 001 | alpha.test/friends.htm | 2",
                "mine.test | beta.test | Direct Link | 001 | beta.test | 2",
                "mine.test | beta.test | Missing 002 | 000 | beta.test/page2.htm | 1",
                "mine.test | gamma.test | Direct Link | 001 | gamma.test | 2",
                "mine.test | delta.test | Direct Link | 001 | delta.test/old | 2",
                "mine.test | epsilon.test | None Found | 000 | epsilon.test | 1",
                "mine.test | zeta.test | Redirect Link | 001 | zeta.test/sponsors.htm | 2",
                "mine.test | eta.test | None Found (404 Not found) | 000 | eta.test | 1",
                "mine.test | theta.test | None Found (Server Script Error) | 000 | theta.test | 1",
                "mine.test | iota.test | None Found | 000 | iota.test | 1",
                "mine.test | kappa.test | Direct Link | 001 | kappa.test/links | 2",
                "mine.test | lambda.test | None Found (Possible Rule Problem) | 000 | lambda.test | 1",
                "mine.test/shop | mu.test | Domain Link | 001 | mu.test | 2",
            }));
        QCOMPARE(f.errors(), QStringList{"404 Not found | eta.test/gone.htm"});

        QCOMPARE(f.requests(),
                 (QStringList{
                     "alpha.test/links.htm",
                     "alpha.test/friends.htm",
                     // robots.txt is read once a link is found on a host, before its next page.
                     "alpha.test/robots.txt",
                     "beta.test/",
                     "beta.test/robots.txt",
                     "beta.test/page2.htm",
                     "gamma.test/",
                     "gamma-new.test/links.htm",
                     // The link of the downloaded text is the redirecting page's.
                     "gamma.test/robots.txt",
                     "delta.test/old/",
                     "delta.test/old",
                     "delta2.test/new/",
                     "delta.test/robots.txt",
                     "epsilon.test/",
                     "zeta.test/",
                     "zeta.test/sponsors.htm",
                     "eta.test/gone.htm",
                     "theta.test/",
                     "kappa.test/",
                     "kappa.test/links/",
                     "kappa.test/robots.txt",
                     "lambda.test/",
                     "mu.test/",
                     "mu.test/robots.txt",
                 }));

        QCOMPARE(f.sites(1),
                 (QStringList{
                     "alpha.test/friends.htm blue",
                     "beta.test blue",
                     "gamma.test blue",
                     "delta.test/old blue",
                     "epsilon.test red",
                     "zeta.test/sponsors.htm green",
                     "eta.test/gone.htm red",
                     "theta.test red",
                     "iota.test red",
                     "kappa.test/links blue",
                     "lambda.test red",
                 }));
        QCOMPARE(f.sites(2), QStringList{"mu.test blue"});

        QCOMPARE(f.statistics.lMainSitesScanned, 2);
        QCOMPARE(f.statistics.lLinkingSitesScanned, 12);
        // Fifteen connections (downloads of redirect targets are not counted), one more for the
        // 404 page.
        QCOMPARE(f.statistics.lPagesScanned, 16);
        // alpha 4, beta 1, gamma 1 (from the downloaded page), zeta 2, kappa 1.
        QCOMPARE(f.statistics.lPagesFound, 9);
        // Six links recorded by the analysis and one Redirect Link outcome.
        QCOMPARE(f.statistics.lLinksFound, 7);
        QVERIFY(f.project.pageQueue().isEmpty());
    }

    // Partners on HTTPS, served by a TLS server whose certificate (for "localhost", a file under
    // tests/data) only the test trusts.
    void httpsPartners_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<int>("tlsRequests");
        QTest::newRow("entered with https, port 80 never asked")
            << "https://localhost/links.htm" << true
            << "mine.test | localhost | Direct Link | 001 | localhost/more.htm | 2" << QStringList{}
            << 2;
        QTest::newRow("port 80 moves the site to https")
            << "localhost/links.htm" << true
            << "mine.test | localhost | Direct Link | 001 | localhost/more.htm | 2" << QStringList{}
            << 2;
        QTest::newRow("untrusted certificate")
            << "https://localhost/links.htm" << false
            << "mine.test | localhost | None Found (Certificate error) | 000 | localhost | 1"
            << QStringList{"Certificate error"} << 0;
    }
    void httpsPartners()
    {
        QFETCH(QString, site);
        QFETCH(bool, trusted);
        QFETCH(QString, result);
        QFETCH(QStringList, errors);
        QFETCH(int, tlsRequests);
        const QSslCertificate certificate = localhostCertificate();
        TestWebServer secure(localhostTls());

        PartnerSites f(PartnerSites::Sites::None);
        f.network.setTlsRoute(secure.route());
        if (trusted)
            f.network.setExtraTrustedCertificates({certificate});
        f.addSite(1, site + QStringLiteral("#1"));
        // Port 80 knows only the move to https.
        f.page("localhost", "/links.htm", "<html>Moved</html>", "301 Moved Permanently",
               {"Location: https://localhost/links.htm"});
        secure.setPage(QStringLiteral("localhost"), QStringLiteral("/links.htm"),
                       "<a href=\"more.htm\">More</a>\n");
        secure.setPage(QStringLiteral("localhost"), QStringLiteral("/more.htm"),
                       "<a href=\"http://www.mine.test/\">Mine</a>\n");

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(f.results(), QStringList{result});
        QCOMPARE(f.errors().size(), errors.size());
        for (qsizetype i = 0; i < errors.size(); ++i)
            QVERIFY2(f.errors().at(i).startsWith(errors.at(i) + ": ")
                         && f.errors().at(i).endsWith(QStringLiteral(" | localhost/links.htm")),
                     qPrintable(f.errors().at(i)));
        QCOMPARE(secure.requests().size(), tlsRequests);
        for (const TestWebServer::Request& r : secure.requests())
            QCOMPARE(r.hostHeader, QByteArray("localhost"));
        // Pages asked for on port 80 (robots.txt, read through the route's proxy, aside).
        const auto plainPages
            = std::count_if(f.server.requests().cbegin(), f.server.requests().cend(),
                            [](const TestWebServer::Request& r) {
                                return r.path != "/robots.txt" && r.method == "GET";
                            });
        QCOMPARE(plainPages, site.startsWith(QStringLiteral("https")) ? 0 : 1);
    }

    // An https partner behind a proxy, as offices reach the web: the pages go through one
    // CONNECT tunnel, over one kept-alive TLS connection, and the TLS session is kept for the next
    // connection to the host.
    void httpsPartnerThroughAProxy()
    {
        const QSslCertificate certificate = localhostCertificate();
        TestWebServer secure(localhostTls());
        secure.setKeepAlive(true);

        PartnerSites f(PartnerSites::Sites::None);
        f.network.setRoute({});
        f.network.setExtraTrustedCertificates({certificate});
        f.network.setSettings(f.box.settings.get());
        f.box.settings->WriteSetting(QStringLiteral("Proxy"),
                                     QStringLiteral("127.0.0.1:%1").arg(f.server.port()));
        f.server.setTunnelTarget(secure.port());
        f.addSite(1, QStringLiteral("https://localhost/links.htm#1"));
        secure.setPage(QStringLiteral("localhost"), QStringLiteral("/links.htm"),
                       "<a href=\"more.htm\">More</a>\n");
        secure.setPage(QStringLiteral("localhost"), QStringLiteral("/more.htm"),
                       "<a href=\"http://www.mine.test/\">Mine</a>\n");

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(f.results(),
                 QStringList{"mine.test | localhost | Direct Link | 001 | localhost/more.htm | 2"});
        QStringList pages;
        for (const TestWebServer::Request& r : secure.requests()) {
            if (r.path != "/robots.txt")
                pages.append(QString::fromLatin1(r.path));
        }
        QCOMPARE(pages, (QStringList{"/links.htm", "/more.htm"}));
        QVERIFY(!f.server.requests().isEmpty());
        for (const TestWebServer::Request& r : f.server.requests())
            QCOMPARE(r.requestLine.left(23), QByteArray("CONNECT localhost:443 H"));
        QVERIFY(!f.network.tlsSession(QStringLiteral("localhost")).isEmpty());
    }

    // Links as sites write them today: "./" and "../" with fragments, the home page as "/", a
    // query whose directory is its page's.
    void relativeLinksAreFollowedAsABrowserDoes()
    {
        PartnerSites f(PartnerSites::Sites::None);
        f.addSite(1, QStringLiteral("nu.test#2"));
        f.addSite(1, QStringLiteral("xi.test/dir/sub/index.htm#1"));
        // Typed with blanks around it: fetched without them.
        f.addSite(1, QStringLiteral(" omicron.test #1"));
        f.page("omicron.test", "/", "<a href=\"links.htm\">Links</a>\n");
        f.page("omicron.test", "/links.htm", "<a href=\"http://www.mine.test/\">Mine</a>\n");
        // One link back, and the home page linked as "/" and "./": still the one page.
        f.page("nu.test", "/",
               "<a href=\"/\">Home</a><a href=\"./#top\">Top</a>"
               "<a href=\"http://www.mine.test/\">Mine</a>\r\n");
        f.page(
            "xi.test", "/dir/sub/index.htm",
            "<a href=\"./a.htm#x\">A</a>\n<a href=\"../b.htm#top\">B</a>\n<a href=\"#top\">Top</a>\n");
        f.page("xi.test", "/dir/sub/a.htm", "<a href=\"./index.htm\">Back</a>\n");
        f.page("xi.test", "/dir/b.htm",
               "<a href=\"search.php?q=../x\">Search</a><a href=\"../c/./d/../links.htm\">L</a>\n");
        f.page("xi.test", "/dir/search.php?q=../x", "<a href=\"found.htm\">Found</a>\n");
        f.page("xi.test", "/dir/found.htm", "<p>nothing</p>\n");
        f.page("xi.test", "/c/links.htm", "<a href=\"http://www.mine.test/#friends\">Mine</a>\n");
        f.box.settings->WriteSetting(QStringLiteral("ParallelSites"), QStringLiteral("1"));

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(f.results(),
                 (QStringList{
                     "mine.test | nu.test | Direct Link | 001 | nu.test | 2",
                     "mine.test | nu.test | Missing 001 | 000 | nu.test | 1",
                     "mine.test | xi.test | Direct Link | 001 | xi.test/c/links.htm | 2",
                     "mine.test | omicron.test | Direct Link | 001 | omicron.test/links.htm | 2",
                 }));
        QCOMPARE(f.errors(), QStringList{});
        QCOMPARE(f.requests(),
                 (QStringList{
                     "nu.test/",
                     "nu.test/robots.txt",
                     "xi.test/dir/sub/index.htm",
                     "xi.test/dir/sub/a.htm",
                     "xi.test/dir/b.htm",
                     "xi.test/dir/search.php?q=../x",
                     "xi.test/c/links.htm",
                     "xi.test/robots.txt",
                     "omicron.test/",
                     "omicron.test/links.htm",
                     "omicron.test/robots.txt",
                 }));
    }

    // Links are read as a browser reads them: relative to the page's <base href> (the base
    // itself is no link), character references decoded, blanks allowed around the "=".
    void linksAreReadAsABrowserReadsThem()
    {
        PartnerSites f(PartnerSites::Sites::None);
        f.addSite(1, QStringLiteral("base.test#1"));
        f.page("base.test", "/",
               "<html><head><!-- <base href=\"http://base.test/old/\"> -->\n"
               "<base href=\"http://base.test/site/\" target=\"_blank\"></head><body>\n"
               "<a href=\"links.html\">Links</a>\n"
               "<a href=\"/links.php?a=1&amp;b=2\">Amp</a>\n"
               "<a href=\"/q.php?a=1&#038;b=2\">Numeric</a>\n"
               "<a href=\"&#47;ent.html\">Slash</a>\n"
               "<a href = \"/spaced.html\">Spaced</a>\n");
        for (const char* path :
             {"/site/links.html", "/links.php?a=1&b=2", "/q.php?a=1&b=2", "/ent.html"})
            f.page("base.test", path, "<p>nothing here</p>\n");
        f.page("base.test", "/spaced.html", "<a href\t=\t'http://www.mine.test/'>Mine</a>\n");
        f.box.settings->WriteSetting(QStringLiteral("ParallelSites"), QStringLiteral("1"));

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(
            f.requests(),
            (QStringList{"base.test/", "base.test/site/links.html", "base.test/links.php?a=1&b=2",
                         "base.test/q.php?a=1&b=2", "base.test/ent.html", "base.test/spaced.html",
                         "base.test/robots.txt"}));
        QCOMPARE(f.errors(), QStringList{});
        QCOMPARE(
            f.results(),
            QStringList{"mine.test | base.test | Direct Link | 001 | base.test/spaced.html | 2"});
    }

    // The crawl stays on the partner's own site: its registrable domain and the subdomains of it.
    // Another site that holds the partner's name, or names it in a path, is never asked, so its
    // link back cannot be credited to the partner.
    void crawlStaysOnThePartnersSite()
    {
        PartnerSites f(PartnerSites::Sites::None);
        f.addSite(1, QStringLiteral("news.test#1"));
        f.page("news.test", "/",
               "<a href=\"http://www.bignews.test/\">Big news</a>\n"
               "<a href=\"http://news.test.evil.test/links.htm\">Evil</a>\n"
               "<a href=\"http://169.254.169.254/news.test/x.html\">Metadata</a>\n"
               "<a href=\"//127.0.0.1/news.test/\">Local</a>\n"
               "<a href=\"http://shop.news.test/about.htm\">Shop</a>\n");
        f.page("shop.news.test", "/about.htm", "<p>About</p>\n");
        for (const char* host : {"www.bignews.test", "news.test.evil.test"}) {
            f.page(host, "/", "<a href=\"http://www.mine.test/\">Mine</a>\n");
            f.page(host, "/links.htm", "<a href=\"http://www.mine.test/\">Mine</a>\n");
        }
        f.box.settings->WriteSetting(QStringLiteral("ParallelSites"), QStringLiteral("1"));

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(f.requests(), (QStringList{"news.test/", "shop.news.test/about.htm"}));
        QCOMPARE(f.results(),
                 QStringList{"mine.test | news.test | None Found | 000 | news.test | 1"});
    }

    // A same-site link that names a port or a user cannot be fetched: it is an error row and the
    // crawl goes on to the links page. Only a Linking Site whose own URL is unusable ends there.
    void pageThatCannotBeFetchedIsPassedOver()
    {
        PartnerSites f(PartnerSites::Sites::None);
        // One at a time, so the requests come in the order they are compared in.
        f.box.settings->WriteSetting(QStringLiteral("ParallelSites"), QStringLiteral("1"));
        f.addSite(1, QStringLiteral("pi.test#1"));
        f.addSite(1, QStringLiteral("rho.test:8080/links.htm#1"));
        f.addSite(1, QStringLiteral("sigma.test#1"));
        f.page("pi.test", "/",
               "<a href=\"http://pi.test:80/about.htm\">About</a>\n"
               "<a href=\"http://user:pw@pi.test/\">Members</a>\n"
               "<a href=\"links.htm\">Links</a>\n");
        f.page("pi.test", "/links.htm", "<a href=\"http://www.mine.test/\">Mine</a>\n");
        f.page("sigma.test", "/", "<a href=\"http://www.mine.test/\">Mine</a>\n");

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(
            f.results(),
            (QStringList{
                "mine.test | pi.test | Direct Link | 001 | pi.test/links.htm | 2",
                "mine.test | rho.test:8080 | None Found (Invalid Host) | 000 | rho.test:8080 | 1",
                "mine.test | sigma.test | Direct Link | 001 | sigma.test | 2",
            }));
        QCOMPARE(
            f.errors(),
            (QStringList{"Invalid Host | pi.test:80/about.htm", "Invalid Host | user:pw@pi.test"}));
        QCOMPARE(f.requests(),
                 (QStringList{"pi.test/", "pi.test/links.htm", "pi.test/robots.txt", "sigma.test/",
                              "sigma.test/robots.txt"}));
    }

    // A broken answer is no page without the link: asked again, then an error row naming what
    // happened, never analysed (each body holds a link back and a page of its own). The
    // Linking Site's own page ends the site with that reason; a later page is passed over, and
    // the history takes a partner whose unread page may hold the link for unreachable, not lost.
    void brokenAnswerIsNoPageWithoutTheLink_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("failure");
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const QByteArray body
            = "<a href=\"hidden.htm\">Hidden</a>\n<a href=\"http://www.mine.test/\">Mine</a>\n";
        const QString closedEarly
            = QStringLiteral("Connection closed before the page was complete");
        QTest::newRow("fewer bytes than its length")
            << ok + "Content-Length: 5000\r\n\r\n" + body << closedEarly;
        QTest::newRow("chunked without its last chunk") << ok + "Transfer-Encoding: chunked\r\n\r\n"
                + QByteArray::number(body.size(), 16) + "\r\n" + body
                + "\r\n" << closedEarly;
        QTest::newRow("the head alone") << ok + "Content-Length: 500\r\n\r\n" << closedEarly;
        QTest::newRow("no answer")
            << QByteArray() << QStringLiteral("Connection closed without an answer");
        QTest::newRow("gzip on a plain body") << ok + "Content-Encoding: gzip\r\n\r\n"
                + body << QStringLiteral("Content-Encoding did not decode: gzip");
        QTest::newRow("unknown coding") << ok + "Content-Encoding: zstd\r\n\r\n" + body
                                        << QStringLiteral("Content-Encoding not understood: zstd");
        QTest::newRow("not HTTP") << "<html>" + body << QStringLiteral("Answer is not HTTP");
    }
    void brokenAnswerIsNoPageWithoutTheLink()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, failure);
        PartnerSites f(PartnerSites::Sites::None);
        // The waits before asking again are watchdog seconds.
        f.scan.setWatchdogInterval(20);
        f.box.settings->WriteSetting(QStringLiteral("ParallelSites"), QStringLiteral("1"));
        f.addSite(1, QStringLiteral("first.test#1"));
        f.addSite(1, QStringLiteral("later.test#1"));
        f.addSite(1, QStringLiteral("alone.test#1"));
        f.server.setRaw(QStringLiteral("first.test"), QStringLiteral("/"), response);
        f.page("later.test", "/", "<a href=\"broken.htm\">B</a>\n<a href=\"links.htm\">L</a>\n");
        f.server.setRaw(QStringLiteral("later.test"), QStringLiteral("/broken.htm"), response);
        f.page("later.test", "/links.htm", "<a href=\"http://www.mine.test/\">Mine</a>\n");
        f.page("alone.test", "/", "<a href=\"broken.htm\">B</a>\n");
        f.server.setRaw(QStringLiteral("alone.test"), QStringLiteral("/broken.htm"), response);

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(f.results(),
                 (QStringList{
                     "mine.test | first.test | None Found (" + failure + ") | 000 | first.test | 1",
                     "mine.test | later.test | Direct Link | 001 | later.test/links.htm | 2",
                     "mine.test | alone.test | None Found | 000 | alone.test | 1"}));
        QCOMPARE(f.errors(),
                 (QStringList{failure + " | first.test/", failure + " | later.test/broken.htm",
                              failure + " | alone.test/broken.htm"}));
        const QStringList asked = f.requests();
        QCOMPARE(asked.count(QStringLiteral("first.test/")), 1 + PageFetcher::kRetries);
        QCOMPARE(asked.count(QStringLiteral("later.test/broken.htm")), 1 + PageFetcher::kRetries);
        QVERIFY2(asked.filter(QStringLiteral("hidden.htm")).isEmpty(),
                 qPrintable(asked.join(u',')));

        // The partner whose only other page was broken is not taken for having dropped its link.
        const std::optional<PartnerCheck> alone
            = PartnerCheck::fromRows({f.project.results().entry(2)}, QDateTime::currentDateTime(),
                                     {f.project.errors().entry(2)});
        QVERIFY(alone);
        QCOMPARE(alone->outcome, PartnerCheck::Outcome::Inconclusive);
    }

    // A dead link of a partner's page (a subdomain without an address, one that refuses or fails
    // its TLS) does not end the crawl before the links page: it is an error row, the page is
    // passed over, and the link on the links page is found.
    void deadLinkDoesNotEndTheCrawl_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("error");
        QTest::newRow("host not found") << "unknown"
                                        << "Host not found";
        QTest::newRow("refused over https") << "refused"
                                            << "Connection refused";
        QTest::newRow("certificate not trusted") << "untrusted"
                                                 << "Certificate error: ";
    }
    void deadLinkDoesNotEndTheCrawl()
    {
        QFETCH(QString, how);
        QFETCH(QString, error);
        PartnerSites f(PartnerSites::Sites::None);
        TestWebServer secure(localhostTls());
        f.addSite(1, QStringLiteral("news.test#1"));
        f.page(
            "news.test", "/",
            "<a href=\"http://shop.news.test/\">Old shop</a>\n<a href=\"links.htm\">Links</a>\n");
        f.page("news.test", "/links.htm", "<a href=\"http://www.mine.test/\">Mine</a>\n");
        if (how == u"unknown") {
            f.network.poseHost(QStringLiteral("shop.news.test"), QList<QHostAddress>{});
        } else {
            // The subdomain's port 80 moves it to https, which does not answer as it should.
            f.page("shop.news.test", "/", "<html>Moved</html>", "301 Moved Permanently",
                   {"Location: https://shop.news.test/"});
            if (how == u"refused") {
                QTcpServer closed;
                QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
                const quint16 port = closed.serverPort();
                closed.close();
                f.network.setTlsRoute({QStringLiteral("127.0.0.1"), port});
            } else {
                f.network.setTlsRoute(secure.route());
            }
        }

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(
            f.results(),
            QStringList{"mine.test | news.test | Direct Link | 001 | news.test/links.htm | 2"});
        QCOMPARE(f.errors().size(), 1);
        QVERIFY2(f.errors().first().startsWith(error)
                     && f.errors().first().endsWith(QStringLiteral(" | shop.news.test/")),
                 qPrintable(f.errors().first()));
    }

    // A home page that answers a plain redirect (a Location, no "moved" page in the body) to
    // another page of the partner's site is followed: the target is fetched and crawled. One
    // off the site is not crawled, as before.
    void plainRedirectOfTheHomePageIsFollowed_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<QString>("result");
        const QString found = QStringLiteral("mine.test | home.test | Direct Link | 001 | %1 | 2");
        QTest::newRow("302, relative") << QByteArray("302 Found") << QByteArray("/start/index.htm")
                                       << found.arg(QStringLiteral("home.test/start/links.htm"));
        QTest::newRow("301, absolute, another host of the site")
            << QByteArray("301 Moved Permanently")
            << QByteArray("http://www.home.test/start/index.htm")
            << found.arg(QStringLiteral("www.home.test/start/links.htm"));
        QTest::newRow("307 to a page beside it")
            << QByteArray("307 Temporary Redirect") << QByteArray("start/index.htm")
            << found.arg(QStringLiteral("home.test/start/links.htm"));
        QTest::newRow("off the site: not crawled")
            << QByteArray("302 Found") << QByteArray("http://elsewhere.test/start/index.htm")
            << QStringLiteral("mine.test | home.test | None Found | 000 | home.test | 1");
    }
    void plainRedirectOfTheHomePageIsFollowed()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, location);
        QFETCH(QString, result);
        PartnerSites f(PartnerSites::Sites::None);
        f.addSite(1, QStringLiteral("home.test#1"));
        f.page("home.test", "/", QByteArray(), status, {"Location: " + location});
        const QByteArray start = "<a href=\"links.htm\">Links</a>\n";
        for (const char* host : {"home.test", "www.home.test", "elsewhere.test"}) {
            f.page(host, "/start/index.htm", start);
            f.page(host, "/start/links.htm", "<a href=\"http://www.mine.test/\">Mine</a>\n");
        }
        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);
        QCOMPARE(f.results(), QStringList{result});
        QCOMPARE(f.errors(), QStringList{});
        QVERIFY(f.requests().filter(QStringLiteral("elsewhere.test")).isEmpty());
    }

    // A site with more pages than the limit lets the scan read: the pages left unqueued make the
    // limit the reason, not what an earlier page answered.
    void pagesLeftOutAtTheLimitAreTheReason()
    {
        PartnerSites f(PartnerSites::Sites::None);
        f.box.settings->WriteSetting(QStringLiteral("cmbAdvance"), QStringLiteral("1")); // 10
        f.box.settings->WriteSetting(QStringLiteral("chkAuto"), QStringLiteral("1"));
        f.addSite(1, QStringLiteral("tau.test#1"));
        QByteArray front;
        for (int i = 1; i <= 30; ++i)
            front += "<a href=\"p" + QByteArray::number(i) + ".htm\">Page</a>\n";
        f.page("tau.test", "/", front);
        f.page("tau.test", "/p1.htm", "gone", "404 Not Found");
        for (int i = 2; i <= 30; ++i)
            f.page("tau.test", QByteArray("/p" + QByteArray::number(i) + ".htm").constData(),
                   "No link");

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(
            f.results(),
            QStringList{
                "mine.test | tau.test | None Found (Page limit reached) | 000 | tau.test | 1"});
        QCOMPARE(f.requests().size(), 10);
    }

    // Page copies and rules.log that cannot be written are said once a scan, by the first
    // Linking Site that meets them, however many are scanned at once; the scan goes on.
    void failedFileWritesAreSaidOnceAScan()
    {
        if (!QFileInfo(QStringLiteral("/dev/full")).exists())
            QSKIP("no /dev/full on this system");
        PartnerSites f(PartnerSites::Sites::None);
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), f.box.file(QStringLiteral("html0.txt"))));
        QVERIFY(QDir().mkpath(f.box.file(QStringLiteral("rules.log"))));
        f.box.settings->WriteSetting(QStringLiteral("chkLog"), QStringLiteral("1"));
        f.project.rules().appendRule({QStringLiteral("Global"), QStringLiteral("Global"),
                                      QStringLiteral("ExcludeString"), QStringLiteral("private")});
        for (const char* host : {"nu.test", "xi.test", "omicron.test"}) {
            f.addSite(1, QString::fromLatin1(host) + QStringLiteral("#1"));
            f.page(
                host, "/",
                "<a href=\"private.htm\">Private</a><a href=\"http://www.mine.test/\">Mine</a>\n");
        }

        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!f.scan.isRunning(), 10000);

        QCOMPARE(f.results().size(), 3);
        const QStringList errors = f.errors();
        QCOMPARE(errors.size(), 2);
        QCOMPARE(
            errors.at(0),
            QStringLiteral("Page copy not written: html0.txt: No space left on device | nu.test"));
        QVERIFY2(errors.at(1).startsWith(QStringLiteral("rules.log not written: "))
                     && errors.at(1).endsWith(QStringLiteral(" | nu.test/private.htm")),
                 qPrintable(errors.at(1)));
    }
};

CORVANE_TEST_CLASS(ScanEndToEndTest);
#include "ScanEndToEndTest.moc"
