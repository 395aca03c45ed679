#include "scan/TextSearch.h"

#include <QList>

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane::TextSearch {

namespace {

// The first place in [from, end) where the unit is a or b, or (with nonAscii) is beyond ASCII;
// -1 when there is none. Eight units at a time.
// The units come as whole ints: a 16-bit value kept on the stack and read back as a vector
// lane stalls the load.
inline qsizetype findUnits(const char16_t* p, qsizetype from, qsizetype end, unsigned a, unsigned b,
                           bool nonAscii)
{
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i va = _mm_shuffle_epi32(_mm_shufflelo_epi16(_mm_cvtsi32_si128(int(a)), 0), 0);
    const __m128i vb = _mm_shuffle_epi32(_mm_shufflelo_epi16(_mm_cvtsi32_si128(int(b)), 0), 0);
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= end; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi16(x, va), _mm_cmpeq_epi16(x, vb))));
        if (nonAscii)
            mask |= ~unsigned(_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(x, high), zero)))
                & 0xFFFFu;
        if (mask != 0)
            return i + qCountTrailingZeroBits(mask) / 2;
    }
#endif
    for (; i < end; ++i) {
        const char16_t c = p[i];
        if (c == a || c == b || (nonAscii && c >= 0x80))
            return i;
    }
    return -1;
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

qsizetype indexOfUnit(QStringView text, char16_t c, qsizetype from)
{
    if (from < 0)
        from = 0;
    return findUnits(text.utf16(), from, text.size(), c, c, false);
}

qsizetype indexOfUpperOrNonAscii(QStringView text)
{
    const char16_t* const p = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i beforeA = _mm_set1_epi16(short(u'A' - 1));
    const __m128i afterZ = _mm_set1_epi16(short(u'Z' + 1));
    const __m128i high = _mm_set1_epi16(short(0xFF80));
    const __m128i zero = _mm_setzero_si128();
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i upper
            = _mm_and_si128(_mm_cmpgt_epi16(x, beforeA), _mm_cmplt_epi16(x, afterZ));
        const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(x, high), zero);
        const unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_or_si128(upper, _mm_xor_si128(ascii, _mm_set1_epi8(-1)))));
        if (mask != 0)
            return i + qCountTrailingZeroBits(mask) / 2;
    }
#endif
    for (; i < n; ++i) {
        const char16_t c = p[i];
        if (c >= 0x80 || (c >= u'A' && c <= u'Z'))
            return i;
    }
    return -1;
}

bool isAscii(QStringView text)
{
    return findUnits(text.utf16(), 0, text.size(), 0x80, 0x80, true) < 0;
}

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
    const char16_t upper = (lower >= u'a' && lower <= u'z') ? char16_t(lower - (u'a' - u'A'))
                                                            : lower;
    // The first letter's places are found eight at a time; beyond ASCII a character may still
    // fold to it, so those places are looked at too.
    for (qsizetype i = from; i <= last; ++i) {
        i = findUnits(h, i, last + 1, lower, upper, true);
        if (i < 0)
            return -1;
        const char16_t c = h[i];
        if (c >= 0x80 && !sameFolded(c, lower))
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
    result.reserve(text.size()
                   + (after.size() > before.size() ? 16 * (after.size() - before.size()) : 0));
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
