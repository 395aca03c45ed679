#pragma once

#include "automation/AlertCommand.h"
#include "automation/ChangeSet.h"
#include "automation/DesktopNotifier.h"

#include <QObject>

namespace corvane {

class SettingsStore;

// Tells the user what a scan changed: runs the alert command (the setting "AlertCommand") with the
// changes as JSON on its input, and raises a desktop notification when asked, whose action opens
// the project in the window. Each step is reported by logged() and, for a saved project, written
// to its scan log; nothing here fails the scan.
class ScanAlerts final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanAlerts)

public:
    struct Identity {
        QString appName; // the program's name, shown by the notification
        QString appId;   // its desktop entry and icon
    };

    ScanAlerts(const SettingsStore& settings, Identity identity, QObject* parent = nullptr);

    // For the tests: the alert command's time limit.
    void setCommandTimeout(int milliseconds) { m_command.setTimeout(milliseconds); }

    // Tells of the changes when there is news (ChangeSet::isNews); false when there is none and
    // nothing was started. While isBusy() afterwards, finished() is to come.
    bool tell(const ChangeSet& changes, bool notify);
    bool isBusy() const { return m_pending > 0; }
    // Ends the alert command and all it started (the user asked the program to end); finished()
    // follows once it is gone.
    void stop() { m_command.stop(); }
    // The notification, built from the changes: the first sentence as its summary, the others and
    // the project's name as its body, and an action that opens the project.
    static DesktopNotifier::Notification notificationFor(const ChangeSet& changes,
                                                         const Identity& identity);
    // The alert command's environment.
    static QProcessEnvironment environmentFor(const ChangeSet& changes);

    bool notificationShown() const { return m_shown; }
    // What became of the notification so far: a caller that waits for it checks these first, as
    // the service may answer while the alert command still runs.
    bool notificationGone() const { return m_gone; }
    bool openWasRequested() const { return m_openRequested; }

Q_SIGNALS:
    void logged(const QString& line);
    // The alert command ended and the notification is shown (or could not be).
    void finished();
    // The notification's action: open the project in the window.
    void openRequested();
    // The notification is gone, or its action was chosen.
    void notificationClosed();

private:
    void log(const QString& line);
    void stepDone();

    const SettingsStore& m_settings;
    Identity m_identity;
    AlertCommand m_command;
    DesktopNotifier m_notifier;
    QString m_projectPath;
    int m_pending = 0;
    bool m_shown = false;
    bool m_gone = false;
    bool m_openRequested = false;
};

} // namespace corvane
