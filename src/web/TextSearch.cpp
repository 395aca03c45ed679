#include "web/TextSearch.h"

#include <QStringMatcher>

#include <algorithm>

namespace corvane::TextSearch {

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

qsizetype find(QStringView text, QStringView needle, qsizetype from)
{
    if (needle.isEmpty())
        return from <= text.size() ? from : -1;
    const QChar first = needle.front();
    const qsizetype last = text.size() - needle.size();
    for (qsizetype at = text.indexOf(first, from); at >= 0 && at <= last;
         at = text.indexOf(first, at + 1)) {
        // The second character first: in a page most places of the first one go no further.
        if ((needle.size() < 2 || text[at + 1] == needle[1])
            && text.sliced(at, needle.size()) == needle)
            return at;
    }
    return -1;
}

QString replaceAll(QStringView text, QStringView before, QStringView after, Qt::CaseSensitivity cs)
{
    if (before.isEmpty())
        return text.toString();
    const QStringMatcher matcher(before, cs);
    qsizetype at = matcher.indexIn(text);
    if (at < 0)
        return text.toString();
    QString out;
    out.reserve(text.size() + std::max<qsizetype>(0, after.size() - before.size()) * 16);
    qsizetype from = 0;
    for (; at >= 0; at = matcher.indexIn(text, from)) {
        out.append(text.sliced(from, at - from));
        out.append(after);
        from = at + before.size();
    }
    out.append(text.sliced(from));
    return out;
}

QString caseFolded(QStringView text)
{
    const qsizetype n = text.size();
    QString out(n, Qt::Uninitialized);
    const char16_t* from = text.utf16();
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    // Pages are mostly ASCII: a block of it is folded without a branch per character.
    constexpr qsizetype kBlock = 16;
    qsizetype i = 0;
    while (i < n) {
        if (i + kBlock <= n) {
            char16_t any = 0;
            for (qsizetype k = 0; k < kBlock; ++k)
                any |= from[i + k];
            if (any < 0x80) {
                for (qsizetype k = 0; k < kBlock; ++k) {
                    const char16_t c = from[i + k];
                    to[i + k] = char16_t(c + (char16_t(c - u'A') < 26 ? u'a' - u'A' : 0));
                }
                i += kBlock;
                continue;
            }
        }
        const char16_t c = from[i];
        if (c < 0x80) {
            to[i] = c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(from[i + 1])) {
            // A character beyond the first plane folds to one beyond it too.
            const char32_t f = QChar::toCaseFolded(QChar::surrogateToUcs4(c, from[i + 1]));
            to[i] = QChar::highSurrogate(f);
            to[++i] = QChar::lowSurrogate(f);
        } else {
            to[i] = char16_t(QChar::toCaseFolded(char32_t(c)));
        }
        ++i;
    }
    return out;
}

} // namespace corvane::TextSearch
