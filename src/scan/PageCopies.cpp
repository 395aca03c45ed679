#include "scan/PageCopies.h"

#include "analysis/PageText.h"
#include "model/Windows1252.h"
#include "web/UrlTools.h"

#include <QFile>

namespace corvane {

QString PageCopies::writeFile(Copy& copy, const QString& path, const QByteArray& bytes)
{
    std::unique_ptr<QFile>& file = copy.file;
    // A file removed or replaced by someone else meanwhile gets a new file of that name.
    if (file && !QFile::exists(path))
        file.reset();
    if (!file) {
        file = std::make_unique<QFile>(path);
        copy.size = 0;
        if (!file->open(QIODevice::ReadWrite | QIODevice::Truncate | QIODevice::Unbuffered)) {
            const QString reason = file->errorString();
            file.reset();
            return reason;
        }
    }
    // The page is written over the one before, in place; the file is cut only when the new page
    // is shorter. A copy pointed at a device (/dev/null, to do without copies) is written to, not
    // rewound.
    const bool sequential = file->isSequential();
    if ((sequential || file->seek(0)) && file->write(bytes) == bytes.size() && file->flush()
        && (sequential || bytes.size() >= copy.size || file->resize(bytes.size()))) {
        copy.size = bytes.size();
        return {};
    }
    const QString reason = file->errorString();
    if (!sequential)
        file->resize(0);
    file->close();
    file.reset();
    return reason;
}

QString PageCopies::write(const PageText& text, int slot)
{
    const QString number = QString::number(slot);
    const auto paths
        = std::array{m_app.file(QStringLiteral("html") + number + QStringLiteral(".txt")),
                     m_app.file(QStringLiteral("html2") + number + QStringLiteral(".txt"))};
    std::array<Copy, 2> unkept;
    auto& files = slot >= 0 && slot < kKeptSlots ? m_open[std::size_t(slot)] : unkept;
    QString page = text.rewritten();
    page.append(u"\r\n");
    QByteArray bytes = Windows1252::encode(page);
    page.clear();
    QString problem = writeFile(files[0], paths[0], bytes);
    if (!problem.isEmpty())
        problem = UrlTools::FileNamePart(paths[0]) + QStringLiteral(": ") + problem;
    // Every character is one byte in the code page, and only CR and LF give the bytes 13 and 10:
    // the second copy is the first one's bytes without them.
    QByteArray flat(bytes.size(), Qt::Uninitialized);
    char* end = flat.data();
    for (const char c : QByteArrayView(bytes).chopped(2)) {
        *end = c;
        end += c != '\r' && c != '\n';
    }
    *end++ = '\r';
    *end++ = '\n';
    flat.truncate(end - flat.constData());
    const QString second = writeFile(files[1], paths[1], flat);
    if (problem.isEmpty() && !second.isEmpty())
        problem = UrlTools::FileNamePart(paths[1]) + QStringLiteral(": ") + second;
    return problem;
}

void PageCopies::closeAll()
{
    for (auto& files : m_open) {
        for (Copy& copy : files)
            copy.file.reset();
    }
}

} // namespace corvane
