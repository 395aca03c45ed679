#pragma once

#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

class QDBusPendingCallWatcher;

namespace corvane {

// A desktop notification through the freedesktop notification service
// (org.freedesktop.Notifications) on the session bus. Nothing here fails loudly: without a
// session bus or a notification service, failed() says so and that is all.
class DesktopNotifier final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DesktopNotifier)

public:
    struct Notification {
        QString appName;
        QString icon;
        QString summary;
        QString body;
        QStringList actions; // key, label, key, label ...; "default" is a click on the bubble
        QVariantMap hints;
        int expireMs = -1; // the service's own default
    };

    explicit DesktopNotifier(QObject* parent = nullptr);
    ~DesktopNotifier() override;

    // Sends it; sent() or failed() follows.
    void notify(const Notification& notification);

Q_SIGNALS:
    void sent(uint id);
    void failed(const QString& message);
    // The user chose an action of the notification sent.
    void actionInvoked(const QString& key);
    // The notification sent is gone (expired, dismissed, or its action was chosen).
    void closed();

private Q_SLOTS:
    // Connected by name: QtDBus relays bus signals only to slots named this way.
    void onActionInvoked(uint id, const QString& key);
    void onNotificationClosed(uint id, uint reason);

private:
    void onReply(QDBusPendingCallWatcher* watcher);

    QString m_connection; // a connection of its own, made with the bus address of the moment
    uint m_id = 0;
    bool m_waitingForReply = false;
    // Signals of the bus that came in before the reply told the notification's id.
    QList<std::pair<uint, QString>> m_early;
};

} // namespace corvane
