#pragma once

#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <optional>

#include <sys/resource.h>

namespace corvane::test {

// A real small file system: a tmpfs of the given size mounted over a temporary folder, in a
// mount namespace private to the test's thread, so nothing outside the test sees it. Needs the
// right to mount (root in CI); where that is missing, problem() says why and the test skips.
class SmallFileSystem
{
public:
    explicit SmallFileSystem(int kilobytes = 64);
    ~SmallFileSystem();
    SmallFileSystem(const SmallFileSystem&) = delete;
    SmallFileSystem& operator=(const SmallFileSystem&) = delete;

    // Empty once mounted; else why the file system could not be made.
    QString problem() const { return m_problem; }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Takes every block still free, so the next file that needs one cannot be written.
    void fill() const;

private:
    QTemporaryDir m_dir;
    QString m_problem;
};

// The same failure without mounting anything: while it lives, no file of this process may grow
// past limit bytes, and a write beyond it fails as on a full disk ("File too large"), after
// writing what still fits. The signal such a write raises is ignored meanwhile.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

// A folder whose disk can be made full for a while: on a SmallFileSystem, or, with the kind
// FileSizeLimit (which needs no rights), in a temporary folder while no file may grow past 64
// bytes.
class FullDisk
{
public:
    enum class Kind { SmallFileSystem, FileSizeLimit };
    explicit FullDisk(Kind kind);

    // Empty when the disk can be used; else why not (the test skips).
    QString problem() const { return m_fs ? m_fs->problem() : QString(); }
    QString file(const QString& name) const;
    // What the system says when a write does not fit.
    QString reason() const;

    // Runs work while the disk is full and frees it again afterwards.
    template <typename Work> auto whileFull(Work&& work)
    {
        if (m_fs) {
            m_fs->fill();
            const auto result = work();
            QFile::remove(m_fs->file(QStringLiteral("filler")));
            return result;
        }
        const FileSizeLimit limit(64);
        return work();
    }

private:
    std::optional<SmallFileSystem> m_fs;
    QTemporaryDir m_dir;
};

} // namespace corvane::test
