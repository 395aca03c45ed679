#include "scan/ResponseHead.h"

#include "model/SettingsStore.h"

#include <QList>
#include <QStringView>

#include <algorithm>
#include <cstring>
#include <limits>

namespace corvane {

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
void ResponseHead::removeRepeatedHead(QString& body, QByteArrayView bodyBytes, const QString& head)
{
    const qsizetype size = head.size();
    QList<qsizetype> copies;
    qsizetype nextFree = 0;
    for (qsizetype q = indexOfHeadEnd(bodyBytes, 0); q >= 0; q = indexOfHeadEnd(bodyBytes, q + 1)) {
        const qsizetype start = q + 4 - size;
        if (start < nextFree)
            continue;
        if (QStringView(body).sliced(start, size).compare(head, Qt::CaseInsensitive) == 0) {
            copies.append(start);
            nextFree = start + size;
        }
    }
    for (qsizetype k = copies.size() - 1; k >= 0; --k)
        body.remove(copies.at(k), size);
}

} // namespace corvane
