#include "model/FileWrite.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cerrno>
#include <cstring>
#include <sys/statvfs.h>
#include <unistd.h>

namespace corvane::FileWrite {

namespace {

FileWriteError errorOf(const QFileDevice& file, QFileDevice::FileError fallback)
{
    const QFileDevice::FileError code = file.error();
    QString reason = file.errorString();
    if (reason.isEmpty() || reason == QStringLiteral("Unknown error"))
        reason = QStringLiteral("The file could not be written completely.");
    return {code != QFileDevice::NoError ? code : fallback, reason};
}

// Writes every byte or says why not. A full disk often lets a first write through part of the
// way: the next write then gets the system's reason.
bool writeAll(QFileDevice& file, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = file.write(bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

// Data the system accepted can still fail on its way to the disk (a network file system, a
// quota counted at write-back). Asking for it now, while the old file is still in place, turns
// such a failure into a failed save. Files that cannot be synced (EINVAL, EROFS) have nothing
// waiting.
std::optional<FileWriteError> syncToDisk(const QFileDevice& file)
{
    const int fd = file.handle();
    if (fd < 0 || ::fsync(fd) == 0 || errno == EINVAL || errno == EROFS)
        return std::nullopt;
    const int code = errno;
    return FileWriteError{code == ENOSPC || code == EDQUOT ? QFileDevice::ResourceError
                                                           : QFileDevice::WriteError,
                          QString::fromLocal8Bit(std::strerror(code))};
}

} // namespace

std::optional<FileWriteError> replace(const QString& path, QByteArrayView bytes)
{
    QSaveFile file(path);
    // Unbuffered: every write reaches the system at once and its result is checked here. Through
    // QSaveFile's buffer a small file is written only by commit(), whose failed flush goes
    // unnoticed and renames an empty file over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return errorOf(file, QFileDevice::OpenError);
    if (!writeAll(file, bytes)) {
        const FileWriteError error = errorOf(file, QFileDevice::WriteError);
        file.cancelWriting();
        return error;
    }
    if (const std::optional<FileWriteError> error = syncToDisk(file)) {
        file.cancelWriting();
        return error;
    }
    if (!file.commit())
        return errorOf(file, QFileDevice::RenameError);
    return std::nullopt;
}

std::optional<FileWriteError> append(const QString& path, QByteArrayView bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return errorOf(file, QFileDevice::OpenError);
    const qint64 before = file.size();
    if (!writeAll(file, bytes)) {
        const FileWriteError error = errorOf(file, QFileDevice::WriteError);
        file.resize(before);
        return error;
    }
    return std::nullopt;
}

QString folderCause(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    // access() sees a read-only mount even for root, whom the folder's own rights do not stop.
    if (::access(folder.constData(), W_OK) != 0 && (errno == EROFS || errno == EACCES))
        return QStringLiteral("the folder is read-only");
    struct statvfs disk = {};
    if (::statvfs(folder.constData(), &disk) == 0
        && (::geteuid() == 0 ? disk.f_bfree : disk.f_bavail) == 0)
        return QStringLiteral("the disk is full");
    return {};
}

} // namespace corvane::FileWrite
