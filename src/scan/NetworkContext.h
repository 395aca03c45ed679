#pragma once

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>

class QNetworkAccessManager;

namespace corvane {

// Sends the engine's traffic somewhere else than the real host: every connection of the page
// fetcher goes to host:port, and every DownloadText request goes through the HTTP proxy at
// host:port. Empty in the shipped program; the tests set it to reach their web server under any
// host name.
struct NetworkRoute {
    QString host; // a loopback address, e.g. "127.0.0.1"
    quint16 port = 0;
    bool isSet() const { return port != 0; }
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
    NetworkRoute m_route;
    NetworkRoute m_tlsRoute;
    QList<QSslCertificate> m_trusted;
    bool m_ignoreSslErrors = false;
};

} // namespace corvane
