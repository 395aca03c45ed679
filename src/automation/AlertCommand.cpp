#include "automation/AlertCommand.h"

#include <QProcess>

#include <csignal>
#include <unistd.h>

namespace corvane {

QString AlertCommand::Result::summary() const
{
    if (!started)
        return QStringLiteral("could not start");
    if (timedOut)
        return QStringLiteral("killed after %1 s").arg(double(limitMs) / 1000.0);
    if (exitCode < 0)
        return QStringLiteral("ended by a signal");
    return QStringLiteral("exit ") + QString::number(exitCode);
}

AlertCommand::AlertCommand(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AlertCommand::onTimeout);
}

AlertCommand::~AlertCommand()
{
    if (m_process) {
        m_process->disconnect(this);
        ::kill(-pid_t(m_process->processId()), SIGKILL);
        m_process->waitForFinished(1000);
    }
}

void AlertCommand::start(const QString& command, const QByteArray& input,
                         const QProcessEnvironment& extra)
{
    m_output.clear();
    m_timedOut = false;
    m_process = new QProcess(this);
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(extra);
    m_process->setProcessEnvironment(environment);
    // A group of its own, so the time limit ends what the shell started too (a pipe to sendmail,
    // a curl waiting on a dead server), not the shell alone.
    m_process->setChildProcessModifier([] { ::setsid(); });
    connect(m_process, &QProcess::readyRead, this, [this] {
        m_output += m_process->readAll();
        // Only the last lines are kept; a chatty command must not fill the memory.
        if (m_output.size() > 64 * 1024)
            m_output = m_output.right(16 * 1024);
    });
    connect(m_process, &QProcess::finished, this, &AlertCommand::onFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onFinished();
    });
    m_process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!m_process)
        return; // failed to start, already reported
    m_process->write(input);
    m_process->closeWriteChannel();
    m_timer.start(m_timeoutMs);
}

void AlertCommand::onTimeout()
{
    if (!m_process)
        return;
    m_timedOut = true;
    ::kill(-pid_t(m_process->processId()), SIGKILL);
}

void AlertCommand::onFinished()
{
    if (!m_process)
        return;
    m_timer.stop();
    QProcess* process = std::exchange(m_process, nullptr);
    m_output += process->readAll();
    Result result;
    result.started = process->error() != QProcess::FailedToStart;
    result.timedOut = m_timedOut;
    result.limitMs = m_timeoutMs;
    if (result.started && !m_timedOut && process->exitStatus() == QProcess::NormalExit)
        result.exitCode = process->exitCode();
    QStringList lines = QString::fromLocal8Bit(m_output).split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    result.lastLines = lines.mid(std::max<qsizetype>(0, lines.size() - kLastLines));
    process->deleteLater();
    Q_EMIT finished(result);
}

} // namespace corvane
