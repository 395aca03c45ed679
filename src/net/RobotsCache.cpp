#include "net/RobotsCache.h"

#include "net/DownloadText.h"
#include "net/NetworkContext.h"

#include <QTimer>

#include <algorithm>
#include <limits>

namespace corvane {

RobotsCache::RobotsCache(NetworkContext& network, QObject* parent)
    : QObject(parent), m_network(network)
{
}

RobotsCache::~RobotsCache()
{
    clear();
}

const RobotsRules* RobotsCache::rules(const QString& host) const
{
    const auto it = m_known.constFind(host.toLower());
    return it == m_known.cend() ? nullptr : &it.value();
}

void RobotsCache::request(const QString& host, bool tls, int idleSeconds)
{
    const QString key = host.toLower();
    if (m_known.contains(key) || m_reading.contains(key))
        return;
    auto* download = new DownloadText(m_network, this);
    download->setBodyCap(kBodyCap);
    download->setRedirectLimit(kRedirectLimit);
    download->setIdleTimeout(idleSeconds * 1000);
    m_reading.insert(key, download);
    connect(download, &DownloadText::finished, this,
            [this, key](const DownloadResult& result) { onFinished(key, result); });
    const QString url = (tls ? QStringLiteral("https://") : QStringLiteral("http://")) + key
        + QStringLiteral("/robots.txt");
    // Asked for no sooner than the pause between two requests to the host allows.
    const qint64 wait = m_network.pacer().reserve(key);
    if (wait <= 0) {
        download->start(url);
        return;
    }
    QTimer::singleShot(int(std::min<qint64>(wait, std::numeric_limits<int>::max())), download,
                       [download, url] { download->start(url); });
}

void RobotsCache::clear()
{
    for (DownloadText* download : std::as_const(m_reading)) {
        disconnect(download, nullptr, this, nullptr);
        download->abort();
        download->deleteLater();
    }
    m_reading.clear();
    m_known.clear();
}

void RobotsCache::onFinished(const QString& host, const DownloadResult& result)
{
    DownloadText* download = m_reading.take(host);
    if (!download)
        return;
    download->deleteLater();
    m_known.insert(host, rulesFrom(result));
    Q_EMIT ready(host);
}

RobotsRules RobotsCache::rulesFrom(const DownloadResult& result)
{
    // A redirect chain that leads nowhere, or to an address the scan may not visit, is a file
    // that is not there. Only an answer of the host itself says anything: a file that was not
    // read (the proxy failed, the host could not be reached, the transfer stalled) keeps no page
    // from search engines that the scan could vouch for.
    if (!result.ok())
        return RobotsRules::allowAll();
    const int status = result.httpStatus;
    if (status >= 500)
        return RobotsRules::disallowAll();
    if (status < 200 || status >= 300)
        return RobotsRules::allowAll();
    QByteArray body = result.body;
    // A file cut at the cap ends with a line that may be cut too: it is left out.
    if (result.truncated) {
        const qsizetype lineEnd = std::max(body.lastIndexOf('\n'), body.lastIndexOf('\r'));
        body.truncate(lineEnd < 0 ? 0 : lineEnd);
    }
    return RobotsRules::parse(QString::fromUtf8(body), kProductToken);
}

} // namespace corvane
