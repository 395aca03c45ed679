#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

namespace corvane::test {

// A session bus of the test's own (dbus-daemon --session), made the session bus of the process
// while it lives, so no test reaches the desktop's real one.
class PrivateBus final
{
    Q_DISABLE_COPY_MOVE(PrivateBus)

public:
    PrivateBus()
        : m_before(qgetenv("DBUS_SESSION_BUS_ADDRESS")),
          m_wasSet(qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
    {
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--session"), QStringLiteral("--nofork"),
                        QStringLiteral("--print-address")});
        if (!m_daemon.waitForStarted(5000))
            return;
        while (m_address.isEmpty() && m_daemon.waitForReadyRead(5000))
            m_address = m_daemon.readLine().trimmed();
        if (!m_address.isEmpty())
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
    }
    ~PrivateBus()
    {
        stopService();
        m_daemon.kill();
        m_daemon.waitForFinished(2000);
        if (m_wasSet)
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_before);
        else
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    bool isUp() const { return !m_address.isEmpty(); }

    // Starts the stand-in notification service with these arguments; true once it holds its name.
    bool startService(const QStringList& arguments = {})
    {
        m_service.start(QStringLiteral(CORVANE_NOTIFICATION_STANDIN), arguments);
        if (!m_service.waitForStarted(5000))
            return false;
        while (!m_serviceOutput.contains("ready\n") && m_service.waitForReadyRead(5000))
            m_serviceOutput += m_service.readAllStandardOutput();
        const bool ready = m_serviceOutput.contains("ready\n");
        m_serviceOutput.clear();
        return ready;
    }
    void stopService()
    {
        if (m_service.state() == QProcess::NotRunning)
            return;
        m_service.kill();
        m_service.waitForFinished(2000);
    }
    // The notifications the stand-in printed so far, one JSON object a line.
    QList<QByteArray> notifications()
    {
        m_serviceOutput += m_service.readAllStandardOutput();
        QList<QByteArray> lines = m_serviceOutput.split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }

private:
    QByteArray m_before;
    bool m_wasSet = false;
    QByteArray m_address;
    QProcess m_daemon;
    QProcess m_service;
    QByteArray m_serviceOutput;
};

} // namespace corvane::test
