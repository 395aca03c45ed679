#include "model/FileTypeList.h"

#include "model/FileWrite.h"
#include "model/Windows1252.h"

#include <QDir>
#include <QFile>

namespace corvane {

const QString FileTypeList::kEnterExtension =
    QStringLiteral("Please enter a file extension first.");

FileTypeList::FileTypeList(QString path) : m_path(std::move(path)) {}

void FileTypeList::load()
{
    m_entries.clear();
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QStringList lines = Windows1252::decode(file.readAll()).split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty() && line != QStringLiteral(" "))
            m_entries << line;
    }
}

QString FileTypeList::entryFor(const QString& typed)
{
    QString entry = typed.contains(u'.') ? typed : u'.' + typed;
    return entry.replace(QStringLiteral(".."), QStringLiteral("."));
}

FileTypeChange FileTypeList::add(const QString& typed)
{
    if (typed.isEmpty())
        return {false, kEnterExtension};
    return save(m_entries + QStringList{entryFor(typed)});
}

FileTypeChange FileTypeList::remove(int row)
{
    if (row < 0 || row >= m_entries.size())
        return {};
    QStringList entries = m_entries;
    entries.removeAt(row);
    return save(entries);
}

FileTypeChange FileTypeList::save(const QStringList& entries)
{
    QByteArray bytes;
    for (const QString& entry : entries)
        bytes += Windows1252::encode(entry) + "\r\n";
    // The whole file is replaced at once: a write that fails leaves the previous list in place.
    if (const std::optional<FileWriteError> error = FileWrite::replace(m_path, bytes)) {
        return {false, QStringLiteral("The list of file types could not be saved to %1: %2. The "
                                      "file keeps the list it had.")
                           .arg(QDir::toNativeSeparators(m_path), error->reason)};
    }
    m_entries = entries;
    return {true, {}};
}

} // namespace corvane
