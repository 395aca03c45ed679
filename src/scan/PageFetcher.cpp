#include "scan/PageFetcher.h"

#include "model/Project.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "scan/BotChallenge.h"
#include "scan/NetworkContext.h"
#include "scan/PageCharset.h"
#include "scan/ResponseHead.h"
#include "scan/ScanStatistics.h"
#include "scan/UrlTools.h"

#include <QDateTime>
#include <QHash>
#include <QNetworkProxy>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace corvane {

namespace {

const QString kHttps = QStringLiteral("https://");
constexpr quint16 kHttpPort = 80;
constexpr quint16 kHttpsPort = 443;
// What one data event reads at most before it lets other events run.
constexpr qint64 kReadStep = 1024 * 1024;
const QString kRefusedPrivate = QStringLiteral("Refused: private address");

} // namespace

PageFetcher::PageFetcher(Project& project, ScanStatistics& statistics, NetworkContext& network,
                         QObject* parent)
    : QObject(parent), m_project(project), m_statistics(statistics), m_network(network)
{
}

PageFetcher::~PageFetcher()
{
    closeAll();
}

bool PageFetcher::scanRunning() const
{
    return m_project.state().bScanRunning;
}

PageFetcher::Start PageFetcher::FetchPage(int slot)
{
    if (slot < 0 || slot >= kSlotCount || !scanRunning())
        return Start::Abandoned;

    ScanState& st = m_project.state();
    const UrlSplit u = splitUrl(st.strURL);
    st.strURL = u.strURL;
    st.strCurUrl = u.strCurUrl;
    st.strCurDir = u.strCurDir;
    if (!u.ok()) {
        m_lastProblem = u.problem;
        return Start::Failed;
    }

    Slot& s = m_slots.at(std::size_t(slot));
    // A connection kept alive after the last page stays for this one if it goes to the same host
    // (connectNow decides); a request still under way does not.
    if (s.reader)
        dropSocket(s);
    if (s.wait)
        s.wait->stop();
    s.state = FetchSlot{};
    s.state.strHost = u.strHost;
    s.state.strPath = u.strPath;
    s.staleRetried = false;

    Q_EMIT statusChanged(1, QStringLiteral("Downloading: ") + s.state.strHost + s.state.strPath);
    // Whoever shows the status may have stopped the scan in the meantime: then nothing may be
    // left running.
    if (!scanRunning())
        return Start::Abandoned;

    if (u.tls)
        m_tlsHosts.insert(UrlTools::HostKey(u.strHost));
    s.connectHost = u.connectHost;
    s.retries = 0;
    scheduleConnect(slot, 0);
    return Start::Started;
}

void PageFetcher::setHostInterval(int milliseconds)
{
    m_network.pacer().setInterval(milliseconds);
}

void PageFetcher::scheduleConnect(int slot, qint64 notBeforeMs)
{
    Slot& s = m_slots.at(std::size_t(slot));
    const qint64 wait = m_network.pacer().reserve(s.connectHost, notBeforeMs);
    if (wait <= 0) {
        connectNow(slot);
        return;
    }
    if (!s.wait) {
        s.wait = new QTimer(this);
        s.wait->setSingleShot(true);
        // A coarse timer may fire a little early, and the pause is what the partner asked for.
        s.wait->setTimerType(Qt::PreciseTimer);
        connect(s.wait, &QTimer::timeout, this, [this, slot] {
            if (scanRunning())
                connectNow(slot);
        });
    }
    s.wait->start(int(std::min<qint64>(wait, std::numeric_limits<int>::max())));
}

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

bool PageFetcher::followToTls(int slot, const QString& head)
{
    static const QStringList moves = {QStringLiteral("301"), QStringLiteral("302"),
                                      QStringLiteral("307"), QStringLiteral("308")};
    const QStringList lines = head.split(QStringLiteral("\r\n"));
    const QStringList status = lines.value(0).split(u' ', Qt::SkipEmptyParts);
    if (status.size() < 2 || !moves.contains(status.at(1)))
        return false;
    for (const QStringView target : ResponseHead::fieldValues(head, u"Location")) {
        if (!target.startsWith(kHttps, Qt::CaseInsensitive))
            return false;
        QStringView host = target.sliced(kHttps.size());
        for (const QChar end : {u'/', u'?', u'#', u':'}) {
            const qsizetype at = host.indexOf(end);
            if (at >= 0)
                host = host.first(at);
        }
        const Slot& s = m_slots.at(std::size_t(slot));
        if (UrlTools::HostKey(host) != UrlTools::HostKey(s.state.strHost))
            return false;
        m_tlsHosts.insert(UrlTools::HostKey(host));
        // The same page again, over TLS this time.
        if (FetchPage(slot) == Start::Failed)
            Q_EMIT connectionFailed(slot, QStringLiteral("TLS error"), m_lastProblem);
        return true;
    }
    return false;
}

void PageFetcher::onConnected(int slot, QTcpSocket* socket)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (s.socket != socket)
        return;
    s.connected = true;
    s.keptFor = connectionKey(slot);
    sendRequest(slot, socket);
}

void PageFetcher::sendRequest(int slot, QTcpSocket* socket)
{
    Slot& s = m_slots.at(std::size_t(slot));
    m_statistics.CountScanEvent(ScanStatistics::PageRequested);
    Q_EMIT progressChanged(0);
    if (s.socket != socket)
        return;
    const QString target = s.viaProxy ? QStringLiteral("http://") + s.connectHost + s.state.strPath
                                      : s.state.strPath;
    s.request = requestBytes(s.connectHost, target, m_network.userAgent());
    socket->write(s.request);
}

PageFetcher::Slot* PageFetcher::readingSlot(int slot, QTcpSocket* socket)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (s.socket != socket)
        return nullptr;
    if (!s.reader) {
        // Bytes, or the server's close, on a kept connection between two pages: it can carry no
        // more requests.
        dropSocket(s);
        return nullptr;
    }
    return scanRunning() ? &s : nullptr;
}

void PageFetcher::onData(int slot, QTcpSocket* socket)
{
    Slot* const reading = readingSlot(slot, socket);
    if (!reading)
        return;
    Slot& s = *reading;
    FetchSlot& f = s.state;
    f.iIdleSeconds = 0;

    const QByteArray data = socket->read(std::min<qint64>(socket->bytesAvailable(), kReadStep));
    const qint64 room = qint64(kResponseCap) - f.strResponse.size();
    f.strResponse += QByteArrayView(data).first(qsizetype(std::min<qint64>(room, data.size())));
    s.reader->feed(data);
    f.lBytesReceived = f.bHeaderDone ? qint32(std::min<qint64>(s.reader->wireBytes(), kResponseCap))
                                     : qint32(f.strResponse.size());

    Q_EMIT statusChanged(1,
                         QStringLiteral("Downloading: ") + f.strHost + f.strPath
                             + QStringLiteral(" (") + QString::number(f.lBytesReceived)
                             + QStringLiteral(")"));
    if (s.socket != socket || !scanRunning())
        return;

    // The length is known from the event after the head's: the bar moves from then on.
    if (f.lContentLength >= 1) {
        const float value = std::fabs(float(f.lBytesReceived) / float(f.lContentLength) * 100.0f);
        // The bar refuses a value above its maximum and keeps the one it shows.
        if (value <= float(kProgressMaximum))
            Q_EMIT progressChanged(int(value));
        if (s.socket != socket || !scanRunning())
            return;
    }
    if (!f.bHeaderDone && s.reader->headDone()) {
        f.bHeaderDone = true;
        f.lBytesReceived = qint32(std::min<qint64>(s.reader->wireBytes(), kResponseCap));
        f.lContentLength = qint32(std::min<qint64>(s.reader->contentLength(), kResponseCap));
    }

    if (s.reader->complete()) {
        finishPage(slot);
        return;
    }
    // More than one step's worth arrived: the rest is read on the next turn of the event loop.
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(
            this, [this, slot, socket] { onData(slot, socket); }, Qt::QueuedConnection);
}

void PageFetcher::onClosed(int slot, QTcpSocket* socket)
{
    Slot* const reading = readingSlot(slot, socket);
    if (!reading)
        return;
    Slot& s = *reading;
    // Bytes that came with the close are part of the page.
    while (socket->bytesAvailable() > 0 && s.socket == socket && s.reader
           && !s.reader->complete()) {
        onData(slot, socket);
        if (s.socket != socket || !scanRunning())
            return;
    }
    if (!s.reader)
        return;
    // A kept connection the server gave up just as the request went out: the page is asked for
    // again, once, on a new connection, and nobody hears of it.
    if (s.reused && s.state.strResponse.isEmpty() && !s.staleRetried) {
        s.staleRetried = true;
        dropSocket(s);
        s.keptFor.clear();
        connectNow(slot);
        return;
    }
    s.reader->close();
    finishPage(slot);
}

void PageFetcher::finishPage(int slot)
{
    Slot& s = m_slots.at(std::size_t(slot));
    QTcpSocket* const socket = s.socket;
    if (QTimer* timer = s.watchdog)
        timer->stop();

    const std::unique_ptr<ResponseReader> reader = std::move(s.reader);
    const FetchSlot& f = s.state;
    // One character per byte: the head is ASCII, and so are the parts read of it.
    const QString head = Windows1252::decode(reader->head());
    if (!qobject_cast<QSslSocket*>(socket) && followToTls(slot, head))
        return;
    QByteArray bodyBytes = reader->body();
    ResponseHead::removeRepeatedHead(bodyBytes, reader->head());
    const QList<QStringView> types = ResponseHead::fieldValues(head, u"Content-Type");
    const QString body = PageCharset::decode(
        types.isEmpty() ? QByteArray() : types.constFirst().toLatin1(), bodyBytes);
    // A challenge is not asked again: the wall answers a program the same way each time.
    if (BotChallenge::isChallenge(head, body)) {
        // Counted once more, as every error page is.
        m_statistics.CountScanEvent(ScanStatistics::PageRequested);
        const QString url = f.strHost + f.strPath;
        dropSocket(s);
        s.state.strResponse.clear();
        Q_EMIT pageBlocked(slot, url);
        return;
    }
    if (retryLater(slot, head))
        return;
    CheckStatusLine(head, f.strHost + f.strPath);

    Q_EMIT statusChanged(1, QStringLiteral("Finished: ") + f.strHost + f.strPath);
    if (s.socket != socket || !scanRunning())
        return;

    FetchedPage page;
    page.slot = slot;
    page.strHost = f.strHost;
    page.strPath = f.strPath;
    page.strCurUrl = m_project.state().strCurUrl;
    page.strCurDir = m_project.state().strCurDir;
    page.head = head;
    // The connection stays for the next page when the answer's framing allows it.
    if (!reader->reusable() || !socket || socket->state() != QAbstractSocket::ConnectedState
        || socket->bytesAvailable() > 0)
        dropSocket(s);
    s.state.strResponse.clear();
    Q_EMIT pageFetched(page, body);
}

QString PageFetcher::CheckStatusLine(const QString& head, const QString& url)
{
    const QString text = statusProblem(head);
    if (text.isEmpty())
        return {};
    m_project.state().strProblem = text;
    m_project.errors().appendEntry({text, url});
    // An error page counts once more as a requested page.
    m_statistics.CountScanEvent(ScanStatistics::PageRequested);
    return text;
}

bool PageFetcher::retryLater(int slot, const QString& head)
{
    Slot& s = m_slots.at(std::size_t(slot));
    const int code = ResponseHead::statusCode(head);
    if ((code != 429 && code != 503) || s.retries >= kRetries)
        return false;
    ++s.retries;
    const qint64 timeout = std::max<qint64>(1, m_project.state().timeout);
    const qint64 asked = ResponseHead::retryAfterSeconds(head, QDateTime::currentDateTimeUtc());
    const qint64 seconds = std::min(asked >= 0 ? asked : qint64(kDefaultRetrySeconds), timeout);
    if (s.watchdog)
        s.watchdog->stop();
    dropSocket(s);
    Q_EMIT statusChanged(1,
                         QStringLiteral("Waiting ") + QString::number(seconds)
                             + QStringLiteral(" seconds to ask again (") + statusProblem(head)
                             + QStringLiteral("): ") + s.state.strHost + s.state.strPath);
    if (!scanRunning())
        return true;
    scheduleConnect(slot, seconds * m_watchdogMs);
    return true;
}

void PageFetcher::onWatchdog(int slot)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (!scanRunning()) {
        s.watchdog->stop();
        return;
    }
    if (s.state.iIdleSeconds < std::numeric_limits<qint16>::max())
        ++s.state.iIdleSeconds;
    ++s.seconds;
    if (s.seconds >= kDeadlineFactor * std::max<int>(1, m_project.state().timeout)) {
        s.watchdog->stop();
        dropSocket(s);
        Q_EMIT deadlinePassed(slot);
        return;
    }
    Q_EMIT idleTicked(slot, s.state.iIdleSeconds);
}

QTimer* PageFetcher::watchdog(int slot)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (!s.watchdog) {
        s.watchdog = new QTimer(this);
        connect(s.watchdog, &QTimer::timeout, this, [this, slot] { onWatchdog(slot); });
    }
    return s.watchdog;
}

bool PageFetcher::isWatchdogArmed(int slot) const
{
    const Slot& s = m_slots.at(std::size_t(slot));
    return s.watchdog && s.watchdog->isActive();
}

void PageFetcher::dropSocket(Slot& s)
{
    // A lookup still under way belongs to the connection dropped here.
    ++s.attempt;
    s.keptFor.clear();
    s.connected = false;
    if (!s.socket)
        return;
    QTcpSocket* socket = s.socket;
    s.socket = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
}

void PageFetcher::Close(int slot)
{
    if (slot < 0 || slot >= kSlotCount)
        return;
    Slot& s = m_slots.at(std::size_t(slot));
    dropSocket(s);
    s.reader.reset();
    if (s.watchdog)
        s.watchdog->stop();
    if (s.wait)
        s.wait->stop();
}

void PageFetcher::closeAll()
{
    for (int slot = 0; slot < kSlotCount; ++slot)
        Close(slot);
}

} // namespace corvane
