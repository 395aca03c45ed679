#pragma once

#include <QPointer>
#include <QUrl>
#include <QWidget>

class QLabel;
class QWebEngineView;

namespace corvane {

// A browser view of the window: a QWebEngineView. Where no browser engine can run (tests under
// the sanitizers) it is built without one: it then only remembers the address it was sent to and
// reports it as reached, and shows that address as text.
class BrowserView final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(BrowserView)

public:
    BrowserView(const QString& objectName, bool withEngine, QWidget* parent = nullptr);

    // Before the first browser view is made: the views' pages are open to screen readers
    // (QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY=1) unless the user decided otherwise.
    static void prepareEnvironment();

    void navigate(const QUrl& url);
    QUrl url() const;
    bool hasEngine() const { return m_engine != nullptr; }
    QWebEngineView* engine() const { return m_engine; }

    // Each ignores what it cannot do (Back without history, ...).
    void back();
    void forward();
    void stop();
    void reload();

Q_SIGNALS:
    // A navigation completed; the view is at url.
    void navigated(const QUrl& url);

private:
    void keepPageInTabOrder();

    QWebEngineView* m_engine = nullptr;
    QPointer<QWidget> m_page; // the engine's widget that shows the page, once in its place
    QLabel* m_address = nullptr;
    QUrl m_url;
};

} // namespace corvane
