#include "scan/NetworkContext.h"

#include "model/ProxySetting.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "scan/UrlTools.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QPointer>

#include <algorithm>
#include <memory>

namespace corvane {

namespace {

// Past this many hosts the bookings whose time has passed are forgotten.
constexpr qsizetype kPacerPruneAt = 4096;

// A header value keeps to visible ASCII: whatever else a configured name holds could end the
// header line or smuggle in another.
QByteArray headerSafe(const QString& text, bool blanksAllowed)
{
    QByteArray out;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u > 32 && u < 127)
            out.append(char(u));
        else if (u == 32 && blanksAllowed)
            out.append(' ');
        else if (u == 32)
            out.append('-');
    }
    return out;
}

} // namespace

qint64 HostPacer::reserve(const QString& host, qint64 notBeforeMs)
{
    const qint64 now = m_clock.elapsed();
    if (m_next.size() > kPacerPruneAt) {
        for (auto it = m_next.begin(); it != m_next.end();)
            it = it.value() <= now ? m_next.erase(it) : std::next(it);
    }
    const QString key = UrlTools::HostKey(host);
    const qint64 start = std::max({now, now + notBeforeMs, m_next.value(key, 0)});
    m_next.insert(key, start + m_intervalMs);
    return start - now;
}

// The downloads' proxies are the fetcher's: the manager asks the context for each request.
class ContextProxyFactory final : public QNetworkProxyFactory
{
public:
    explicit ContextProxyFactory(NetworkContext& context) : m_context(context) {}
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery& query) override
    {
        return {m_context.proxyFor(
            query.peerHostName(), query.protocolTag().compare(u"https", Qt::CaseInsensitive) == 0)};
    }

private:
    NetworkContext& m_context;
};

NetworkContext::NetworkContext(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    // No cache: the manager keeps none unless one is set.
    m_manager->setProxyFactory(new ContextProxyFactory(*this));
}

QNetworkProxy NetworkContext::proxyFor(const QString& host, bool tls)
{
    ProxySetting setting;
    if (m_route.isSet() || m_tlsRoute.isSet() || !m_settings
        || !ProxySetting::parse(m_settings->ReadSetting(SettingKey::Proxy), setting))
        return QNetworkProxy(QNetworkProxy::NoProxy);
    switch (setting.mode) {
    case ProxySetting::Mode::None:
        return QNetworkProxy(QNetworkProxy::NoProxy);
    case ProxySetting::Mode::Fixed:
        return QNetworkProxy(QNetworkProxy::HttpProxy, setting.host, setting.port);
    case ProxySetting::Mode::System:
        break;
    }
    const QString scheme = tls ? QStringLiteral("https") : QStringLiteral("http");
    const QString key = scheme + u' ' + host.toLower();
    if (const auto known = m_systemProxies.constFind(key); known != m_systemProxies.cend())
        return *known;
    // The desktop's settings and the http_proxy, https_proxy and no_proxy variables, asked once
    // a host: asking may take a while.
    QNetworkProxy chosen(QNetworkProxy::NoProxy);
    const QUrl url(scheme + QStringLiteral("://") + host + u'/');
    for (const QNetworkProxy& p :
         QNetworkProxyFactory::systemProxyForQuery(QNetworkProxyQuery(url))) {
        if (p.type() == QNetworkProxy::HttpProxy || p.type() == QNetworkProxy::Socks5Proxy) {
            chosen = p;
            break;
        }
        if (p.type() == QNetworkProxy::NoProxy)
            break;
    }
    m_systemProxies.insert(key, chosen);
    return chosen;
}

void NetworkContext::keepTlsSession(const QString& host, const QByteArray& ticket)
{
    if (!ticket.isEmpty())
        m_tlsSessions.insert(host, ticket);
}

NetworkContext::~NetworkContext() = default;

QNetworkAccessManager& NetworkContext::manager()
{
    return *m_manager;
}

void NetworkContext::setRoute(const NetworkRoute& route)
{
    m_route = route;
    if (m_route.isSet())
        m_manager->setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, m_route.host, m_route.port));
    else
        m_manager->setProxyFactory(new ContextProxyFactory(*this));
}

QByteArray NetworkContext::userAgent() const
{
    if (!m_userAgent.isEmpty())
        return m_userAgent;
    return userAgentFor(QCoreApplication::applicationName(), QCoreApplication::applicationVersion(),
                        {});
}

QByteArray NetworkContext::userAgentFor(const QString& product, const QString& version,
                                        const QString& website)
{
    QByteArray agent = headerSafe(product.trimmed(), false);
    if (agent.isEmpty())
        agent = "Corvane";
    const QByteArray v = headerSafe(version.trimmed(), false);
    if (!v.isEmpty())
        agent += '/' + v;
    QByteArray site = headerSafe(website.trimmed(), false);
    if (!site.isEmpty()) {
        if (!site.contains("://"))
            site.prepend("http://");
        agent += " (+" + site + ')';
    }
    return agent;
}

bool NetworkContext::allPrivate(const QList<QHostAddress>& addresses)
{
    return !addresses.isEmpty()
        && std::all_of(addresses.begin(), addresses.end(), NetworkContext::isPrivateAddress);
}

bool NetworkContext::isPrivateAddress(const QHostAddress& address)
{
    QHostAddress a = address;
    bool mapped = false;
    const quint32 v4 = a.toIPv4Address(&mapped);
    if (mapped)
        a = QHostAddress(v4);
    if (a.isNull())
        return false;
    if (a.isLoopback() || a.isLinkLocal() || a.isUniqueLocalUnicast()
        || a == QHostAddress(QHostAddress::AnyIPv4) || a == QHostAddress(QHostAddress::AnyIPv6))
        return true;
    if (a.protocol() == QAbstractSocket::IPv4Protocol) {
        const quint32 ip = a.toIPv4Address();
        return (ip >> 24) == 10 || (ip >> 20) == ((172u << 4) | 1u)
            || (ip >> 16) == ((192u << 8) | 168u)
            || (ip >> 24) == 0; // 0.0.0.0/8: "this network", unspecified
    }
    return false;
}

void NetworkContext::poseHost(const QString& host, const QHostAddress& address)
{
    poseHost(host, QList<QHostAddress>{address});
}

void NetworkContext::poseHost(const QString& host, const QList<QHostAddress>& addresses)
{
    m_posed.insert(host.toLower(), addresses);
}

void NetworkContext::lookUpHost(const QString& host, QObject* context,
                                std::function<void(const QList<QHostAddress>&)> done)
{
    QString name = host;
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    QList<QHostAddress> known;
    bool posedHere = false;
    if (const QHostAddress literal(name); !literal.isNull()) {
        known = {literal};
    } else if (const auto posed = m_posed.constFind(name.toLower()); posed != m_posed.constEnd()) {
        known = posed.value();
        posedHere = true;
    } else if (m_route.isSet()) {
        known = {QHostAddress(m_route.host)};
    }
    if (!known.isEmpty() || name.isEmpty() || posedHere) {
        QMetaObject::invokeMethod(
            context, [done = std::move(done), known] { done(known); }, Qt::QueuedConnection);
        return;
    }
    QHostInfo::lookupHost(
        name, context, [done = std::move(done)](const QHostInfo& info) { done(info.addresses()); });
}

void NetworkContext::checkTarget(const QString& originHost, const QString& targetHost,
                                 QObject* context,
                                 std::function<void(const QList<QHostAddress>&, bool)> done)
{
    QPointer<NetworkContext> self(this);
    QPointer<QObject> receiver(context);
    const auto judge = [done](bool originLocal, const QList<QHostAddress>& target) {
        QList<QHostAddress> allowed;
        for (const QHostAddress& address : target) {
            if (originLocal || !isPrivateAddress(address))
                allowed.append(address);
        }
        done(allowed, !target.isEmpty() && allowed.isEmpty());
    };
    if (originHost.compare(targetHost, Qt::CaseInsensitive) == 0) {
        lookUpHost(targetHost, context, [judge](const QList<QHostAddress>& target) {
            judge(allPrivate(target), target);
        });
        return;
    }
    lookUpHost(originHost, context,
               [self, receiver, targetHost, judge](const QList<QHostAddress>& origin) {
                   if (!self || !receiver)
                       return;
                   const bool originLocal = allPrivate(origin);
                   self->lookUpHost(targetHost, receiver,
                                    [judge, originLocal](const QList<QHostAddress>& target) {
                                        judge(originLocal, target);
                                    });
               });
}

} // namespace corvane
