#include "automation/ScanLog.h"

#include "model/FileWrite.h"

#include <QFile>
#include <QFileInfo>

namespace corvane::ScanLog {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kScanPrefix = QStringLiteral("scan: ");

// The newest whole lines of text that fit in keep bytes; at least the last line, however long.
QByteArrayView newestLines(QByteArrayView text, qint64 keep)
{
    if (text.size() <= keep)
        return text;
    qsizetype start = text.size() - keep;
    if (text.at(start - 1) != '\n') {
        const qsizetype lineEnd = text.indexOf('\n', start);
        start = lineEnd >= 0 && lineEnd + 1 < text.size()
                    ? lineEnd + 1
                    : text.first(text.size() - 1).lastIndexOf('\n') + 1;
    }
    return text.sliced(start);
}

} // namespace

QString pathFor(const QString& projectPath)
{
    QString base = projectPath;
    if (base.endsWith(QStringLiteral(".prj"), Qt::CaseInsensitive))
        base.chop(4);
    return base + QStringLiteral(".scan.log");
}

bool append(const QString& projectPath, const QStringList& lines, qint64 maxBytes)
{
    const QString path = pathFor(projectPath);
    const QString time = QDateTime::currentDateTime().toString(kTimeFormat);
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += (time + QStringLiteral("  ") + line + u'\n').toUtf8();
    // Appended in place rather than rewritten: a log loses nothing when two runs meet, and a
    // write that fails part of the way is taken back.
    if (QFileInfo(path).size() + bytes.size() <= maxBytes)
        return !FileWrite::append(path, bytes);
    // Past its size: the newest half is written beside the log and renamed over it, so a run
    // that dies meanwhile leaves the whole old log. A line another run appends between the read
    // and the rename is lost; runs of one project seldom meet, and only at this moment.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll() + bytes;
    file.close();
    return !FileWrite::replace(path, newestLines(text, maxBytes / 2));
}

std::optional<Run> lastRun(const QString& projectPath)
{
    QFile file(pathFor(projectPath));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    std::optional<Run> last;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype gap = line.indexOf(QStringLiteral("  "));
        if (gap < 0 || !line.mid(gap + 2).startsWith(kScanPrefix))
            continue;
        const QDateTime time = QDateTime::fromString(line.left(gap), kTimeFormat);
        if (time.isValid())
            last = Run{time, line.mid(gap + 2 + kScanPrefix.size())};
    }
    return last;
}

} // namespace corvane::ScanLog
