#include "model/Windows1252.h"

#include <array>

namespace corvane::Windows1252 {

namespace {

// 0x80..0x9F; 0 marks the five bytes the code page leaves undefined (decoded as the C1 control of
// the same value so that no byte is lost).
constexpr std::array<char16_t, 32> kHigh
    = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
       0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
       0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

QString decode(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    auto* dst = reinterpret_cast<char16_t*>(out.data());
    const auto* src = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const unsigned char b = src[i];
        // Only 0x80 to 0x9F differ from Latin-1.
        const char16_t mapped = (b & 0xE0) == 0x80 ? kHigh[b - 0x80] : 0;
        dst[i] = mapped != 0 ? mapped : char16_t(b);
    }
    return out;
}

QByteArrayView withoutByteOrderMark(QByteArrayView bytes)
{
    return bytes.startsWith("\xEF\xBB\xBF") ? bytes.sliced(3) : bytes;
}

QByteArray encode(QStringView text)
{
    // Most text is plain ASCII, which Qt converts fastest. The test looks at blocks of characters
    // without a branch per character, which the compiler turns into vector code.
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    constexpr qsizetype kBlock = 32;
    char16_t bits = 0;
    qsizetype i = 0;
    for (; i + kBlock <= n && bits < 0x80; i += kBlock) {
        for (qsizetype k = 0; k < kBlock; ++k)
            bits |= p[i + k];
    }
    for (; i < n && bits < 0x80; ++i)
        bits |= p[i];
    if (bits < 0x80)
        return text.toLatin1();
    QByteArray out(text.size(), Qt::Uninitialized);
    char* dst = out.data();
    for (const QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            *dst++ = static_cast<char>(u);
            continue;
        }
        char byte = '?';
        for (std::size_t i = 0; i < kHigh.size(); ++i) {
            if (kHigh[i] == u || (kHigh[i] == 0 && u == 0x80 + i)) {
                byte = static_cast<char>(0x80 + i);
                break;
            }
        }
        *dst++ = byte;
    }
    return out;
}

} // namespace corvane::Windows1252
