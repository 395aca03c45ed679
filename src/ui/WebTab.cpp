#include "ui/WebTab.h"

#include "ui/BrowserView.h"
#include "ui/Widgets.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

WebTab::WebTab(bool withEngine, QWidget* parent) : QWidget(parent)
{
    auto* bar = new QHBoxLayout;
    cmdBack = makeButton(this, QStringLiteral("cmdBack"), tr("Back"));
    cmdForward = makeButton(this, QStringLiteral("cmdForward"), tr("Forward"));
    cmdWebStop = makeButton(this, QStringLiteral("cmdWebStop"), tr("Stop"));
    cmdWebStop->setAccessibleName(tr("Stop Loading"));
    cmdRefresh = makeButton(this, QStringLiteral("cmdRefresh"), tr("Refresh"));
    txtURL = makeEntry(this, QStringLiteral("txtURL"), QString(), tr("Address"));
    cmdGo = makeButton(this, QStringLiteral("cmdGo"), tr("Go"));
    // The buttons as wide as their captions (a push button is at least 80 pixels wide, five of
    // them leave the address a sliver of a half-width tab): the address takes the rest.
    for (QPushButton* b : {cmdBack, cmdForward, cmdWebStop, cmdRefresh, cmdGo}) {
        const int text = b->fontMetrics().horizontalAdvance(b->text());
        b->setMinimumWidth(0);
        b->setFixedWidth(text + b->fontMetrics().horizontalAdvance(u'0') * 3);
    }
    for (QWidget* w : {static_cast<QWidget*>(cmdBack), static_cast<QWidget*>(cmdForward),
                       static_cast<QWidget*>(cmdWebStop), static_cast<QWidget*>(cmdRefresh)})
        bar->addWidget(w);
    bar->addWidget(txtURL, 1);
    bar->addWidget(cmdGo);

    WebBrowser1 = new BrowserView(QStringLiteral("WebBrowser1"), withEngine, this);
    WebBrowser1->setAccessibleName(tr("Web browser"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(WebBrowser1, 1);

    connect(cmdGo, &QPushButton::clicked, this, [this] { navigate(txtURL->text()); });
    connect(txtURL, &QLineEdit::returnPressed, this, [this] { navigate(txtURL->text()); });
    connect(cmdBack, &QPushButton::clicked, WebBrowser1, &BrowserView::back);
    connect(cmdForward, &QPushButton::clicked, WebBrowser1, &BrowserView::forward);
    connect(cmdWebStop, &QPushButton::clicked, WebBrowser1, &BrowserView::stop);
    connect(cmdRefresh, &QPushButton::clicked, WebBrowser1, &BrowserView::reload);
    connect(WebBrowser1, &BrowserView::navigated, this,
            [this](const QUrl& url) { txtURL->setText(url.toString()); });
}

void WebTab::navigate(const QString& address)
{
    const QString text = address.trimmed();
    if (text.isEmpty())
        return;
    WebBrowser1->navigate(QUrl::fromUserInput(text));
}

} // namespace corvane
