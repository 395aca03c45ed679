#include "ui/BrowserView.h"

#include <QChildEvent>
#include <QLabel>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEngineView>

#include <utility>

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
        connect(m_engine, &QWebEngineView::loadStarted, this, &BrowserView::keepPageInTabOrder);
        connect(m_engine, &QWebEngineView::loadFinished, this, [this](bool) {
            keepPageInTabOrder();
            Q_EMIT navigated(m_engine->url());
        });
    } else {
        m_address = new QLabel(this);
        m_address->setAlignment(Qt::AlignCenter);
        m_address->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(m_address);
    }
}

void BrowserView::prepareEnvironment()
{
    // The browser engine reads it once, when it starts; a value the user set stays.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");
}

void BrowserView::keepPageInTabOrder()
{
    // The engine's view and the widget that shows the page join the keyboard's tab order at its
    // end when the first page loads: Tab out of the page would skip every control made after this
    // view. The controls that follow this view are moved behind the page instead, one after
    // another in their order, which leaves: this view, the engine's view, the page, then what
    // followed this view. (Moving the page up is a no-op: the view counts it as its own part.)
    QWidget* page = m_engine->focusProxy();
    if (page == nullptr || page == m_page)
        return;
    m_page = page;
    QList<QWidget*> after;
    for (QWidget* w = nextInFocusChain(); w != nullptr && w != this && w != m_engine && w != page;
         w = w->nextInFocusChain()) {
        if (!isAncestorOf(w))
            after.append(w);
    }
    QWidget* previous = page;
    for (QWidget* w : std::as_const(after)) {
        // Labels and frames take no focus; a widget with a proxy stands in the order as its
        // proxy; the parts of a compound control move with it.
        if (w->focusPolicy() == Qt::NoFocus || w->focusProxy() != nullptr
            || (previous != page && previous->isAncestorOf(w)))
            continue;
        QWidget::setTabOrder(previous, w);
        previous = w;
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
