#include "model/ProjectLock.h"

#include "model/FileWrite.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSysInfo>

namespace corvane {

ProjectLock::ProjectLock(const QString& projectPath) : m_projectPath(projectPath) {}

ProjectLock::~ProjectLock() = default;

QString ProjectLock::realProjectPath(const QString& projectPath)
{
    const QFileInfo file(projectPath);
    QString real = file.canonicalFilePath();
    if (real.isEmpty()) {
        // Not written yet (a first save): its folder may still be reached through a link.
        const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
        if (!folder.isEmpty())
            real = folder + u'/' + file.fileName();
    }
    // A path with no link in it stays as it was given.
    return real.isEmpty() || real == file.absoluteFilePath() ? projectPath : real;
}

QString ProjectLock::lockPathFor(const QString& projectPath)
{
    return realProjectPath(projectPath) + QStringLiteral(".lock");
}

bool ProjectLock::tryLock()
{
    m_error.clear();
    m_heldByOther = false;
    if (isLocked())
        return true;
    m_lock = std::make_unique<QLockFile>(lockPathFor(m_projectPath));
    // Only a lock whose program has ended is stale, however long a scan holds it.
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    if (m_lock->error() == QLockFile::LockFailedError && holdsNoProgram()
        && m_lock->removeStaleLockFile() && m_lock->tryLock(0))
        return true;
    const QString name = QFileInfo(m_projectPath).fileName();
    if (m_lock->error() == QLockFile::LockFailedError) {
        m_heldByOther = true;
        qint64 pid = 0;
        QString host;
        QString application;
        if (m_lock->getLockInfo(&pid, &host, &application)) {
            // The lock names the holder's executable; ours (corvane, corvane-cli) go by the
            // program's name.
            if (application.startsWith(QStringLiteral("corvane"), Qt::CaseInsensitive))
                application = QCoreApplication::applicationName();
            m_error = name + QStringLiteral(" is being changed by ")
                      + (application.isEmpty() ? QStringLiteral("another program") : application)
                      + QStringLiteral(", process ") + QString::number(pid);
            if (!host.isEmpty() && host != QSysInfo::machineHostName())
                m_error += QStringLiteral(" on ") + host;
        } else {
            m_error = name + QStringLiteral(" is being changed by another program");
        }
    } else {
        m_error = QStringLiteral("cannot make the lock file ")
                  + QFileInfo(lockPathFor(m_projectPath)).fileName() + QStringLiteral(" beside ")
                  + name;
        if (const QString cause = FileWrite::folderCause(lockPathFor(m_projectPath));
            !cause.isEmpty())
            m_error += QStringLiteral(": ") + cause;
    }
    m_lock.reset();
    return false;
}

bool ProjectLock::holdsNoProgram() const
{
    qint64 pid = 0;
    QString host;
    QString application;
    if (m_lock->getLockInfo(&pid, &host, &application))
        return false; // names a program: QLockFile has judged whether it still runs
    // An empty or unreadable lock is left by a program that ended between making the file and
    // writing it (or by hand). A program that has just made it writes it at once, and holds it
    // meanwhile, so removeStaleLockFile() cannot take it from a live one.
    const QFileInfo file(lockPathFor(m_projectPath));
    return file.exists()
           && file.lastModified().msecsTo(QDateTime::currentDateTime()) > kUnwrittenLockMs;
}

void ProjectLock::unlock()
{
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
}

} // namespace corvane
