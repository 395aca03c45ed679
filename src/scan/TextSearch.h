#pragma once

#include <QString>
#include <QStringView>
#include <QtAlgorithms>
#include <QtGlobal>

#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace corvane::TextSearch {

// Substring search and replacement that ignore letter case, as the scan's text tests do, with the
// same answers as Qt's Qt::CaseInsensitive forms. An ASCII needle (every needle the scan uses) is
// matched by a direct scan instead of Qt's general folding search, which dominates the per-link
// cost otherwise.
qsizetype indexOfNoCase(QStringView haystack, QStringView needle, qsizetype from = 0);
bool containsNoCase(QStringView haystack, QStringView needle);
bool endsWithNoCase(QStringView text, QStringView end);
// Where the character first stands from `from` on, or -1. Vector code for the short texts of a
// link, which the scan looks through many times each.
qsizetype indexOfUnit(QStringView text, char16_t c, qsizetype from = 0);
// Where the first character that is an upper-case ASCII letter or beyond ASCII stands, or -1.
qsizetype indexOfUpperOrNonAscii(QStringView text);
bool isAscii(QStringView text);
// The text without the blanks (spaces, not tabs or line breaks) at both ends.
QStringView trimBlanks(QStringView text);
// Removes every occurrence, left to right, without overlaps. Returns how many were removed.
qsizetype removeAllNoCase(QString& text, QStringView part);
// Replaces every occurrence, left to right, without overlaps; replacements are not searched again.
qsizetype replaceAllNoCase(QString& text, QStringView before, QStringView after);

// Searches in the bytes of ASCII texts (the analysis' URLs), inline: the scan makes many of them
// for every link, each over a few dozen bytes, where a library call costs more than the search.
// Where the byte first stands from `from` on, or -1. Sixteen bytes at a time.
inline qsizetype indexOfByte(std::string_view text, char c, qsizetype from = 0)
{
    const char* const p = text.data();
    const auto n = qsizetype(text.size());
    qsizetype i = from;
#if defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(c);
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const unsigned mask = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(x, wanted)));
        if (mask != 0)
            return i + qCountTrailingZeroBits(mask);
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == c)
            return i;
    }
    return -1;
}

// Where the byte a first stands followed by the byte b, or -1.
inline qsizetype indexOfPair(std::string_view text, char a, char b)
{
    const char* const p = text.data();
    const auto n = qsizetype(text.size());
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i first = _mm_set1_epi8(a);
    const __m128i second = _mm_set1_epi8(b);
    for (; i + 17 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
        const unsigned mask = unsigned(
            _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, first), _mm_cmpeq_epi8(y, second))));
        if (mask != 0)
            return i + qCountTrailingZeroBits(mask);
    }
#endif
    for (; i + 1 < n; ++i) {
        if (p[i] == a && p[i + 1] == b)
            return i;
    }
    return -1;
}

// Whether part occurs in text (an empty part does).
inline bool containsBytes(std::string_view text, std::string_view part)
{
    if (part.empty())
        return true;
    if (part.size() > text.size())
        return false;
    const char* const p = text.data();
    const char first = part.front();
    const char* const rest = part.data() + 1;
    const std::size_t restSize = part.size() - 1;
    // The places where part could start.
    const auto places = qsizetype(text.size() - part.size() + 1);
    for (qsizetype i = indexOfByte(std::string_view(p, std::size_t(places)), first); i >= 0;
         i = indexOfByte(std::string_view(p, std::size_t(places)), first, i + 1)) {
        std::size_t k = 0;
        while (k < restSize && p[std::size_t(i) + 1 + k] == rest[k])
            ++k;
        if (k == restSize)
            return true;
    }
    return false;
}

} // namespace corvane::TextSearch
