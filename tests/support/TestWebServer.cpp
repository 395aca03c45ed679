#include "support/TestWebServer.h"

#include <QPointer>
#include <QSslServer>
#include <QTcpSocket>
#include <QTimer>

namespace corvane::test {

namespace {

constexpr qint64 kFillerPiece = 64 * 1024;
constexpr qint64 kFillerBacklog = 256 * 1024;

QByteArray fillerPiece()
{
    static const QByteArray piece = [] {
        QByteArray p;
        while (p.size() < kFillerPiece)
            p += "<p>filler text that never ends</p>\r\n";
        p.truncate(kFillerPiece);
        return p;
    }();
    return piece;
}

} // namespace

TestWebServer::TestWebServer(QObject* parent)
    : TestWebServer(std::make_unique<QTcpServer>(), parent)
{
}

TestWebServer::TestWebServer(const QSslConfiguration& tls, QObject* parent)
    : TestWebServer(
        [&tls] {
            auto server = std::make_unique<QSslServer>();
            server->setSslConfiguration(tls);
            return server;
        }(),
        parent)
{
}

TestWebServer::TestWebServer(std::unique_ptr<QTcpServer> server, QObject* parent)
    : QObject(parent), m_server(std::move(server))
{
    m_fallback.response = response("404 Not Found", "<html><body>Not here</body></html>");
    connect(m_server.get(), &QTcpServer::newConnection, this, &TestWebServer::onNewConnection);
    // A TLS connection is handed over once its handshake is done.
    connect(m_server.get(), &QTcpServer::pendingConnectionAvailable, this,
            &TestWebServer::onNewConnection);
    m_server->listen(QHostAddress(QHostAddress::LocalHost), 0);
}

TestWebServer::~TestWebServer()
{
    m_server->close();
    const QList<QTcpSocket*> sockets = findChildren<QTcpSocket*>();
    for (QTcpSocket* socket : sockets) {
        disconnect(socket, nullptr, this, nullptr);
        socket->abort();
    }
}

QString TestWebServer::url(const QString& path) const
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path);
}

QString TestWebServer::key(const QString& host, const QString& path)
{
    return host.toLower() + u'\n' + path;
}

QByteArray TestWebServer::response(const QByteArray& status, const QByteArray& body,
                                   const QList<QByteArray>& headers)
{
    QByteArray r = "HTTP/1.1 " + status + "\r\n";
    r += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    r += "Connection: close\r\n";
    for (const QByteArray& h : headers)
        r += h + "\r\n";
    r += "\r\n";
    r += body;
    return r;
}

void TestWebServer::setReply(const QString& host, const QString& path, const Reply& reply)
{
    m_replies.insert(key(host, path), reply);
}

void TestWebServer::setPage(const QString& host, const QString& path, const QByteArray& body,
                            const QByteArray& status, const QList<QByteArray>& headers)
{
    Reply r;
    r.response = response(status, body, headers);
    setReply(host, path, r);
}

void TestWebServer::setRaw(const QString& host, const QString& path, const QByteArray& raw)
{
    Reply r;
    r.response = raw;
    setReply(host, path, r);
}

void TestWebServer::setSilent(const QString& host, const QString& path)
{
    Reply r;
    r.silent = true;
    setReply(host, path, r);
}

void TestWebServer::setEndless(const QString& host, const QString& path)
{
    Reply r;
    r.response = "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n\r\n";
    r.endless = true;
    setReply(host, path, r);
}

void TestWebServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        ++m_connections;
        socket->setParent(this);
        m_buffers.insert(socket, {});
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            answered(socket);
            m_buffers.remove(socket);
            m_served.remove(socket);
            socket->deleteLater();
            Q_EMIT connectionClosed();
        });
    }
}

TestWebServer::Request TestWebServer::parse(const QByteArray& head)
{
    Request r;
    r.raw = head;
    const qsizetype lineEnd = head.indexOf("\r\n");
    r.requestLine = lineEnd >= 0 ? head.left(lineEnd) : head;
    const QList<QByteArray> parts = r.requestLine.split(' ');
    r.method = parts.value(0);
    r.target = parts.value(1);

    const QList<QByteArray> lines = head.split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        if (line.toLower().startsWith("host:"))
            r.hostHeader = line.mid(5).trimmed();
    }

    QByteArray host = r.hostHeader;
    QByteArray path = r.target;
    const QByteArray lowerTarget = r.target.toLower();
    for (const QByteArray& scheme : {QByteArray("http://"), QByteArray("https://")}) {
        if (lowerTarget.startsWith(scheme)) {
            const QByteArray rest = r.target.mid(scheme.size());
            const qsizetype slash = rest.indexOf('/');
            host = slash >= 0 ? rest.left(slash) : rest;
            path = slash >= 0 ? rest.mid(slash) : QByteArray("/");
            break;
        }
    }
    const qsizetype colon = host.lastIndexOf(':');
    if (colon >= 0 && !host.contains(']'))
        host.truncate(colon);
    r.host = QString::fromLatin1(host);
    r.path = path.isEmpty() ? QByteArray("/") : path;
    return r;
}

void TestWebServer::onReadyRead(QTcpSocket* socket)
{
    auto it = m_buffers.find(socket);
    if (it == m_buffers.end())
        return;
    it.value() += socket->readAll();
    const qsizetype end = it.value().indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const Request request = parse(it.value().left(end + 4));
    // One request at a time: anything after the head is not looked at (with keep-alive, it waits
    // for the answer to this one).
    const QByteArray after = it.value().mid(end + 4);
    m_buffers.erase(it);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);
    if (request.method == "CONNECT" && m_tunnelPort != 0) {
        m_requests.append(request);
        Q_EMIT requestReceived(request);
        tunnel(socket, after);
        return;
    }
    if (m_keepAlive && m_dropAfter > 0 && m_served.value(socket) >= m_dropAfter) {
        ++m_dropped;
        socket->disconnectFromHost();
        return;
    }
    if (m_keepAlive) {
        ++m_served[socket];
        m_buffers.insert(socket, after);
    }
    m_requests.append(request);
    const QString host = request.host.toLower();
    m_hostOf.insert(socket, host);
    const int atOnce = ++m_atOnce[host];
    if (atOnce > m_mostAtOnce) {
        m_mostAtOnce = atOnce;
        m_busiestHost = host;
    }
    Q_EMIT requestReceived(request);

    const QString path = QString::fromLatin1(request.path);
    auto reply = m_replies.constFind(key(request.host, path));
    if (reply == m_replies.cend())
        reply = m_replies.constFind(key(kAnyHost, path));
    answer(socket, reply != m_replies.cend() ? *reply : m_fallback);
}

void TestWebServer::answer(QTcpSocket* socket, const Reply& reply)
{
    if (reply.silent)
        return;
    QPointer<QTcpSocket> guard(socket);
    auto send = [this, guard, reply] {
        if (!guard)
            return;
        if (reply.endless) {
            guard->write(reply.response);
            connect(guard.data(), &QTcpSocket::bytesWritten, this,
                    [this, s = guard.data()] { feedFiller(s); });
            feedFiller(guard.data());
            return;
        }
        if (!reply.chunks.isEmpty()) {
            sendChunk(guard.data(), reply.chunks, reply.chunkIntervalMs, reply.keepOpen);
            return;
        }
        if (m_keepAlive && !reply.keepOpen) {
            QByteArray kept = reply.response;
            const qsizetype headEnd = kept.indexOf("\r\n\r\n");
            const qsizetype close = kept.indexOf("Connection: close\r\n");
            if (close >= 0 && close < headEnd)
                kept.remove(close, 19);
            guard->write(kept);
            answered(guard.data());
            awaitNext(guard.data());
            return;
        }
        guard->write(reply.response);
        if (!reply.keepOpen) {
            answered(guard.data());
            guard->disconnectFromHost();
        }
    };
    if (reply.delayMs > 0)
        QTimer::singleShot(reply.delayMs, this, send);
    else
        send();
}

void TestWebServer::sendChunk(QTcpSocket* socket, QList<QByteArray> chunks, int interval,
                              bool keepOpen)
{
    socket->write(chunks.takeFirst());
    socket->flush();
    if (chunks.isEmpty()) {
        if (!keepOpen) {
            answered(socket);
            socket->disconnectFromHost();
        }
        Q_EMIT chunksEnded();
        return;
    }
    QPointer<QTcpSocket> guard(socket);
    QTimer::singleShot(interval, this, [this, guard, chunks, interval, keepOpen] {
        if (guard && guard->state() == QAbstractSocket::ConnectedState)
            sendChunk(guard.data(), chunks, interval, keepOpen);
        else
            Q_EMIT chunksEnded();
    });
}

void TestWebServer::tunnel(QTcpSocket* socket, const QByteArray& early)
{
    auto* far = new QTcpSocket(socket);
    QPointer<QTcpSocket> client(socket);
    connect(far, &QTcpSocket::connected, this, [client, far, early] {
        if (!client)
            return;
        client->write("HTTP/1.1 200 Connection established\r\n\r\n");
        if (!early.isEmpty())
            far->write(early);
    });
    connect(far, &QTcpSocket::readyRead, this, [client, far] {
        if (client)
            client->write(far->readAll());
    });
    connect(socket, &QTcpSocket::readyRead, this, [client, far] {
        if (client)
            far->write(client->readAll());
    });
    connect(far, &QTcpSocket::disconnected, this, [client] {
        if (client)
            client->disconnectFromHost();
    });
    far->connectToHost(QHostAddress(QHostAddress::LocalHost), m_tunnelPort);
}

void TestWebServer::awaitNext(QTcpSocket* socket)
{
    if (!m_buffers.contains(socket))
        m_buffers.insert(socket, {});
    connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
    if (!m_buffers.value(socket).isEmpty() || socket->bytesAvailable() > 0)
        onReadyRead(socket);
}

void TestWebServer::answered(QTcpSocket* socket)
{
    const auto it = m_hostOf.find(socket);
    if (it == m_hostOf.end())
        return;
    --m_atOnce[it.value()];
    m_hostOf.erase(it);
}

void TestWebServer::feedFiller(QTcpSocket* socket)
{
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    while (socket->bytesToWrite() < kFillerBacklog) {
        socket->write(fillerPiece());
        m_fillerSent += kFillerPiece;
    }
}

void TestWebServer::closeAll()
{
    const QList<QTcpSocket*> sockets = findChildren<QTcpSocket*>();
    for (QTcpSocket* socket : sockets)
        socket->abort();
}

} // namespace corvane::test
