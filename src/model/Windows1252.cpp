#include "model/Windows1252.h"

#include <array>

namespace corvane::Windows1252 {

namespace {

// 0x80..0x9F; 0 marks the five bytes the code page leaves undefined (decoded as the C1 control of
// the same value so that no byte is lost).
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

} // namespace

QString decode(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar* dst = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b <= 0x9F) {
            const char16_t mapped = kHigh[b - 0x80];
            *dst++ = QChar(mapped != 0 ? mapped : char16_t(b));
        } else {
            *dst++ = QChar(char16_t(b));
        }
    }
    return out;
}

QByteArray encode(QStringView text)
{
    // Most text is plain ASCII, which Qt converts fastest.
    bool ascii = true;
    for (const QChar ch : text) {
        if (ch.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii)
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
