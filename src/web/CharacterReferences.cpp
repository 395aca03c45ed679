#include "web/CharacterReferences.h"

#include "model/Windows1252.h"
#include "web/NamedReferenceTable.h"

#include <algorithm>
#include <cstring>

namespace corvane::CharacterReferences {

namespace {

// The longest name of the table without its ";", and the longest legacy name (read without ";").
constexpr qsizetype kLongestName = 31;
constexpr qsizetype kLongestLegacyName = 6;
// A numeric reference beyond this is out of range whatever digits follow: the value stops growing
// there, so a long run of digits cannot overflow it.
constexpr char32_t kOutOfRange = 0x110000;

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

bool isAsciiAlphanumeric(QChar c)
{
    return isAsciiDigit(c) || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The value of a digit of a numeric reference, or -1.
int digitValue(QChar c, bool hex)
{
    if (isAsciiDigit(c))
        return c.unicode() - u'0';
    if (!hex)
        return -1;
    if (c >= u'a' && c <= u'f')
        return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c.unicode() - u'A' + 10;
    return -1;
}

// The table's entry for name (ASCII, ";" included when the name has one), or nothing.
const NamedReference* lookUp(QStringView name)
{
    char key[kLongestName + 2] = {};
    if (name.size() > kLongestName + 1)
        return nullptr;
    for (qsizetype i = 0; i < name.size(); ++i)
        key[i] = char(name[i].unicode());
    const NamedReference* const end = kNamedReferences + kNamedReferenceCount;
    const NamedReference* found
        = std::lower_bound(kNamedReferences, end, key, [](const NamedReference& e, const char* k) {
              return std::strcmp(e.name, k) < 0;
          });
    return found != end && std::strcmp(found->name, key) == 0 ? found : nullptr;
}

void append(QString& out, char32_t code)
{
    if (QChar::requiresSurrogates(code)) {
        out += QChar(QChar::highSurrogate(code));
        out += QChar(QChar::lowSurrogate(code));
    } else {
        out += QChar(char16_t(code));
    }
}

// The character a numeric reference stands for, as a browser reads it.
char32_t numericCharacter(char32_t code)
{
    if (code == 0 || code >= kOutOfRange || QChar::isSurrogate(code))
        return 0xFFFD;
    // Pages of the Windows era write their code page's characters by its byte values.
    if (code >= 0x80 && code <= 0x9F) {
        const char byte = char(code);
        return Windows1252::decode(QByteArrayView(&byte, 1)).at(0).unicode();
    }
    return code;
}

// Reads the numeric reference whose "&#" stands at at. Returns where it ends, or at when no digit
// follows (then it is no reference).
qsizetype readNumeric(QStringView text, qsizetype at, QString& out)
{
    qsizetype i = at + 2;
    const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
    if (hex)
        ++i;
    const qsizetype digits = i;
    char32_t code = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], hex);
        if (d < 0)
            break;
        code = std::min<char32_t>(code * (hex ? 16 : 10) + char32_t(d), kOutOfRange);
    }
    if (i == digits)
        return at;
    if (i < text.size() && text[i] == u';')
        ++i;
    append(out, numericCharacter(code));
    return i;
}

// Reads the named reference whose "&" stands at at: the longest name of the table the text goes
// on with. Returns where it ends, or at when it is no reference (no such name, or a legacy name
// that an attribute keeps as it is).
qsizetype readNamed(QStringView text, qsizetype at, Context context, QString& out)
{
    const qsizetype from = at + 1;
    qsizetype run = from;
    while (run < text.size() && run - from <= kLongestName && isAsciiAlphanumeric(text[run]))
        ++run;
    // Only the whole run of letters and digits can be followed by ";".
    if (run < text.size() && text[run] == u';') {
        if (const NamedReference* e = lookUp(text.sliced(from, run + 1 - from))) {
            append(out, e->first);
            if (e->second != 0)
                append(out, e->second);
            return run + 1;
        }
    }
    for (qsizetype end = std::min(run, from + kLongestLegacyName); end > from; --end) {
        const NamedReference* e = lookUp(text.sliced(from, end - from));
        if (!e)
            continue;
        // "?a=1&copy=2" and "?x&notice": an attribute keeps what looks like a query's name.
        if (context == Context::Attribute && end < text.size()
            && (text[end] == u'=' || isAsciiAlphanumeric(text[end])))
            return at;
        append(out, e->first);
        return end;
    }
    return at;
}

} // namespace

QString decode(QStringView text, Context context)
{
    qsizetype amp = text.indexOf(u'&');
    if (amp < 0)
        return text.toString();
    QString out;
    out.reserve(text.size());
    qsizetype done = 0;
    while (amp >= 0) {
        out += text.sliced(done, amp - done);
        qsizetype end = amp;
        if (amp + 1 < text.size()) {
            if (text[amp + 1] == u'#')
                end = readNumeric(text, amp, out);
            else if (isAsciiAlphanumeric(text[amp + 1]))
                end = readNamed(text, amp, context, out);
        }
        if (end == amp) {
            out += u'&';
            end = amp + 1;
        }
        done = end;
        amp = text.indexOf(u'&', done);
    }
    out += text.sliced(done);
    return out;
}

} // namespace corvane::CharacterReferences
