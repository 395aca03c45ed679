#include "automation/ScanLog.h"

#include <QFile>

namespace corvane::ScanLog {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kScanPrefix = QStringLiteral("scan: ");

} // namespace

QString pathFor(const QString& projectPath)
{
    QString base = projectPath;
    if (base.endsWith(QStringLiteral(".prj"), Qt::CaseInsensitive))
        base.chop(4);
    return base + QStringLiteral(".scan.log");
}

bool append(const QString& projectPath, const QStringList& lines)
{
    // Appended in place rather than rewritten: a log loses nothing when two runs meet, and a
    // half-written last line spoils only itself.
    QFile file(pathFor(projectPath));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return false;
    const QString time = QDateTime::currentDateTime().toString(kTimeFormat);
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += (time + QStringLiteral("  ") + line + u'\n').toUtf8();
    return file.write(bytes) == bytes.size();
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
