#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTimer>

class QProcess;

namespace corvane {

// The user's command run after a scan with changes (the setting "AlertCommand"), through /bin/sh:
// the changes as JSON on its standard input, their counts and the project in its environment
// (CORVANE_LOST, CORVANE_NEW, CORVANE_RESTORED, CORVANE_CHANGED, CORVANE_PROJECT). It runs in a
// process group of its own, at most a minute: what it left running in the background when the
// shell ended (a mail sent with "&") has the rest of that minute, then the whole group is killed.
// stop() ends the group at once (the user's Ctrl+C). Its exit status and the last lines it
// printed come back in finished(); a command that fails is reported, never more.
class AlertCommand final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AlertCommand)

public:
    static constexpr int kTimeoutMs = 60000;
    static constexpr int kLastLines = 5;

    struct Result {
        bool started = false;
        bool timedOut = false;
        bool stopped = false; // ended by stop()
        int limitMs = kTimeoutMs;
        int exitCode = -1; // -1 when it did not end by itself
        QStringList lastLines;
        // "exit 0", "exit 7", "killed after 60 s", "stopped", "could not start"
        QString summary() const;
    };

    explicit AlertCommand(QObject* parent = nullptr);
    ~AlertCommand() override;

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    // Starts the command; finished() follows, also when it cannot start.
    void start(const QString& command, const QByteArray& input, const QProcessEnvironment& extra);
    bool isRunning() const { return m_process != nullptr || m_group > 0; }
    // Kills the command and all it started at once: the user who asked the program to end may
    // not wait, and a second Ctrl+C would end this program and leave the group behind.
    // finished() follows once the group is gone.
    void stop();

Q_SIGNALS:
    void finished(const corvane::AlertCommand::Result& result);

private:
    void onTimeout();
    void onShellFinished();
    void onGroupPoll();
    void report();

    int m_timeoutMs = kTimeoutMs;
    QProcess* m_process = nullptr;
    // The command's process group (the shell's pid) while any process of it may still run.
    qint64 m_group = 0;
    QTimer m_timer;
    QTimer m_groupPoll; // after the shell ended: whether its group is empty yet
    bool m_timedOut = false;
    bool m_stopped = false;
    Result m_result;
    QByteArray m_output;
};

} // namespace corvane
