#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace corvane {

// One writer at a time for a project and its history: a lock file beside the project
// (links.prj -> links.prj.lock, beside the project's real file when it is opened through a
// symbolic link), held by whoever is about to write either. A lock left by a
// program that has ended (killed, crashed) is taken over, and so is one that names no program (a
// program that ended before writing it, or an empty file made by hand) once it is a moment old.
class ProjectLock final
{
    Q_DISABLE_COPY_MOVE(ProjectLock)

public:
    // How old a lock that names no program must be before it is taken over.
    static constexpr int kUnwrittenLockMs = 2000;

    explicit ProjectLock(const QString& projectPath);
    ~ProjectLock();

    static QString lockPathFor(const QString& projectPath);
    // The project file's own path when it is reached through a symbolic link (of the file or of
    // a folder above it), else the path as given: one project, one history and one lock, however
    // it was opened.
    static QString realProjectPath(const QString& projectPath);

    // False when another program holds it; error() then says which one
    // ("links.prj is being changed by Corvane, process 1234") or why the lock cannot be made.
    bool tryLock();
    void unlock();
    bool isLocked() const { return m_lock && m_lock->isLocked(); }
    // The last tryLock failed because another program holds the lock (not because the lock file
    // could not be made: a full disk or a read-only folder, where no other program can make one
    // either).
    bool heldByOther() const { return m_heldByOther; }
    QString error() const { return m_error; }
    QString projectPath() const { return m_projectPath; }

private:
    bool holdsNoProgram() const;

    QString m_projectPath;
    std::unique_ptr<QLockFile> m_lock;
    QString m_error;
    bool m_heldByOther = false;
};

} // namespace corvane
