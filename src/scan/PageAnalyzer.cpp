#include "scan/PageAnalyzer.h"

#include "model/Project.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "scan/DownloadText.h"
#include "scan/PageCopyWriter.h"
#include "scan/ScanStatistics.h"
#include "scan/TextSearch.h"
#include "scan/UrlTools.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <utility>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace corvane {

namespace {

const QString kHref = QStringLiteral("href=");
const QString kWww = QStringLiteral("www.");

const QString kPossibleRedirect = QStringLiteral("Possible Redirected URL");
const QString kSourceProtected = QStringLiteral("Source Protected");
const QString kScriptError = QStringLiteral("Server Script Error");
const QString kRuleProblem = QStringLiteral("Possible Rule Problem");

// Compared with case-folded text, so written folded.
constexpr QByteArrayView kJavascript = "javascript";
constexpr QByteArrayView kMailto = "mailto";
constexpr QByteArrayView kFileScheme = "file://";
constexpr QByteArrayView kUnsaved = "unsaved:";
constexpr QByteArrayView kHrefBytes = "href=";
constexpr QByteArrayView kProtectionNotice = "you are seeing this text because";
constexpr QByteArrayView kPhpTag = "<?php";
// What marks a server's "moved" page.
constexpr QByteArrayView kRedirectMarkers[] = {
    "302 found",
    "301 moved permanently",
    "<title>document moved</title>",
    "<title>object moved</title>",
};

// The blanks after "href=" go in passes of eight, seven, ... one blank, each pass at most once per
// attribute: together at most 36 of them.
constexpr int kMaxDroppedBlanks = 36;

// Letter case is ignored the way every text test of the scan ignores it: one UTF-16 unit at a
// time, so positions in the folded text are positions in the original.
char16_t foldUnit(char16_t u)
{
    if (u < 0x80)
        return (u >= u'A' && u <= u'Z') ? char16_t(u + (u'a' - u'A')) : u;
    if (QChar::isSurrogate(u))
        return u;
    const char32_t folded = QChar::toCaseFolded(char32_t(u));
    return folded <= 0xFFFF ? char16_t(folded) : u;
}

QString foldText(QStringView text)
{
    QString out(text.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const QChar ch : text)
        *dst++ = QChar(foldUnit(ch.unicode()));
    return out;
}

// The page is searched as bytes: each character folded, and written as its Latin-1 byte, or as
// 0 when the folded character has none. A needle whose folded characters all have a byte other
// than 0 then matches the bytes exactly where it matches the text; other needles are looked for
// in the text itself.
const std::array<char, 256>& foldedByteTable()
{
    static const std::array<char, 256> table = [] {
        std::array<char, 256> t{};
        for (int c = 0; c < 256; ++c) {
            const char16_t folded = foldUnit(char16_t(c));
            t[std::size_t(c)] = folded < 256 ? char(folded) : '\0';
        }
        return t;
    }();
    return table;
}

// The text folded for searching, as bytes (see foldedByteTable).
// A character folded to its byte (see foldedByteTable).
inline char foldedByte(char16_t u)
{
    if (u < 0x100)
        return foldedByteTable()[u];
    const char16_t lower = foldUnit(u);
    return lower < 256 ? char(lower) : '\0';
}

// Folds n characters one at a time, noting the places of "=".
void foldEach(const char16_t* src, char* f, qsizetype n, qsizetype at,
              std::vector<qsizetype>& equals)
{
    for (qsizetype i = 0; i < n; ++i) {
        f[i] = foldedByte(src[i]);
        if (f[i] == '=')
            equals.push_back(at + i);
    }
}

// The places of the set bits of mask, from `at` on.
inline void notePlaces(unsigned mask, qsizetype at, std::vector<qsizetype>& places)
{
    for (; mask != 0; mask &= mask - 1)
        places.push_back(at + qCountTrailingZeroBits(mask));
}

#if defined(__x86_64__) && defined(__GNUC__)
// 32 characters at a time, on processors that have AVX2. Returns how many were folded.
__attribute__((target("avx2"))) qsizetype foldAvx2(const char16_t* src, char* f, qsizetype n,
                                                   std::vector<qsizetype>& equals)
{
    qsizetype i = 0;
    for (; i + 32 <= n; i += 32) {
        const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i));
        const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(src + i + 16));
        const __m256i beyondAscii
            = _mm256_and_si256(_mm256_or_si256(low, high), _mm256_set1_epi16(short(0xFF80)));
        if (!_mm256_testz_si256(beyondAscii, beyondAscii)) {
            foldEach(src + i, f + i, 32, i, equals);
            continue;
        }
        // packus works within each half: the quarters are put back in order after it.
        const __m256i narrow = _mm256_permute4x64_epi64(_mm256_packus_epi16(low, high), 0xD8);
        const __m256i upper
            = _mm256_and_si256(_mm256_cmpgt_epi8(narrow, _mm256_set1_epi8('A' - 1)),
                               _mm256_cmpgt_epi8(_mm256_set1_epi8('Z' + 1), narrow));
        const __m256i lower
            = _mm256_add_epi8(narrow, _mm256_and_si256(upper, _mm256_set1_epi8(0x20)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(f + i), lower);
        notePlaces(unsigned(_mm256_movemask_epi8(_mm256_cmpeq_epi8(lower, _mm256_set1_epi8('=')))),
                   i, equals);
    }
    return i;
}
#endif

// The text folded for searching, as bytes (see foldedByteTable), and the places of "=" in it.
void foldToBytes(QStringView text, QByteArray& folded, std::vector<qsizetype>& equals)
{
    folded.resize(text.size());
    char* const f = folded.data();
    const char16_t* const src = text.utf16();
    const qsizetype n = text.size();
    qsizetype i = 0;
    // Pages are mostly ASCII: a block of it is folded and narrowed at once.
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2)
        i = foldAvx2(src, f, n, equals);
#endif
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 8));
        const __m128i beyondAscii
            = _mm_and_si128(_mm_or_si128(low, high), _mm_set1_epi16(short(0xFF80)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(beyondAscii, _mm_setzero_si128())) != 0xFFFF) {
            foldEach(src + i, f + i, 16, i, equals);
            continue;
        }
        const __m128i narrow = _mm_packus_epi16(low, high);
        const __m128i upper = _mm_and_si128(_mm_cmpgt_epi8(narrow, _mm_set1_epi8('A' - 1)),
                                            _mm_cmplt_epi8(narrow, _mm_set1_epi8('Z' + 1)));
        const __m128i lower = _mm_add_epi8(narrow, _mm_and_si128(upper, _mm_set1_epi8(0x20)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(f + i), lower);
        notePlaces(unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(lower, _mm_set1_epi8('=')))), i,
                   equals);
    }
#endif
    foldEach(src + i, f + i, n - i, i, equals);
}

// The text as bytes when it is all ASCII; false (out unspecified) when it is not.
bool narrowAscii(QStringView text, std::string& out)
{
    const char16_t* const p = text.utf16();
    const auto n = std::size_t(text.size());
    out.resize(n);
    char* const d = out.data();
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 8));
        const __m128i beyondAscii
            = _mm_and_si128(_mm_or_si128(low, high), _mm_set1_epi16(short(0xFF80)));
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(beyondAscii, _mm_setzero_si128())) != 0xFFFF)
            return false;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(low, high));
    }
#endif
    for (; i < n; ++i) {
        if (p[i] >= 0x80)
            return false;
        d[i] = char(p[i]);
    }
    return true;
}

std::optional<QByteArray> foldedNeedle(QStringView needle)
{
    QByteArray out(needle.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (const QChar ch : needle) {
        const char16_t folded = foldUnit(ch.unicode());
        if (folded == 0 || folded >= 256)
            return std::nullopt;
        *dst++ = char(folded);
    }
    return out;
}

using TextSearch::indexOfUnit;

// Whether n bytes agree: the texts compared per link are a few bytes long, shorter than the call
// to the library's comparison.
inline bool sameBytes(const char* a, const char* b, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

// A substring test for the short texts of one link, without the set-up cost of a text search.
bool has(QStringView text, QStringView part)
{
    if (part.isEmpty())
        return true;
    const char16_t* t = text.utf16();
    const char16_t* p = part.utf16();
    const qsizetype n = part.size();
    for (qsizetype i = indexOfUnit(text, p[0]); i >= 0 && i + n <= text.size();
         i = indexOfUnit(text, p[0], i + 1)) {
        if (std::equal(p + 1, p + n, t + i + 1))
            return true;
    }
    return false;
}

// The same for bytes.
bool hasBytes(QByteArrayView text, QByteArrayView part)
{
    return TextSearch::containsBytes(std::string_view(text.data(), std::size_t(text.size())),
                                     std::string_view(part.data(), std::size_t(part.size())));
}

// ASCII bytes in lower case, as bytes and as UTF-16 units. Sixteen at a time.
void lowerAndWiden(std::string_view text, char* lower, char16_t* wide)
{
    const char* const p = text.data();
    const auto n = std::size_t(text.size());
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        // Signed compares: bytes beyond ASCII are negative and are not letters.
        const __m128i isUpper = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8('A' - 1)),
                                              _mm_cmplt_epi8(x, _mm_set1_epi8('Z' + 1)));
        const __m128i l = _mm_add_epi8(x, _mm_and_si128(isUpper, _mm_set1_epi8(0x20)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(lower + i), l);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wide + i),
                         _mm_unpacklo_epi8(l, _mm_setzero_si128()));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wide + i + 8),
                         _mm_unpackhi_epi8(l, _mm_setzero_si128()));
    }
#endif
    for (; i < n; ++i) {
        const char c = p[i];
        const char l = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
        lower[i] = l;
        wide[i] = char16_t(static_cast<unsigned char>(l));
    }
}

// Lower case as QString::toLower gives it, without its set-up cost for the ASCII text of most
// URLs.
QString lowerCase(const QString& text)
{
    const qsizetype firstUpper = TextSearch::indexOfUpperOrNonAscii(text);
    if (firstUpper < 0)
        return text;
    QString out = text;
    QChar* d = out.data();
    const qsizetype n = out.size();
    for (qsizetype i = firstUpper; i < n; ++i) {
        const char16_t c = d[i].unicode();
        if (c >= 0x80)
            return text.toLower();
        if (c >= u'A' && c <= u'Z')
            d[i] = QChar(char16_t(c + (u'a' - u'A')));
    }
    return out;
}

// The text without any "www." (letter case as written), in one copy.
QString withoutWww(const QString& text)
{
    QString out(text.size(), Qt::Uninitialized);
    const char16_t* p = QStringView(text).utf16();
    const qsizetype n = text.size();
    char16_t* d = reinterpret_cast<char16_t*>(out.data());
    qsizetype w = 0;
    for (qsizetype i = 0; i < n;) {
        if (p[i] == u'w' && i + 4 <= n && p[i + 1] == u'w' && p[i + 2] == u'w'
            && p[i + 3] == u'.') {
            i += 4;
            continue;
        }
        d[w++] = p[i++];
    }
    out.truncate(w);
    return out;
}

void cutBefore(QString& text, QChar c)
{
    const qsizetype at = text.indexOf(c);
    if (at >= 0)
        text.truncate(at);
}

// The page copies of a slot: the page with every "href=" on a line of its own, and without
// line breaks.
std::pair<QString, QString> copyPaths(const AppFolder& app, int slot)
{
    return {app.file(QStringLiteral("html%1.txt").arg(slot)),
            app.file(QStringLiteral("html2%1.txt").arg(slot))};
}

// Copies n bytes without their CR and LF bytes; returns where the copy ends. Sixteen bytes at a
// time where they hold no line break.
char* copyWithoutBreaks(const char* src, qsizetype n, char* dst)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const int breaks
            = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf)));
        if (breaks == 0) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), x);
            dst += 16;
            continue;
        }
        for (qsizetype k = i; k < i + 16; ++k) {
            if (src[k] != '\r' && src[k] != '\n')
                *dst++ = src[k];
        }
    }
#endif
    for (; i < n; ++i) {
        if (src[i] != '\r' && src[i] != '\n')
            *dst++ = src[i];
    }
    return dst;
}

// The first quote, apostrophe or ">" among the first n bytes, or -1.
qsizetype firstCloser(const char* p, qsizetype n)
{
    qsizetype i = 0;
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i apostrophe = _mm_set1_epi8('\'');
    const __m128i greater = _mm_set1_epi8('>');
    for (; i + 16 <= n; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        const unsigned mask = unsigned(_mm_movemask_epi8(
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, apostrophe)),
                         _mm_cmpeq_epi8(x, greater))));
        if (mask != 0)
            return i + qCountTrailingZeroBits(mask);
    }
#endif
    for (; i < n; ++i) {
        if (p[i] == '"' || p[i] == '\'' || p[i] == '>')
            return i;
    }
    return -1;
}

// The link value of a line "href=" + rest, where rest holds no further "href=": up to the first
// quote or ">" that is not the line's last character, else the line less its last two
// characters; without its "href=", trimmed, and cut at a blank. None when the cut-out with its
// "href=" is shorter than six characters. The value is a part of rest.
// folded: the folded bytes of rest, where the closing characters are looked for.
std::optional<QStringView> cutValueView(QStringView rest, QByteArrayView folded)
{
    // "href=" followed by a double quote, then by an apostrophe, becomes "href=".
    if (rest.startsWith(u'"')) {
        rest = rest.mid(1);
        folded = folded.sliced(1);
    }
    if (rest.startsWith(u'\'')) {
        rest = rest.mid(1);
        folded = folded.sliced(1);
    }
    const qsizetype cut = rest.size() > 1 ? firstCloser(folded.data(), rest.size() - 1) : -1;
    const qsizetype size = cut >= 0 ? cut : std::max<qsizetype>(rest.size() - 2, 0);
    if (size == 0)
        return std::nullopt;
    // Trimmed and cut at a blank on the folded bytes, where a blank stands where it stands in
    // the text (nothing else folds to it).
    const char* const f = folded.data();
    qsizetype from = 0;
    qsizetype to = size;
    while (from < to && f[from] == ' ')
        ++from;
    while (to > from && f[to - 1] == ' ')
        --to;
    const qsizetype blank
        = TextSearch::indexOfByte(std::string_view(f + from, std::size_t(to - from)), ' ');
    if (blank >= 0)
        to = from + blank;
    return rest.sliced(from, to - from);
}

// The same for a text of its own: its folded bytes are made for the cut.
std::optional<QStringView> cutValueView(QStringView rest)
{
    QByteArray folded(rest.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const char16_t u = rest[i].unicode();
        folded[i] = u < 0x80 ? char(u) : '\0';
    }
    return cutValueView(rest, folded);
}

std::optional<QString> cutValue(QStringView rest)
{
    if (const std::optional<QStringView> v = cutValueView(rest))
        return v->toString();
    return std::nullopt;
}

// A text looked for in the page by its first byte b0 and the byte b1 that stands off places
// later: the places where both stand are compared with its needles (at most two, each starting
// with b0 and holding b1 at off). found: the first place of any of them, -1 when none.
struct Probe {
    char b0 = 0;
    qsizetype off = 0;
    char b1 = 0;
    // A third byte between them: a pair of bytes alone comes up by chance in ordinary text often
    // enough to cost more than the search.
    qsizetype midOff = 0;
    char bm = 0;
    std::array<QByteArrayView, 2> needles;
    int count = 0;
    qsizetype found = -1;

    Probe() = default;
    explicit Probe(QByteArrayView needle)
        : b0(needle.front()),
          off(needle.size() - 1),
          b1(needle.back()),
          midOff(off / 2),
          bm(needle.at(midOff)),
          needles{needle, {}},
          count(1)
    {
    }
    // Two needles with the same bytes at 0 and at offset (and at the first place between them
    // where they agree).
    Probe(char first, qsizetype offset, char second, QByteArrayView a, QByteArrayView b)
        : b0(first), off(offset), b1(second), bm(first), needles{a, b}, count(2)
    {
        for (qsizetype m = 1; m < offset; ++m) {
            if (a.at(m) == b.at(m)) {
                midOff = m;
                bm = a.at(m);
                break;
            }
        }
    }

    // Tries the places from i on that the mask's bits name, in order; true when one matched
    // (found then holds it).
    bool tryPlaces(const char* p, qsizetype size, qsizetype i, unsigned mask)
    {
        for (; mask != 0; mask &= mask - 1) {
            const qsizetype at = i + qCountTrailingZeroBits(mask);
            if (matchesAt(p, size, at)) {
                found = at;
                return true;
            }
        }
        return false;
    }

    bool matchesAt(const char* p, qsizetype size, qsizetype at) const
    {
        for (int k = 0; k < count; ++k) {
            const QByteArrayView needle = needles[std::size_t(k)];
            if (at + needle.size() <= size
                && std::memcmp(p + at, needle.data(), std::size_t(needle.size())) == 0)
                return true;
        }
        return false;
    }
};

// The probes still looking, and how far past a place the furthest of them reads.
std::size_t openProbes(const Probe* probes, std::size_t used, qsizetype& maxOff)
{
    std::size_t open = 0;
    maxOff = 0;
    for (std::size_t k = 0; k < used; ++k) {
        if (probes[k].found < 0) {
            ++open;
            maxOff = std::max(maxOff, probes[k].off);
        }
    }
    return open;
}

// The places from i on, one at a time: the end of the text, and the whole text without vector
// code.
void findAllFrom(const char* p, qsizetype size, qsizetype i, Probe* probes, std::size_t used,
                 std::size_t open)
{
    for (; open > 0 && i < size; ++i) {
        for (std::size_t k = 0; k < used; ++k) {
            Probe& probe = probes[k];
            if (probe.found < 0 && i + probe.off < size && p[i] == probe.b0
                && p[i + probe.off] == probe.b1 && p[i + probe.midOff] == probe.bm
                && probe.matchesAt(p, size, i)) {
                probe.found = i;
                --open;
            }
        }
    }
}

constexpr std::size_t kMaxProbes = 5;

// The probes that every block is tried with: the open ones, and in the lanes left over the
// first open one again (its places are then tried twice, which finds nothing new). Fixed lanes
// keep the block loop's values in registers.
std::array<std::size_t, kMaxProbes> laneProbes(const Probe* probes, std::size_t used)
{
    std::array<std::size_t, kMaxProbes> lanes{};
    std::size_t n = 0;
    for (std::size_t k = 0; k < used; ++k) {
        if (probes[k].found < 0)
            lanes[n++] = k;
    }
    for (std::size_t k = n; k < kMaxProbes; ++k)
        lanes[k] = n > 0 ? lanes[0] : 0;
    return lanes;
}

#if defined(__x86_64__) && defined(__GNUC__)
// 32 places at a time, on processors that have AVX2 (looked up once at run time).
__attribute__((target("avx2"))) void findAllAvx2(const char* p, qsizetype size, Probe* probes,
                                                 std::size_t used)
{
    qsizetype maxOff = 0;
    std::size_t open = openProbes(probes, used, maxOff);
    qsizetype i = 0;
    while (open > 0 && i + 32 + maxOff <= size) {
        const std::array<std::size_t, kMaxProbes> lane = laneProbes(probes, used);
        __m256i first[kMaxProbes];
        __m256i second[kMaxProbes];
        __m256i middle[kMaxProbes];
        qsizetype off[kMaxProbes];
        qsizetype midOff[kMaxProbes];
        for (std::size_t k = 0; k < kMaxProbes; ++k) {
            const Probe& probe = probes[lane[k]];
            first[k] = _mm256_set1_epi8(probe.b0);
            second[k] = _mm256_set1_epi8(probe.b1);
            middle[k] = _mm256_set1_epi8(probe.bm);
            off[k] = probe.off;
            midOff[k] = probe.midOff;
        }
        std::array<unsigned, kMaxProbes> masks{};
        bool hit = false;
        for (; i + 32 + maxOff <= size; i += 32) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i));
            unsigned any = 0;
            // A fixed count: the loop is unrolled and its values stay in registers.
            for (std::size_t k = 0; k < kMaxProbes; ++k) {
                const __m256i b
                    = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + off[k]));
                const __m256i c
                    = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + i + midOff[k]));
                masks[k] = unsigned(_mm256_movemask_epi8(
                    _mm256_and_si256(_mm256_and_si256(_mm256_cmpeq_epi8(a, first[k]),
                                                      _mm256_cmpeq_epi8(b, second[k])),
                                     _mm256_cmpeq_epi8(c, middle[k]))));
                any |= masks[k];
            }
            if (any != 0) {
                hit = true;
                break;
            }
        }
        if (!hit)
            break;
        // The candidates of this block, each open probe once, in the probes' order.
        std::array<unsigned, kMaxProbes> probeMask{};
        for (std::size_t k = 0; k < kMaxProbes; ++k)
            probeMask[lane[k]] |= masks[k];
        for (std::size_t k = 0; k < used; ++k) {
            if (probes[k].found < 0 && probeMask[k] != 0
                && probes[k].tryPlaces(p, size, i, probeMask[k]))
                --open;
        }
        i += 32;
        open = openProbes(probes, used, maxOff);
    }
    findAllFrom(p, size, i, probes, used, open);
}
#endif

// Finds the first place of every probe in one pass over the text; a probe that has found its
// place is not tried again. One pass for all of them reads the page once, where a search per
// text read it once each.
void findAll(const QByteArray& text, Probe* probes, std::size_t used)
{
    Q_ASSERT(used <= kMaxProbes);
    const char* const p = text.constData();
    const qsizetype size = text.size();
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        findAllAvx2(p, size, probes, used);
        return;
    }
#endif
    qsizetype maxOff = 0;
    std::size_t open = openProbes(probes, used, maxOff);
    qsizetype i = 0;
#if defined(__SSE2__)
    __m128i first[kMaxProbes];
    __m128i second[kMaxProbes];
    for (std::size_t k = 0; k < used; ++k) {
        first[k] = _mm_set1_epi8(probes[k].b0);
        second[k] = _mm_set1_epi8(probes[k].b1);
    }
    for (; open > 0 && i + 16 + maxOff <= size; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        for (std::size_t k = 0; k < used; ++k) {
            Probe& probe = probes[k];
            if (probe.found >= 0)
                continue;
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + probe.off));
            const __m128i c
                = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + probe.midOff));
            const unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(
                _mm_and_si128(_mm_cmpeq_epi8(a, first[k]), _mm_cmpeq_epi8(b, second[k])),
                _mm_cmpeq_epi8(c, _mm_set1_epi8(probe.bm)))));
            if (mask != 0 && probe.tryPlaces(p, size, i, mask))
                --open;
        }
    }
#endif
    findAllFrom(p, size, i, probes, used, open);
}

} // namespace

// Where the bytes that the tests of a link value start with stand in its folded bytes, one bit a
// place: a value is looked through once, where a search per test would look through it again
// and again. For values of up to 64 bytes.
struct PageAnalyzer::ValueMarks {
    static constexpr qsizetype kMaxSize = 64;
    std::uint64_t dot = 0;
    std::uint64_t question = 0;
    std::uint64_t hash = 0;
    // A byte followed by another: "ja" (javascript), "ma" (mailto), "fi" (file://), "un"
    // (unsaved:).
    std::uint64_t ja = 0;
    std::uint64_t ma = 0;
    std::uint64_t fi = 0;
    std::uint64_t un = 0;
    QByteArrayView bytes;

    // value: the folded bytes; readable: from the value's start to the end of the bytes around it.
    ValueMarks(QByteArrayView value, QByteArrayView readable) : bytes(value)
    {
        const char* const p = value.data();
        const qsizetype n = value.size();
        qsizetype i = 0;
#if defined(__SSE2__)
        // Blocks of sixteen with the byte after each: read past the value where the text goes on.
        for (; i < n && i + 17 <= readable.size(); i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i + 1));
            const auto is = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
            const auto bits
                = [i](__m128i m) { return std::uint64_t(unsigned(_mm_movemask_epi8(m))) << i; };
            dot |= bits(is(x, '.'));
            question |= bits(is(x, '?'));
            hash |= bits(is(x, '#'));
            ja |= bits(_mm_and_si128(is(x, 'j'), is(y, 'a')));
            ma |= bits(_mm_and_si128(is(x, 'm'), is(y, 'a')));
            fi |= bits(_mm_and_si128(is(x, 'f'), is(y, 'i')));
            un |= bits(_mm_and_si128(is(x, 'u'), is(y, 'n')));
        }
#endif
        for (; i < n; ++i) {
            const char c = p[i];
            const char next = i + 1 < n ? p[i + 1] : '\0';
            const std::uint64_t bit = std::uint64_t(1) << i;
            dot |= c == '.' ? bit : 0;
            question |= c == '?' ? bit : 0;
            hash |= c == '#' ? bit : 0;
            ja |= c == 'j' && next == 'a' ? bit : 0;
            ma |= c == 'm' && next == 'a' ? bit : 0;
            fi |= c == 'f' && next == 'i' ? bit : 0;
            un |= c == 'u' && next == 'n' ? bit : 0;
        }
        // Only places inside the value count; a pair, only when its second byte is inside too.
        const std::uint64_t inside = n >= 64 ? ~std::uint64_t(0) : (std::uint64_t(1) << n) - 1;
        const std::uint64_t pairs = inside >> 1;
        dot &= inside;
        question &= inside;
        hash &= inside;
        ja &= pairs;
        ma &= pairs;
        fi &= pairs;
        un &= pairs;
    }

    // Whether the needle stands at one of the places (its first two bytes are those marked).
    bool has(std::uint64_t places, QByteArrayView needle) const
    {
        for (; places != 0; places &= places - 1) {
            const qsizetype at = qCountTrailingZeroBits(places);
            if (at + needle.size() <= bytes.size()
                && sameBytes(bytes.data() + at, needle.data(), needle.size()))
                return true;
        }
        return false;
    }
};

// The page text with what the analysis needs to know about it. The text is kept as it came;
// the rewriting that puts every "href=" on a line of its own is described by where each "href="
// is and where its value starts once the blanks after it are gone.
struct PageAnalyzer::PageText {
    struct Href {
        qsizetype at = 0;    // the "href=" in the text
        qsizetype value = 0; // what follows it on its line
    };

    QString body;
    QByteArray folded; // for the searches that ignore letter case
    QList<Href> hrefs;
    qsizetype marker = -1; // the first redirect marker, when looked for and found
    // The first CR or LF at or after m_breakFrom (-1: none), kept for the lines that follow.
    mutable qsizetype m_break = -1;
    mutable qsizetype m_breakFrom = -1;

    // A line ends at CR LF, at a lone CR or at a lone LF: pages from Unix hosts end their lines
    // with LF, and an LF kept inside a line would end up inside link values. Looked for in the
    // folded bytes, where CR and LF stand where they stand in the text (no other character folds
    // to them): the first of them in [from, to), or -1.
    qsizetype firstLineBreak(qsizetype from, qsizetype to = -1) const
    {
        const char* const p = folded.constData();
        const qsizetype size = to < 0 ? folded.size() : to;
        qsizetype i = from;
#if defined(__SSE2__)
        const __m128i cr = _mm_set1_epi8('\r');
        const __m128i lf = _mm_set1_epi8('\n');
        for (; i + 16 <= size; i += 16) {
            const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
            const unsigned mask = unsigned(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, cr), _mm_cmpeq_epi8(x, lf))));
            if (mask != 0)
                return i + qCountTrailingZeroBits(mask);
        }
#endif
        for (; i < size; ++i) {
            if (p[i] == '\r' || p[i] == '\n')
                return i;
        }
        return -1;
    }

    explicit PageText(QString text) : body(std::move(text))
    {
        // "href=" is found by its "=", far rarer in a page than any letter: the places of "=" are
        // noted while the page is folded.
        std::vector<qsizetype> equalSigns;
        foldToBytes(body, folded, equalSigns);
        hrefs.reserve(qsizetype(equalSigns.size()));
        const char* const bytes = folded.constData();
        const qsizetype size = folded.size();
        qsizetype from = 0;
        qsizetype search = kHrefBytes.size() - 1;
        for (const qsizetype equals : equalSigns) {
            if (equals < search)
                continue;
            search = equals + 1;
            const qsizetype at = equals - (kHrefBytes.size() - 1);
            if (at < from || !sameBytes(bytes + at, kHrefBytes.data(), kHrefBytes.size()))
                continue;
            qsizetype value = at + kHrefBytes.size();
            // The blanks are looked for in the folded bytes, which the search has just read (a
            // blank stands in them where it stands in the text).
            for (int blanks = 0; value < size && blanks < kMaxDroppedBlanks && bytes[value] == ' ';
                 ++blanks)
                ++value;
            hrefs.append({at, value});
            from = value;
            search = std::max(search, value);
        }
    }

    // What the page says about itself, from the texts looked for in it (letter case ignored):
    // the Main Site, the protection notice, a PHP tag, and the first redirect marker.
    struct Warnings {
        bool mainSite = false;
        bool protectedSource = false;
        bool scriptError = false;
    };
    Warnings findWarnings(const QString& mainSite, bool lookForMarker)
    {
        Warnings found;
        // The markers in two pairs that start alike: "30x " and "<title>".
        static_assert(std::size(kRedirectMarkers) == 4);
        std::array<Probe, kMaxProbes> probes = {
            Probe(kProtectionNotice),
            Probe(kPhpTag),
            Probe('3', 3, ' ', kRedirectMarkers[0], kRedirectMarkers[1]),
            Probe('<', 6, '>', kRedirectMarkers[2], kRedirectMarkers[3]),
        };
        std::size_t used = lookForMarker ? 4 : 2;
        // A Main Site with a character the folded bytes cannot show is looked for in the text.
        const std::optional<QByteArray> site = foldedNeedle(mainSite);
        if (!site)
            found.mainSite = body.contains(mainSite, Qt::CaseInsensitive);
        else if (site->isEmpty())
            found.mainSite = true;
        else
            probes[used++] = Probe(*site);
        findAll(folded, probes.data(), used);
        found.protectedSource = probes[0].found >= 0;
        found.scriptError = probes[1].found >= 0;
        if (site && !site->isEmpty())
            found.mainSite = probes[used - 1].found >= 0;
        if (lookForMarker) {
            const qsizetype status = probes[2].found;
            const qsizetype title = probes[3].found;
            marker = status < 0 ? title : title < 0 ? status : std::min(status, title);
        }
        return found;
    }

    // The first line ends at the first line end or where the first "href=" starts a new line.
    qsizetype firstLineEnd() const
    {
        const qsizetype limit = hrefs.isEmpty() ? body.size() : hrefs.first().at;
        const qsizetype lineBreak = firstLineBreak(0, limit);
        return lineBreak < 0 ? limit : lineBreak;
    }
    // The line that starts with "href=" number k ends at a line end or at the next "href=".
    // Asked for in the order of the lines, the next line break is looked for once for all the
    // lines before it.
    qsizetype lineEnd(qsizetype k) const
    {
        const qsizetype from = hrefs.at(k).value;
        const qsizetype limit = k + 1 < hrefs.size() ? hrefs.at(k + 1).at : body.size();
        if (m_breakFrom < 0 || from < m_breakFrom || (m_break < from && m_break >= 0)) {
            m_break = firstLineBreak(from);
            m_breakFrom = from;
        }
        return m_break < 0 ? limit : std::min(m_break, limit);
    }
    // The folded bytes of a part of the body.
    QByteArrayView foldedOf(QStringView part) const
    {
        return QByteArrayView(folded).sliced(part.data() - body.constData(), part.size());
    }
    // What follows "href=" on line k.
    QStringView rest(qsizetype k, qsizetype end) const
    {
        return QStringView(body).mid(hrefs.at(k).value, end - hrefs.at(k).value);
    }
};

// What the page copies are made from, on the writer's thread. The page is turned into the files'
// code page there as soon as it arrives; the "href=" places follow once they are known (before
// the copies are asked for). Only the writer's thread reads it after that.
struct PageAnalyzer::CopySource {
    QString body;
    QList<PageText::Href> hrefs;
    QByteArray bytes;
    const QByteArray& encoded()
    {
        if (bytes.isNull())
            bytes = Windows1252::encode(body);
        return bytes;
    }
};

// What every link of a page is examined with.
struct PageAnalyzer::LinkContext {
    bool fileTypesOff = false;
    // The page's host and directory as bytes, when both are ASCII: the links that are ASCII as
    // well are then resolved and compared as bytes.
    bool bytes = false;
    std::string host;
    std::string curDir;
};

const PageAnalyzer::AsciiLower& PageAnalyzer::AsciiLower::of(const QString& text)
{
    if (valid && text.size() == source.size()
        && (text.constData() == source.constData() || text == source))
        return *this;
    source = text;
    valid = true;
    ascii = TextSearch::isAscii(text) && indexOfUnit(text, u'\0') < 0;
    lower.clear();
    if (ascii) {
        lower.resize(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char c = char(text.at(i).unicode());
            lower[i] = (c >= 'A' && c <= 'Z') ? char(c + ('a' - 'A')) : c;
        }
    }
    return *this;
}

PageAnalyzer::PageAnalyzer(Project& project, SettingsStore& settings, ScanStatistics& statistics,
                           AppFolder app, NetworkContext& network, QObject* parent)
    : QObject(parent),
      m_project(project),
      m_settings(settings),
      m_statistics(statistics),
      m_app(std::move(app)),
      m_rules(settings, m_app),
      m_download(new DownloadText(network, this)),
      m_copyWriter(std::make_unique<PageCopyWriter>())
{
    for (int slot = 0; slot < PageFetcher::kSlotCount; ++slot)
        m_copyPaths[std::size_t(slot)] = copyPaths(m_app, slot);
    connect(m_download, &DownloadText::finished, this, &PageAnalyzer::onDownloadFinished);
}

PageAnalyzer::~PageAnalyzer()
{
    disconnect(m_download, nullptr, this, nullptr);
    m_download->abort();
}

QString PageAnalyzer::rewriteHrefs(QStringView text)
{
    const PageText page(text.toString());
    QString out;
    out.reserve(text.size() + 2 * page.hrefs.size());
    qsizetype pos = 0;
    for (const PageText::Href& h : page.hrefs) {
        out.append(text.mid(pos, h.at - pos));
        out.append(QStringLiteral("\r\nhref="));
        pos = h.value;
    }
    out.append(text.mid(pos));
    return out;
}

std::optional<QString> PageAnalyzer::linkValue(QStringView line)
{
    const qsizetype at = line.indexOf(kHref, 0, Qt::CaseInsensitive);
    if (at < 0)
        return std::nullopt;
    const QStringView rest = line.mid(at + kHref.size());
    // Every line of a rewritten page holds one "href=" at most.
    if (!rest.contains(kHref, Qt::CaseInsensitive))
        return cutValue(rest);

    QString s = line.mid(at).toString();
    s.replace(QStringLiteral("href=\""), kHref, Qt::CaseInsensitive);
    s.replace(QStringLiteral("href='"), kHref, Qt::CaseInsensitive);
    const qsizetype length = s.size();
    qsizetype cut = -1;
    for (qsizetype i = 0; i < length - 1; ++i) {
        const QChar c = s.at(i);
        if (c == u'\'' || c == u'"' || c == u'>') {
            cut = i;
            break;
        }
    }
    QString v = cut >= 0 ? s.left(cut) : s.left(std::max<qsizetype>(length - 2, 0));
    if (v.size() < 6)
        return std::nullopt;
    v.remove(kHref, Qt::CaseInsensitive);
    v = TextSearch::trimBlanks(v).toString();
    cutBefore(v, u' ');
    return v;
}

QString PageAnalyzer::redirectTarget(QStringView line)
{
    QString target = line.toString();
    cutBefore(target, u' ');
    cutBefore(target, u'<');
    cutBefore(target, u'>');
    target.remove(kHref, Qt::CaseInsensitive);
    target.remove(QStringLiteral(">here</a></body"), Qt::CaseInsensitive);
    target.remove(u'"');
    target.remove(u'\'');
    target.remove(u' ');
    return target;
}

QString PageAnalyzer::cleanPageUrl(QString url)
{
    // Every text removed holds "://", so a URL without it is only trimmed.
    const qsizetype colon = indexOfUnit(url, u':');
    if (colon >= 0 && has(QStringView(url).sliced(colon), u"://")) {
        static const QString remnants[] = {
            QStringLiteral("http://www."), QStringLiteral("http://"), QStringLiteral("ttp://www"),
            QStringLiteral("ttp://ww"),    QStringLiteral("ttp://w"), QStringLiteral("ttp://"),
            QStringLiteral("tp://"),       QStringLiteral("p://"),    QStringLiteral("://"),
        };
        for (const QString& remnant : remnants)
            url.remove(remnant, Qt::CaseInsensitive);
    }
    const QStringView trimmed = TextSearch::trimBlanks(url);
    if (trimmed.size() != url.size())
        return trimmed.toString();
    return url;
}

QString PageAnalyzer::serialText(qint64 serial)
{
    QString text = QString::number(serial);
    while (text.size() < 3)
        text.prepend(u'0');
    return text;
}

bool PageAnalyzer::stillCurrent(quint64 epoch) const
{
    return m_project.state().bScanRunning && epoch == m_epoch;
}

void PageAnalyzer::AnalyzePage(QString body, const FetchedPage& page, quint64 generation)
{
    ScanState& st = m_project.state();
    if (!st.bScanRunning)
        return;
    const quint64 epoch = m_epoch;
    // The copies need the page in their code page: that starts on the writer's thread at once.
    const auto copySource = std::make_shared<CopySource>();
    copySource->body = body;
    m_copyWriter->post([copySource] { copySource->encoded(); });
    PageText text(std::move(body));

    // A downloaded redirect target is read as ordinary text, so one redirect is followed at most.
    const PageText::Warnings warnings = text.findWarnings(st.strMainSite, !bEmulate);
    // The warnings, in this order: a later one replaces the reason an earlier one gave.
    if (warnings.mainSite) {
        st.bRedirectFound = true;
        st.strProblem = kPossibleRedirect;
        st.strRedirectUrl = page.strCurUrl;
    }
    if (warnings.protectedSource)
        st.strProblem = kSourceProtected;
    if (warnings.scriptError)
        st.strProblem = kScriptError;

    Q_EMIT statusChanged(2, QStringLiteral("Saving to HTML"));
    if (!stillCurrent(epoch))
        return;
    writePageFiles(text, copySource, page.slot);
    extractLinks(text, page, generation, epoch);
}

void PageAnalyzer::writePageFiles(const PageText& text, const std::shared_ptr<CopySource>& source,
                                  int slot)
{
    // The page with every "href=" on a line of its own, and the same text with no line breaks
    // at all: both are made on the writer's thread from the page and its "href=" places (shared,
    // not copied, and only read there).
    source->hrefs = text.hrefs;
    // A copy: the page's bytes piece by piece, each "href=" put back as `mark` (after the
    // blanks that followed it are dropped), each piece copied by `copy`; CR LF at the end.
    const auto makeCopy = [](CopySource& source, QByteArrayView mark, auto copy) {
        const QByteArray& bytes = source.encoded();
        QByteArray out(bytes.size() + mark.size() * source.hrefs.size() + 2, Qt::Uninitialized);
        char* dst = out.data();
        qsizetype pos = 0;
        for (const PageText::Href& h : std::as_const(source.hrefs)) {
            dst = copy(bytes.constData() + pos, h.at - pos, dst);
            std::memcpy(dst, mark.data(), std::size_t(mark.size()));
            dst += mark.size();
            pos = h.value;
        }
        dst = copy(bytes.constData() + pos, bytes.size() - pos, dst);
        dst[0] = '\r';
        dst[1] = '\n';
        out.truncate(dst + 2 - out.constData());
        return out;
    };
    const auto asIs = [](const char* src, qsizetype n, char* dst) {
        std::memcpy(dst, src, std::size_t(n));
        return dst + n;
    };
    const auto makePage = [source, makeCopy, asIs] { return makeCopy(*source, "\r\nhref=", asIs); };
    const auto makeFlat
        = [source, makeCopy] { return makeCopy(*source, "href=", copyWithoutBreaks); };

    // The copies of a slot stay open while a Linking Site is scanned.
    const bool keepOpen = slot >= 0 && slot < PageFetcher::kSlotCount;
    const auto paths = keepOpen ? m_copyPaths[std::size_t(slot)] : copyPaths(m_app, slot);
    std::vector<PageCopyWriter::Copy> copies;
    copies.reserve(2);
    copies.push_back({paths.first, makePage});
    copies.push_back({paths.second, makeFlat});
    m_copyWriter->write(std::move(copies), keepOpen);
}

void PageAnalyzer::closePageCopies()
{
    m_copyWriter->closeAll();
}

void PageAnalyzer::waitForPageCopies()
{
    m_copyWriter->waitUntilWritten();
}

void PageAnalyzer::extractLinks(const PageText& text, const FetchedPage& page, quint64 generation,
                                quint64 epoch)
{
    Q_EMIT statusChanged(2, QStringLiteral("Getting Links"));
    if (!stillCurrent(epoch))
        return;
    m_linkStateValid = false;
    const ScanState& st = m_project.state();
    LinkContext context;
    context.fileTypesOff = m_settings.ReadSetting(QStringLiteral("chkFileTypes")) != u"1";
    // Without a ":" in either, no URL resolved on the byte path holds a scheme.
    if (TextSearch::isAscii(page.strHost) && TextSearch::isAscii(page.strCurDir)
        && indexOfUnit(page.strHost, u':') < 0 && indexOfUnit(page.strCurDir, u':') < 0) {
        context.bytes = true;
        context.host = page.strHost.toStdString();
        context.curDir = page.strCurDir.toStdString();
    }
    foldFileTypes();
    const auto enoughLinks
        = [&st, this] { return !st.bScanRunning || lSiteLinks >= st.iLinksExpected; };

    // The lines are read in order and the reading stops once enough links are found, but only
    // the lines that start with "href=" hold a link, and only the line with the first redirect
    // marker can end the reading otherwise: so those are the lines visited. The first line never
    // holds a link (every "href=" starts a line of its own), yet it is always read.
    const qsizetype count = text.hrefs.size();
    // Every link may be a new page: room for all of them is made at once.
    m_queuedKeys.reserve(m_queuedKeys.size() + std::size_t(count));
    qsizetype redirectFrom = -1; // the first line with "href=" from the marker's line on
    if (enoughLinks()) {
        if (text.marker >= 0 && text.marker < text.firstLineEnd())
            redirectFrom = 0;
    } else {
        bool stopped = false;
        for (qsizetype k = 0; k < count; ++k) {
            const qsizetype end = text.lineEnd(k);
            if (text.marker >= 0 && text.marker < end) {
                redirectFrom = k;
                break;
            }
            if (!examineLink(text, text.rest(k, end), page, context, epoch)) {
                m_newPages.clear();
                return;
            }
            if (enoughLinks()) {
                stopped = true;
                break;
            }
        }
        if (!stopped && redirectFrom < 0 && text.marker >= 0)
            redirectFrom = count;
    }
    if (!flushNewPages(epoch))
        return;
    if (redirectFrom >= 0) {
        followRedirect(text, redirectFrom, page, generation, epoch);
        return;
    }

    Q_EMIT statusChanged(2, QString());
    bEmulate = false;
    if (!stillCurrent(epoch))
        return;
    const bool redirectOutcome = m_settings.isOn(QStringLiteral("chkRedirect")) && st.bRedirectFound
        && !st.bLinkFound;
    Q_EMIT analysisFinished(page.slot, generation,
                            redirectOutcome ? Continuation::AdvanceSite : Continuation::NextPage);
}

bool PageAnalyzer::examineLink(const PageText& text, QStringView rest, const FetchedPage& page,
                               const LinkContext& context, quint64 epoch)
{
    const std::optional<QStringView> cut = cutValueView(rest, text.foldedOf(rest));
    if (!cut)
        return true;
    const QStringView v = *cut;
    // The value folded for the tests that ignore letter case: the page's folded bytes at the
    // value's place (see foldedByteTable).
    const QByteArrayView folded = text.foldedOf(v);
    // A value of up to 64 bytes is looked through once for the bytes its tests start with.
    std::optional<ValueMarks> marks;
    if (folded.size() <= ValueMarks::kMaxSize)
        marks = ValueMarks(
            folded, QByteArrayView(text.folded).sliced(folded.data() - text.folded.constData()));
    if (marks ? marks->has(marks->ja, kJavascript) || marks->has(marks->ma, kMailto)
              : hasBytes(folded, kJavascript) || hasBytes(folded, kMailto))
        return true;

    ScanState& st = m_project.state();
    const bool accepted = context.fileTypesOff || v.endsWith(u'/')
        || (marks ? marks->dot == 0 && marks->question != 0
                  : indexOfUnit(v, u'.') < 0 && indexOfUnit(v, u'?') >= 0)
        || hasFileType(v, folded, marks ? &*marks : nullptr);
    if (!accepted) {
        // Not a page to follow, but it may still name the Main Site: an ASCII Main Site is found
        // in the folded bytes exactly where it is found in the text.
        const AsciiLower& mainSite = m_mainSiteBytes.of(st.strMainSite);
        if (mainSite.ascii ? hasBytes(folded, mainSite.lower)
                           : UrlTools::IsDirectLink(v, st.strMainSite))
            return recordLink(LinkStatus::Direct, page, epoch);
        return true;
    }

    if (marks ? marks->has(marks->fi, kFileScheme) || marks->has(marks->un, kUnsaved)
                || marks->hash != 0
              : hasBytes(folded, kFileScheme) || hasBytes(folded, kUnsaved) || folded.contains('#'))
        return true;
    if (context.bytes && m_project.rules().isEmpty() && narrowAscii(v, m_value)) {
        switch (UrlTools::ResolveAsciiLink(m_value, context.host, context.curDir, m_url)) {
        case UrlTools::AsciiResolve::NoPage:
            return true;
        case UrlTools::AsciiResolve::Resolved:
            return examineAsciiUrl(page, epoch);
        case UrlTools::AsciiResolve::NotHandled:
            break;
        }
    }
    QString url = UrlTools::ResolveLink(v, page.strHost, page.strCurDir);
    // A value ending in ".." names no page.
    if (url.isEmpty())
        return true;
    if (!passesRules(url)) {
        st.strProblem = kRuleProblem;
        if (UrlTools::IsDirectLink(url, st.strMainSite))
            return recordLink(LinkStatus::Direct, page, epoch);
        return true;
    }

    PageKey key;
    if (!isKnownPage(url, key) && UrlTools::IsInLinkingSiteDomain(url, linkingSiteDomain())) {
        ++st.lPagesKnown;
        m_newPages.append(url);
        aQueuedPages.append(url);
        m_queuedKeys.insert(key.text, key.hash);
    }

    if (UrlTools::IsDirectLink(url, st.strMainSite))
        return recordLink(LinkStatus::Direct, page, epoch);
    if (isDomainLink(url))
        return recordLink(LinkStatus::Domain, page, epoch);
    return true;
}

bool PageAnalyzer::examineAsciiUrl(const FetchedPage& page, quint64 epoch)
{
    // The steps of the text path from the known-page test on, on bytes. The URL holds no ":"
    // (see LinkContext), so cleaning it is trimming its blanks.
    std::string_view url = m_url;
    while (!url.empty() && url.front() == ' ')
        url.remove_prefix(1);
    while (!url.empty() && url.back() == ' ')
        url.remove_suffix(1);
    const std::size_t n = url.size();
    // The scratch only grows, so it is not filled anew for every link.
    if (m_urlLower.size() < n) {
        m_urlLower.resize(n);
        m_keyText.resize(n);
    }
    lowerAndWiden(url, m_urlLower.data(), m_keyText.data());
    const bool www = TextSearch::containsBytes(url, "www.");
    const QStringView key(m_keyText.data(), qsizetype(n));
    const std::size_t hash = PageKeySet::hashOf(key);
    // The look-up in a large set waits for memory: it is asked for now, and the tests that need
    // no set are made meanwhile.
    m_queuedKeys.prefetch(hash);

    ScanState& st = m_project.state();
    // What the tests compare with is looked up again only after something else may have run
    // (a link recorded, pages handed to the queue: both let others react).
    if (!m_linkStateValid) {
        m_mainSiteBytes.of(st.strMainSite);
        mainSiteDomain();
        ensureSiteKeys();
        m_linkingSiteDomainBytes.of(linkingSiteDomain());
        m_linkStateValid = true;
    }
    const std::string_view lowerUrl(m_urlLower.data(), n);
    const AsciiLower& mainSite = m_mainSiteBytes;
    const bool direct = mainSite.ascii
        ? TextSearch::containsBytes(
            lowerUrl,
            std::string_view(mainSite.lower.constData(), std::size_t(mainSite.lower.size())))
        : UrlTools::IsDirectLink(QString::fromLatin1(url.data(), qsizetype(n)), st.strMainSite);
    const bool domain = !direct && UrlTools::IsDomainLinkOfAscii(url, m_mainSiteDomain);

    bool known;
    if (www) {
        // The Linking Sites are compared without their lower-case "www.".
        m_siteKeyText.clear();
        for (std::size_t i = 0; i < n;) {
            if (i + 4 <= n && url[i] == 'w' && url[i + 1] == 'w' && url[i + 2] == 'w'
                && url[i + 3] == '.') {
                i += 4;
                continue;
            }
            m_siteKeyText.push_back(char16_t(static_cast<unsigned char>(m_urlLower[i++])));
        }
        known = m_siteKeys.contains(m_siteKeyText, PageKeySet::hashOf(m_siteKeyText));
    } else {
        known = m_siteKeys.contains(key, hash);
    }
    known = known || m_queuedKeys.contains(key, hash);

    if (!known) {
        const QString& siteDomain = m_linkingSiteDomain;
        const AsciiLower& siteBytes = m_linkingSiteDomainBytes;
        const std::string_view siteLower(siteBytes.lower.constData(),
                                         std::size_t(siteBytes.lower.size()));
        const bool inSite = siteBytes.ascii
            ? TextSearch::containsBytes(lowerUrl, siteLower)
                || TextSearch::containsBytes(siteLower, lowerUrl)
            : UrlTools::IsInLinkingSiteDomain(QString::fromLatin1(url.data(), qsizetype(n)),
                                              siteDomain);
        if (inSite) {
            QString text = QString::fromLatin1(url.data(), qsizetype(n));
            ++st.lPagesKnown;
            m_newPages.append(text);
            aQueuedPages.append(std::move(text));
            m_queuedKeys.insert(key, hash);
        }
    }

    if (direct)
        return recordLink(LinkStatus::Direct, page, epoch);
    if (domain)
        return recordLink(LinkStatus::Domain, page, epoch);
    return true;
}

bool PageAnalyzer::hasFileType(QStringView value, QByteArrayView folded,
                               const ValueMarks* marks) const
{
    if (!m_fileTypesAsBytes) {
        const QString foldedValue = foldText(value);
        for (const QString& type : std::as_const(m_fileTypesFolded)) {
            if (has(foldedValue, type))
                return true;
        }
        return false;
    }
    // The types that start with "." (all of the shipped ones) are tried at each "." of the value.
    if (!m_dotFileTypes.isEmpty()) {
        const char* const p = folded.data();
        const qsizetype n = folded.size();
        const auto typeAt = [&](qsizetype at) {
            for (const QByteArray& type : m_dotFileTypes) {
                if (type.size() <= n - at && sameBytes(p + at, type.constData(), type.size()))
                    return true;
            }
            return false;
        };
        if (marks) {
            for (std::uint64_t dots = marks->dot; dots != 0; dots &= dots - 1) {
                if (typeAt(qCountTrailingZeroBits(dots)))
                    return true;
            }
        } else {
            const std::string_view bytes(p, std::size_t(n));
            for (qsizetype at = TextSearch::indexOfByte(bytes, '.'); at >= 0;
                 at = TextSearch::indexOfByte(bytes, '.', at + 1)) {
                if (typeAt(at))
                    return true;
            }
        }
    }
    for (const QByteArray& type : m_otherFileTypes) {
        if (hasBytes(folded, type))
            return true;
    }
    return false;
}

bool PageAnalyzer::isDomainLink(const QString& url)
{
    return UrlTools::IsDomainLinkOf(url, mainSiteDomain());
}

const QString& PageAnalyzer::mainSiteDomain()
{
    // The Main Site's side of the Domain Link test is the same for every link.
    const QString& mainSite = m_project.state().strMainSite;
    const bool same = !m_domainMainSite.isNull() && mainSite.size() == m_domainMainSite.size()
        && (mainSite.constData() == m_domainMainSite.constData() || mainSite == m_domainMainSite);
    if (!same) {
        m_domainMainSite = mainSite.isNull() ? QStringLiteral("") : mainSite;
        m_mainSiteDomain = UrlTools::MainSiteDomain(mainSite);
    }
    return m_mainSiteDomain;
}

bool PageAnalyzer::flushNewPages(quint64 epoch)
{
    m_linkStateValid = false;
    if (m_newPages.isEmpty())
        return true;
    const QStringList pages = std::exchange(m_newPages, {});
    m_statistics.CountPagesQueued(
        qint32(std::min<qsizetype>(pages.size(), std::numeric_limits<qint32>::max())));
    if (!stillCurrent(epoch))
        return false;
    m_project.pageQueue().enqueueAll(pages);
    return true;
}

bool PageAnalyzer::recordLink(const QString& status, const FetchedPage& page, quint64 epoch)
{
    m_linkStateValid = false;
    if (!flushNewPages(epoch))
        return false;
    ScanState& st = m_project.state();
    ++lSiteLinks;
    if (st.iLinksFound < std::numeric_limits<qint16>::max())
        ++st.iLinksFound;
    ++lLinkSerial;

    ResultEntry entry;
    entry.icon = 2;
    entry.main = st.strMainSite;
    entry.remote = UrlTools::BareHost(st.strLinkingSite);
    entry.status = status;
    entry.number = serialText(lLinkSerial);
    entry.url = page.strCurUrl;
    entry.colour = SiteColour::Blue;
    m_project.results().appendEntry(entry);

    LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    if (list && row >= 0 && row < list->count()) {
        list->setColour(row, SiteColour::Blue);
        if (m_settings.isOn(QStringLiteral("chkUpdate")) && list->url(row) != page.strCurUrl)
            list->setCell(row, LinkingSiteList::Website, page.strCurUrl);
    }
    st.bLinkFound = true;

    if (m_settings.isOn(QStringLiteral("chkAudioEmail"))) {
        Q_EMIT cueRequested(m_app.file(QStringLiteral("sounds/foundemail.wav")));
        if (!stillCurrent(epoch))
            return false;
    }
    m_statistics.CountScanEvent(ScanStatistics::LinkRecorded);
    if (!stillCurrent(epoch))
        return false;
    Q_EMIT statusChanged(
        3, QStringLiteral("Found ") + QString::number(lSiteLinks) + QStringLiteral(" links"));
    return stillCurrent(epoch);
}

void PageAnalyzer::followRedirect(const PageText& text, qsizetype hrefLine, const FetchedPage& from,
                                  quint64 generation, quint64 epoch)
{
    QString target;
    if (hrefLine < text.hrefs.size())
        target = redirectTarget(QString(kHref + text.rest(hrefLine, text.lineEnd(hrefLine))));
    // A server's bare "Moved" page (typical when a site moved to HTTPS) names no target: asking
    // for the page itself once more lets the download follow the server's redirect.
    if (target.isEmpty())
        target = from.strCurUrl;

    // The target is used as it stands: a relative one cannot be fetched and gives an empty page.
    m_pending = Pending{from, generation, epoch};
    const int seconds = std::clamp(m_settings.readInt(QStringLiteral("txtTimeout")), 1, 86400);
    m_download->setIdleTimeout(seconds * 1000);
    m_download->start(target);
}

void PageAnalyzer::onDownloadFinished(const DownloadResult& result)
{
    if (!m_pending)
        return;
    const Pending pending = *m_pending;
    m_pending.reset();
    if (!stillCurrent(pending.epoch))
        return;
    // The downloaded text stands in for the redirect page: its links are recorded with that
    // page's URL and resolved against that page's directory.
    bEmulate = true;
    AnalyzePage(result.text, pending.page, pending.generation);
}

bool PageAnalyzer::passesRules(const QString& url) const
{
    const RuleList& rules = m_project.rules();
    if (rules.isEmpty())
        return true;
    const ScanState& st = m_project.state();
    const QString mainSiteUrl = m_project.mainSiteUrl(st.iCurrentMain);
    const QString linkingSiteUrl = currentLinkingSiteUrl();
    const int refusing = RuleEngine::firstRefusingRule(url, mainSiteUrl, linkingSiteUrl, rules);
    if (refusing < 0)
        return true;
    // The log setting is only looked at for a refusal, the one time it matters.
    if (m_settings.isOn(QStringLiteral("chkLog"))) {
        const CrawlRule rule = rules.rule(refusing);
        m_rules.LogExcludedSite(rule.ruleType, rule.ruleValue, url);
    }
    return false;
}

const QString& PageAnalyzer::linkingSiteDomain()
{
    // The row's URL can change during the scan (chkUpdate), so the domain follows the text. It is
    // looked at for every link: the text is compared where it stands, without a copy.
    const ScanState& st = m_project.state();
    const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    static const QString kNone;
    const QString* source = &st.strLinkingSite;
    if (list && row >= 0 && row < list->count()) {
        const QStringList& cells = list->record(row).cells;
        source = cells.size() > LinkingSiteList::Website ? &cells.at(LinkingSiteList::Website)
                                                         : &kNone;
    }
    const QString& url = *source;
    const bool same = !m_domainSource.isNull() && url.size() == m_domainSource.size()
        && (url.constData() == m_domainSource.constData() || url == m_domainSource);
    if (!same) {
        m_domainSource = url.isNull() ? QStringLiteral("") : url;
        m_linkingSiteDomain = UrlTools::LinkingSiteDomain(url);
    }
    return m_linkingSiteDomain;
}

QString PageAnalyzer::currentLinkingSiteUrl() const
{
    const ScanState& st = m_project.state();
    const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    if (list && row >= 0 && row < list->count())
        return list->url(row);
    return st.strLinkingSite;
}

bool PageAnalyzer::IsKnownPage(QString& url)
{
    PageKey key;
    return isKnownPage(url, key);
}

bool PageAnalyzer::isKnownPage(QString& url, PageKey& key)
{
    url = cleanPageUrl(url);
    ensureSiteKeys();
    key.text = lowerCase(url);
    key.hash = PageKeySet::hashOf(key.text);
    // The Linking Sites are compared without their lower-case "www.", removed before the letter
    // case is folded.
    if (has(url, kWww)) {
        const QString siteKey = lowerCase(withoutWww(url));
        if (m_siteKeys.contains(siteKey, PageKeySet::hashOf(siteKey)))
            return true;
    } else if (m_siteKeys.contains(key.text, key.hash)) {
        return true;
    }
    // The page queue only ever holds pages that were queued here (the Linking Site's own URL is
    // taken from it before any page is analysed), so the queued pages answer for both.
    return m_queuedKeys.contains(key.text, key.hash);
}

void PageAnalyzer::ensureSiteKeys()
{
    LinkingSiteList* list = m_project.linkingSites(m_project.state().iCurrentMain);
    if (list != m_siteKeysList.data() || !list) {
        forgetSiteKeys();
        m_siteKeysList = list;
        if (list) {
            const auto dirty = [this] { m_siteKeysDirty = true; };
            m_siteKeysConnections = {
                connect(list, &QAbstractItemModel::dataChanged, this,
                        [this](const QModelIndex& topLeft, const QModelIndex& bottomRight,
                               const QList<int>& roles) {
                            const bool urlColumn = topLeft.column() <= LinkingSiteList::Website
                                && bottomRight.column() >= LinkingSiteList::Website;
                            const bool text = roles.isEmpty() || roles.contains(Qt::DisplayRole)
                                || roles.contains(Qt::EditRole);
                            if (urlColumn && text)
                                m_siteKeysDirty = true;
                        }),
                connect(list, &QAbstractItemModel::rowsInserted, this, dirty),
                connect(list, &QAbstractItemModel::rowsRemoved, this, dirty),
                connect(list, &QAbstractItemModel::rowsMoved, this, dirty),
                connect(list, &QAbstractItemModel::modelReset, this, dirty),
                connect(list, &QAbstractItemModel::layoutChanged, this, dirty),
            };
        }
    }
    if (!m_siteKeysDirty)
        return;
    m_siteKeys.clear();
    if (list) {
        for (int row = 0; row < list->count(); ++row) {
            QString key = list->url(row);
            key.remove(kWww, Qt::CaseSensitive);
            key = key.toLower();
            m_siteKeys.insert(key, PageKeySet::hashOf(key));
        }
    }
    m_siteKeysDirty = false;
}

void PageAnalyzer::forgetSiteKeys()
{
    for (const QMetaObject::Connection& c : std::as_const(m_siteKeysConnections))
        disconnect(c);
    m_siteKeysConnections.clear();
    m_siteKeysList.clear();
    m_siteKeys.clear();
    m_siteKeysDirty = true;
}

void PageAnalyzer::foldFileTypes()
{
    const QStringList& types = m_project.state().aFileTypes;
    if (types == m_fileTypesSource && m_fileTypesFolded.size() == types.size())
        return;
    m_fileTypesSource = types;
    m_fileTypesFolded.clear();
    m_dotFileTypes.clear();
    m_otherFileTypes.clear();
    m_fileTypesAsBytes = true;
    for (const QString& type : types) {
        m_fileTypesFolded.append(foldText(type));
        // A type that an empty value holds, or one with a character the folded bytes cannot
        // show, is tested on the text.
        const std::optional<QByteArray> bytes = foldedNeedle(type);
        if (!bytes || bytes->isEmpty())
            m_fileTypesAsBytes = false;
        else if (bytes->startsWith('.'))
            m_dotFileTypes.append(*bytes);
        else
            m_otherFileTypes.append(*bytes);
    }
}

void PageAnalyzer::dropWaitingWork()
{
    m_newPages.clear();
    closePageCopies();
    ++m_epoch;
    m_pending.reset();
    m_download->abort();
    bEmulate = false;
}

void PageAnalyzer::scanStarted()
{
    dropWaitingWork();
    lSiteLinks = 0;
    // A scan stopped in the middle of a Linking Site leaves its serial and its findings behind;
    // the new scan's first Linking Site must not inherit them.
    lLinkSerial = 0;
    ScanState& st = m_project.state();
    st.bRedirectFound = false;
    st.strRedirectUrl.clear();
    st.strProblem.clear();
    aQueuedPages.clear();
    m_queuedKeys.clear();
    m_siteKeysDirty = true;
}

void PageAnalyzer::siteBegun()
{
    lSiteLinks = 0;
}

void PageAnalyzer::siteAdvanced()
{
    dropWaitingWork();
    lSiteLinks = 0;
    lLinkSerial = 0;
    aQueuedPages.clear();
    m_queuedKeys.clear();
}

void PageAnalyzer::abort()
{
    dropWaitingWork();
}

} // namespace corvane
