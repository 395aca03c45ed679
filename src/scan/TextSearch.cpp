#include "scan/TextSearch.h"

#include <QList>

#include <algorithm>

namespace corvane::TextSearch {

namespace {

bool isAscii(QStringView text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

inline char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
}

// A haystack character against a folded ASCII needle character. Beyond ASCII a few characters
// fold to ASCII letters (the Kelvin sign to "k", the long s to "s"), as in Qt's own comparison.
inline bool sameFolded(char16_t hay, char16_t foldedNeedle)
{
    if (hay < 0x80)
        return foldAscii(hay) == foldedNeedle;
    return QChar(hay).toCaseFolded().unicode() == foldedNeedle;
}

} // namespace

qsizetype indexOfNoCase(QStringView haystack, QStringView needle, qsizetype from)
{
    if (from < 0)
        from = std::max<qsizetype>(0, from + haystack.size());
    if (needle.isEmpty())
        return from <= haystack.size() ? from : -1;
    if (!isAscii(needle))
        return haystack.indexOf(needle, from, Qt::CaseInsensitive);
    const qsizetype n = needle.size();
    const qsizetype last = haystack.size() - n;
    const char16_t* h = haystack.utf16();
    const char16_t* nd = needle.utf16();
    const char16_t lower = foldAscii(nd[0]);
    const char16_t upper = (lower >= u'a' && lower <= u'z') ? char16_t(lower - (u'a' - u'A')) : lower;
    for (qsizetype i = from; i <= last; ++i) {
        const char16_t c = h[i];
        if (c != lower && c != upper && (c < 0x80 || !sameFolded(c, lower)))
            continue;
        qsizetype k = 1;
        while (k < n && sameFolded(h[i + k], foldAscii(nd[k])))
            ++k;
        if (k == n)
            return i;
    }
    return -1;
}

bool endsWithNoCase(QStringView text, QStringView end)
{
    if (end.size() > text.size())
        return false;
    if (!isAscii(end))
        return text.endsWith(end, Qt::CaseInsensitive);
    const char16_t* t = text.utf16() + (text.size() - end.size());
    for (qsizetype k = 0; k < end.size(); ++k)
        if (!sameFolded(t[k], foldAscii(end.utf16()[k])))
            return false;
    return true;
}

bool containsNoCase(QStringView haystack, QStringView needle)
{
    return indexOfNoCase(haystack, needle) >= 0;
}

QStringView trimBlanks(QStringView text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && text.at(from) == u' ')
        ++from;
    while (to > from && text.at(to - 1) == u' ')
        --to;
    return text.mid(from, to - from);
}

qsizetype replaceAllNoCase(QString& text, QStringView before, QStringView after)
{
    if (before.isEmpty())
        return 0;
    qsizetype at = indexOfNoCase(text, before);
    if (at < 0)
        return 0;
    if (after.size() <= before.size()) {
        // Nothing grows: the text is rewritten in place, left to right.
        QChar* d = text.data();
        const qsizetype n = text.size();
        qsizetype w = at;
        qsizetype copied = at;
        qsizetype count = 0;
        while (at >= 0) {
            std::copy(d + copied, d + at, d + w);
            w += at - copied;
            std::copy(after.begin(), after.end(), d + w);
            w += after.size();
            copied = at + before.size();
            ++count;
            at = indexOfNoCase(QStringView(d, n), before, copied);
        }
        std::copy(d + copied, d + n, d + w);
        w += n - copied;
        text.truncate(w);
        return count;
    }
    QString result;
    result.reserve(text.size() + (after.size() > before.size() ? 16 * (after.size() - before.size()) : 0));
    qsizetype copied = 0;
    qsizetype count = 0;
    while (at >= 0) {
        result.append(QStringView(text).mid(copied, at - copied));
        result.append(after);
        copied = at + before.size();
        ++count;
        at = indexOfNoCase(text, before, copied);
    }
    result.append(QStringView(text).mid(copied));
    text = std::move(result);
    return count;
}

qsizetype removeAllNoCase(QString& text, QStringView part)
{
    return replaceAllNoCase(text, part, QStringView());
}

} // namespace corvane::TextSearch
