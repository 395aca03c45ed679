#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "net/NetworkContext.h"
#include "net/PageFetcher.h"
#include "net/ResponseReader.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <sys/socket.h>

using namespace corvane;
using test::TestWebServer;

namespace {

const QString kHost = QStringLiteral("www.partner.test");

// A fetcher of a running scan, routed to the test web server.
struct FetchFixture {
    test::Sandbox box;
    Project project;
    ScanStatistics statistics{*box.settings};
    NetworkContext network;
    TestWebServer server;
    PageFetcher fetcher{project, statistics, network};
    QList<FetchedPage> pages;
    QStringList bodies;
    QList<int> progress;
    QStringList panel1;

    FetchFixture()
    {
        network.setRoute(server.route());
        project.state().bScanRunning = true;
        QObject::connect(&fetcher, &PageFetcher::pageFetched, &fetcher,
                         [this](const FetchedPage& page, const QString& body) {
                             pages.append(page);
                             bodies.append(body);
                         });
        QObject::connect(&fetcher, &PageFetcher::progressChanged, &fetcher,
                         [this](int value) { progress.append(value); });
        QObject::connect(&fetcher, &PageFetcher::statusChanged, &fetcher,
                         [this](int panel, const QString& text) {
                             if (panel == 1)
                                 panel1.append(text);
                         });
    }

    PageFetcher::Start fetch(const QString& url)
    {
        project.state().strURL = url;
        return fetcher.FetchPage(0);
    }
};

} // namespace

class PageFetcherTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitsQueueEntries_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("curUrl");
        QTest::addColumn<QString>("curDir");
        QTest::addColumn<QString>("problem");
        QTest::newRow("scheme, host, slash") << "http://H/"
                                             << "H"
                                             << "/"
                                             << "H"
                                             << "H/"
                                             << "";
        QTest::newRow("host and slash") << "H/"
                                        << "H"
                                        << "/"
                                        << "H"
                                        << "H/"
                                        << "";
        QTest::newRow("bare host") << "H"
                                   << "H"
                                   << "/"
                                   << "H"
                                   << "H/"
                                   << "";
        QTest::newRow("directory with slash") << "H/dir/"
                                              << "H"
                                              << "/dir/"
                                              << "H/dir"
                                              << "H/dir/"
                                              << "";
        QTest::newRow("page in directory") << "http://H/dir/page.html"
                                           << "H"
                                           << "/dir/page.html"
                                           << "H/dir/page.html"
                                           << "H/dir/"
                                           << "";
        QTest::newRow("directory without slash") << "H/dir"
                                                 << "H"
                                                 << "/dir"
                                                 << "H/dir"
                                                 << "H/dir/"
                                                 << "";
        QTest::newRow("query kept") << "H/page.php?id=3"
                                    << "H"
                                    << "/page.php?id=3"
                                    << "H/page.php?id=3"
                                    << "H/"
                                    << "";
        QTest::newRow("https fetched as http") << "HTTPS://H/x.htm"
                                               << "H"
                                               << "/x.htm"
                                               << "H/x.htm"
                                               << "H/"
                                               << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "/"
                               << ""
                               << "/"
                               << "Invalid URL";
        QTest::newRow("no host before path") << "http:///new.htm"
                                             << ""
                                             << "/new.htm"
                                             << "/new.htm"
                                             << "/"
                                             << "Invalid URL";
        QTest::newRow("port in host") << "H:8080/x.htm"
                                      << "H:8080"
                                      << "/x.htm"
                                      << "H:8080/x.htm"
                                      << "H:8080/"
                                      << "Invalid Host";
        QTest::newRow("blank in host") << "my site.test/"
                                       << "my site.test"
                                       << "/"
                                       << "my site.test"
                                       << "my site.test/"
                                       << "Invalid Host";
    }
    void splitsQueueEntries()
    {
        QFETCH(QString, url);
        QFETCH(QString, host);
        QFETCH(QString, path);
        QFETCH(QString, curUrl);
        QFETCH(QString, curDir);
        QFETCH(QString, problem);
        const UrlSplit u = PageFetcher::splitUrl(url);
        QCOMPARE(u.problem, problem);
        QCOMPARE(u.strPath, path);
        QCOMPARE(u.strCurUrl, curUrl);
        if (problem.isEmpty()) {
            QCOMPARE(u.strHost, host);
            QCOMPARE(u.strCurDir, curDir);
        }
    }

    void internationalHostIsAskedForInAsciiForm()
    {
        const UrlSplit u = PageFetcher::splitUrl(QStringLiteral("b\u00fccher.test/"));
        QVERIFY(u.ok());
        QCOMPARE(u.strHost, QStringLiteral("b\u00fccher.test"));
        QCOMPARE(u.connectHost, QStringLiteral("xn--bcher-kva.test"));
    }

    void sendsExactlyTheFixedRequest_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("root") << "http://" + kHost + "/"
                              << QByteArray(
                                     "GET / HTTP/1.1\r\nHost: www.partner.test\r\n"
                                     "User-Agent: Corvane/9.8 (+http://www.corvane.example)\r\n"
                                     "Connection: keep-alive\r\nAccept: */*\r\n"
                                     "Accept-Encoding: gzip, deflate\r\n\r\n");
        QTest::newRow("query") << kHost + "/dir/page.php?id=3&x=y"
                               << QByteArray(
                                      "GET /dir/page.php?id=3&x=y HTTP/1.1\r\n"
                                      "Host: www.partner.test\r\n"
                                      "User-Agent: Corvane/9.8 (+http://www.corvane.example)\r\n"
                                      "Connection: keep-alive\r\nAccept: */*\r\n"
                                      "Accept-Encoding: gzip, deflate\r\n\r\n");
    }
    void sendsExactlyTheFixedRequest()
    {
        QFETCH(QString, url);
        QFETCH(QByteArray, expected);
        FetchFixture f;
        f.network.setUserAgent(NetworkContext::userAgentFor(QStringLiteral("Corvane"),
                                                            QStringLiteral("9.8"),
                                                            QStringLiteral("www.corvane.example")));
        TestWebServer::Reply ok;
        ok.response = TestWebServer::response("200 OK", "fine");
        f.server.setFallback(ok);
        QCOMPARE(f.fetch(url), PageFetcher::Start::Started);
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.server.requests().size(), 1);
        QCOMPARE(f.server.requests().first().raw, expected);
        QCOMPARE(f.server.requests().first().host, kHost);
        QCOMPARE(f.statistics.lPagesScanned, 1);
        QVERIFY(!f.fetcher.isWatchdogArmed(0));
    }

    void statusLineDecidesErrorRow_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("error");
        QTest::addColumn<int>("pagesCounted");
        const QByteArray body = "<a href=\"x.htm\">x</a>";
        QTest::newRow("404") << TestWebServer::response("404 Not Found", body) << "404 Not found"
                             << 2;
        QTest::newRow("500") << TestWebServer::response("500 Internal Server Error", body)
                             << "500 Internal Error" << 2;
        QTest::newRow("505") << TestWebServer::response("505 Whatever", body)
                             << "505 HTTP Not Version" << 2;
        QTest::newRow("408") << TestWebServer::response("408 Request Timeout", body)
                             << "408 request timeout" << 2;
        QTest::newRow("301") << TestWebServer::response("301 Moved Permanently", body) << "" << 1;
        QTest::newRow("200") << TestWebServer::response("200 OK", body) << "" << 1;
        // Every status from 400 up says what went wrong, in the server's words where the table
        // has none.
        QTest::newRow("418 not in table")
            << TestWebServer::response("418 Teapot", body) << "418 Teapot" << 2;
        QTest::newRow("451 not in table")
            << TestWebServer::response("451 Unavailable For Legal Reasons", body)
            << "451 Unavailable For Legal Reasons" << 2;
        QTest::newRow("599 with a long phrase and a tab")
            << TestWebServer::response("599 Origin\tDown " + QByteArray(100, 'x'), body)
            << "599 Origin Down " + QString(68, u'x') << 2;
        QTest::newRow("no reason phrase, in the table")
            << QByteArray("HTTP/1.1 404\r\nContent-Type: text/html\r\n\r\n" + body)
            << "404 Not found" << 2;
        QTest::newRow("no reason phrase, not in the table")
            << QByteArray("HTTP/1.1 451\r\n\r\n" + body) << "451 Unavailable For Legal Reasons"
            << 2;
        QTest::newRow("no reason phrase, unknown code")
            << QByteArray("HTTP/1.1 499\r\n\r\n" + body) << "499" << 2;
        // A 304 answer has no body, whatever it announces: the next bytes are not the page.
        QTest::newRow("304 is no error")
            << TestWebServer::response("304 Not Modified", body) << "" << 1;
    }
    void statusLineDecidesErrorRow()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, error);
        QFETCH(int, pagesCounted);
        FetchFixture f;
        f.server.setRaw(kHost, QStringLiteral("/dir/p.htm"), response);
        f.fetch(kHost + QStringLiteral("/dir/p.htm"));
        QTRY_COMPARE(f.pages.size(), 1);
        // The page is analysed whatever its status.
        QCOMPARE(f.bodies.first(),
                 response.startsWith("HTTP/1.1 304") ? QString()
                                                     : QStringLiteral("<a href=\"x.htm\">x</a>"));
        QCOMPARE(f.statistics.lPagesScanned, pagesCounted);
        QCOMPARE(f.project.state().strProblem, error);
        if (error.isEmpty()) {
            QCOMPARE(f.project.errors().count(), 0);
        } else {
            QCOMPARE(f.project.errors().count(), 1);
            QCOMPARE(f.project.errors().entry(0).error, error);
            QCOMPARE(f.project.errors().entry(0).url, kHost + QStringLiteral("/dir/p.htm"));
        }
    }

    void bodyIsWhatFollowsTheFirstBlankLine()
    {
        FetchFixture f;
        f.server.setRaw(kHost, QStringLiteral("/"),
                        "HTTP/1.1 200 OK\r\nX-Note: a\r\n\r\nfirst\r\n\r\ncaf\xe9 \x80");
        f.server.setRaw(kHost, QStringLiteral("/again.htm"),
                        "HTTP/1.1 200 OK\r\n\r\nA\r\n\r\nhttp/1.1 200 ok\r\n\r\nB\r\n\r\n");
        f.fetch(kHost);
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.bodies.at(0), QStringLiteral("first\r\n\r\ncaf\u00e9 \u20ac"));
        QCOMPARE(f.pages.at(0).strHost, kHost);
        QCOMPARE(f.pages.at(0).strCurUrl, kHost);
        QCOMPARE(f.pages.at(0).strCurDir, kHost + u'/');
        QCOMPARE(f.panel1.last(), QStringLiteral("Finished: ") + kHost + u'/');

        // Every copy of the head in the body goes too, letter case ignored.
        f.fetch(kHost + QStringLiteral("/again.htm"));
        QTRY_COMPARE(f.pages.size(), 2);
        QCOMPARE(f.bodies.at(1), QStringLiteral("A\r\n\r\nB\r\n\r\n"));
    }

    // An answer that ends before its framing says it is complete, is no HTTP or does not decode
    // is no page: it is asked again like a 429, then reported, and never handed on for analysis.
    // Each body holds a link back, so a broken answer taken for the page would show.
    void brokenAnswerIsAskedAgainThenFailed_data()
    {
        QTest::addColumn<QByteArray>("response");
        QTest::addColumn<QString>("failure");
        const QByteArray ok = "HTTP/1.1 200 OK\r\n";
        const QByteArray link = "<a href=\"http://www.mysite.test/\">Mine</a>";
        const QString closedEarly = ResponseReader::kClosedEarly;
        QTest::newRow("fewer bytes than its length")
            << ok + "Content-Length: 5000\r\n\r\n" + link << closedEarly;
        QTest::newRow("chunked without its last chunk") << ok + "Transfer-Encoding: chunked\r\n\r\n"
                + QByteArray::number(link.size(), 16) + "\r\n" + link
                + "\r\n" << closedEarly;
        QTest::newRow("a head that promised a body") << ok + "Content-Length: 40\r\n\r\n"
                                                     << closedEarly;
        QTest::newRow("a chunked head alone") << ok + "Transfer-Encoding: chunked\r\n\r\n"
                                              << closedEarly;
        QTest::newRow("closed without a word") << QByteArray() << ResponseReader::kNoAnswer;
        QTest::newRow("gzip on a plain body") << ok
                + "Content-Encoding: gzip\r\nContent-Length: " + QByteArray::number(link.size())
                + "\r\n\r\n" + link << QStringLiteral("Content-Encoding did not decode: gzip");
        QTest::newRow("gzip, gzip on a plain body") << ok + "Content-Encoding: gzip, gzip\r\n\r\n"
                + link << QStringLiteral("Content-Encoding did not decode: gzip");
        QTest::newRow("an unknown coding") << ok + "Content-Encoding: zstd\r\n\r\n"
                + link << QStringLiteral("Content-Encoding not understood: zstd");
        QTest::newRow("a chunk size of 16 hex digits")
            << ok + "Transfer-Encoding: chunked\r\n\r\n1000000000000000\r\n" + link
            << ResponseReader::kBadChunk;
        QTest::newRow("not HTTP") << "SSH-2.0-OpenSSH_9.2\r\n" + link << ResponseReader::kNotHttp;
        QTest::newRow("no status code")
            << "HTTP/1.1 4x4 Odd\r\n\r\n" + link << ResponseReader::kNotHttp;
        QTest::newRow("no head") << "just text, no head " + link << ResponseReader::kNotHttp;
        QByteArray flood;
        while (flood.size() < 4 * 1024 * 1024)
            flood += "HTTP/1.1 100 Continue\r\n\r\n";
        QTest::newRow("100 Continue without end")
            << flood + ok + "\r\n" + link << ResponseReader::kTooManyInterim;
    }
    void brokenAnswerIsAskedAgainThenFailed()
    {
        QFETCH(QByteArray, response);
        QFETCH(QString, failure);
        FetchFixture f;
        // The wait before asking again is counted in watchdog seconds.
        f.fetcher.setWatchdogInterval(10);
        QSignalSpy failed(&f.fetcher, &PageFetcher::pageFailed);
        f.server.setRaw(kHost, QStringLiteral("/p.htm"), response);
        f.fetch(kHost + QStringLiteral("/p.htm"));
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(failed.first().at(1).toString(), failure);
        QCOMPARE(f.server.requests().size(), 1 + PageFetcher::kRetries);
        QVERIFY(f.pages.isEmpty());
        QVERIFY(!f.fetcher.isWatchdogArmed(0));
        QTest::qWait(50);
        QCOMPARE(f.server.requests().size(), 1 + PageFetcher::kRetries);
    }

    // A connection reset in the middle of the body (or closed there) fails the page as well.
    void resetInTheBodyFailsThePage()
    {
        FetchFixture f;
        f.fetcher.setWatchdogInterval(10);
        QSignalSpy failed(&f.fetcher, &PageFetcher::pageFailed);
        TestWebServer::Reply reply;
        reply.chunks = {"HTTP/1.1 200 OK\r\nContent-Length: 5000\r\n\r\n<a href=\"x.htm\">"};
        reply.keepOpen = true;
        f.server.setReply(kHost, QStringLiteral("/"), reply);
        QObject::connect(&f.server, &TestWebServer::chunksEnded, &f.server, [&f] {
            // No lingering: the close sends a reset.
            for (QTcpSocket* socket : f.server.findChildren<QTcpSocket*>()) {
                const linger now{1, 0};
                setsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &now,
                           sizeof now);
                socket->abort();
            }
        });
        f.fetch(kHost);
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(failed.first().at(1).toString(), ResponseReader::kClosedEarly);
        QCOMPARE(f.server.requests().size(), 1 + PageFetcher::kRetries);
        QVERIFY(f.pages.isEmpty());
    }

    // A head whose lines end with LF alone is read as a browser reads it, also on a kept-alive
    // connection, where no close can end the page.
    void headWithLfLineEndsOnAKeptConnection()
    {
        FetchFixture f;
        f.server.setKeepAlive(true);
        for (const char* path : {"/a.htm", "/b.htm"})
            f.server.setRaw(kHost, QString::fromLatin1(path),
                            "HTTP/1.1 200 OK\nContent-Type: text/html\nContent-Length: 6\n\npage "
                                + QByteArray(path).mid(1, 1));
        for (const char* path : {"/a.htm", "/b.htm"}) {
            const qsizetype before = f.pages.size();
            f.fetch(kHost + QString::fromLatin1(path));
            QTRY_COMPARE_WITH_TIMEOUT(f.pages.size(), before + 1, 2000);
        }
        QCOMPARE(f.bodies, (QStringList{"page a", "page b"}));
        QCOMPARE(f.pages.first().head,
                 QStringLiteral(
                     "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: 6\r\n\r\n"));
        QCOMPARE(f.server.connectionCount(), 1);
    }

    void progressFollowsContentLength()
    {
        FetchFixture f;
        TestWebServer::Reply reply;
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n";
        reply.chunks = {head, QByteArray(500, 'a'), QByteArray(500, 'b')};
        reply.chunkIntervalMs = 150;
        f.server.setReply(kHost, QStringLiteral("/big.htm"), reply);
        f.fetch(kHost + QStringLiteral("/big.htm"));
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.bodies.first().size(), 1000);
        // 0 when connected, then half and all of the announced body.
        QCOMPARE(f.progress, (QList<int>{0, 50, 100}));
        QVERIFY(f.panel1.contains(
            QStringLiteral("Downloading: www.partner.test/big.htm (%1)").arg(head.size())));
        QCOMPARE(f.fetcher.slot(0).lContentLength, 1000);
        QCOMPARE(f.fetcher.slot(0).lBytesReceived, 1000);
    }

    // The pages of a host go over one kept-alive connection; a page of another host opens its
    // own, and a kept connection the server gave up meanwhile is replaced once, without a word.
    void pagesOfAHostShareOneKeptConnection_data()
    {
        QTest::addColumn<int>("dropAfter");
        QTest::addColumn<int>("connections");
        QTest::newRow("kept for every page") << 0 << 2;
        QTest::newRow("the server drops the kept connection") << 2 << 3;
    }
    void pagesOfAHostShareOneKeptConnection()
    {
        QFETCH(int, dropAfter);
        QFETCH(int, connections);
        FetchFixture f;
        f.server.setKeepAlive(true, dropAfter);
        for (const char* path : {"/a.htm", "/b.htm", "/c.htm"})
            f.server.setPage(kHost, QString::fromLatin1(path), QByteArray("page ") + path);
        f.server.setPage(QStringLiteral("other.test"), QStringLiteral("/"), "other");
        for (const QString& url : QStringList{kHost + "/a.htm", kHost + "/b.htm", kHost + "/c.htm",
                                              QStringLiteral("other.test/")}) {
            const qsizetype before = f.pages.size();
            QCOMPARE(f.fetch(url), PageFetcher::Start::Started);
            QTRY_COMPARE(f.pages.size(), before + 1);
        }
        QCOMPARE(f.bodies, (QStringList{"page /a.htm", "page /b.htm", "page /c.htm", "other"}));
        QCOMPARE(f.server.connectionCount(), connections);
        QCOMPARE(f.server.droppedCount(), dropAfter > 0 ? 1 : 0);
        QCOMPARE(f.project.errors().count(), 0);
        QCOMPARE(f.statistics.lPagesScanned, 4 + f.server.droppedCount());
        for (const TestWebServer::Request& r : f.server.requests())
            QVERIFY(r.raw.contains("\r\nConnection: keep-alive\r\n"));
        // The connection ends with the Linking Site.
        f.fetcher.closeAll();
        QTRY_COMPARE(f.server.findChildren<QTcpSocket*>().size(), 0);
    }

    // A page split into chunks, compressed, in UTF-8: handed on whole, decoded.
    void chunkedCompressedUtf8PageArrivesWhole()
    {
        FetchFixture f;
        const QByteArray page = "<a href=\"http://www.mysite.test/\">Caf\xc3\xa9 Se\xc3\xb1or</a>";
        const int split = int(page.indexOf("mysite")) + 3;
        QByteArray body;
        for (const QByteArray& c : {page.left(split), page.mid(split)})
            body += QByteArray::number(c.size(), 16) + "\r\n" + c + "\r\n";
        body += "0\r\n\r\n";
        TestWebServer::Reply reply;
        reply.chunks = {"HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                        "Transfer-Encoding: chunked\r\n\r\n"
                            + body.left(split),
                        body.mid(split)};
        reply.chunkIntervalMs = 50;
        reply.keepOpen = true; // the framing, not a close, ends the page
        f.server.setReply(kHost, QStringLiteral("/"), reply);
        f.fetch(kHost);
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.bodies.first(),
                 QStringLiteral("<a href=\"http://www.mysite.test/\">Caf\u00e9 Se\u00f1or</a>"));
        QVERIFY(!f.fetcher.isWatchdogArmed(0));
    }

    // Through an HTTP proxy named in the settings: plain http asks the proxy for the whole URL.
    void httpGoesThroughTheProxy()
    {
        FetchFixture f;
        f.network.setRoute({});
        f.network.setSettings(f.box.settings.get());
        f.box.settings->WriteSetting(QStringLiteral("Proxy"),
                                     QStringLiteral("127.0.0.1:%1").arg(f.server.port()));
        // Behind a proxy, whatever the name resolves to here, the proxy connects to it.
        f.network.poseHost(QStringLiteral("far.example"),
                           QHostAddress(QStringLiteral("203.0.113.5")));
        f.server.setPage(QStringLiteral("far.example"), QStringLiteral("/links.htm"), "proxied");
        f.fetch(QStringLiteral("far.example/links.htm"));
        QTRY_COMPARE(f.pages.size(), 1);
        QCOMPARE(f.bodies.first(), QStringLiteral("proxied"));
        QCOMPARE(f.server.requests().value(0).requestLine,
                 QByteArray("GET http://far.example/links.htm HTTP/1.1"));
        QCOMPARE(f.server.requests().value(0).hostHeader, QByteArray("far.example"));
    }

    // A proxy that answers with no status line gives no page either, and is named as the one
    // that failed.
    void garbageFromTheProxyFailsThePage()
    {
        FetchFixture f;
        f.fetcher.setWatchdogInterval(10);
        QSignalSpy failed(&f.fetcher, &PageFetcher::connectionFailed);
        f.network.setRoute({});
        f.network.setSettings(f.box.settings.get());
        f.box.settings->WriteSetting(QStringLiteral("Proxy"),
                                     QStringLiteral("127.0.0.1:%1").arg(f.server.port()));
        f.network.poseHost(QStringLiteral("far.example"),
                           QHostAddress(QStringLiteral("203.0.113.5")));
        f.server.setRaw(QStringLiteral("far.example"), QStringLiteral("/links.htm"),
                        "\x15\x03\x01\x00\x02\x02\x0a<a href=\"http://www.mysite.test/\">x</a>");
        f.fetch(QStringLiteral("far.example/links.htm"));
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(failed.first().at(1).toString(), NetworkContext::kProxyNotHttp);
        QVERIFY(f.pages.isEmpty());
    }

    void endlessBodyIsCutAtTheCap()
    {
        FetchFixture f;
        f.server.setEndless(kHost, QStringLiteral("/endless.htm"));
        f.fetch(kHost + QStringLiteral("/endless.htm"));
        QTRY_COMPARE_WITH_TIMEOUT(f.pages.size(), 1, 30000);
        QCOMPARE(f.bodies.first().size(), PageFetcher::kResponseCap);
        QVERIFY(!f.fetcher.isWatchdogArmed(0));
        // The connection was dropped: the server stops sending.
        const qint64 sent = f.server.fillerSent();
        QTest::qWait(200);
        QVERIFY(f.server.fillerSent() - sent < 4 * 1024 * 1024);
    }

    void stoppedScanIgnoresIncomingData()
    {
        FetchFixture f;
        TestWebServer::Reply reply;
        reply.chunks = {"HTTP/1.1 200 OK\r\n\r\nfirst part ", "second part"};
        reply.chunkIntervalMs = 100;
        f.server.setReply(kHost, QStringLiteral("/"), reply);
        QSignalSpy chunksEnded(&f.server, &TestWebServer::chunksEnded);
        f.fetch(kHost);
        QTRY_VERIFY(!f.fetcher.slot(0).strResponse.isEmpty());
        f.project.state().bScanRunning = false;
        // The second part is sent, and has had time to arrive.
        QVERIFY(chunksEnded.wait(5000));
        QTest::qWait(100);
        QVERIFY(f.pages.isEmpty());
        QVERIFY(!f.fetcher.slot(0).strResponse.contains("second part"));
        QCOMPARE(f.fetch(kHost), PageFetcher::Start::Abandoned);
    }

    void unusableUrlStartsNothing()
    {
        FetchFixture f;
        QCOMPARE(f.fetch(QStringLiteral("http:///x.htm")), PageFetcher::Start::Failed);
        QCOMPARE(f.fetcher.lastProblem(), QStringLiteral("Invalid URL"));
        QVERIFY(!f.fetcher.isWatchdogArmed(0));
        QTest::qWait(100);
        QCOMPARE(f.server.connectionCount(), 0);
    }
};

CORVANE_TEST_CLASS(PageFetcherTest);
#include "PageFetcherTest.moc"
