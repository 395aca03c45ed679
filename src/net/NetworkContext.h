#pragma once

#include <QAbstractSocket>
#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QNetworkProxy>
#include <QObject>
#include <QSslCertificate>
#include <QString>

#include <functional>

class QNetworkAccessManager;
class QNetworkProxy;

namespace corvane {

class SettingsStore;

// Sends the engine's traffic somewhere else than the real host: every connection of the page
// fetcher goes to host:port, and every DownloadText request goes through the HTTP proxy at
// host:port. Empty in the shipped program; the tests set it to reach their web server under any
// host name.
struct NetworkRoute {
    QString host; // a loopback address, e.g. "127.0.0.1"
    quint16 port = 0;
    bool isSet() const { return port != 0; }
};

// Spaces the requests to one host: a partner may ask for a pause between two requests. Shared by
// every fetcher and download of a scan, so the pause holds however many of them run.
class HostPacer
{
public:
    HostPacer() { m_clock.start(); }
    // Milliseconds between the starts of two requests to the same host; 0 for none.
    void setInterval(int milliseconds) { m_intervalMs = milliseconds < 0 ? 0 : milliseconds; }
    int interval() const { return m_intervalMs; }
    // Books the next request to host, not before notBeforeMs from now; returns how many
    // milliseconds the caller is to wait before sending it.
    qint64 reserve(const QString& host, qint64 notBeforeMs = 0);

private:
    QElapsedTimer m_clock;
    QHash<QString, qint64> m_next; // UrlTools::HostKey -> earliest next start
    int m_intervalMs = 0;
};

// The one place the engine's network access comes from: the QNetworkAccessManager of DownloadText
// and the route. Owned by whoever builds the engine (the main window, the command line, a test).
class NetworkContext final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(NetworkContext)

public:
    explicit NetworkContext(QObject* parent = nullptr);
    ~NetworkContext() override;

    QNetworkAccessManager& manager();
    // The manager of the requests sent to a checked address itself: never through a proxy, the
    // route's included. The proxy rules name hosts; they cannot be applied to the address a
    // request was pinned to.
    QNetworkAccessManager& directManager();

    // The User-Agent every request of the engine carries. Until the program sets its own, it is
    // made of the application's name and version.
    QByteArray userAgent() const;
    void setUserAgent(const QByteArray& userAgent) { m_userAgent = userAgent; }
    // "Product/version (+http://website)", with whatever could break the header line left out.
    static QByteArray userAgentFor(const QString& product, const QString& version,
                                   const QString& website);

    HostPacer& pacer() { return m_pacer; }

    // The settings the proxy is read from ("Proxy"), at every use, so a change in the options
    // counts from the next connection. Without them the engine uses no proxy.
    void setSettings(const SettingsStore* settings) { m_settings = settings; }
    // How a connection to host reaches it: QNetworkProxy::NoProxy, an HttpProxy (https goes
    // through CONNECT, http as a request for the whole URL) or a Socks5Proxy. With a route set,
    // never through a proxy. port: the connection's, -1 for the scheme's own (80 or 443).
    // "system" takes the environment's http_proxy (https_proxy for https; all_proxy for both)
    // when one is set, else the desktop's settings; a host no_proxy names goes straight.
    QNetworkProxy proxyFor(const QString& host, bool tls, int port = -1);
    // Whether a no_proxy list names host (and port): entries separated by commas, "*" for every
    // host, a domain that names itself and its subdomains (with or without a leading "."), an IP
    // address, or a CIDR range (for a host given as an address), each with an optional ":port"
    // ("[address]:port" for IPv6). Letter case and a trailing "." of host do not count.
    static bool noProxyNames(const QString& noProxy, const QString& host, int port);

    // Why a connection through a proxy failed, named as the proxy's failure, not the partner's.
    static inline const QString kProxyRefused = QStringLiteral("Proxy refused the connection");
    static inline const QString kProxyNeedsAuthentication
        = QStringLiteral("Proxy needs authentication");
    static inline const QString kProxyNotFound = QStringLiteral("Proxy not found");
    static inline const QString kProxyClosed = QStringLiteral("Proxy closed the connection");
    static inline const QString kProxyNotHttp = QStringLiteral("Proxy gave no HTTP answer");
    // The proxy answered the tunnel's request with an error of its own (502 Bad Gateway...).
    static inline const QString kProxyNoTunnel = QStringLiteral("Proxy could not reach the host");
    // The reason for a socket error that is a proxy's failure; empty for any other (the host's
    // own failure, which a proxy reports too: a tunnel's "404" is "Host not found", its "503"
    // "Connection refused"). errorText: the socket's errorString(). tunnelled: the socket goes
    // through its proxy (https's CONNECT, SOCKS); toProxy: the socket itself is connected to an
    // HTTP proxy (plain http through it), so failing to reach its peer is the proxy's failure.
    static QString proxyFailure(QAbstractSocket::SocketError error, const QString& errorText,
                                bool tunnelled, bool toProxy);
    // The reason a proxy socket's own words give ("Proxy connection refused"...), else empty.
    static QString proxyFailureSaid(const QString& errorText);

    // A TLS session of host, to be resumed by the next connection to it; empty when there is
    // none.
    QByteArray tlsSession(const QString& host) const { return m_tlsSessions.value(host); }
    void keepTlsSession(const QString& host, const QByteArray& ticket);

    // Not globally reachable: in a range the IANA special-purpose address registries mark so
    // (loopback, private, shared address space, link-local, benchmarking, reserved, unique-local,
    // site-local...), or multicast, or an IPv6 address outside global unicast. An IPv6 address
    // that carries an IPv4 address (mapped, compatible, translated, 6to4) is judged by that one.
    // The documentation ranges count as public.
    static bool isPrivateAddress(const QHostAddress& address);
    // Some addresses, and every one private: a host of an intranet (or of a test).
    static bool allPrivate(const QList<QHostAddress>& addresses);
    // Calls done, on a later turn of the event loop and only while context lives, with the
    // addresses host stands for (none when it cannot be resolved). With a route set, a host is
    // where the route leads (a loopback address) unless a test posed it somewhere else.
    void lookUpHost(const QString& host, QObject* context,
                    std::function<void(const QList<QHostAddress>&)> done);
    // The addresses of targetHost that a request named by originHost's page (or a redirect from
    // there) may go to: every one when each address of originHost is private (an intranet, a
    // test), else only the public ones. An origin that cannot be resolved counts as public.
    // refused is true when targetHost has addresses but none may be used; allowed is empty and
    // refused false when targetHost cannot be resolved. done is called as by lookUpHost.
    void checkTarget(const QString& originHost, const QString& targetHost, QObject* context,
                     std::function<void(const QList<QHostAddress>& allowed, bool refused)> done);
    // Tests only: the address checks take host as standing for the addresses, in this order; a
    // host posed without any is one no resolver knows.
    void poseHost(const QString& host, const QHostAddress& address);
    void poseHost(const QString& host, const QList<QHostAddress>& addresses);

    const NetworkRoute& route() const { return m_route; }
    // Also points the manager's proxy at the route.
    void setRoute(const NetworkRoute& route);

    // Where the page fetcher's TLS connections (port 443) go instead; empty in the shipped
    // program.
    const NetworkRoute& tlsRoute() const { return m_tlsRoute; }
    void setTlsRoute(const NetworkRoute& route) { m_tlsRoute = route; }
    // Tests only: certificates trusted besides the system's, for a local HTTPS server.
    const QList<QSslCertificate>& extraTrustedCertificates() const { return m_trusted; }
    void setExtraTrustedCertificates(const QList<QSslCertificate>& c) { m_trusted = c; }

    // Tests only: accept the certificate errors of a local HTTPS server. The shipped program
    // always verifies certificates.
    void setIgnoreSslErrors(bool ignore) { m_ignoreSslErrors = ignore; }
    bool ignoreSslErrors() const { return m_ignoreSslErrors; }

private:
    QNetworkAccessManager* m_manager = nullptr;
    QNetworkAccessManager* m_directManager = nullptr;
    NetworkRoute m_route;
    NetworkRoute m_tlsRoute;
    QList<QSslCertificate> m_trusted;
    bool m_ignoreSslErrors = false;
    QByteArray m_userAgent;
    HostPacer m_pacer;
    QHash<QString, QList<QHostAddress>> m_posed; // lower-case host -> addresses
    const SettingsStore* m_settings = nullptr;
    QHash<QString, QNetworkProxy> m_systemProxies; // "scheme host" -> the system's answer
    QHash<QString, QByteArray> m_tlsSessions;      // UrlTools::HostKey -> session ticket
};

} // namespace corvane
