#include "net/PageFetcher.h"

#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "net/BotChallenge.h"
#include "net/NetworkContext.h"
#include "net/PageCharset.h"
#include "net/ResponseHead.h"
#include "web/UrlTools.h"

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
// What one data event reads at most before it lets other events run.
constexpr qint64 kReadStep = 1024 * 1024;

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
    // Plain http through an HTTP proxy: what the proxy says of itself is no answer of the page,
    // nor is its silence or its garbage a broken answer of the partner's.
    if (s.viaProxy) {
        QString proxy;
        if (f.strResponse.isEmpty())
            proxy = NetworkContext::kProxyClosed;
        else if (!f.strResponse.startsWith("HTTP/"))
            proxy = NetworkContext::kProxyNotHttp;
        else if (ResponseHead::statusCode(head) == 407)
            proxy = NetworkContext::kProxyNeedsAuthentication;
        if (!proxy.isEmpty()) {
            dropSocket(s);
            s.state.strResponse.clear();
            Q_EMIT connectionFailed(slot, proxy, QString());
            return;
        }
    }
    if (reader->failed()) {
        failPage(slot, reader->failure());
        return;
    }
    if (!qobject_cast<QSslSocket*>(socket) && followToTls(slot, head))
        return;
    QByteArray bodyBytes = reader->body();
    ResponseHead::removeRepeatedHead(bodyBytes, reader->rawHead());
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
    const int code = ResponseHead::statusCode(head);
    if (code != 429 && code != 503)
        return false;
    const qint64 asked = ResponseHead::retryAfterSeconds(head, QDateTime::currentDateTimeUtc());
    return askAgain(slot, asked >= 0 ? asked : qint64(kDefaultRetrySeconds), statusProblem(head));
}

bool PageFetcher::askAgain(int slot, qint64 seconds, const QString& why)
{
    Slot& s = m_slots.at(std::size_t(slot));
    if (s.retries >= kRetries)
        return false;
    ++s.retries;
    const qint64 timeout = std::max<qint64>(1, m_project.state().timeout);
    seconds = std::min(seconds, timeout);
    if (s.watchdog)
        s.watchdog->stop();
    dropSocket(s);
    Q_EMIT statusChanged(1,
                         QStringLiteral("Waiting ") + QString::number(seconds)
                             + QStringLiteral(" seconds to ask again (") + why
                             + QStringLiteral("): ") + s.state.strHost + s.state.strPath);
    if (!scanRunning())
        return true;
    scheduleConnect(slot, seconds * m_watchdogMs);
    return true;
}

void PageFetcher::failPage(int slot, const QString& reason)
{
    Slot& s = m_slots.at(std::size_t(slot));
    s.state.strResponse.clear();
    // A server that broke one answer may well give the next one whole.
    if (askAgain(slot, kDefaultRetrySeconds, reason))
        return;
    if (s.watchdog)
        s.watchdog->stop();
    dropSocket(s);
    Q_EMIT pageFailed(slot, reason);
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
