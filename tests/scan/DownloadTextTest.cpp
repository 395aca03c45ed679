#include "net/DownloadText.h"
#include "net/NetworkContext.h"
#include "support/Compression.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QSignalSpy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

using namespace corvane;
using corvane::test::compressed;

namespace {

const QString kAny = test::TestWebServer::kAnyHost;

// The value of one header line of a recorded request head; empty when it is missing.
QByteArray header(const test::TestWebServer::Request& request, const QByteArray& name)
{
    for (const QByteArray& line : request.raw.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == name)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

QByteArray redirectTo(const QString& location)
{
    return test::TestWebServer::response("302 Found", "moved",
                                         {"Location: " + location.toLatin1()});
}

// The body in chunked framing, its first chunk one byte long.
QByteArray chunkedFromOneByte(const QByteArray& body)
{
    QByteArray out = "1\r\n" + body.left(1) + "\r\n";
    out += QByteArray::number(body.size() - 1, 16) + "\r\n" + body.mid(1) + "\r\n0\r\n\r\n";
    return out;
}

// An https server with the self-signed certificate of tests/data/scan: one canned answer per path,
// then the connection is closed.
class TlsServer final : public QObject
{
    Q_OBJECT

public:
    TlsServer()
    {
        QSslConfiguration tls = QSslConfiguration::defaultConfiguration();
        tls.setLocalCertificate(QSslCertificate(readFixture("localhost.crt")));
        tls.setPrivateKey(QSslKey(readFixture("localhost.key"), QSsl::Rsa));
        m_server.setSslConfiguration(tls);
        // A connection is handed over only once its handshake is done.
        connect(&m_server, &QTcpServer::pendingConnectionAvailable, this,
                &TlsServer::onNewConnection);
        if (!m_server.listen(QHostAddress::LocalHost, 0))
            qFatal("the https test server cannot listen");
    }

    QString url(const char* path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2")
            .arg(m_server.serverPort())
            .arg(QLatin1String(path));
    }
    void setAnswer(const QByteArray& path, const QByteArray& response)
    {
        m_answers.insert(path, response);
    }
    int requestCount() const { return m_requestCount; }

private:
    static QByteArray readFixture(const char* name)
    {
        QFile file(QStringLiteral(CORVANE_TEST_DATA "/scan/") + QLatin1String(name));
        if (!file.open(QIODevice::ReadOnly))
            qFatal("missing test fixture %s", name);
        return file.readAll();
    }

    void onNewConnection()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
                QByteArray& buffer = m_buffers[socket];
                buffer += socket->readAll();
                if (!buffer.contains("\r\n\r\n"))
                    return;
                const QByteArray path = buffer.left(buffer.indexOf("\r\n")).split(' ').value(1);
                m_buffers.remove(socket);
                ++m_requestCount;
                socket->write(m_answers.value(
                    path, test::TestWebServer::response("404 Not Found", "not here")));
                socket->disconnectFromHost();
            });
        }
    }

    QSslServer m_server;
    QHash<QByteArray, QByteArray> m_answers;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    int m_requestCount = 0;
};

// Runs one download to its end and returns what finished() carried.
DownloadResult fetch(DownloadText& download, const QString& url)
{
    QSignalSpy spy(&download, &DownloadText::finished);
    download.start(url);
    // The result never arrives from inside start(), not even for a refused URL.
    if (!spy.isEmpty())
        qWarning("finished() was emitted inside start()");
    if (!spy.wait(10000) || spy.size() != 1)
        return {};
    return spy.first().first().value<DownloadResult>();
}

} // namespace

class DownloadTextTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { qRegisterMetaType<DownloadResult>(); }

    void bodyIsTheWholePageInCodePage()
    {
        test::TestWebServer server;
        const QByteArray body = "<html>\r\n<a href=\"x.htm\">caf\xe9 \x80</a>\r\n</html>";
        server.setPage(kAny, QStringLiteral("/page.htm"), body);
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/page.htm")));
        QVERIFY(result.ok());
        QCOMPARE(result.httpStatus, 200);
        QCOMPARE(result.body, body);
        QCOMPARE(result.text,
                 QStringLiteral("<html>\r\n<a href=\"x.htm\">caf\u00e9 \u20ac</a>\r\n</html>"));
        QVERIFY(!result.truncated);
        QVERIFY(!download.isRunning());
    }

    // The download undoes content codings with the page fetcher's decoder: x-gzip and raw
    // deflate are read too, and a body that cannot be decoded is a failure, never a text of
    // compressed bytes.
    void contentCodingsAreUndone_data()
    {
        QTest::addColumn<QByteArray>("coding");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("chunked");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("error");
        const QByteArray page = "<a href=\"http://www.mysite.test/\">Mine</a>";
        const QString text = QString::fromLatin1(page);
        QTest::newRow("gzip") << QByteArray("gzip") << compressed(page, 15 + 16) << false << text
                              << QString();
        QTest::newRow("x-gzip") << QByteArray("x-gzip") << compressed(page, 15 + 16) << false
                                << text << QString();
        QTest::newRow("deflate as zlib")
            << QByteArray("deflate") << compressed(page, 15) << false << text << QString();
        QTest::newRow("raw deflate, first chunk one byte")
            << QByteArray("deflate") << compressed(page, -15) << true << text << QString();
        QTest::newRow("gzip on a plain body")
            << QByteArray("gzip") << page << false << QString()
            << QStringLiteral("Content-Encoding did not decode: gzip");
        QTest::newRow("unknown coding") << QByteArray("zstd") << page << false << QString()
                                        << QStringLiteral("Content-Encoding not understood: zstd");
    }
    void contentCodingsAreUndone()
    {
        QFETCH(QByteArray, coding);
        QFETCH(QByteArray, body);
        QFETCH(bool, chunked);
        QFETCH(QString, text);
        QFETCH(QString, error);
        test::TestWebServer server;
        const QByteArray head = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Encoding: "
            + coding + "\r\nConnection: close\r\n";
        const QByteArray framed = chunked
            ? QByteArray("Transfer-Encoding: chunked\r\n\r\n" + chunkedFromOneByte(body))
            : QByteArray("Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        server.setRaw(kAny, QStringLiteral("/page.htm"), head + framed);
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/page.htm")));
        QCOMPARE(result.error, error);
        QCOMPARE(result.text, text);
        QCOMPARE(header(server.requests().value(0), "accept-encoding"),
                 QByteArray("gzip, deflate"));
    }

    void urlWithoutSchemeIsHttp()
    {
        test::TestWebServer server;
        server.setPage(kAny, QStringLiteral("/p.htm"), "plain");
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result
            = fetch(download, QStringLiteral("127.0.0.1:%1/p.htm").arg(server.port()));
        QCOMPARE(result.text, QStringLiteral("plain"));
    }

    void redirectsAreFollowed()
    {
        test::TestWebServer server;
        server.setRaw(kAny, QStringLiteral("/old.htm"), redirectTo(QStringLiteral("/middle.htm")));
        server.setRaw(kAny, QStringLiteral("/middle.htm"),
                      redirectTo(server.url(QStringLiteral("/new.htm"))));
        server.setPage(kAny, QStringLiteral("/new.htm"), "the new page", "200 OK",
                       {"Content-Type: text/html; charset=koi8-r"});
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/old.htm")));
        QVERIFY(result.ok());
        QCOMPARE(result.text, QStringLiteral("the new page"));
        QCOMPARE(result.httpStatus, 200);
        // The charset the page is read in is the last answer's.
        QCOMPARE(result.contentType, QByteArray("text/html; charset=koi8-r"));
        // The network layer may send a request again on a fresh connection when a reused one
        // was closed under it; what matters is the chain, in order.
        QList<QByteArray> chain;
        for (const auto& request : server.requests())
            if (chain.isEmpty() || chain.last() != request.path)
                chain.append(request.path);
        QCOMPARE(chain, (QList<QByteArray>{"/old.htm", "/middle.htm", "/new.htm"}));
    }

    // The status is not looked at: an error page's body is the text like any other page's.
    void errorPagesGiveTheirBody_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<int>("code");
        QTest::newRow("400") << QByteArray("400 Bad Request") << 400;
        QTest::newRow("403") << QByteArray("403 Forbidden") << 403;
        QTest::newRow("404") << QByteArray("404 Not Found") << 404;
        QTest::newRow("410") << QByteArray("410 Gone") << 410;
        QTest::newRow("500") << QByteArray("500 Internal Server Error") << 500;
        QTest::newRow("503") << QByteArray("503 Service Unavailable") << 503;
    }
    void errorPagesGiveTheirBody()
    {
        QFETCH(QByteArray, status);
        QFETCH(int, code);
        test::TestWebServer server;
        server.setPage(kAny, QStringLiteral("/gone.htm"),
                       "<h1>Sorry</h1> see <a href=\"/home.htm\">home</a>", status);
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/gone.htm")));
        QVERIFY(result.ok());
        QCOMPARE(result.httpStatus, code);
        QCOMPARE(result.text, QStringLiteral("<h1>Sorry</h1> see <a href=\"/home.htm\">home</a>"));
    }

    void onlyHttpAndHttpsAreFetched_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // empty: refused
        QTest::newRow("no scheme") << "www.example.com/a.htm"
                                   << "http://www.example.com/a.htm";
        QTest::newRow("capital scheme") << "HTTP://Example.com/"
                                        << "http://example.com/";
        QTest::newRow("https") << "https://www.example.com/"
                               << "https://www.example.com/";
        QTest::newRow("http inside the query only") << "www.example.com/go?to=http://x.com/"
                                                    << "http://www.example.com/go?to=http://x.com/";
        QTest::newRow("spaces around") << "  www.example.com/  "
                                       << "http://www.example.com/";
        QTest::newRow("file") << "file:///etc/passwd"
                              << "";
        QTest::newRow("file with http in the query") << "file:///etc/passwd?http://"
                                                     << "";
        QTest::newRow("ftp") << "ftp://ftp.example.com/x"
                             << "";
        QTest::newRow("javascript") << "javascript:alert(1)"
                                    << "";
        QTest::newRow("no host") << "/new.htm"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void onlyHttpAndHttpsAreFetched()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QUrl url = DownloadText::fetchableUrl(text);
        if (expected.isEmpty())
            QVERIFY2(!url.isValid(), qPrintable(url.toString()));
        else
            QCOMPARE(url.toString(), expected);
    }

    void refusedUrlsGiveEmptyTextWithoutARequest_data()
    {
        QTest::addColumn<QString>("pattern"); // %1: the server's port
        QTest::newRow("file") << "file:///etc/passwd";
        QTest::newRow("file with http in the query") << "file:///etc/passwd?http://";
        QTest::newRow("ftp to the server") << "ftp://127.0.0.1:%1/page.htm";
        QTest::newRow("gopher to the server") << "gopher://127.0.0.1:%1/page.htm";
        QTest::newRow("redirect page without host") << "/page.htm";
    }
    void refusedUrlsGiveEmptyTextWithoutARequest()
    {
        QFETCH(QString, pattern);
        test::TestWebServer server;
        server.setPage(kAny, QStringLiteral("/page.htm"), "served");
        NetworkContext network;
        network.setRoute(server.route());
        DownloadText download(network);
        const QString url = pattern.contains(QLatin1String("%1")) ? pattern.arg(server.port())
                                                                  : pattern;
        QSignalSpy spy(&download, &DownloadText::finished);
        download.start(url);
        QVERIFY(download.isRunning());
        QCOMPARE(spy.size(), 0);
        QVERIFY(spy.wait(5000));
        const DownloadResult result = spy.first().first().value<DownloadResult>();
        QVERIFY(!result.ok());
        QVERIFY(result.text.isEmpty());
        QVERIFY(result.body.isEmpty());
        QCOMPARE(result.url, url);
        QCOMPARE(server.connectionCount(), 0);
        QVERIFY(!download.isRunning());
    }

    void redirectToAnotherSchemeIsNotFollowed_data()
    {
        QTest::addColumn<QString>("location");
        QTest::newRow("file") << "file:///etc/passwd";
        QTest::newRow("ftp") << "ftp://127.0.0.1/x";
    }
    void redirectToAnotherSchemeIsNotFollowed()
    {
        QFETCH(QString, location);
        test::TestWebServer server;
        server.setRaw(kAny, QStringLiteral("/old.htm"), redirectTo(location));
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/old.htm")));
        QVERIFY(!result.ok());
        QVERIFY(result.text.isEmpty());
    }

    void failuresGiveEmptyText_data()
    {
        QTest::addColumn<QByteArray>("answer"); // null: nobody listens
        QTest::newRow("connection refused") << QByteArray();
        QTest::newRow("closed before the body ends")
            << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nonly this");
        QTest::newRow("closed without an answer") << QByteArray("");
        QTest::newRow("not http") << QByteArray("SSH-2.0-OpenSSH\r\n\r\n");
    }
    void failuresGiveEmptyText()
    {
        QFETCH(QByteArray, answer);
        test::TestWebServer server;
        QString url = server.url(QStringLiteral("/x.htm"));
        if (answer.isNull()) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
            url = QStringLiteral("http://127.0.0.1:%1/x.htm").arg(closed.serverPort());
        } else {
            server.setRaw(kAny, QStringLiteral("/x.htm"), answer);
        }
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, url);
        QVERIFY(!result.ok());
        QVERIFY(result.text.isEmpty());
        QVERIFY(result.body.isEmpty());
    }

    void stalledTransferIsDropped()
    {
        test::TestWebServer server;
        server.setSilent(kAny, QStringLiteral("/slow.htm"));
        NetworkContext network;
        DownloadText download(network);
        download.setIdleTimeout(200);
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/slow.htm")));
        QVERIFY(!result.ok());
        QVERIFY(result.text.isEmpty());
        QCOMPARE(server.requests().size(), 1);
    }

    // A transfer that trickles in, never silent for the idle timeout, fails like a silent one
    // after five times that timeout.
    void drippingTransferEndsAsTimeoutAtTheDeadline()
    {
        test::TestWebServer server;
        test::TestWebServer::Reply drip;
        drip.chunks = {"HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n"};
        for (int k = 0; k < 400; ++k)
            drip.chunks.append("x");
        drip.chunkIntervalMs = 25; // 10 s in all
        server.setReply(kAny, QStringLiteral("/drip.htm"), drip);
        NetworkContext network;
        DownloadText download(network);
        download.setIdleTimeout(200);
        QElapsedTimer clock;
        clock.start();
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/drip.htm")));
        QCOMPARE(result.error, QStringLiteral("Timeout"));
        QVERIFY(result.text.isEmpty());
        // Five times 200 ms, with room for a slow machine; the drip itself takes ten seconds.
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    void silentTransferEndsAsTimeout()
    {
        test::TestWebServer server;
        server.setSilent(kAny, QStringLiteral("/slow.htm"));
        NetworkContext network;
        DownloadText download(network);
        download.setIdleTimeout(200);
        QCOMPARE(fetch(download, server.url(QStringLiteral("/slow.htm"))).error,
                 QStringLiteral("Timeout"));
    }

    // A URL named by another host's page is asked for only where a redirect from there may lead.
    void targetNamedByAPublicHostMustBePublic_data()
    {
        QTest::addColumn<QString>("origin");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("public origin") << "public.example" << false;
        QTest::newRow("origin that cannot be resolved counts as public")
            << "nowhere.invalid" << false;
        QTest::newRow("private origin") << "intranet.example" << true;
        QTest::newRow("loopback origin") << "127.0.0.1" << true;
    }
    void targetNamedByAPublicHostMustBePublic()
    {
        QFETCH(QString, origin);
        QFETCH(bool, allowed);
        test::TestWebServer server;
        server.setPage(kAny, QStringLiteral("/admin"), "inside");
        NetworkContext network;
        network.poseHost(QStringLiteral("public.example"),
                         QHostAddress(QStringLiteral("192.0.2.1")));
        network.poseHost(QStringLiteral("intranet.example"),
                         QHostAddress(QStringLiteral("192.168.4.4")));
        DownloadText download(network);
        QSignalSpy spy(&download, &DownloadText::finished);
        download.start(server.url(QStringLiteral("/admin")), origin);
        QVERIFY(download.isRunning());
        QVERIFY(spy.wait(10000));
        const DownloadResult result = spy.first().first().value<DownloadResult>();
        if (allowed) {
            QCOMPARE(result.text, QStringLiteral("inside"));
        } else {
            QCOMPARE(result.error, DownloadText::kRefusedRedirect);
            QCOMPARE(result.refusedUrl, server.url(QStringLiteral("/admin")));
            QCOMPARE(server.connectionCount(), 0);
        }
    }

    // The download connects to the address it checked, never to what a second lookup of the
    // name would give: a posed name (which no resolver knows) is reached at its posed address,
    // under its own name; a name with a public and a loopback address, asked for by a public
    // origin, never reaches the loopback service.
    void connectsToTheCheckedAddress_data()
    {
        QTest::addColumn<QList<QHostAddress>>("addresses");
        QTest::addColumn<QString>("origin");
        QTest::addColumn<bool>("reached");
        const QHostAddress loopback(QStringLiteral("127.0.0.1"));
        const QHostAddress testNet(QStringLiteral("192.0.2.1"));
        QTest::newRow("a private name, a private origin")
            << QList<QHostAddress>{loopback} << QString() << true;
        QTest::newRow("public and loopback, a public origin")
            << QList<QHostAddress>{loopback, testNet} << QStringLiteral("public.example") << false;
        QTest::newRow("public and loopback, the name itself")
            << QList<QHostAddress>{loopback, testNet} << QString() << false;
    }
    void connectsToTheCheckedAddress()
    {
        QFETCH(QList<QHostAddress>, addresses);
        QFETCH(QString, origin);
        QFETCH(bool, reached);
        test::TestWebServer server;
        server.setPage(QStringLiteral("named.example"), QStringLiteral("/page"), "named");
        NetworkContext network;
        network.poseHost(QStringLiteral("public.example"),
                         QHostAddress(QStringLiteral("192.0.2.9")));
        network.poseHost(QStringLiteral("named.example"), addresses);
        DownloadText download(network);
        download.setIdleTimeout(300);
        QSignalSpy spy(&download, &DownloadText::finished);
        const QString url = QStringLiteral("http://named.example:%1/page").arg(server.port());
        download.start(url, origin);
        QVERIFY(spy.wait(10000));
        const DownloadResult result = spy.first().first().value<DownloadResult>();
        if (reached) {
            QCOMPARE(result.text, QStringLiteral("named"));
            QCOMPARE(server.requests().value(0).hostHeader,
                     QByteArray("named.example:") + QByteArray::number(server.port()));
        } else {
            QVERIFY(!result.ok());
            QCOMPARE(server.connectionCount(), 0);
        }
    }

    void addressClasses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("isPrivate");
        for (const char* a :
             {"127.0.0.1", "127.8.9.10", "::1", "10.0.0.1", "10.255.255.255", "172.16.0.1",
              "172.31.255.254", "192.168.0.1", "169.254.169.254", "fe80::1", "fc00::1",
              "fdff:ffff::1", "0.0.0.0", "::", "0.1.2.3", "::ffff:127.0.0.1", "::ffff:10.1.1.1"})
            QTest::newRow(a) << QString::fromLatin1(a) << true;
        for (const char* a : {"8.8.8.8", "172.15.255.255", "172.32.0.0", "192.169.0.1", "11.0.0.1",
                              "203.0.113.7", "2001:db8::1", "2606:4700::1", "::ffff:93.184.216.34"})
            QTest::newRow(a) << QString::fromLatin1(a) << false;
    }
    void addressClasses()
    {
        QFETCH(QString, address);
        QFETCH(bool, isPrivate);
        QCOMPARE(NetworkContext::isPrivateAddress(QHostAddress(address)), isPrivate);
    }

    void userAgentNamesTheProgram_data()
    {
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("website");
        QTest::addColumn<QByteArray>("agent");
        QTest::newRow("plain") << "Corvane"
                               << "0.1.0"
                               << "www.corvane.example"
                               << QByteArray("Corvane/0.1.0 (+http://www.corvane.example)");
        QTest::newRow("website with scheme")
            << "Corvane"
            << "1.2"
            << "https://corvane.example/bot"
            << QByteArray("Corvane/1.2 (+https://corvane.example/bot)");
        QTest::newRow("blanks and line breaks cannot break the header")
            << "Acme Link Watch"
            << "2.0\r\nX-Evil: 1"
            << "acme.example\n"
            << QByteArray("Acme-Link-Watch/2.0X-Evil:-1 (+http://acme.example)");
        QTest::newRow("no website") << "Corvane"
                                    << "0.1.0"
                                    << "" << QByteArray("Corvane/0.1.0");
    }
    void userAgentNamesTheProgram()
    {
        QFETCH(QString, product);
        QFETCH(QString, version);
        QFETCH(QString, website);
        QFETCH(QByteArray, agent);
        QCOMPARE(NetworkContext::userAgentFor(product, version, website), agent);
    }

    void requestAsksForAFreshCopyWithTheProgramsName()
    {
        test::TestWebServer server;
        server.setPage(kAny, QStringLiteral("/p.htm"), "first", "200 OK",
                       {"Cache-Control: max-age=3600",
                        "Last-Modified: Mon, 01 Jan 2024 00:00:00 GMT", "ETag: \"abc\""});
        NetworkContext network;
        network.setUserAgent("Corvane/9.8 (+http://www.corvane.example)");
        DownloadText download(network);
        QCOMPARE(fetch(download, server.url(QStringLiteral("/p.htm"))).text,
                 QStringLiteral("first"));
        server.setPage(kAny, QStringLiteral("/p.htm"), "second");
        QCOMPARE(fetch(download, server.url(QStringLiteral("/p.htm"))).text,
                 QStringLiteral("second"));

        QCOMPARE(server.requests().size(), 2);
        for (const test::TestWebServer::Request& request : server.requests()) {
            QCOMPARE(request.method, QByteArray("GET"));
            QCOMPARE(header(request, "user-agent"),
                     QByteArray("Corvane/9.8 (+http://www.corvane.example)"));
            QCOMPARE(header(request, "pragma"), QByteArray("no-cache"));
            QCOMPARE(header(request, "cache-control"), QByteArray("no-cache"));
            QVERIFY(header(request, "if-none-match").isEmpty());
            QVERIFY(header(request, "if-modified-since").isEmpty());
        }
    }

    void routeReachesTheServerUnderAnyHostName()
    {
        test::TestWebServer server;
        server.setPage(QStringLiteral("www.partner-site.test"), QStringLiteral("/links.htm"),
                       "partner links");
        server.setPage(kAny, QStringLiteral("/links.htm"), "any host");
        NetworkContext network;
        network.setRoute(server.route());
        DownloadText download(network);
        const DownloadResult result
            = fetch(download, QStringLiteral("www.partner-site.test/links.htm"));
        QCOMPARE(result.text, QStringLiteral("partner links"));
        QCOMPARE(server.requests().size(), 1);
        const test::TestWebServer::Request& request = server.requests().first();
        QCOMPARE(request.requestLine,
                 QByteArray("GET http://www.partner-site.test/links.htm HTTP/1.1"));
        QCOMPARE(request.hostHeader, QByteArray("www.partner-site.test"));

        // Clearing the route goes straight to the server again.
        network.setRoute({});
        QCOMPARE(fetch(download, server.url(QStringLiteral("/links.htm"))).text,
                 QStringLiteral("any host"));
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(1).target, QByteArray("/links.htm"));
    }

    void endlessBodyIsCutAtTheCap()
    {
        test::TestWebServer server;
        server.setEndless(kAny, QStringLiteral("/endless.htm"));
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/endless.htm")));
        QVERIFY(result.ok());
        QVERIFY(result.truncated);
        QCOMPARE(result.body.size(), DownloadText::kBodyCap);
        QCOMPARE(result.text.size(), DownloadText::kBodyCap);
        QVERIFY(result.body.startsWith("<p>filler text that never ends</p>"));
        QVERIFY(!download.isRunning());
        // The rest is not read: the server stops soon after the cap.
        QTRY_VERIFY(server.connectionCount() == 1 && server.findChildren<QTcpSocket*>().isEmpty());
        QVERIFY(server.fillerSent() < 2 * DownloadText::kBodyCap);
    }

    void bodyOfExactlyTheCapIsWhole()
    {
        test::TestWebServer server;
        server.setPage(kAny, QStringLiteral("/full.htm"), QByteArray(DownloadText::kBodyCap, 'b'));
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url(QStringLiteral("/full.htm")));
        QVERIFY(result.ok());
        QVERIFY(!result.truncated);
        QCOMPARE(result.body.size(), DownloadText::kBodyCap);
    }

    void httpsIsFetched()
    {
        TlsServer server;
        server.setAnswer("/secure.htm", test::TestWebServer::response("200 OK", "secure page"));
        NetworkContext network;
        network.setIgnoreSslErrors(true);
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url("/secure.htm"));
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.text, QStringLiteral("secure page"));
    }

    void untrustedCertificateIsAFailure()
    {
        TlsServer server;
        server.setAnswer("/secure.htm", test::TestWebServer::response("200 OK", "secure page"));
        NetworkContext network;
        DownloadText download(network);
        const DownloadResult result = fetch(download, server.url("/secure.htm"));
        QVERIFY(!result.ok());
        QVERIFY(result.text.isEmpty());
    }

    void redirectsBetweenHttpAndHttps()
    {
        test::TestWebServer plain;
        TlsServer secure;
        plain.setRaw(kAny, QStringLiteral("/up.htm"), redirectTo(secure.url("/page.htm")));
        plain.setPage(kAny, QStringLiteral("/page.htm"), "plain page");
        secure.setAnswer("/down.htm", redirectTo(plain.url(QStringLiteral("/page.htm"))));
        secure.setAnswer("/page.htm", test::TestWebServer::response("200 OK", "secure page"));
        NetworkContext network;
        network.setIgnoreSslErrors(true);
        DownloadText download(network);

        QCOMPARE(fetch(download, plain.url(QStringLiteral("/up.htm"))).text,
                 QStringLiteral("secure page"));
        QCOMPARE(secure.requestCount(), 1);

        // Stepping down from https to http is not followed.
        const DownloadResult down = fetch(download, secure.url("/down.htm"));
        QVERIFY(!down.ok());
        QVERIFY(down.text.isEmpty());
        QCOMPARE(plain.requests().size(), 1);
    }

    void startCancelsThePreviousDownload()
    {
        test::TestWebServer server;
        server.setSilent(kAny, QStringLiteral("/slow.htm"));
        server.setPage(kAny, QStringLiteral("/fast.htm"), "fast");
        NetworkContext network;
        DownloadText download(network);
        QSignalSpy spy(&download, &DownloadText::finished);
        QSignalSpy closed(&server, &test::TestWebServer::connectionClosed);
        download.start(server.url(QStringLiteral("/slow.htm")));
        download.start(QStringLiteral("file:///etc/passwd"));
        download.start(server.url(QStringLiteral("/fast.htm")));
        QVERIFY(spy.wait(5000));
        // Every connection is closed (the cancelled download's too, when it got that far), and
        // whatever was queued is through.
        QTRY_COMPARE(closed.size(), server.connectionCount());
        QCoreApplication::processEvents();
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.first().first().value<DownloadResult>().text, QStringLiteral("fast"));
    }

    void abortEmitsNothing()
    {
        test::TestWebServer server;
        server.setSilent(kAny, QStringLiteral("/slow.htm"));
        NetworkContext network;
        DownloadText download(network);
        QSignalSpy spy(&download, &DownloadText::finished);
        QSignalSpy closed(&server, &test::TestWebServer::connectionClosed);
        download.start(server.url(QStringLiteral("/slow.htm")));
        QTRY_COMPARE(server.requests().size(), 1);
        download.abort();
        QVERIFY(!download.isRunning());
        download.start(QStringLiteral("ftp://x/"));
        download.abort();
        QTRY_COMPARE(closed.size(), 1);
        QCoreApplication::processEvents();
        QCOMPARE(spy.size(), 0);
    }
};

CORVANE_TEST_CLASS(DownloadTextTest);
#include "DownloadTextTest.moc"
