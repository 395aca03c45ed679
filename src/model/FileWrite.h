#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>

#include <optional>

namespace corvane {

// Why a file could not be written: the QFileDevice error code and the system's own words for it
// ("No space left on device").
struct FileWriteError {
    QFileDevice::FileError code = QFileDevice::WriteError;
    QString reason;
};

// The one way every file the program writes reaches the disk, so a full disk, a quota or a
// vanished folder is always noticed and never reported as success.
namespace FileWrite {

// Makes bytes the whole new content of the file at path. The bytes go to a temporary file in the
// same folder, every write is checked, the data is synced, and only then is the temporary file
// renamed over the old one: on any failure the old file (or its absence) stays as it was.
// Returns nothing on success, else the reason.
std::optional<FileWriteError> replace(const QString& path, QByteArrayView bytes);

// Adds bytes to the end of the file at path (created when missing), for logs. A write that fails
// part of the way is cut off again, so the file never ends in a half record.
std::optional<FileWriteError> append(const QString& path, QByteArrayView bytes);

// What keeps anything from being written beside path, in the user's words ("the folder is
// read-only", "the disk is full"); empty when it is neither.
QString folderCause(const QString& path);

} // namespace FileWrite

} // namespace corvane
