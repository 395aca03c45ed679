#include "scan/NetworkContext.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>

namespace corvane {

NetworkContext::NetworkContext(QObject* parent)
    : QObject(parent), m_manager(new QNetworkAccessManager(this))
{
    // Downloads go straight to the server: no system or environment proxy, and no cache (the
    // manager keeps none unless one is set).
    m_manager->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
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
        m_manager->setProxy(QNetworkProxy(QNetworkProxy::NoProxy));
}

} // namespace corvane
