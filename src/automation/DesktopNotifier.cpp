#include "automation/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QUuid>

namespace corvane {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
constexpr int kReplyTimeoutMs = 10000;
// Marks a NotificationClosed among the early signals.
const QString kClosedMark = QStringLiteral("\n closed");

} // namespace

DesktopNotifier::DesktopNotifier(QObject* parent)
    : QObject(parent),
      m_connection(QStringLiteral("corvane-notifier-") + QUuid::createUuid().toString(QUuid::Id128))
{
}

DesktopNotifier::~DesktopNotifier()
{
    QDBusConnection::disconnectFromBus(m_connection);
}

void DesktopNotifier::notify(const Notification& n)
{
    // Not the shared session connection: it is made once per program, and a program started
    // before the desktop session (or a test with a bus of its own) needs the address of now.
    QDBusConnection::disconnectFromBus(m_connection);
    // The address read now: libdbus reads the variable once per program for its session bus.
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    QDBusConnection bus = address.isEmpty()
                              ? QDBusConnection::connectToBus(QDBusConnection::SessionBus, m_connection)
                              : QDBusConnection::connectToBus(address, m_connection);
    if (!bus.isConnected()) {
        const QString why = bus.lastError().message();
        Q_EMIT failed(QStringLiteral("no session bus")
                      + (why.isEmpty() ? QString() : QStringLiteral(" (") + why + u')'));
        return;
    }
    m_id = 0;
    m_early.clear();
    bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint,QString)));
    bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                SLOT(onNotificationClosed(uint,uint)));
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("Notify"));
    call << n.appName << uint(0) << n.icon << n.summary << n.body << n.actions << n.hints
         << qint32(n.expireMs);
    m_waitingForReply = true;
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kReplyTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, &DesktopNotifier::onReply);
}

void DesktopNotifier::onReply(QDBusPendingCallWatcher* watcher)
{
    watcher->deleteLater();
    m_waitingForReply = false;
    const QDBusPendingReply<uint> reply = *watcher;
    if (reply.isError()) {
        const QDBusError error = reply.error();
        if (error.type() == QDBusError::ServiceUnknown)
            Q_EMIT failed(QStringLiteral("no notification service (") + kService
                          + QStringLiteral(") on the session bus"));
        else
            Q_EMIT failed(QStringLiteral("the notification service refused it (") + error.message()
                          + u')');
        return;
    }
    m_id = reply.value();
    Q_EMIT sent(m_id);
    const QList<std::pair<uint, QString>> early = std::exchange(m_early, {});
    for (const auto& [id, what] : early) {
        if (what == kClosedMark)
            onNotificationClosed(id, 0);
        else
            onActionInvoked(id, what);
    }
}

void DesktopNotifier::onActionInvoked(uint id, const QString& key)
{
    if (m_waitingForReply) {
        m_early.append({id, key});
        return;
    }
    if (id == m_id && m_id != 0)
        Q_EMIT actionInvoked(key);
}

void DesktopNotifier::onNotificationClosed(uint id, uint /*reason*/)
{
    if (m_waitingForReply) {
        m_early.append({id, kClosedMark});
        return;
    }
    if (id == m_id && m_id != 0)
        Q_EMIT closed();
}

} // namespace corvane
