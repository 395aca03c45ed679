#pragma once

#include "net/NetworkContext.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QSslConfiguration>
#include <QTcpServer>

#include <memory>

class QTcpSocket;

namespace corvane::test {

// A small web server for network tests, on 127.0.0.1 and an ephemeral port. Pages are kept by
// host and path (virtual hosts), so a test routes the engine here (route()) and serves any host
// name. It answers one request per connection and closes the connection afterwards unless told
// otherwise. Request lines in absolute form ("GET http://host/path HTTP/1.1", as a client talking
// to an HTTP proxy sends them) are served by host and path too, so the server doubles as a proxy.
//
// Every request whose head arrived is recorded, with its raw bytes.
class TestWebServer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TestWebServer)

public:
    // What is sent back for one host and path.
    struct Reply {
        // Bytes sent as they stand: status line, headers, empty line, body.
        QByteArray response;
        // When not empty: sent in these pieces instead of response, chunkIntervalMs apart.
        QList<QByteArray> chunks;
        int chunkIntervalMs = 0;
        // Wait this long after the request before the first byte.
        int delayMs = 0;
        // Read the request, then say nothing and keep the connection open.
        bool silent = false;
        // After everything is sent, keep the connection open instead of closing it.
        bool keepOpen = false;
        // After response, send filler for ever, as fast as the client reads it.
        bool endless = false;
    };

    struct Request {
        QByteArray raw;         // the request head, exactly as received
        QByteArray requestLine; // its first line, without CR LF
        QByteArray method;
        QByteArray target;     // as in the request line
        QString host;          // from an absolute target, else from the Host header; no port
        QByteArray path;       // the target's path and query
        QByteArray hostHeader; // the Host header's value
    };

    // Any host: a page set for this host name answers for every host without a page of its own.
    static inline const QString kAnyHost = QStringLiteral("*");

    explicit TestWebServer(QObject* parent = nullptr);
    // The same server speaking TLS with this configuration (its certificate and key).
    explicit TestWebServer(const QSslConfiguration& tls, QObject* parent = nullptr);
    ~TestWebServer() override;

    quint16 port() const { return m_server->serverPort(); }
    // Sends every connection of the engine here.
    NetworkRoute route() const { return {QStringLiteral("127.0.0.1"), port()}; }
    // "http://127.0.0.1:port" + path.
    QString url(const QString& path) const;

    void setReply(const QString& host, const QString& path, const Reply& reply);
    // A complete response with the status line "HTTP/1.1 " + status, a Content-Length and
    // "Connection: close", then the extra header lines, then body.
    void setPage(const QString& host, const QString& path, const QByteArray& body,
                 const QByteArray& status = "200 OK", const QList<QByteArray>& headers = {});
    void setRaw(const QString& host, const QString& path, const QByteArray& response);
    void setSilent(const QString& host, const QString& path);
    void setEndless(const QString& host, const QString& path);
    // Not found, served for anything without a page.
    void setFallback(const Reply& reply) { m_fallback = reply; }

    static QByteArray response(const QByteArray& status, const QByteArray& body,
                               const QList<QByteArray>& headers = {});

    const QList<Request>& requests() const { return m_requests; }
    // The most connections one host name (letter case ignored) had at once, each counted from
    // its request until its answer was sent or the client went away; and which host that was.
    int mostAtOnce() const { return m_mostAtOnce; }
    const QString& busiestHost() const { return m_busiestHost; }
    int connectionCount() const { return m_connections; }
    // Bytes of filler sent so far by endless replies.
    qint64 fillerSent() const { return m_fillerSent; }
    // Closes every open connection from the server side.
    void closeAll();
    // Keeps connections alive: after a plain reply (one without chunks, delay or keepOpen) the
    // connection stays open for the next request, and "Connection: close" is left out of the
    // reply. With dropAfter > 0, the request after that many on one connection is read and the
    // connection closed without an answer, as a server does with a kept connection it has
    // given up meanwhile; such a request is not recorded (droppedCount()).
    void setKeepAlive(bool on, int dropAfter = 0)
    {
        m_keepAlive = on;
        m_dropAfter = dropAfter;
    }
    int droppedCount() const { return m_dropped; }
    // Answers "CONNECT host:port" as an HTTP proxy does: "200 Connection established", then the
    // connection is a tunnel to 127.0.0.1:port (a TLS server of the test). The CONNECT request is
    // recorded like any other.
    void setTunnelTarget(quint16 port) { m_tunnelPort = port; }

Q_SIGNALS:
    void requestReceived(const corvane::test::TestWebServer::Request& request);
    // A reply sent in chunks is over: its last chunk was sent, or the client went away first.
    void chunksEnded();
    // A connection is closed, by either side.
    void connectionClosed();

private:
    TestWebServer(std::unique_ptr<QTcpServer> server, QObject* parent);
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const Reply& reply);
    void sendChunk(QTcpSocket* socket, QList<QByteArray> chunks, int interval, bool keepOpen);
    void feedFiller(QTcpSocket* socket);
    static Request parse(const QByteArray& head);
    static QString key(const QString& host, const QString& path);
    void answered(QTcpSocket* socket);
    // Keep-alive: the connection waits for its next request.
    void awaitNext(QTcpSocket* socket);
    void tunnel(QTcpSocket* socket, const QByteArray& early);

    std::unique_ptr<QTcpServer> m_server;
    QHash<QString, Reply> m_replies;
    Reply m_fallback;
    QList<Request> m_requests;
    QHash<QTcpSocket*, QByteArray> m_buffers;
    int m_connections = 0;
    qint64 m_fillerSent = 0;
    QHash<QTcpSocket*, QString> m_hostOf;
    QHash<QString, int> m_atOnce;
    int m_mostAtOnce = 0;
    QString m_busiestHost;
    bool m_keepAlive = false;
    int m_dropAfter = 0;
    int m_dropped = 0;
    quint16 m_tunnelPort = 0;
    QHash<QTcpSocket*, int> m_served;
};

} // namespace corvane::test
