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
// (CORVANE_LOST, CORVANE_NEW, CORVANE_RESTORED, CORVANE_CHANGED, CORVANE_PROJECT). It runs at most
// a minute; then it and whatever it started are killed. Its exit status and the last lines it
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
        int limitMs = kTimeoutMs;
        int exitCode = -1; // -1 when it did not end by itself
        QStringList lastLines;
        // "exit 0", "exit 7", "killed after 60 s", "could not start"
        QString summary() const;
    };

    explicit AlertCommand(QObject* parent = nullptr);
    ~AlertCommand() override;

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    // Starts the command; finished() follows, also when it cannot start.
    void start(const QString& command, const QByteArray& input, const QProcessEnvironment& extra);
    bool isRunning() const { return m_process != nullptr; }

Q_SIGNALS:
    void finished(const corvane::AlertCommand::Result& result);

private:
    void onTimeout();
    void onFinished();

    int m_timeoutMs = kTimeoutMs;
    QProcess* m_process = nullptr;
    QTimer m_timer;
    bool m_timedOut = false;
    QByteArray m_output;
};

} // namespace corvane
