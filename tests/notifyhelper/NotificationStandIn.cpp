// A notification service for the tests and for trying the program by hand on a private session
// bus: it takes the name org.freedesktop.Notifications, prints every Notify call as one line of
// JSON on standard output, and then, as asked, chooses an action of the notification
// (--invoke KEY) or closes it (--close).
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

namespace {

const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

class StandIn final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QString invoke;
    bool close = false;

public Q_SLOTS:
    uint Notify(const QString& appName, uint replacesId, const QString& icon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int expireTimeout)
    {
        const uint id = ++m_last;
        QJsonObject hintObject;
        for (auto it = hints.cbegin(); it != hints.cend(); ++it)
            hintObject.insert(it.key(), QJsonValue::fromVariant(it.value().typeId() == QMetaType::UChar
                                                                    ? QVariant(it.value().toInt())
                                                                    : it.value()));
        const QJsonObject line{{QStringLiteral("id"), int(id)},
                               {QStringLiteral("app"), appName},
                               {QStringLiteral("replaces"), int(replacesId)},
                               {QStringLiteral("icon"), icon},
                               {QStringLiteral("summary"), summary},
                               {QStringLiteral("body"), body},
                               {QStringLiteral("actions"), QJsonArray::fromStringList(actions)},
                               {QStringLiteral("hints"), hintObject},
                               {QStringLiteral("expire"), expireTimeout}};
        std::printf("%s\n", QJsonDocument(line).toJson(QJsonDocument::Compact).constData());
        std::fflush(stdout);
        // After the reply has gone out, as a real service answers first and signals later.
        QTimer::singleShot(50, this, [this, id] {
            if (!invoke.isEmpty())
                emitSignal(QStringLiteral("ActionInvoked"), {id, invoke});
            if (close || !invoke.isEmpty())
                emitSignal(QStringLiteral("NotificationClosed"), {id, uint(close ? 2 : 3)});
        });
        return id;
    }
    QStringList GetCapabilities() { return {QStringLiteral("actions"), QStringLiteral("body")}; }
    void CloseNotification(uint id) { emitSignal(QStringLiteral("NotificationClosed"), {id, uint(3)}); }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion)
    {
        vendor = QStringLiteral("test");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("stand-in");
    }

private:
    void emitSignal(const QString& name, const QVariantList& arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(kPath, kInterface, name);
        signal.setArguments(arguments);
        QDBusConnection::sessionBus().send(signal);
    }

    uint m_last = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    StandIn standIn;
    const QStringList args = app.arguments();
    const qsizetype invoke = args.indexOf(QStringLiteral("--invoke"));
    if (invoke > 0 && invoke + 1 < args.size())
        standIn.invoke = args.at(invoke + 1);
    standIn.close = args.contains(QStringLiteral("--close"));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.registerObject(kPath, &standIn, QDBusConnection::ExportAllSlots)
        || !bus.registerService(kInterface)) {
        std::fprintf(stderr, "cannot take org.freedesktop.Notifications on the session bus\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return QCoreApplication::exec();
}

#include "NotificationStandIn.moc"
