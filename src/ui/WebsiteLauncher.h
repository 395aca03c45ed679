#pragma once

#include <QObject>
#include <QString>

class QTimer;

namespace corvane {

// Opens the product's website in the user's browser. It is never shown; once it has opened an
// address it stays loaded for a second, and a request made in that second waits for the next
// load instead of opening the browser again.
class WebsiteLauncher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(WebsiteLauncher)

public:
    static constexpr int kLifetimeMs = 1000;
    static inline const QString kWebsiteRequest = QStringLiteral("Website");

    explicit WebsiteLauncher(QObject* parent = nullptr);

    // The website button and the about window's website line: request the website and load
    // the launcher unless it is loaded already.
    void openWebsite();
    bool isLoaded() const { return m_loaded; }
    const QString& websiteRequest() const { return m_request; }

    // The address a website text is opened at: "http://" in front unless it names a scheme.
    static QString completedAddress(const QString& website);

signals:
    // The launcher closed itself, a second after it was loaded.
    void closed();

private:
    void load();
    void unload();

    QTimer* Timer1 = nullptr;
    QString m_request;
    bool m_loaded = false;
};

} // namespace corvane
