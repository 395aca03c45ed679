#include "scan/PageCharset.h"

#include "model/Windows1252.h"

#include <QStringDecoder>

#include <algorithm>

namespace corvane::PageCharset {

namespace {

constexpr qsizetype kMetaReach = 1024;

bool isLabelChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
        || c == '_' || c == '.' || c == ':';
}

// The label after "charset", "=" and blanks, with an optional quote in front.
QByteArray labelAfter(QByteArrayView text, qsizetype charsetAt)
{
    qsizetype i = charsetAt + 7;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    if (i >= text.size() || text[i] != '=')
        return {};
    ++i;
    while (i < text.size()
           && (text[i] == ' ' || text[i] == '\t' || text[i] == '"' || text[i] == '\''))
        ++i;
    const qsizetype start = i;
    while (i < text.size() && isLabelChar(text[i]))
        ++i;
    return text.sliced(start, i - start).toByteArray();
}

qsizetype indexOfFolded(QByteArrayView text, QByteArrayView lower, qsizetype from)
{
    for (qsizetype i = from; i + lower.size() <= text.size(); ++i) {
        if (text.sliced(i, lower.size()).compare(lower, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

bool encodingOfLabel(QByteArrayView label, Encoding& encoding)
{
    const QByteArray l = label.trimmed().toByteArray().toLower();
    static const char* const utf8[] = {"utf-8", "utf8", "unicode-1-1-utf-8", "x-unicode20utf8"};
    static const char* const w1252[]
        = {"windows-1252", "cp1252", "x-cp1252", "iso-8859-1",     "iso8859-1",      "iso_8859-1",
           "latin1",       "l1",     "us-ascii", "ascii",          "ansi_x3.4-1968", "iso-ir-100",
           "csisolatin1",  "ibm819", "cp819",    "iso_8859-1:1987"};
    if (std::any_of(std::begin(utf8), std::end(utf8), [&l](const char* n) { return l == n; })) {
        encoding = Encoding::Utf8;
        return true;
    }
    if (std::any_of(std::begin(w1252), std::end(w1252), [&l](const char* n) { return l == n; })) {
        encoding = Encoding::Windows1252;
        return true;
    }
    if (l == "utf-16le" || l == "utf-16") {
        encoding = Encoding::Utf16LE;
        return true;
    }
    if (l == "utf-16be") {
        encoding = Encoding::Utf16BE;
        return true;
    }
    return false;
}

QByteArray charsetOfContentType(QByteArrayView contentType)
{
    const qsizetype at = indexOfFolded(contentType, "charset", 0);
    return at >= 0 ? labelAfter(contentType, at) : QByteArray();
}

QByteArray charsetOfMeta(QByteArrayView body)
{
    const QByteArrayView start = body.first(std::min(body.size(), kMetaReach));
    for (qsizetype meta = indexOfFolded(start, "<meta", 0); meta >= 0;
         meta = indexOfFolded(start, "<meta", meta + 5)) {
        qsizetype end = start.indexOf('>', meta);
        if (end < 0)
            end = start.size();
        const QByteArrayView tag = start.sliced(meta, end - meta);
        for (qsizetype at = indexOfFolded(tag, "charset", 0); at >= 0;
             at = indexOfFolded(tag, "charset", at + 7)) {
            if (const QByteArray label = labelAfter(tag, at); !label.isEmpty())
                return label;
        }
    }
    return {};
}

Encoding encodingOf(QByteArrayView contentType, QByteArrayView body)
{
    Encoding e = Encoding::Windows1252;
    if (encodingOfLabel(charsetOfContentType(contentType), e))
        return e;
    if (body.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8;
    if (body.startsWith("\xFF\xFE"))
        return Encoding::Utf16LE;
    if (body.startsWith("\xFE\xFF"))
        return Encoding::Utf16BE;
    if (encodingOfLabel(charsetOfMeta(body), e)) {
        // A page that can say "utf-16" in ASCII is not UTF-16.
        return e == Encoding::Utf16LE || e == Encoding::Utf16BE ? Encoding::Utf8 : e;
    }
    return Encoding::Windows1252;
}

QString decode(QByteArrayView contentType, QByteArrayView body)
{
    QStringConverter::Encoding qt = QStringConverter::Utf8;
    switch (encodingOf(contentType, body)) {
    case Encoding::Windows1252:
        return Windows1252::decode(body);
    case Encoding::Utf8:
        qt = QStringConverter::Utf8;
        break;
    case Encoding::Utf16LE:
        qt = QStringConverter::Utf16LE;
        break;
    case Encoding::Utf16BE:
        qt = QStringConverter::Utf16BE;
        break;
    }
    // The decoder drops a byte-order mark at the start.
    QStringDecoder decoder(qt);
    return decoder.decode(body);
}

} // namespace corvane::PageCharset
