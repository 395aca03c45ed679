#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "net/NetworkContext.h"
#include "net/PageFetcher.h"
#include "scan/ResultRecorder.h"
#include "scan/ScanController.h"
#include "scan/ScanLimits.h"
#include "scan/SiteScan.h"
#include "support/ScanRig.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <QTimer>

using namespace corvane;
using test::TestWebServer;

namespace {

// A project, a scan controller routed to the test web server, and a record of what the scan
// showed. Every host answers with a plain page unless a test says otherwise; the idle timeout is
// one second.
constexpr int kTickMs = 100;

struct ScanFixture : test::ScanRig {
    QStringList panels[5];
    QStringList messages;
    QStringList cues;
    QList<bool> scanning;
    QList<int> progress;
    int stopped = 0;
    int started = 0;

    // A watchdog "second" of kTickMs: the timeouts below run in a fraction of real seconds.
    ScanFixture() : ScanRig(kTickMs)
    {
        box.settings->WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("1"));
        // One Linking Site at a time: these cases follow the scan request by request.
        box.settings->WriteSetting(QStringLiteral("ParallelSites"), QStringLiteral("1"));
        TestWebServer::Reply page;
        page.response = TestWebServer::response("200 OK", "<html><body>partner</body></html>");
        server.setFallback(page);
        QObject::connect(&scan, &ScanController::statusChanged, &scan,
                         [this](int panel, const QString& text) { panels[panel].append(text); });
        QObject::connect(&scan, &ScanController::messageRaised, &scan,
                         [this](const QString& text) { messages.append(text); });
        QObject::connect(&scan, &ScanController::cueRequested, &scan,
                         [this](const QString& file) { cues.append(file.section(u'/', -1)); });
        QObject::connect(&scan, &ScanController::scanningChanged, &scan,
                         [this](bool on) { scanning.append(on); });
        QObject::connect(&scan, &ScanController::progressChanged, &scan,
                         [this](int value) { progress.append(value); });
        QObject::connect(&scan, &ScanController::scanStopped, &scan, [this] { ++stopped; });
        QObject::connect(&scan, &ScanController::scanStarted, &scan, [this] { ++started; });
    }

    // Appends a Main Site with its Linking Sites ("url" or "url#expected").
    int addMain(const QString& url, const QStringList& sites)
    {
        project.mainSites().appendUrl(url);
        const int k = project.addList();
        for (const QString& site : sites) {
            LinkingSite s;
            s.url = site.section(u'#', 0, 0);
            s.expected = site.contains(u'#') ? site.section(u'#', 1) : QStringLiteral("1");
            project.linkingSites(k)->appendSite(s);
        }
        return k;
    }

    void set(const char* key, const char* value)
    {
        box.settings->WriteSetting(QString::fromLatin1(key), QString::fromLatin1(value));
    }

    // Result rows as "remote | status | No. | URL".
    QStringList outcomes() const
    {
        QStringList rows;
        const ResultList& results = project.results();
        for (int r = 0; r < results.count(); ++r) {
            const ResultEntry e = results.entry(r);
            rows.append(e.remote + " | " + e.status + " | " + e.number + " | " + e.url);
        }
        return rows;
    }

    QStringList requestedHosts() const
    {
        QStringList hosts;
        for (const TestWebServer::Request& r : server.requests())
            hosts.append(r.host + QString::fromLatin1(r.path));
        return hosts;
    }

    bool running() const { return project.state().bScanRunning; }
};

} // namespace

class ScanControllerTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void scansEveryMainSiteInListOrder()
    {
        ScanFixture f;
        f.addMain(QStringLiteral("http://www.mine.test"), {"a1.test", "a2.test/links/"});
        f.addMain(QStringLiteral("other.test"), {"b1.test"});
        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY(!f.running());

        QCOMPARE(f.outcomes(),
                 (QStringList{"a1.test | None Found | 000 | a1.test",
                              "a2.test | None Found | 000 | a2.test",
                              "b1.test | None Found | 000 | b1.test"}));
        QCOMPARE(f.project.results().entry(0).main, QStringLiteral("mine.test"));
        QCOMPARE(f.project.results().entry(2).main, QStringLiteral("other.test"));
        QCOMPARE(f.requestedHosts(), (QStringList{"a1.test/", "a2.test/links/", "b1.test/"}));
        QCOMPARE(f.statistics.lLinkingSitesScanned, 3);
        QCOMPARE(f.statistics.lMainSitesScanned, 2);
        QCOMPARE(f.statistics.lPagesScanned, 3);
        for (int k = 1; k <= 2; ++k) {
            for (int row = 0; row < f.project.linkingSites(k)->count(); ++row)
                QCOMPARE(f.project.linkingSites(k)->record(row).colour, SiteColour::Red);
        }

        QVERIFY(f.panels[1].contains(QStringLiteral("Main Site 2 of 2")));
        QVERIFY(f.panels[1].contains(QStringLiteral("Downloading: a2.test/links/")));
        QVERIFY(f.panels[1].contains(QStringLiteral("Finished: b1.test/")));
        QVERIFY(f.panels[2].contains(QStringLiteral("Page 1 of 1")));
        QVERIFY(f.panels[3].contains(QStringLiteral("Searching a1.test")));
        QCOMPARE(f.panels[1].last(), QStringLiteral("Stopped"));
        QCOMPARE(f.panels[2].last(), QString());
        QCOMPARE(f.panels[3].last(), QString());
        QCOMPARE(f.panels[4].last(), QString());
        QCOMPARE(f.progress.last(), ScanController::kProgressMaximum);
        QCOMPARE(f.scanning, (QList<bool>{true, false}));
        QCOMPARE(f.started, 1);
        QCOMPARE(f.stopped, 1);
        QCOMPARE(
            f.cues,
            (QStringList{"nextsearch.wav", "nextsearch.wav", "nextsearch.wav", "finished.wav"}));
        QCOMPARE(f.project.state().iCurrentSite, 0);
        QVERIFY(!f.project.state().bProjectSaved);
    }

    void cuesFollowTheirSettings()
    {
        ScanFixture f;
        f.set("chkAudioNext", "0");
        f.set("chkAudioFinished", "0");
        f.addMain(QStringLiteral("mine.test"), {"a1.test"});
        f.scan.StartScan();
        QTRY_VERIFY(!f.running());
        QVERIFY(f.cues.isEmpty());
    }

    void httpStatusEndsAsNoneFoundWithItsText_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("pagesCounted");
        QTest::newRow("404") << QByteArray("404 Not Found")
                             << QStringList{"404 Not found | a1.test/missing.htm"}
                             << "a1.test | None Found (404 Not found) | 000 | a1.test" << 2;
        QTest::newRow("301") << QByteArray("301 Moved Permanently") << QStringList{}
                             << "a1.test | None Found | 000 | a1.test" << 1;
    }
    void httpStatusEndsAsNoneFoundWithItsText()
    {
        QFETCH(QByteArray, status);
        QFETCH(QStringList, errors);
        QFETCH(QString, outcome);
        QFETCH(int, pagesCounted);
        ScanFixture f;
        f.server.setPage(QStringLiteral("a1.test"), QStringLiteral("/missing.htm"), "gone", status);
        f.addMain(QStringLiteral("mine.test"), {"a1.test/missing.htm"});
        f.scan.StartScan();
        QTRY_VERIFY(!f.running());
        QCOMPARE(f.errors(), errors);
        QCOMPARE(f.outcomes(), QStringList{outcome});
        QCOMPARE(f.statistics.lPagesScanned, pagesCounted);
    }

    void silenceEndsTheSiteAfterTheTimeout()
    {
        ScanFixture f;
        f.server.setSilent(QStringLiteral("a1.test"), QStringLiteral("/"));
        f.addMain(QStringLiteral("mine.test"), {"a1.test", "a2.test"});
        f.scan.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 10000);
        QCOMPARE(f.errors(), QStringList{"Timeout | a1.test"});
        QCOMPARE(f.outcomes().first(),
                 QStringLiteral("a1.test | None Found (Timeout) | 000 | a1.test"));
        QVERIFY(f.panels[4].contains(QStringLiteral("1 of 1 seconds")));
        // A timeout ends that Linking Site only; the next one is scanned normally.
        QCOMPARE(f.outcomes().size(), 2);
        QCOMPARE(f.outcomes().at(1), QStringLiteral("a2.test | None Found | 000 | a2.test"));
    }

    // A connection the system turns down at once ends the Linking Site at once with its reason;
    // only silence waits for the idle timeout.
    void connectionFailuresEndTheSiteAtOnce_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<bool>("refusedPort");
        QTest::addColumn<QString>("reason");
        QTest::newRow("refused port") << "a1.test/links.htm" << true << "Connection refused";
        // ".invalid" is reserved: no resolver knows it.
        QTest::newRow("unknown host")
            << "no-such-host.invalid/links.htm" << false << "Host not found";
    }
    void connectionFailuresEndTheSiteAtOnce()
    {
        QFETCH(QString, site);
        QFETCH(bool, refusedPort);
        QFETCH(QString, reason);
        ScanFixture f;
        f.set("txtTimeout", "30");
        if (refusedPort) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            const quint16 port = closed.serverPort();
            closed.close();
            f.network.setRoute({QStringLiteral("127.0.0.1"), port});
        } else {
            // A resolver that takes longer than a few watchdog seconds to give up cannot show
            // the difference to a timeout.
            QElapsedTimer resolving;
            resolving.start();
            const QHostInfo info = QHostInfo::fromName(site.section(u'/', 0, 0));
            if (info.error() == QHostInfo::NoError || resolving.elapsed() > 1000)
                QSKIP("this machine's resolver knows the name or is too slow to refuse it");
            f.network.setRoute({});
        }
        f.addMain(QStringLiteral("mine.test"), {site, site});
        f.scan.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 10000);
        const QString host = site.section(u'/', 0, 0);
        QCOMPARE(f.outcomes(),
                 QStringList(2, host + " | None Found (" + reason + ") | 000 | " + host));
        QCOMPARE(f.project.errors().count(), 2);
        QCOMPARE(f.project.errors().entry(0).error, reason);
        QCOMPARE(f.project.errors().entry(0).url, site);
        // Neither Linking Site waited for its 30 watchdog seconds.
        QVERIFY2(f.panels[4].size() < 30, qPrintable(f.panels[4].join(u',')));
        QVERIFY(!f.panels[4].contains(QStringLiteral("30 of 30 seconds")));
        QCOMPARE(f.server.connectionCount(), 0);
    }

    // Every status from 400 up is the Linking Site's reason with an error row; 429 and 503 are
    // asked again twice, after the wait they name (at most the idle timeout), before they count.
    void statusesGiveTheirReasonsAndRetries_data()
    {
        QTest::addColumn<QList<QByteArray>>("answers"); // the last one answers every later request
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<QStringList>("errors");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QStringList>("waits"); // the waits shown in panel 1, in seconds
        const QByteArray link = "<a href=\"http://mine.test/\">me</a>";
        const QByteArray none = "<p>no link</p>";
        const auto answer = [](const QByteArray& status, const QByteArray& body,
                               const QList<QByteArray>& headers = {}) {
            return TestWebServer::response(status, body, headers);
        };
        QTest::newRow("403") << QList{answer("403 Forbidden", none)}
                             << "a1.test | None Found (403 Forbidden) | 000 | a1.test"
                             << QStringList{"403 Forbidden | a1.test/"} << 1 << QStringList{};
        QTest::newRow("404") << QList{answer("404 Not Found", none)}
                             << "a1.test | None Found (404 Not found) | 000 | a1.test"
                             << QStringList{"404 Not found | a1.test/"} << 1 << QStringList{};
        QTest::newRow("410") << QList{answer("410 Gone", none)}
                             << "a1.test | None Found (410 Gone) | 000 | a1.test"
                             << QStringList{"410 Gone | a1.test/"} << 1 << QStringList{};
        QTest::newRow("500") << QList{answer("500 Internal Server Error", none)}
                             << "a1.test | None Found (500 Internal Error) | 000 | a1.test"
                             << QStringList{"500 Internal Error | a1.test/"} << 1 << QStringList{};
        QTest::newRow("429 with Retry-After")
            << QList{answer("429 Too Many Requests", none, {"Retry-After: 1"})}
            << "a1.test | None Found (429 Too Many Requests) | 000 | a1.test"
            << QStringList{"429 Too Many Requests | a1.test/"} << 3 << QStringList{"1", "1"};
        QTest::newRow("429 without Retry-After: a few seconds, at most the timeout")
            << QList{answer("429 Too Many Requests", none)}
            << "a1.test | None Found (429 Too Many Requests) | 000 | a1.test"
            << QStringList{"429 Too Many Requests | a1.test/"} << 3 << QStringList{"3", "3"};
        QTest::newRow("429 asking for more than the timeout")
            << QList{answer("429 Slow Down", none, {"Retry-After: 3600"})}
            << "a1.test | None Found (429 Slow Down) | 000 | a1.test"
            << QStringList{"429 Slow Down | a1.test/"} << 3 << QStringList{"3", "3"};
        QTest::newRow("503 then 200")
            << QList{answer("503 Service Unavailable", none, {"Retry-After: 0"}),
                     answer("200 OK", link)}
            << "a1.test | Direct Link | 001 | a1.test" << QStringList{} << 2 << QStringList{"0"};
        QTest::newRow("429, 503, then 200")
            << QList{answer("429 Too Many Requests", none), answer("503 Service Unavailable", none),
                     answer("200 OK", link)}
            << "a1.test | Direct Link | 001 | a1.test" << QStringList{} << 3
            << QStringList{"3", "3"};
    }
    void statusesGiveTheirReasonsAndRetries()
    {
        QFETCH(QList<QByteArray>, answers);
        QFETCH(QString, outcome);
        QFETCH(QStringList, errors);
        QFETCH(int, requests);
        QFETCH(QStringList, waits);
        ScanFixture f;
        f.set("txtTimeout", "3");
        const QString host = QStringLiteral("a1.test");
        // The request on its way is answered with the next answer of the list.
        int asked = 0;
        QObject::connect(&f.server, &TestWebServer::requestReceived, &f.server,
                         [&](const TestWebServer::Request& request) {
                             if (request.path != "/")
                                 return; // robots.txt, once the link is found
                             f.server.setRaw(
                                 host, QStringLiteral("/"),
                                 answers.at(std::min<qsizetype>(asked, answers.size() - 1)));
                             ++asked;
                         });
        f.addMain(QStringLiteral("mine.test"), {host});
        f.scan.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 10000);
        QCOMPARE(f.outcomes(), QStringList{outcome});
        QCOMPARE(f.errors(), errors);
        QCOMPARE(asked, requests);
        QStringList shown;
        for (const QString& text : std::as_const(f.panels[1])) {
            if (text.startsWith(QStringLiteral("Waiting ")))
                shown.append(text.section(u' ', 1, 1));
        }
        QCOMPARE(shown, waits);
    }

    // A page that trickles in, never silent for the idle timeout, is given up after five times
    // that timeout like a silent one.
    void drippingPageEndsAsTimeoutAtTheDeadline()
    {
        ScanFixture f;
        f.set("txtTimeout", "2");
        TestWebServer::Reply reply;
        reply.chunks = {"HTTP/1.1 200 OK\r\n\r\n"};
        for (int k = 0; k < 200; ++k)
            reply.chunks.append("x");
        reply.chunkIntervalMs = kTickMs / 2;
        f.server.setReply(QStringLiteral("a1.test"), QStringLiteral("/"), reply);
        f.addMain(QStringLiteral("mine.test"), {"a1.test", "a2.test"});
        f.scan.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 10000);
        QCOMPARE(f.errors(), QStringList{"Timeout | a1.test"});
        QCOMPARE(f.outcomes(),
                 (QStringList{"a1.test | None Found (Timeout) | 000 | a1.test",
                              "a2.test | None Found | 000 | a2.test"}));
        // The idle count never reached the timeout: the deadline ended the page, long before
        // the server was done (its 200 drops take ten seconds).
        QVERIFY(!f.panels[4].contains(QStringLiteral("2 of 2 seconds")));
    }

    // A public partner's redirect page, or a redirect on the way, may not lead the program to a
    // private address; a partner on such an address itself may. The routing seam poses the
    // hosts' addresses.
    void redirectsFromAPublicHostStayPublic_data()
    {
        QTest::addColumn<bool>("partnerPublic");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QStringList>("requested"); // besides the partner's page
        QTest::addColumn<QStringList>("errors");
        const QString refused = QStringLiteral("Refused redirect to a private address | ");
        QTest::newRow("loopback address") << true << "http://127.0.0.1:8081/admin" << QStringList{}
                                          << QStringList{refused + "127.0.0.1:8081/admin"};
        QTest::newRow("host on a private address")
            << true << "http://intranet.example/admin" << QStringList{}
            << QStringList{refused + "intranet.example/admin"};
        QTest::newRow("IPv6 unique local") << true << "http://[fd00::1]/x" << QStringList{}
                                           << QStringList{refused + "[fd00::1]/x"};
        QTest::newRow("public host redirecting to a link-local address")
            << true << "http://hop.example/next" << QStringList{"hop.example/next"}
            << QStringList{refused + "169.254.169.254/latest"};
        QTest::newRow("public to public")
            << true << "http://moved.example/links.htm" << QStringList{"moved.example/links.htm"}
            << QStringList{};
        QTest::newRow("private partner within its class")
            << false << "http://127.0.0.1:8081/admin" << QStringList{"127.0.0.1/admin"}
            << QStringList{};
    }
    void redirectsFromAPublicHostStayPublic()
    {
        QFETCH(bool, partnerPublic);
        QFETCH(QString, target);
        QFETCH(QStringList, requested);
        QFETCH(QStringList, errors);
        ScanFixture f;
        f.network.setUserAgent("Corvane/9.8 (+http://www.corvane.example)");
        if (partnerPublic)
            f.network.poseHost(QStringLiteral("partner.example"),
                               QHostAddress(QStringLiteral("203.0.113.7")));
        f.network.poseHost(QStringLiteral("intranet.example"),
                           QHostAddress(QStringLiteral("10.1.2.3")));
        f.network.poseHost(QStringLiteral("hop.example"),
                           QHostAddress(QStringLiteral("198.51.100.2")));
        f.network.poseHost(QStringLiteral("moved.example"),
                           QHostAddress(QStringLiteral("198.51.100.3")));
        f.server.setPage(QStringLiteral("partner.example"), QStringLiteral("/"),
                         "<title>Document Moved</title><a href=\"" + target.toLatin1()
                             + "\">here</a>");
        f.server.setRaw(QStringLiteral("hop.example"), QStringLiteral("/next"),
                        TestWebServer::response("302 Found", "moved",
                                                {"Location: http://169.254.169.254/latest"}));
        f.addMain(QStringLiteral("mine.test"), {"partner.example"});
        f.scan.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 10000);
        QCOMPARE(f.requestedHosts(), QStringList{"partner.example/"} + requested);
        QCOMPARE(f.errors(), errors);
        // Every request names the program, the redirect download's as the fetcher's.
        for (const TestWebServer::Request& r : f.server.requests())
            QVERIFY2(
                r.raw.contains("\r\nUser-Agent: Corvane/9.8 (+http://www.corvane.example)\r\n"),
                r.raw.constData());
    }

    // The pages a public partner links to are fetched from public addresses only, whatever the
    // road: a subdomain of the partner whose name resolves to loopback is refused with an error
    // row and the crawl goes on; a name with a public and a private address is fetched from the
    // public one. A partner on private addresses (an intranet) fetches its pages as before.
    void pagesOfAPublicPartnerStayPublic_data()
    {
        QTest::addColumn<bool>("partnerPublic");
        QTest::addColumn<QStringList>("requested");
        QTest::addColumn<QStringList>("errors");
        QTest::newRow("public partner")
            << true
            << QStringList{"partner.example/", "mixed.partner.example/b.htm",
                           "www.partner.example/c.htm", "www.partner.example/robots.txt"}
            << QStringList{"Refused: private address | inside.partner.example/a.htm"};
        QTest::newRow("partner on a private address")
            << false
            << QStringList{"partner.example/", "inside.partner.example/a.htm",
                           "mixed.partner.example/b.htm", "www.partner.example/c.htm",
                           "www.partner.example/robots.txt"}
            << QStringList{};
    }
    void pagesOfAPublicPartnerStayPublic()
    {
        QFETCH(bool, partnerPublic);
        QFETCH(QStringList, requested);
        QFETCH(QStringList, errors);
        ScanFixture f;
        const QHostAddress loopback(QStringLiteral("127.0.0.1"));
        if (partnerPublic)
            f.network.poseHost(QStringLiteral("partner.example"),
                               QHostAddress(QStringLiteral("203.0.113.7")));
        f.network.poseHost(QStringLiteral("inside.partner.example"), loopback);
        f.network.poseHost(QStringLiteral("mixed.partner.example"),
                           {loopback, QHostAddress(QStringLiteral("198.51.100.4"))});
        f.network.poseHost(QStringLiteral("www.partner.example"),
                           QHostAddress(QStringLiteral("203.0.113.7")));
        f.server.setPage(QStringLiteral("partner.example"), QStringLiteral("/"),
                         "<a href=\"http://inside.partner.example/a.htm\">A</a>"
                         "<a href=\"http://mixed.partner.example/b.htm\">B</a>"
                         "<a href=\"http://www.partner.example/c.htm\">C</a>");
        f.server.setPage(QStringLiteral("www.partner.example"), QStringLiteral("/c.htm"),
                         "<a href=\"http://mine.test/\">Mine</a>");
        f.addMain(QStringLiteral("mine.test"), {"partner.example"});
        f.scan.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 10000);
        QCOMPARE(f.requestedHosts(), requested);
        QCOMPARE(f.errors(), errors);
        QCOMPARE(f.outcomes(),
                 QStringList{"partner.example | Direct Link | 001 | www.partner.example/c.htm"});
    }

    // "HostInterval" spaces two requests to one host, every fetcher of the scan alike.
    void hostIntervalSpacesRequestsToOneHost()
    {
        ScanFixture f;
        f.set("HostInterval", "400");
        QList<qint64> at;
        QElapsedTimer clock;
        clock.start();
        QObject::connect(&f.server, &TestWebServer::requestReceived, &f.server,
                         [&] { at.append(clock.elapsed()); });
        f.addMain(QStringLiteral("mine.test"), {"a1.test", "www.a1.test/other.htm", "a2.test"});
        f.scan.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 10000);
        QCOMPARE(at.size(), 3);
        // "www." names the same host.
        QVERIFY2(at.at(1) - at.at(0) >= 380, qPrintable(QString::number(at.at(1) - at.at(0))));
        QCOMPARE(f.project.errors().count(), 0);
    }

    void dataKeepsASlowServerAlive()
    {
        ScanFixture f;
        f.set("txtTimeout", "2");
        TestWebServer::Reply reply;
        reply.chunks = {"HTTP/1.1 200 OK\r\n\r\n", "a", "b", "c", "d", "e", "f"};
        // Longer in all than the timeout, each gap shorter.
        reply.chunkIntervalMs = kTickMs * 6 / 10;
        f.server.setReply(QStringLiteral("a1.test"), QStringLiteral("/"), reply);
        f.addMain(QStringLiteral("mine.test"), {"a1.test"});
        f.scan.StartScan();
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 10000);
        QCOMPARE(f.project.errors().count(), 0);
        QCOMPARE(f.outcomes(), QStringList{"a1.test | None Found | 000 | a1.test"});
    }

    void stopDuringDownloadRecordsNothing()
    {
        ScanFixture f;
        TestWebServer::Reply reply;
        reply.chunks = {"HTTP/1.1 200 OK\r\n\r\n<html>first", "second</html>"};
        reply.chunkIntervalMs = kTickMs;
        f.server.setReply(QStringLiteral("a1.test"), QStringLiteral("/"), reply);
        f.addMain(QStringLiteral("mine.test"), {"a1.test", "a2.test"});
        QSignalSpy chunksEnded(&f.server, &TestWebServer::chunksEnded);
        f.scan.StartScan();
        QTRY_VERIFY(f.scan.front() && !f.scan.front()->fetcher().slot(0).strResponse.isEmpty());
        const QPointer<SiteScan> site = f.scan.front();
        f.scan.Stop();
        QVERIFY(!f.running());
        QCOMPARE(f.stopped, 1);
        QCOMPARE(f.statistics.lMainSitesScanned, 1);
        QVERIFY(f.scan.inProgress().isEmpty());
        QVERIFY(!site || !site->fetcher().isWatchdogArmed(0));

        // Past the second piece of data and past the idle timeout: nothing of the old scan acts.
        QVERIFY(chunksEnded.wait(5000));
        QTest::qWait(3 * kTickMs);
        QVERIFY(f.outcomes().isEmpty());
        QCOMPARE(f.project.errors().count(), 0);
        QCOMPARE(f.statistics.lLinkingSitesScanned, 0);
        QCOMPARE(f.server.requests().size(), 1);
        QVERIFY(!site || !site->fetcher().slot(0).strResponse.contains("second"));
        QCOMPARE(f.stopped, 1);
        QCOMPARE(f.panels[1].last(), QStringLiteral("Stopped"));
    }

    void stopWhileARequestIsPreparedLeavesNothingRunning()
    {
        ScanFixture f;
        f.addMain(QStringLiteral("mine.test"), {"a1.test", "a2.test"});
        bool stopOnce = true;
        // The window lets events run after the status update; a Stop handled there must hold.
        QObject::connect(
            &f.scan, &ScanController::statusChanged, &f.scan, [&](int panel, const QString& text) {
                if (stopOnce && panel == 1 && text.startsWith(QStringLiteral("Downloading"))) {
                    stopOnce = false;
                    f.scan.Stop();
                }
            });
        f.scan.StartScan();
        QVERIFY(!f.running());
        QVERIFY(f.scan.inProgress().isEmpty());
        // Past the idle timeout: a watchdog left running would have ended the site by now.
        QTest::qWait(3 * kTickMs);
        QCOMPARE(f.server.connectionCount(), 0);
        QVERIFY(f.outcomes().isEmpty());
        QVERIFY(!f.running());
        QCOMPARE(f.stopped, 1);

        // A new scan afterwards runs normally.
        QVERIFY(f.scan.StartScan());
        QTRY_VERIFY(!f.running());
        QCOMPARE(f.outcomes().size(), 2);
    }

    void continuationsOfAStoppedScanAreIgnored()
    {
        ScanFixture f;
        f.server.setSilent(TestWebServer::kAnyHost, QStringLiteral("/"));
        f.set("txtTimeout", "60");
        f.addMain(QStringLiteral("mine.test"), {"a1.test", "a2.test"});
        f.scan.StartScan();
        const QPointer<SiteScan> old = f.scan.front();
        QTRY_COMPARE(f.server.requests().size(), 1);
        f.scan.Stop();
        f.scan.StartScan();
        QTRY_COMPARE(f.server.requests().size(), 2);
        // A Linking Site's analysis hands back with the generation it was given: 1 for its pages.
        if (old) {
            Q_EMIT old->analyzer().analysisFinished(0, 1, PageAnalyzer::Continuation::AdvanceSite);
            Q_EMIT old->analyzer().analysisFinished(0, 1, PageAnalyzer::Continuation::NextPage);
        }
        QVERIFY(f.running());
        QVERIFY(f.outcomes().isEmpty());
        QCOMPARE(f.project.state().iCurrentSite, 1);
        // The running scan's own hand-back is taken.
        Q_EMIT f.scan.front()->analyzer().analysisFinished(0, 1,
                                                           PageAnalyzer::Continuation::AdvanceSite);
        QCOMPARE(f.outcomes().size(), 1);
        QCOMPARE(f.project.state().iCurrentSite, 2);
        f.scan.Stop();
    }

    void unusableUrlEndsTheSiteAtOnce_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("blank in host")
            << "my site.test"
            << "my site.test | None Found (Invalid Host) | 000 | my site.test";
        QTest::newRow("port in host")
            << "a1.test:8080/"
            << "a1.test:8080 | None Found (Invalid Host) | 000 | a1.test:8080";
        QTest::newRow("no host") << "http:///links.htm"
                                 << " | None Found (Invalid URL) | 000 | ";
    }
    void unusableUrlEndsTheSiteAtOnce()
    {
        QFETCH(QString, site);
        QFETCH(QString, outcome);
        ScanFixture f;
        f.set("txtTimeout", "60");
        f.addMain(QStringLiteral("mine.test"), {site, "a2.test"});
        f.scan.StartScan();
        // Well before the 60 seconds of the watchdog.
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 5000);
        QCOMPARE(f.outcomes(), (QStringList{outcome, "a2.test | None Found | 000 | a2.test"}));
        QCOMPARE(f.requestedHosts(), QStringList{"a2.test/"});
    }

    void mainSiteWithoutLinkingSitesIsPassedOver()
    {
        ScanFixture f;
        f.addMain(QStringLiteral("a.test"), {"a1.test"});
        f.addMain(QStringLiteral("b.test"), {});
        f.addMain(QStringLiteral("c.test"), {"c1.test"});
        f.addMain(QStringLiteral("d.test"), {});
        f.scan.StartScan();
        QTRY_VERIFY(!f.running());
        QCOMPARE(f.outcomes(),
                 (QStringList{"a1.test | None Found | 000 | a1.test",
                              "c1.test | None Found | 000 | c1.test"}));
        QCOMPARE(f.statistics.lMainSitesScanned, 2);
        QVERIFY(f.messages.isEmpty());
    }

    void skipKeepsToTheScanType_data()
    {
        QTest::addColumn<int>("scanType");
        QTest::addColumn<int>("skipType");
        QTest::addColumn<int>("selectedMain");
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<QStringList>("remotes");
        // Main Site 1 has a1 (silent, skipped) and a2; Main Site 2 has b1 and b2.
        QTest::newRow("all sites, skip linking site")
            << 0 << 0 << 0 << 0 << QStringList{"a1", "a2", "b1", "b2"};
        // b2 is scanned: the skip of the Main Site applies to that one advance only.
        QTest::newRow("all sites, skip main site")
            << 0 << 1 << 0 << 0 << QStringList{"a1", "b1", "b2"};
        QTest::newRow("selected main site, skip linking site")
            << 1 << 0 << 1 << 0 << QStringList{"a1", "a2"};
        QTest::newRow("selected main site, skip main site")
            << 1 << 1 << 1 << 0 << QStringList{"a1"};
        QTest::newRow("selected linking site, skip") << 2 << 0 << 1 << 1 << QStringList{"a1"};
        QTest::newRow("selected linking site row 2") << 2 << 0 << 1 << 2 << QStringList{"a2"};
        QTest::newRow("selected main site 2") << 1 << 0 << 2 << 0 << QStringList{"b1", "b2"};
    }
    void skipKeepsToTheScanType()
    {
        QFETCH(int, scanType);
        QFETCH(int, skipType);
        QFETCH(int, selectedMain);
        QFETCH(int, selectedRow);
        QFETCH(QStringList, remotes);
        ScanFixture f;
        f.set("txtTimeout", "60");
        f.server.setSilent(QStringLiteral("a1"), QStringLiteral("/"));
        QObject::connect(&f.server, &TestWebServer::requestReceived, &f.scan,
                         [&](const TestWebServer::Request& request) {
                             if (request.host == QStringLiteral("a1"))
                                 QTimer::singleShot(0, &f.scan, [&] { f.scan.Skip(); });
                         });
        f.addMain(QStringLiteral("a.test"), {"a1", "a2"});
        f.addMain(QStringLiteral("b.test"), {"b1", "b2"});
        f.scan.setScanType(scanType);
        f.scan.setSkipType(skipType);
        QVERIFY(f.scan.StartScan(selectedMain, selectedRow));
        QTRY_VERIFY_WITH_TIMEOUT(!f.running(), 5000);
        QStringList got;
        for (int r = 0; r < f.project.results().count(); ++r)
            got.append(f.project.results().entry(r).remote);
        QCOMPARE(got, remotes);
        if (remotes.first() == QStringLiteral("a1"))
            QCOMPARE(f.project.results().entry(0).status, QStringLiteral("None Found (Skipped)"));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("ScanType")),
                 QString::number(scanType));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("SkipType")),
                 QString::number(skipType));
    }

    void expectedLinksField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("requests");
        QTest::newRow("0: finished before its first request") << "0" << 0;
        QTest::newRow("2") << "2" << 1;
        QTest::newRow("not a number counts as 1") << "abc" << 1;
        QTest::newRow("empty counts as 1") << "" << 1;
        QTest::newRow("above 32767 counts as 1") << "40000" << 1;
    }
    void expectedLinksField()
    {
        QFETCH(QString, field);
        QFETCH(int, requests);
        ScanFixture f;
        f.addMain(QStringLiteral("mine.test"), {});
        f.project.linkingSites(1)->appendSite({QStringLiteral("a1.test"), field, {}, {}, {}});
        f.scan.StartScan();
        QTRY_VERIFY(!f.running());
        QCOMPARE(f.server.requests().size(), requests);
        QCOMPARE(f.outcomes(), QStringList{"a1.test | None Found | 000 | a1.test"});
    }

    void pageLimit_data()
    {
        QTest::addColumn<QString>("advance");
        QTest::addColumn<QString>("limitOn");
        QTest::addColumn<int>("requests");
        QTest::addColumn<QString>("outcome");
        // Pages left unread at the limit are the reason, whatever an earlier page said (one of
        // them answers 404).
        QTest::newRow("index 0: the site's own page only")
            << "0"
            << "1" << 1 << "a1.test | None Found (Page limit reached) | 000 | a1.test";
        QTest::newRow("index 1: ten pages")
            << "1"
            << "1" << 10 << "a1.test | None Found (Page limit reached) | 000 | a1.test";
        QTest::newRow("limit off: every queued page")
            << "1"
            << "0" << 15 << "a1.test | None Found (404 Not found) | 000 | a1.test";
        QTest::newRow("index outside the table: limit stays 0")
            << "13"
            << "1" << 0 << "a1.test | None Found (Page limit reached) | 000 | a1.test";
    }
    void pageLimit()
    {
        QFETCH(QString, advance);
        QFETCH(QString, limitOn);
        QFETCH(int, requests);
        QFETCH(QString, outcome);
        ScanFixture f;
        f.server.setPage(QStringLiteral("a1.test"), QStringLiteral("/p2.htm"), "gone",
                         "404 Not Found");
        f.box.settings->WriteSetting(QStringLiteral("cmbAdvance"), advance);
        f.box.settings->WriteSetting(QStringLiteral("chkAuto"), limitOn);
        // Stands in for page analysis: every page queues one more, fifteen in all.
        int queued = 1;
        QObject::connect(
            &f.scan, &ScanController::statusChanged, &f.scan, [&](int panel, const QString& text) {
                if (panel == 1 && text.startsWith(QStringLiteral("Finished")) && queued < 15) {
                    ++queued;
                    Project& desk = f.scan.front()->desk();
                    desk.pageQueue().enqueue(QStringLiteral("a1.test/p%1.htm").arg(queued));
                    ++desk.state().lPagesKnown;
                }
            });
        f.addMain(QStringLiteral("mine.test"), {"a1.test"});
        f.scan.StartScan();
        QTRY_VERIFY(!f.running());
        QCOMPARE(f.server.requests().size(), requests);
        if (requests > 2)
            QVERIFY(f.panels[2].contains(QStringLiteral("Page 3 of 3")));
        QCOMPARE(f.outcomes(), QStringList{outcome});
    }

    void outcomeFollowsWhatTheAnalysisFound_data()
    {
        QTest::addColumn<QString>("expected");
        QTest::addColumn<int>("found");
        QTest::addColumn<QString>("redirectUrl");
        QTest::addColumn<QString>("chkRedirect");
        QTest::addColumn<QString>("chkUpdate");
        QTest::addColumn<QString>("outcome");
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("rowColour");
        QTest::addColumn<QString>("siteUrlAfter");
        const int black = int(SiteColour::Black);
        const int green = int(SiteColour::Green);
        const int red = int(SiteColour::Red);
        QTest::newRow("all found: nothing more") << "1" << 1 << ""
                                                 << "1"
                                                 << "1"
                                                 << "" << 0 << black << "a1.test/links.htm";
        QTest::newRow("1 of 3 found") << "3" << 1 << ""
                                      << "1"
                                      << "1"
                                      << "a1.test | Missing 002 | 000 | a1.test/links.htm" << 1
                                      << black << "a1.test/links.htm";
        QTest::newRow("1 of 1000 found") << "1000" << 1 << ""
                                         << "1"
                                         << "1"
                                         << "a1.test | Missing 999 | 000 | a1.test/links.htm" << 1
                                         << black << "a1.test/links.htm";
        QTest::newRow("redirect, URL updated")
            << "1" << 0 << "a1.test/go.php"
            << "1"
            << "1"
            << "a1.test | Redirect Link | 001 | a1.test/go.php" << 2 << green << "a1.test/go.php";
        QTest::newRow("redirect, URL kept") << "1" << 0 << "a1.test/go.php"
                                            << "1"
                                            << "0"
                                            << "a1.test | Redirect Link | 001 | a1.test/go.php" << 2
                                            << green << "a1.test/links.htm";
        QTest::newRow("redirect detection off")
            << "1" << 0 << "a1.test/go.php"
            << "0"
            << "1"
            << "a1.test | None Found (Possible Redirected URL) | 000 | a1.test" << 1 << red
            << "a1.test/links.htm";
        // A check box is on only at "1", here as in page analysis, which then goes on crawling.
        QTest::newRow("redirect detection at another value is off")
            << "1" << 0 << "a1.test/go.php"
            << "2"
            << "1"
            << "a1.test | None Found (Possible Redirected URL) | 000 | a1.test" << 1 << red
            << "a1.test/links.htm";
    }
    void outcomeFollowsWhatTheAnalysisFound()
    {
        QFETCH(QString, expected);
        QFETCH(int, found);
        QFETCH(QString, redirectUrl);
        QFETCH(QString, chkRedirect);
        QFETCH(QString, chkUpdate);
        QFETCH(QString, outcome);
        QFETCH(int, icon);
        QFETCH(int, rowColour);
        QFETCH(QString, siteUrlAfter);
        ScanFixture f;
        f.box.settings->WriteSetting(QStringLiteral("chkRedirect"), chkRedirect);
        f.box.settings->WriteSetting(QStringLiteral("chkUpdate"), chkUpdate);
        // Stands in for page analysis, which writes these into the Linking Site's scan state.
        QObject::connect(&f.scan, &ScanController::statusChanged, &f.scan,
                         [&](int panel, const QString& text) {
                             if (panel != 1 || !text.startsWith(QStringLiteral("Finished")))
                                 return;
                             ScanState& st = f.scan.front()->desk().state();
                             st.iLinksFound = qint16(found);
                             st.bLinkFound = found > 0;
                             if (!redirectUrl.isEmpty()) {
                                 st.bRedirectFound = true;
                                 st.strRedirectUrl = redirectUrl;
                                 st.strProblem = QStringLiteral("Possible Redirected URL");
                             }
                         });
        f.addMain(QStringLiteral("mine.test"), {"a1.test/links.htm#" + expected});
        f.scan.StartScan();
        QTRY_VERIFY(!f.running());
        QCOMPARE(f.outcomes(), outcome.isEmpty() ? QStringList() : QStringList{outcome});
        if (!outcome.isEmpty())
            QCOMPARE(f.project.results().entry(0).icon, icon);
        const LinkingSiteList& list = *f.project.linkingSites(1);
        QCOMPARE(int(list.record(0).colour), rowColour);
        QCOMPARE(list.url(0), siteUrlAfter);
        QCOMPARE(f.statistics.lLinksFound, icon == 2 ? 1 : 0);
    }

    void startIsRefused_data()
    {
        QTest::addColumn<int>("scanType");
        QTest::addColumn<int>("selectedMain");
        QTest::addColumn<int>("selectedRow");
        QTest::addColumn<QString>("firstMain");
        QTest::addColumn<QString>("message");
        QTest::newRow("no Main Site selected")
            << 1 << 0 << 0 << "a.test"
            << "You must select a Main Site to scan before using this scan type.";
        QTest::newRow("selected Main Site has no Linking Sites")
            << 1 << 2 << 0 << "a.test"
            << "You must enter a Linking Site to scan before using this scan type.";
        QTest::newRow("no Linking Site selected")
            << 2 << 1 << 0 << "a.test"
            << "You must select a Linking Site to scan before using this scan type.";
        QTest::newRow("Main Site without a domain")
            << 0 << 0 << 0 << "http://"
            << "Please enter the Domain you want to find links to.";
        QTest::newRow("no Main Sites at all")
            << 0 << 0 << 0 << ""
            << "Please enter the Domain you want to find links to.";
        QTest::newRow("first Main Site without Linking Sites")
            << 0 << 0 << 0 << "b.test"
            << "Please enter at least one website to search for links.";
    }
    void startIsRefused()
    {
        QFETCH(int, scanType);
        QFETCH(int, selectedMain);
        QFETCH(int, selectedRow);
        QFETCH(QString, firstMain);
        QFETCH(QString, message);
        ScanFixture f;
        if (firstMain == QStringLiteral("b.test")) {
            f.addMain(firstMain, {});
            f.addMain(QStringLiteral("a.test"), {"a1.test"});
        } else if (!firstMain.isEmpty()) {
            f.addMain(firstMain, {"a1.test"});
            f.addMain(QStringLiteral("b.test"), {});
        }
        // What the last scan left: results, errors and row colours are reset even so.
        f.project.results().appendEntry(
            {2, "old", "old", "Direct Link", "001", "old", SiteColour::Blue});
        f.project.errors().appendEntry({QStringLiteral("Timeout"), QStringLiteral("old")});
        if (f.project.linkingSites(1) && !f.project.linkingSites(1)->isEmpty())
            f.project.linkingSites(1)->setColour(0, SiteColour::Blue);
        f.scan.setScanType(scanType);

        QVERIFY(!f.scan.StartScan(selectedMain, selectedRow));
        QCOMPARE(f.messages, QStringList{message});
        QVERIFY(!f.running());
        QCOMPARE(f.started, 0);
        QCOMPARE(f.project.results().count(), 0);
        QCOMPARE(f.project.errors().count(), 0);
        if (f.project.linkingSites(1) && !f.project.linkingSites(1)->isEmpty())
            QCOMPARE(f.project.linkingSites(1)->record(0).colour, SiteColour::Black);
        QTest::qWait(50);
        QCOMPARE(f.server.connectionCount(), 0);
    }

    void conversions()
    {
        QCOMPARE(ResultRecorder::zeroPadded(2), QStringLiteral("002"));
        QCOMPARE(ResultRecorder::zeroPadded(42), QStringLiteral("042"));
        QCOMPARE(ResultRecorder::zeroPadded(1234), QStringLiteral("1234"));
        QCOMPARE(ScanLimits::expectedLinks(QStringLiteral(" 7 ")), qint16(7));
        QCOMPARE(ScanLimits::expectedLinks(QStringLiteral("32767")), qint16(32767));
        QCOMPARE(ScanLimits::expectedLinks(QStringLiteral("32768")), qint16(1));
        QCOMPARE(ScanLimits::expectedLinks(QStringLiteral("3x")), qint16(1));
        QCOMPARE(ScanLimits::pageLimitFor(12), 500000);
        QCOMPARE(ScanLimits::pageLimitFor(13), -1);
    }
};

CORVANE_TEST_CLASS(ScanControllerTest);
#include "ScanControllerTest.moc"
