#include "automation/AlertCommand.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <csignal>
#include <unistd.h>

namespace corvane {

namespace {

// Whether a process of the group still runs. A finished one lingers as a zombie until whoever
// inherited it reaps it (an init that reaps late keeps it for seconds), so kill(-group, 0) alone
// would wait for that; /proc tells the states apart.
bool groupRuns(qint64 group)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isPid = false;
        entry.toLongLong(&isPid);
        if (!isPid)
            continue;
        QFile stat(QStringLiteral("/proc/") + entry + QStringLiteral("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        // "pid (name) state ppid pgrp ...": the name may hold spaces and parentheses.
        const QByteArray line = stat.readAll();
        const qsizetype nameEnd = line.lastIndexOf(')');
        if (nameEnd < 0)
            continue;
        const QList<QByteArray> fields = line.mid(nameEnd + 2).split(' ');
        if (fields.size() < 3 || fields.at(2).toLongLong() != group)
            continue;
        if (fields.at(0) != "Z" && fields.at(0) != "X")
            return true;
    }
    return false;
}

} // namespace

QString AlertCommand::Result::summary() const
{
    if (!started)
        return QStringLiteral("could not start");
    if (timedOut)
        return QStringLiteral("killed after %1 s").arg(double(limitMs) / 1000.0);
    if (stopped)
        return QStringLiteral("stopped");
    if (exitCode < 0)
        return QStringLiteral("ended by a signal");
    return QStringLiteral("exit ") + QString::number(exitCode);
}

AlertCommand::AlertCommand(QObject* parent) : QObject(parent)
{
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AlertCommand::onTimeout);
    m_groupPoll.setInterval(100);
    connect(&m_groupPoll, &QTimer::timeout, this, &AlertCommand::onGroupPoll);
}

AlertCommand::~AlertCommand()
{
    if (m_group > 0 && (m_process || groupRuns(m_group)))
        ::kill(-pid_t(m_group), SIGKILL);
    if (m_process) {
        m_process->disconnect(this);
        m_process->waitForFinished(1000);
    }
}

void AlertCommand::start(const QString& command, const QByteArray& input,
                         const QProcessEnvironment& extra)
{
    m_output.clear();
    m_timedOut = false;
    m_stopped = false;
    m_group = 0;
    m_result = {};
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
    connect(m_process, &QProcess::finished, this, &AlertCommand::onShellFinished);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            onShellFinished();
    });
    m_process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!m_process)
        return; // failed to start, already reported
    // setsid() made the shell the leader of a new group: the group's id is its pid.
    m_group = m_process->processId();
    m_process->write(input);
    m_process->closeWriteChannel();
    m_timer.start(m_timeoutMs);
}

void AlertCommand::stop()
{
    if (!isRunning() || m_stopped)
        return;
    m_stopped = true;
    if (m_group > 0 && (m_process || groupRuns(m_group)))
        ::kill(-pid_t(m_group), SIGKILL);
}

void AlertCommand::onTimeout()
{
    if (!isRunning())
        return;
    m_timedOut = true;
    // Once the shell is gone its pid may be anybody's: the group is only killed while it runs.
    if (m_group > 0 && (m_process || groupRuns(m_group)))
        ::kill(-pid_t(m_group), SIGKILL);
}

void AlertCommand::onShellFinished()
{
    if (!m_process)
        return;
    QProcess* process = std::exchange(m_process, nullptr);
    m_output += process->readAll();
    m_result.started = process->error() != QProcess::FailedToStart;
    if (m_result.started && process->exitStatus() == QProcess::NormalExit)
        m_result.exitCode = process->exitCode();
    process->deleteLater();
    // What the shell left in the background has the rest of the time limit.
    if (m_result.started && m_group > 0 && groupRuns(m_group)) {
        m_groupPoll.start();
        return;
    }
    report();
}

void AlertCommand::onGroupPoll()
{
    if (!groupRuns(m_group))
        report();
}

void AlertCommand::report()
{
    m_timer.stop();
    m_groupPoll.stop();
    m_group = 0;
    Result result = std::exchange(m_result, Result{});
    result.timedOut = m_timedOut;
    result.stopped = m_stopped && !m_timedOut;
    result.limitMs = m_timeoutMs;
    if (m_timedOut || m_stopped)
        result.exitCode = -1;
    QStringList lines = QString::fromLocal8Bit(m_output).split(u'\n', Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.trimmed();
    lines.removeAll(QString());
    result.lastLines = lines.mid(std::max<qsizetype>(0, lines.size() - kLastLines));
    Q_EMIT finished(result);
}

} // namespace corvane
