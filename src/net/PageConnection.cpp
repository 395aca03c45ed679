#include "net/PageFetcher.h"

// The page fetcher's connection side: the host's addresses looked up once and checked, the
// connection made to a checked address (through the proxy, over TLS, or a kept one reused), and
// the failures a connection can end in.

#include "model/Project.h"
#include "net/NetworkContext.h"
#include "web/UrlTools.h"

#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>

namespace corvane {

namespace {

constexpr quint16 kHttpPort = 80;
constexpr quint16 kHttpsPort = 443;
const QString kRefusedPrivate = QStringLiteral("Refused: private address");

} // namespace

void PageFetcher::setSiteHost(const QString& host)
{
    m_siteHost = host.toLower();
    m_siteLocal.reset();
}

QString PageFetcher::connectionKey(int slot) const
{
    const Slot& s = m_slots.at(std::size_t(slot));
    return (isTlsHost(s.state.strHost) ? QStringLiteral("https ") : QStringLiteral("http "))
        + s.connectHost.toLower();
}

void PageFetcher::connectNow(int slot)
{
    Slot& s = m_slots.at(std::size_t(slot));
    s.state.strResponse.clear();
    s.state.bHeaderDone = false;
    s.state.lContentLength = 0;
    s.state.lBytesReceived = 0;
    s.state.iIdleSeconds = 0;
    s.seconds = 0;
    s.reader = std::make_unique<ResponseReader>(kResponseCap);
    // A name that takes long to resolve is silence like any other: the watchdog runs already.
    watchdog(slot)->start(m_watchdogMs);

    // The pages of a site go over one kept-alive connection to its host.
    if (s.socket && s.connected && s.keptFor == connectionKey(slot)
        && s.socket->state() == QAbstractSocket::ConnectedState) {
        s.reused = true;
        sendRequest(slot, s.socket);
        return;
    }
    dropSocket(s);
    s.reused = false;
    s.connected = false;
    s.keptFor.clear();
    s.addresses.clear();

    const quint64 attempt = ++s.attempt;
    const QString host = s.connectHost.toLower();
    const QString site = m_siteHost.isEmpty() ? host : m_siteHost;
    const auto stillWanted = [this, slot, attempt] {
        return scanRunning() && m_slots.at(std::size_t(slot)).attempt == attempt;
    };
    // The host's addresses are looked up once, checked, and the connection goes to a checked
    // address: a second lookup could answer otherwise.
    const auto withAddresses = [this, slot, host, stillWanted](bool siteLocal) {
        m_network.lookUpHost(
            host, this, [this, slot, siteLocal, stillWanted](const QList<QHostAddress>& addresses) {
                if (stillWanted())
                    connectToChecked(slot, addresses, siteLocal);
            });
    };
    if (m_siteLocal || site == host) {
        if (m_siteLocal) {
            withAddresses(*m_siteLocal);
            return;
        }
        m_network.lookUpHost(
            host, this, [this, slot, site, stillWanted](const QList<QHostAddress>& addresses) {
                if (!stillWanted())
                    return;
                const bool local = NetworkContext::allPrivate(addresses);
                if (!m_siteHost.isEmpty() && site == m_siteHost && !addresses.isEmpty())
                    m_siteLocal = local;
                connectToChecked(slot, addresses, local);
            });
        return;
    }
    m_network.lookUpHost(
        site, this,
        [this, site, stillWanted, withAddresses](const QList<QHostAddress>& siteAddresses) {
            if (!stillWanted())
                return;
            // A Linking Site whose name cannot be resolved counts as public.
            const bool local = NetworkContext::allPrivate(siteAddresses);
            if (!siteAddresses.isEmpty())
                m_siteLocal = local;
            withAddresses(local);
        });
}

void PageFetcher::connectToChecked(int slot, const QList<QHostAddress>& addresses, bool siteLocal)
{
    Slot& s = m_slots.at(std::size_t(slot));
    const bool proxied = m_network.proxyFor(s.connectHost, isTlsHost(s.state.strHost)).type()
        != QNetworkProxy::NoProxy;
    if (addresses.isEmpty() && proxied) {
        // Behind a proxy the name may be known to the proxy alone.
        openConnection(slot, QHostAddress());
        return;
    }
    if (addresses.isEmpty()) {
        if (s.watchdog)
            s.watchdog->stop();
        Q_EMIT connectionFailed(slot, QStringLiteral("Host not found"), QString());
        return;
    }
    // A public Linking Site leads nowhere inside: none of its pages, whatever their names
    // resolve to, is fetched from a private address.
    for (const QHostAddress& address : addresses) {
        if (siteLocal || !NetworkContext::isPrivateAddress(address))
            s.addresses.append(address);
    }
    if (s.addresses.isEmpty()) {
        if (s.watchdog)
            s.watchdog->stop();
        Q_EMIT pageRefused(slot, kRefusedPrivate);
        return;
    }
    openConnection(slot, s.addresses.takeFirst());
}

void PageFetcher::openConnection(int slot, const QHostAddress& address)
{
    Slot& s = m_slots.at(std::size_t(slot));
    const QString connectHost = s.connectHost;
    const bool tls = isTlsHost(s.state.strHost);
    const QNetworkProxy proxy = m_network.proxyFor(connectHost, tls);
    const QString sessionHost = UrlTools::HostKey(connectHost);
    QTcpSocket* socket = nullptr;
    if (tls) {
        auto* ssl = new QSslSocket(this);
        QSslConfiguration config = ssl->sslConfiguration();
        if (!m_network.extraTrustedCertificates().isEmpty())
            config.addCaCertificates(m_network.extraTrustedCertificates());
        // A new connection to a host resumes its last TLS session: one round trip less.
        config.setSslOption(QSsl::SslOptionDisableSessionPersistence, false);
        if (const QByteArray ticket = m_network.tlsSession(sessionHost); !ticket.isEmpty())
            config.setSessionTicket(ticket);
        ssl->setSslConfiguration(config);
        connect(ssl, &QSslSocket::newSessionTicketReceived, this, [this, ssl, sessionHost] {
            m_network.keepTlsSession(sessionHost, ssl->sslConfiguration().sessionTicket());
        });
        connect(ssl, &QSslSocket::encrypted, this, [this, slot, ssl, sessionHost] {
            m_network.keepTlsSession(sessionHost, ssl->sslConfiguration().sessionTicket());
            onConnected(slot, ssl);
        });
        connect(ssl, &QSslSocket::sslErrors, this,
                [this, slot, ssl](const QList<QSslError>& errors) {
                    onTlsFailed(slot, ssl, QStringLiteral("Certificate error"),
                                errors.isEmpty() ? QString() : errors.first().errorString());
                });
        connect(ssl, &QAbstractSocket::errorOccurred, this,
                [this, slot, ssl](QAbstractSocket::SocketError error) {
                    if (error == QAbstractSocket::SslHandshakeFailedError
                        || error == QAbstractSocket::SslInternalError
                        || error == QAbstractSocket::SslInvalidUserDataError)
                        onTlsFailed(slot, ssl, QStringLiteral("TLS error"), ssl->errorString());
                });
        socket = ssl;
    } else {
        socket = new QTcpSocket(this);
        connect(socket, &QTcpSocket::connected, this,
                [this, slot, socket] { onConnected(slot, socket); });
    }
    // The proxy was chosen above; saying so also spares the socket asking the system for it.
    // Plain http goes to an HTTP proxy as a request for the whole URL, on a connection of its own.
    s.viaProxy = !tls && proxy.type() == QNetworkProxy::HttpProxy;
    socket->setProxy(s.viaProxy ? QNetworkProxy(QNetworkProxy::NoProxy) : proxy);
    s.socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, [this, slot, socket] { onData(slot, socket); });
    connect(socket, &QTcpSocket::disconnected, this,
            [this, slot, socket] { onClosed(slot, socket); });
    // A connection the system refuses at once ends the Linking Site at once (once no other
    // address of the host is left to try); one that gets no answer is left to the watchdog.
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, slot, socket](QAbstractSocket::SocketError error) {
                onSocketError(slot, socket, int(error));
            });

    if (tls) {
        // The server's name is sent and its certificate checked against it, wherever the
        // connection goes; an address given as text is not looked up again. Through a proxy the
        // tunnel is asked for by name.
        auto* ssl = static_cast<QSslSocket*>(socket);
        const NetworkRoute& route = m_network.tlsRoute();
        if (route.isSet())
            ssl->connectToHostEncrypted(route.host, route.port, connectHost);
        else if (address.isNull() || proxy.type() != QNetworkProxy::NoProxy)
            ssl->connectToHostEncrypted(connectHost, kHttpsPort, connectHost);
        else
            ssl->connectToHostEncrypted(address.toString(), kHttpsPort, connectHost);
        return;
    }
    const NetworkRoute& route = m_network.route();
    if (route.isSet())
        socket->connectToHost(route.host, route.port);
    else if (s.viaProxy)
        socket->connectToHost(proxy.hostName(), proxy.port());
    else if (address.isNull() || proxy.type() != QNetworkProxy::NoProxy)
        socket->connectToHost(connectHost, kHttpPort);
    else
        socket->connectToHost(address, kHttpPort);
}

void PageFetcher::onSocketError(int slot, QTcpSocket* socket, int error)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (s.socket != socket || !scanRunning() || s.connected)
        return;
    // The proxy's failure is not the partner's, and another address of the host would go
    // through the same proxy.
    if (const QString proxy = NetworkContext::proxyFailure(
            QAbstractSocket::SocketError(error), socket->errorString(),
            socket->proxy().type() != QNetworkProxy::NoProxy, s.viaProxy);
        !proxy.isEmpty()) {
        if (s.watchdog)
            s.watchdog->stop();
        dropSocket(s);
        s.addresses.clear();
        Q_EMIT connectionFailed(slot, proxy, QString());
        return;
    }
    QString reason;
    switch (QAbstractSocket::SocketError(error)) {
    case QAbstractSocket::ConnectionRefusedError:
        reason = QStringLiteral("Connection refused");
        break;
    case QAbstractSocket::HostNotFoundError:
        reason = QStringLiteral("Host not found");
        break;
    case QAbstractSocket::NetworkError:
        // The system says so at once for a network or host it has no route to; a connection
        // that timed out is silence, which the watchdog has the say over.
        if (socket->errorString().contains(QStringLiteral("unreachable"), Qt::CaseInsensitive))
            reason = QStringLiteral("Network unreachable");
        break;
    default:
        break;
    }
    if (reason.isEmpty())
        return;
    dropSocket(s);
    if (!s.addresses.isEmpty()) {
        openConnection(slot, s.addresses.takeFirst());
        return;
    }
    if (s.watchdog)
        s.watchdog->stop();
    Q_EMIT connectionFailed(slot, reason, QString());
}

bool PageFetcher::isTlsHost(const QString& host) const
{
    return !m_tlsHosts.isEmpty() && m_tlsHosts.contains(UrlTools::HostKey(host));
}

void PageFetcher::onTlsFailed(int slot, QTcpSocket* socket, const QString& reason,
                              const QString& detail)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (s.socket != socket || !scanRunning())
        return;
    if (s.watchdog)
        s.watchdog->stop();
    dropSocket(s);
    Q_EMIT connectionFailed(slot, reason, detail);
}

} // namespace corvane
