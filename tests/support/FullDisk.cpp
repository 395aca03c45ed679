#include "support/FullDisk.h"

#include <QByteArray>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace corvane::test {

namespace {

QString systemError(const char* what)
{
    return QString::fromLatin1(what) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
}

// Once per process: this thread gets a mount namespace of its own, with every mount private so
// that nothing mounted in it reaches the machine's namespace.
QString privateMountNamespace()
{
    static const QString problem = [] {
        if (::unshare(CLONE_NEWNS) != 0)
            return systemError("no private mount namespace (unshare)");
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return systemError("mounts cannot be made private");
        return QString();
    }();
    return problem;
}

} // namespace

SmallFileSystem::SmallFileSystem(int kilobytes)
{
    m_problem = privateMountNamespace();
    if (!m_problem.isEmpty())
        return;
    const QByteArray path = QFile::encodeName(m_dir.path());
    const QByteArray options = "size=" + QByteArray::number(kilobytes) + "k,mode=0700";
    if (::mount("tmpfs", path.constData(), "tmpfs", MS_NOSUID | MS_NODEV, options.constData())
        != 0)
        m_problem = systemError("no tmpfs can be mounted");
}

SmallFileSystem::~SmallFileSystem()
{
    if (m_problem.isEmpty())
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

void SmallFileSystem::fill() const
{
    const int fd = ::open(QFile::encodeName(file(QStringLiteral("filler"))).constData(),
                          O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0)
        return;
    const QByteArray block(4096, 'x');
    while (::write(fd, block.constData(), size_t(block.size())) > 0) {
    }
    ::close(fd);
}

FileSizeLimit::FileSizeLimit(rlim_t limit)
{
    ::getrlimit(RLIMIT_FSIZE, &m_old);
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = m_old;
    small.rlim_cur = limit;
    ::setrlimit(RLIMIT_FSIZE, &small);
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
}

FullDisk::FullDisk(Kind kind)
{
    if (kind == Kind::SmallFileSystem)
        m_fs.emplace();
}

QString FullDisk::file(const QString& name) const
{
    return m_fs ? m_fs->file(name) : m_dir.filePath(name);
}

QString FullDisk::reason() const
{
    return QString::fromLocal8Bit(std::strerror(m_fs ? ENOSPC : EFBIG));
}

} // namespace corvane::test
