#include "scan/PageFetcher.h"

#include "model/Project.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "scan/BotChallenge.h"
#include "scan/NetworkContext.h"
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
const QString kHeadEnd = QStringLiteral("\r\n\r\n");
constexpr quint16 kHttpPort = 80;
constexpr quint16 kHttpsPort = 443;

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
    dropSocket(s);
    if (s.wait)
        s.wait->stop();
    s.state = FetchSlot{};
    s.state.strHost = u.strHost;
    s.state.strPath = u.strPath;
    s.headSearchFrom = 0;

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

void PageFetcher::connectNow(int slot)
{
    Slot& s = m_slots.at(std::size_t(slot));
    dropSocket(s);
    s.state.strResponse.clear();
    s.state.bHeaderDone = false;
    s.state.lContentLength = 0;
    s.state.lBytesReceived = 0;
    s.headSearchFrom = 0;
    s.state.iIdleSeconds = 0;
    s.seconds = 0;
    s.connected = false;
    watchdog(slot)->start(m_watchdogMs);

    const QString connectHost = s.connectHost;
    const bool tls = isTlsHost(s.state.strHost);
    QTcpSocket* socket = nullptr;
    if (tls) {
        auto* ssl = new QSslSocket(this);
        if (!m_network.extraTrustedCertificates().isEmpty()) {
            QSslConfiguration config = ssl->sslConfiguration();
            config.addCaCertificates(m_network.extraTrustedCertificates());
            ssl->setSslConfiguration(config);
        }
        connect(ssl, &QSslSocket::encrypted, this, [this, slot, ssl] { onConnected(slot, ssl); });
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
    // The fetcher talks to the server itself, never through a proxy; saying so also spares the
    // socket asking the proxy settings for every page.
    socket->setProxy(QNetworkProxy::NoProxy);
    s.socket = socket;
    connect(socket, &QTcpSocket::readyRead, this, [this, slot, socket] { onData(slot, socket); });
    connect(socket, &QTcpSocket::disconnected, this,
            [this, slot, socket] { onClosed(slot, socket); });
    // A connection the system refuses at once ends the Linking Site at once; one that gets no
    // answer is left to the watchdog.
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, slot, socket](QAbstractSocket::SocketError error) {
                onSocketError(slot, socket, int(error));
            });

    s.request = requestBytes(connectHost, s.state.strPath, m_network.userAgent());
    if (tls) {
        // The server's name is sent and its certificate checked against it, wherever the
        // connection goes.
        auto* ssl = static_cast<QSslSocket*>(socket);
        const NetworkRoute& route = m_network.tlsRoute();
        if (route.isSet())
            ssl->connectToHostEncrypted(route.host, route.port, connectHost);
        else
            ssl->connectToHostEncrypted(connectHost, kHttpsPort);
        return;
    }
    const NetworkRoute& route = m_network.route();
    if (route.isSet())
        socket->connectToHost(route.host, route.port);
    else
        socket->connectToHost(connectHost, kHttpPort);
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
    if (s.watchdog)
        s.watchdog->stop();
    dropSocket(s);
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
    m_statistics.CountScanEvent(ScanStatistics::PageRequested);
    Q_EMIT progressChanged(0);
    if (s.socket != socket)
        return;
    socket->write(s.request);
}

void PageFetcher::onData(int slot, QTcpSocket* socket)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (s.socket != socket || !scanRunning())
        return;
    FetchSlot& f = s.state;
    f.iIdleSeconds = 0;

    const qint64 room = qint64(kResponseCap) - f.strResponse.size();
    const QByteArray data = socket->read(std::min<qint64>(socket->bytesAvailable(), room));
    f.strResponse += data;
    f.lBytesReceived += qint32(data.size());

    Q_EMIT statusChanged(1,
                         QStringLiteral("Downloading: ") + f.strHost + f.strPath
                             + QStringLiteral(" (") + QString::number(f.lBytesReceived)
                             + QStringLiteral(")"));
    if (s.socket != socket || !scanRunning())
        return;

    if (f.lContentLength >= 1) {
        const float value = std::fabs(float(f.lBytesReceived) / float(f.lContentLength) * 100.0f);
        // The bar refuses a value above its maximum and keeps the one it shows.
        if (value <= float(kProgressMaximum))
            Q_EMIT progressChanged(int(value));
        if (s.socket != socket || !scanRunning())
            return;
    }

    if (!f.bHeaderDone) {
        const qsizetype from = std::max<qsizetype>(0, s.headSearchFrom - 3);
        const qsizetype p = ResponseHead::indexOfHeadEnd(f.strResponse, from);
        s.headSearchFrom = f.strResponse.size();
        if (p >= 0) {
            f.bHeaderDone = true;
            f.lBytesReceived -= qint32(p + 4);
            const QString head = Windows1252::decode(QByteArrayView(f.strResponse).first(p));
            const QStringList lines = head.split(QStringLiteral("\r\n"));
            for (const QString& line : lines) {
                if (line.contains(QStringLiteral("Content-Length"), Qt::CaseInsensitive)) {
                    f.lContentLength = ResponseHead::contentLengthOf(line);
                    break;
                }
            }
        }
    }

    if (f.strResponse.size() >= kResponseCap)
        finishPage(slot);
}

void PageFetcher::onClosed(int slot, QTcpSocket* socket)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (s.socket != socket || !scanRunning())
        return;
    // Bytes that came with the close are part of the page.
    if (socket->bytesAvailable() > 0) {
        onData(slot, socket);
        if (s.socket != socket || !scanRunning())
            return;
    }
    finishPage(slot);
}

void PageFetcher::finishPage(int slot)
{
    Slot& s = m_slots.at(std::size_t(slot));
    QTcpSocket* const socket = s.socket;
    if (QTimer* timer = s.watchdog)
        timer->stop();

    const FetchSlot& f = s.state;
    // One character per byte: the head ends where it ends in the bytes.
    const QByteArrayView response(f.strResponse);
    const qsizetype p = ResponseHead::indexOfHeadEnd(response, 0);
    // A response without an empty line after its head is taken as all body.
    const qsizetype headSize = p >= 0 ? p + kHeadEnd.size() : 0;
    const QString head = p >= 0 ? Windows1252::decode(response.first(headSize)) : QString();
    if (!qobject_cast<QSslSocket*>(socket) && followToTls(slot, head))
        return;
    QString body = Windows1252::decode(response.sliced(headSize));
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
    if (!head.isEmpty())
        ResponseHead::removeRepeatedHead(body, response.sliced(headSize), head);

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
    const qint64 asked
        = ResponseHead::retryAfterSeconds(head, QDateTime::currentDateTimeUtc());
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
