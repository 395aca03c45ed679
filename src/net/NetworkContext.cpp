#include "net/NetworkContext.h"

#include "model/ProxySetting.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "web/UrlTools.h"

#include <QCoreApplication>
#include <QHostInfo>
#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QPointer>
#include <QRegularExpression>

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

// What a range of the address registries means for a public partner's pages.
enum class AddressReach {
    Public,   // may be reached from a public partner's pages
    Internal, // not globally reachable: never reached from a public partner's pages
    Embedded, // judged by the IPv4 address it carries (ipv4At: the bit it starts at)
};

struct SpecialRange {
    const char* range;
    AddressReach reach;
    const char* registry; // the registry's name of the range
    int ipv4At = 0;
};

// The ranges the IANA special-purpose address registries (IPv4 and IPv6) mark as not globally
// reachable, with the registries' exceptions inside them, the multicast ranges, and the IPv6
// space outside global unicast. The first row that holds an address decides; an IPv4 address in
// no row is public. The documentation ranges are not globally reachable either, but no public
// name resolves to them, and the tests pose public partners on them: they stay usable.
const SpecialRange kSpecialRanges[] = {
    // IPv4 Special-Purpose Address Registry
    {"192.0.0.9/32", AddressReach::Public, "Port Control Protocol Anycast"},
    {"192.0.0.10/32", AddressReach::Public, "Traversal Using Relays around NAT Anycast"},
    {"192.0.2.0/24", AddressReach::Public, "Documentation (TEST-NET-1), kept usable"},
    {"198.51.100.0/24", AddressReach::Public, "Documentation (TEST-NET-2), kept usable"},
    {"203.0.113.0/24", AddressReach::Public, "Documentation (TEST-NET-3), kept usable"},
    {"0.0.0.0/8", AddressReach::Internal, "\"This network\" (and 0.0.0.0/32, \"this host\")"},
    {"10.0.0.0/8", AddressReach::Internal, "Private-Use"},
    {"100.64.0.0/10", AddressReach::Internal, "Shared Address Space (carrier-grade NAT)"},
    {"127.0.0.0/8", AddressReach::Internal, "Loopback"},
    {"169.254.0.0/16", AddressReach::Internal, "Link Local"},
    {"172.16.0.0/12", AddressReach::Internal, "Private-Use"},
    {"192.0.0.0/24", AddressReach::Internal,
     "IETF Protocol Assignments (IPv4 Service Continuity Prefix 192.0.0.0/29, IPv4 dummy "
     "address, NAT64/DNS64 Discovery)"},
    {"192.168.0.0/16", AddressReach::Internal, "Private-Use"},
    {"198.18.0.0/15", AddressReach::Internal, "Benchmarking"},
    {"255.255.255.255/32", AddressReach::Internal, "Limited Broadcast"},
    {"240.0.0.0/4", AddressReach::Internal, "Reserved"},
    // IPv4 Multicast Address Space Registry
    {"224.0.0.0/4", AddressReach::Internal, "Multicast"},

    // IPv6 Special-Purpose Address Registry
    {"::/128", AddressReach::Internal, "Unspecified Address"},
    {"::1/128", AddressReach::Internal, "Loopback Address"},
    {"::ffff:0:0/96", AddressReach::Embedded, "IPv4-mapped Address", 96},
    // IPv6 Addressing Architecture: IPv4-translated (SIIT) and the deprecated IPv4-compatible
    // addresses carry an IPv4 address too.
    {"::ffff:0:0:0/96", AddressReach::Embedded, "IPv4-translated Address", 96},
    {"::/96", AddressReach::Embedded, "IPv4-compatible Address (deprecated)", 96},
    // Globally reachable itself, but a translator sends it on to the IPv4 address inside.
    {"64:ff9b::/96", AddressReach::Embedded, "IPv4-IPv6 Translation", 96},
    {"64:ff9b:1::/48", AddressReach::Internal, "IPv4-IPv6 Translation (local use)"},
    {"100::/64", AddressReach::Internal, "Discard-Only Address Block"},
    {"100:0:0:1::/64", AddressReach::Internal, "Dummy IPv6 Prefix"},
    {"2001:1::1/128", AddressReach::Public, "Port Control Protocol Anycast"},
    {"2001:1::2/128", AddressReach::Public, "Traversal Using Relays around NAT Anycast"},
    {"2001:1::3/128", AddressReach::Public, "DNS-SD Service Registration Protocol Anycast"},
    {"2001:3::/32", AddressReach::Public, "AMT"},
    {"2001:4:112::/48", AddressReach::Public, "AS112-v6"},
    {"2001:20::/28", AddressReach::Public, "ORCHIDv2"},
    {"2001:30::/28", AddressReach::Public, "Drone Remote ID Protocol Entity Tags"},
    {"2001:db8::/32", AddressReach::Public, "Documentation, kept usable"},
    {"2001::/23", AddressReach::Internal,
     "IETF Protocol Assignments (TEREDO 2001::/32, Benchmarking 2001:2::/48)"},
    // 6to4 leads to the IPv4 address inside it.
    {"2002::/16", AddressReach::Embedded, "6to4", 16},
    {"3fff::/20", AddressReach::Public, "Documentation, kept usable"},
    {"5f00::/16", AddressReach::Internal, "Segment Routing (SRv6) SIDs"},
    {"fc00::/7", AddressReach::Internal, "Unique-Local"},
    {"fe80::/10", AddressReach::Internal, "Link-Local Unicast"},
    // IPv6 Address Space Registry
    {"fec0::/10", AddressReach::Internal, "Site-local (deprecated)"},
    // IPv6 Multicast Address Space Registry
    {"ff00::/8", AddressReach::Internal, "Multicast"},
    // IPv6 Address Space Registry: only global unicast is public; the rest is reserved.
    {"2000::/3", AddressReach::Public, "Global Unicast"},
    {"::/0", AddressReach::Internal, "Reserved by IETF"},
};

struct ParsedRange {
    QPair<QHostAddress, int> subnet;
    const SpecialRange* range = nullptr;
};

const QList<ParsedRange>& parsedRanges()
{
    static const QList<ParsedRange> parsed = [] {
        QList<ParsedRange> rows;
        for (const SpecialRange& range : kSpecialRanges) {
            const auto subnet = QHostAddress::parseSubnet(QLatin1String(range.range));
            Q_ASSERT(!subnet.first.isNull());
            rows.append({subnet, &range});
        }
        return rows;
    }();
    return parsed;
}

// The IPv4 address an IPv6 address carries from bit at on.
QHostAddress embeddedIPv4(const QHostAddress& address, int at)
{
    const Q_IPV6ADDR bytes = address.toIPv6Address();
    const int first = at / 8;
    return QHostAddress(quint32(bytes[first]) << 24 | quint32(bytes[first + 1]) << 16
                        | quint32(bytes[first + 2]) << 8 | quint32(bytes[first + 3]));
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
        return {m_context.proxyFor(query.peerHostName(),
                                   query.protocolTag().compare(u"https", Qt::CaseInsensitive) == 0,
                                   query.peerPort())};
    }

private:
    NetworkContext& m_context;
};

NetworkContext::NetworkContext(QObject* parent)
    : QObject(parent),
      m_manager(new QNetworkAccessManager(this)),
      m_directManager(new QNetworkAccessManager(this))
{
    // No cache: the managers keep none unless one is set.
    m_manager->setProxyFactory(new ContextProxyFactory(*this));
    m_directManager->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
}

QNetworkProxy NetworkContext::proxyFor(const QString& host, bool tls, int port)
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
    // The variables as command-line tools read them: the lower-case name first; http_proxy in
    // lower case only, as its upper-case name may come from a request's header in a CGI program.
    const auto variable = [](const char* lower, const char* upper) {
        QString value = qEnvironmentVariable(lower).trimmed();
        if (value.isEmpty() && upper)
            value = qEnvironmentVariable(upper).trimmed();
        return value;
    };
    const int connectionPort = port >= 0 ? port : (tls ? 443 : 80);
    if (noProxyNames(variable("no_proxy", "NO_PROXY"), host, connectionPort))
        return QNetworkProxy(QNetworkProxy::NoProxy);
    const QString http = variable("http_proxy", nullptr);
    const QString https = variable("https_proxy", "HTTPS_PROXY");
    const QString all = variable("all_proxy", "ALL_PROXY");
    if (!http.isEmpty() || !https.isEmpty() || !all.isEmpty()) {
        // The environment names the proxies: each scheme its own, all_proxy for the one without
        // (https never falls back on http_proxy). A scheme without one, or with one the program
        // cannot use, goes straight.
        const QString named = (tls ? https : http).isEmpty() ? all : (tls ? https : http);
        ProxySetting from;
        if (!ProxySetting::fromVariable(named, from))
            return QNetworkProxy(QNetworkProxy::NoProxy);
        return QNetworkProxy(from.kind == ProxySetting::Kind::Socks5 ? QNetworkProxy::Socks5Proxy
                                                                     : QNetworkProxy::HttpProxy,
                             from.host, from.port, from.user, from.password);
    }
    const QString scheme = tls ? QStringLiteral("https") : QStringLiteral("http");
    const QString key = scheme + u' ' + host.toLower();
    if (const auto known = m_systemProxies.constFind(key); known != m_systemProxies.cend())
        return *known;
    // The desktop's settings, asked once a host: asking may take a while.
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

bool NetworkContext::noProxyNames(const QString& noProxy, const QString& host, int port)
{
    QString name = host.trimmed().toLower();
    if (name.startsWith(u'[') && name.endsWith(u']'))
        name = name.mid(1, name.size() - 2);
    while (name.endsWith(u'.'))
        name.chop(1);
    if (name.isEmpty())
        return false;
    const QHostAddress address(name);
    static const QRegularExpression separators(QStringLiteral("[,\\s]+"));
    for (QString entry : noProxy.toLower().split(separators, Qt::SkipEmptyParts)) {
        if (entry == u"*")
            return true;
        // An optional port: "[v6]:port", "name:port", "v4:port"; a bare IPv6 address has more
        // than one colon and no port.
        int entryPort = -1;
        if (entry.startsWith(u'[')) {
            const qsizetype close = entry.indexOf(u']');
            if (close < 0)
                continue;
            const QString rest = entry.mid(close + 1);
            entry = entry.mid(1, close - 1) + (rest.startsWith(u'/') ? rest : QString());
            if (rest.startsWith(u':'))
                entryPort = rest.mid(1).toInt();
        } else if (entry.count(u':') == 1) {
            const qsizetype colon = entry.indexOf(u':');
            entryPort = entry.mid(colon + 1).toInt();
            entry.truncate(colon);
        }
        if (entryPort > 0 && entryPort != port)
            continue;
        if (entry.contains(u'/')) {
            const auto subnet = QHostAddress::parseSubnet(entry);
            if (!address.isNull() && !subnet.first.isNull() && address.isInSubnet(subnet))
                return true;
            continue;
        }
        if (const QHostAddress entryAddress(entry); !entryAddress.isNull()) {
            if (address.isEqual(entryAddress, QHostAddress::ConvertV4MappedToIPv4))
                return true;
            continue;
        }
        while (entry.startsWith(u'.'))
            entry.remove(0, 1);
        while (entry.endsWith(u'.'))
            entry.chop(1);
        // The domain itself, or a name that ends in "." and the domain.
        if (!entry.isEmpty()
            && (name == entry
                || (name.endsWith(entry) && name.at(name.size() - entry.size() - 1) == u'.')))
            return true;
    }
    return false;
}

QString NetworkContext::proxyFailure(QAbstractSocket::SocketError error, const QString& errorText,
                                     bool tunnelled, bool toProxy)
{
    switch (error) {
    case QAbstractSocket::ProxyConnectionRefusedError:
        return kProxyRefused;
    case QAbstractSocket::ProxyNotFoundError:
        return kProxyNotFound;
    case QAbstractSocket::ProxyConnectionClosedError:
        return kProxyClosed;
    case QAbstractSocket::ProxyAuthenticationRequiredError:
        return kProxyNeedsAuthentication;
    case QAbstractSocket::ProxyProtocolError:
        if (const QString said = proxyFailureSaid(errorText); !said.isEmpty())
            return said;
        return kProxyNotHttp;
    case QAbstractSocket::SocketAccessError:
        // A tunnel the proxy denied (403, 405).
        return tunnelled ? kProxyRefused : QString();
    case QAbstractSocket::ConnectionRefusedError:
        return toProxy ? kProxyRefused : QString();
    case QAbstractSocket::HostNotFoundError:
        return toProxy ? kProxyNotFound : QString();
    default:
        return {};
    }
}

QString NetworkContext::proxyFailureSaid(const QString& errorText)
{
    // The words of the proxy sockets (the HTTP tunnel's and SOCKS's), in the language they are
    // shown in; where a request goes through the network access manager they are all that is
    // left of the socket's error.
    struct Said {
        const char* context;
        const char* text;
        const QString& reason;
    };
    static const Said said[] = {
        {"QHttpSocketEngine", "Proxy connection refused", kProxyRefused},
        {"QHttpSocketEngine", "Proxy denied connection", kProxyRefused},
        {"QHttpSocketEngine", "Proxy server not found", kProxyNotFound},
        {"QHttpSocketEngine", "Proxy connection closed prematurely", kProxyClosed},
        {"QHttpSocketEngine", "Proxy requires authentication", kProxyNeedsAuthentication},
        {"QHttpSocketEngine", "Did not receive HTTP response from proxy", kProxyNotHttp},
        {"QHttpSocketEngine", "Error parsing authentication request from proxy", kProxyNotHttp},
        {"QHttpSocketEngine", "Error communicating with HTTP proxy", kProxyNoTunnel},
        {"QSocks5SocketEngine", "Connection to proxy refused", kProxyRefused},
        {"QSocks5SocketEngine", "Proxy host not found", kProxyNotFound},
        {"QSocks5SocketEngine", "Connection to proxy closed prematurely", kProxyClosed},
    };
    for (const Said& s : said) {
        if (errorText == QCoreApplication::translate(s.context, s.text))
            return s.reason;
    }
    return {};
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

QNetworkAccessManager& NetworkContext::directManager()
{
    return *m_directManager;
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
    if (address.isNull())
        return false;
    for (const ParsedRange& row : parsedRanges()) {
        if (!address.isInSubnet(row.subnet))
            continue;
        switch (row.range->reach) {
        case AddressReach::Public:
            return false;
        case AddressReach::Internal:
            return true;
        case AddressReach::Embedded:
            return isPrivateAddress(embeddedIPv4(address, row.range->ipv4At));
        }
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
