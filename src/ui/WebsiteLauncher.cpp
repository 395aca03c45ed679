#include "ui/WebsiteLauncher.h"

#include "branding/Branding.h"
#include "ui/Dialogs.h"

#include <QTimer>
#include <QUrl>

namespace corvane {

WebsiteLauncher::WebsiteLauncher(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("frmWebsite"));
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kLifetimeMs);
    connect(Timer1, &QTimer::timeout, this, &WebsiteLauncher::unload);
}

void WebsiteLauncher::openWebsite()
{
    m_request = kWebsiteRequest;
    if (!m_loaded)
        load();
}

QString WebsiteLauncher::completedAddress(const QString& website)
{
    if (website.contains(QStringLiteral("https://"), Qt::CaseInsensitive)
        || website.contains(QStringLiteral("http://"), Qt::CaseInsensitive))
        return website;
    return QStringLiteral("http://") + website;
}

void WebsiteLauncher::load()
{
    m_loaded = true;
    Timer1->start();
    if (m_request != kWebsiteRequest)
        return;
    // Only a web address reaches the browser: Desktop refuses every other scheme, so a website
    // text such as "file:///x?http://" opens nothing. A failure to open is not reported.
    Desktop::openWebUrl(QUrl(completedAddress(Branding::website())));
    m_request.clear();
}

void WebsiteLauncher::unload()
{
    m_loaded = false;
    emit closed();
}

} // namespace corvane
