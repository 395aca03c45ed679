#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

namespace corvane {

class BrowserView;

// The "Web" tab: the built-in browser with its address box and buttons.
class WebTab final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebTab)

public:
    explicit WebTab(bool withEngine, QWidget* parent = nullptr);

    // Goes to the address as typed: a text without a scheme is taken as a web address.
    void navigate(const QString& address);
    BrowserView* browser() const { return WebBrowser1; }
    QLineEdit* addressBox() const { return txtURL; }

private:
    BrowserView* WebBrowser1;
    QLineEdit* txtURL;
    QPushButton* cmdGo;
    QPushButton* cmdBack;
    QPushButton* cmdForward;
    QPushButton* cmdWebStop;
    QPushButton* cmdRefresh;
};

} // namespace corvane
