#include "automation/ScanAlerts.h"

#include "automation/ScanLog.h"
#include "model/SettingsStore.h"

#include <QFileInfo>
#include <QJsonDocument>

namespace corvane {

namespace {

const QString kAlertCommand = QStringLiteral("AlertCommand");

} // namespace

ScanAlerts::ScanAlerts(const SettingsStore& settings, Identity identity, QObject* parent)
    : QObject(parent), m_settings(settings), m_identity(std::move(identity))
{
    connect(&m_command, &AlertCommand::finished, this, [this](const AlertCommand::Result& r) {
        log(QStringLiteral("alert command: ") + r.summary());
        for (const QString& line : r.lastLines)
            log(QStringLiteral("alert command: | ") + line);
        stepDone();
    });
    connect(&m_notifier, &DesktopNotifier::sent, this, [this] {
        m_shown = true;
        log(QStringLiteral("notification: shown"));
        stepDone();
    });
    connect(&m_notifier, &DesktopNotifier::failed, this, [this](const QString& why) {
        log(QStringLiteral("notification: none, ") + why);
        stepDone();
    });
    connect(&m_notifier, &DesktopNotifier::actionInvoked, this, [this] {
        m_openRequested = true;
        Q_EMIT openRequested();
    });
    connect(&m_notifier, &DesktopNotifier::closed, this, [this] {
        m_gone = true;
        Q_EMIT notificationClosed();
    });
}

DesktopNotifier::Notification ScanAlerts::notificationFor(const ChangeSet& changes,
                                                          const Identity& identity)
{
    DesktopNotifier::Notification n;
    n.appName = identity.appName;
    n.icon = identity.appId;
    const QStringList sentences = changes.sentences();
    n.summary = sentences.value(0);
    QStringList body = sentences.mid(1);
    if (!changes.projectPath.isEmpty())
        body << QFileInfo(changes.projectPath).fileName();
    n.body = body.join(u'\n');
    n.actions = {QStringLiteral("default"), QStringLiteral("Open the project"),
                 QStringLiteral("open"), QStringLiteral("Open the project")};
    n.hints.insert(QStringLiteral("desktop-entry"), identity.appId);
    // A lost link is what the user must act on; news of gains can wait in the tray.
    n.hints.insert(QStringLiteral("urgency"),
                   QVariant::fromValue(uchar(changes.count(PartnerChange::Kind::Lost) > 0 ? 2 : 1)));
    return n;
}

QProcessEnvironment ScanAlerts::environmentFor(const ChangeSet& changes)
{
    using Kind = PartnerChange::Kind;
    QProcessEnvironment env;
    env.insert(QStringLiteral("CORVANE_LOST"), QString::number(changes.count(Kind::Lost)));
    env.insert(QStringLiteral("CORVANE_NEW"), QString::number(changes.count(Kind::New)));
    env.insert(QStringLiteral("CORVANE_RESTORED"), QString::number(changes.count(Kind::Restored)));
    env.insert(QStringLiteral("CORVANE_CHANGED"), QString::number(changes.count(Kind::Changed)));
    env.insert(QStringLiteral("CORVANE_PROJECT"), changes.projectPath);
    return env;
}

bool ScanAlerts::tell(const ChangeSet& changes, bool notify)
{
    if (!changes.isNews() || m_pending > 0)
        return false;
    m_projectPath = changes.projectPath;
    m_shown = false;
    m_gone = false;
    m_openRequested = false;
    const QString command = m_settings.ReadSetting(kAlertCommand).trimmed();
    m_pending = (command.isEmpty() ? 0 : 1) + (notify ? 1 : 0);
    if (notify)
        m_notifier.notify(notificationFor(changes, m_identity));
    if (!command.isEmpty())
        m_command.start(command, QJsonDocument(changes.toJson()).toJson(QJsonDocument::Indented),
                        environmentFor(changes));
    return true;
}

void ScanAlerts::log(const QString& line)
{
    if (!m_projectPath.isEmpty())
        ScanLog::append(m_projectPath, {line});
    Q_EMIT logged(line);
}

void ScanAlerts::stepDone()
{
    if (m_pending > 0 && --m_pending == 0)
        Q_EMIT finished();
}

} // namespace corvane
