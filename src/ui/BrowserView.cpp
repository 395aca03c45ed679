#include "ui/BrowserView.h"

#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>

namespace corvane {

BrowserView::BrowserView(const QString& objectName, bool withEngine, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(objectName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    if (withEngine) {
        m_engine = new QWebEngineView(this);
        m_engine->setObjectName(objectName + QStringLiteral("View"));
        layout->addWidget(m_engine);
        setFocusProxy(m_engine);
        connect(m_engine, &QWebEngineView::loadFinished, this,
                [this](bool) { Q_EMIT navigated(m_engine->url()); });
    } else {
        m_address = new QLabel(this);
        m_address->setAlignment(Qt::AlignCenter);
        m_address->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(m_address);
    }
}

void BrowserView::navigate(const QUrl& url)
{
    if (m_engine != nullptr) {
        m_engine->load(url);
        return;
    }
    m_url = url;
    m_address->setText(url.toString());
    // Reached later, as a browser reaches it.
    QTimer::singleShot(0, this, [this, url] { Q_EMIT navigated(url); });
}

QUrl BrowserView::url() const
{
    return m_engine != nullptr ? m_engine->url() : m_url;
}

void BrowserView::back()
{
    if (m_engine != nullptr)
        m_engine->back();
}

void BrowserView::forward()
{
    if (m_engine != nullptr)
        m_engine->forward();
}

void BrowserView::stop()
{
    if (m_engine != nullptr)
        m_engine->stop();
}

void BrowserView::reload()
{
    if (m_engine != nullptr)
        m_engine->reload();
}

} // namespace corvane
