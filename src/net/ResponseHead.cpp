#include "net/ResponseHead.h"

#include "model/SettingsStore.h"

#include <QDateTime>

#include <algorithm>
#include <cstring>
#include <limits>

namespace corvane {

std::pair<QString, QString> ResponseHead::statusLine(const QString& head)
{
    const qsizetype lineEnd = head.indexOf(QStringLiteral("\r\n"));
    const QStringView line = lineEnd >= 0 ? QStringView(head).first(lineEnd) : QStringView(head);
    const qsizetype firstSpace = line.indexOf(u' ');
    if (firstSpace < 0)
        return {};
    const QStringView rest = line.sliced(firstSpace + 1).trimmed();
    const qsizetype nextSpace = rest.indexOf(u' ');
    if (nextSpace < 0)
        return {rest.toString(), {}};
    return {rest.first(nextSpace).toString(), rest.sliced(nextSpace + 1).trimmed().toString()};
}

int ResponseHead::statusCode(const QString& head)
{
    const QString code = statusLine(head).first;
    if (code.size() != 3)
        return 0;
    for (const QChar c : code) {
        if (c < u'0' || c > u'9')
            return 0;
    }
    return code.toInt();
}

QList<QStringView> ResponseHead::fieldValues(QStringView head, QStringView name)
{
    QList<QStringView> values;
    qsizetype start = 0;
    while (start < head.size()) {
        qsizetype end = head.indexOf(u'\n', start);
        if (end < 0)
            end = head.size();
        const QStringView line = head.sliced(start, end - start);
        if (line.size() > name.size() && line.startsWith(name, Qt::CaseInsensitive)
            && line[name.size()] == u':')
            values.append(line.sliced(name.size() + 1).trimmed());
        start = end + 1;
    }
    return values;
}

qint64 ResponseHead::retryAfterSeconds(const QString& head, const QDateTime& now)
{
    const QList<QStringView> values = fieldValues(head, u"Retry-After");
    if (values.isEmpty())
        return -1;
    const QString value = values.first().toString();
    bool isNumber = false;
    const qint64 seconds = value.toLongLong(&isNumber);
    if (isNumber)
        return seconds < 0 ? -1 : seconds;
    const QDateTime when = QDateTime::fromString(value, Qt::RFC2822Date);
    if (!when.isValid())
        return -1;
    return std::max<qint64>(0, now.secsTo(when));
}

// The number after the first blank of a header line, read the way the header reader always has:
// leading digits only; 0 when there are none.
qint32 ResponseHead::contentLengthOf(const QString& line)
{
    const qsizetype space = line.indexOf(u' ');
    const QString rest = space >= 0 ? line.mid(space + 1) : line;
    qint64 value = 0;
    if (!parseLeadingInt(rest, &value))
        return 0;
    return qint32(std::clamp<qint64>(value, 0, std::numeric_limits<qint32>::max()));
}

// Where the first CR LF CR LF starts, from the given position on; -1 when there is none. Found by
// its CR, with the library's fast character search: the general byte-string search hashes every
// byte it passes, which made this the costliest step of a page.
qsizetype ResponseHead::indexOfHeadEnd(QByteArrayView bytes, qsizetype from)
{
    const char* const p = bytes.data();
    const qsizetype size = bytes.size();
    for (qsizetype i = from; i + 4 <= size;) {
        const void* cr = std::memchr(p + i, '\r', std::size_t(size - 3 - i));
        if (!cr)
            return -1;
        i = static_cast<const char*>(cr) - p;
        if (p[i + 1] == '\n' && p[i + 2] == '\r' && p[i + 3] == '\n')
            return i;
        ++i;
    }
    return -1;
}

// The body goes on without every further copy of the head in it (letter case ignored), as a
// removal of every copy from the whole response would leave it. A copy ends with the head's
// CR LF CR LF, which nothing else matches, so only the places where the bytes hold one are
// compared, left to right and without overlaps.
void ResponseHead::removeRepeatedHead(QByteArray& body, QByteArrayView head)
{
    const qsizetype size = head.size();
    if (size == 0)
        return;
    QList<qsizetype> copies;
    qsizetype nextFree = 0;
    for (qsizetype q = indexOfHeadEnd(body, 0); q >= 0; q = indexOfHeadEnd(body, q + 1)) {
        const qsizetype start = q + 4 - size;
        if (start < nextFree)
            continue;
        if (QByteArrayView(body).sliced(start, size).compare(head, Qt::CaseInsensitive) == 0) {
            copies.append(start);
            nextFree = start + size;
        }
    }
    for (qsizetype k = copies.size() - 1; k >= 0; --k)
        body.remove(copies.at(k), size);
}

} // namespace corvane
