#include "net/PageCharset.h"

#include "model/Windows1252.h"

#include <QStringDecoder>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <optional>

#include <iconv.h>

namespace corvane::PageCharset {

namespace {

constexpr qsizetype kMetaReach = 1024;

const QByteArray kUtf8 = QByteArrayLiteral("UTF-8");
const QByteArray kUtf16LE = QByteArrayLiteral("UTF-16LE");
const QByteArray kUtf16BE = QByteArrayLiteral("UTF-16BE");
const QByteArray kWindows1252 = QByteArrayLiteral("windows-1252");
const QByteArray kUserDefined = QByteArrayLiteral("x-user-defined");
const QByteArray kReplacement = QByteArrayLiteral("replacement");

struct Label {
    const char* label;
    const char* encoding;
};

// Every label of the web's table of encodings, in lower case, with the encoding it names.
constexpr Label kLabels[] = {
    {"unicode-1-1-utf-8", "UTF-8"},
    {"unicode11utf8", "UTF-8"},
    {"unicode20utf8", "UTF-8"},
    {"utf-8", "UTF-8"},
    {"utf8", "UTF-8"},
    {"x-unicode20utf8", "UTF-8"},
    {"866", "IBM866"},
    {"cp866", "IBM866"},
    {"csibm866", "IBM866"},
    {"ibm866", "IBM866"},
    {"csisolatin2", "ISO-8859-2"},
    {"iso-8859-2", "ISO-8859-2"},
    {"iso-ir-101", "ISO-8859-2"},
    {"iso8859-2", "ISO-8859-2"},
    {"iso88592", "ISO-8859-2"},
    {"iso_8859-2", "ISO-8859-2"},
    {"iso_8859-2:1987", "ISO-8859-2"},
    {"l2", "ISO-8859-2"},
    {"latin2", "ISO-8859-2"},
    {"csisolatin3", "ISO-8859-3"},
    {"iso-8859-3", "ISO-8859-3"},
    {"iso-ir-109", "ISO-8859-3"},
    {"iso8859-3", "ISO-8859-3"},
    {"iso88593", "ISO-8859-3"},
    {"iso_8859-3", "ISO-8859-3"},
    {"iso_8859-3:1988", "ISO-8859-3"},
    {"l3", "ISO-8859-3"},
    {"latin3", "ISO-8859-3"},
    {"csisolatin4", "ISO-8859-4"},
    {"iso-8859-4", "ISO-8859-4"},
    {"iso-ir-110", "ISO-8859-4"},
    {"iso8859-4", "ISO-8859-4"},
    {"iso88594", "ISO-8859-4"},
    {"iso_8859-4", "ISO-8859-4"},
    {"iso_8859-4:1988", "ISO-8859-4"},
    {"l4", "ISO-8859-4"},
    {"latin4", "ISO-8859-4"},
    {"csisolatincyrillic", "ISO-8859-5"},
    {"cyrillic", "ISO-8859-5"},
    {"iso-8859-5", "ISO-8859-5"},
    {"iso-ir-144", "ISO-8859-5"},
    {"iso8859-5", "ISO-8859-5"},
    {"iso88595", "ISO-8859-5"},
    {"iso_8859-5", "ISO-8859-5"},
    {"iso_8859-5:1988", "ISO-8859-5"},
    {"arabic", "ISO-8859-6"},
    {"asmo-708", "ISO-8859-6"},
    {"csiso88596e", "ISO-8859-6"},
    {"csiso88596i", "ISO-8859-6"},
    {"csisolatinarabic", "ISO-8859-6"},
    {"ecma-114", "ISO-8859-6"},
    {"iso-8859-6", "ISO-8859-6"},
    {"iso-8859-6-e", "ISO-8859-6"},
    {"iso-8859-6-i", "ISO-8859-6"},
    {"iso-ir-127", "ISO-8859-6"},
    {"iso8859-6", "ISO-8859-6"},
    {"iso88596", "ISO-8859-6"},
    {"iso_8859-6", "ISO-8859-6"},
    {"iso_8859-6:1987", "ISO-8859-6"},
    {"csisolatingreek", "ISO-8859-7"},
    {"ecma-118", "ISO-8859-7"},
    {"elot_928", "ISO-8859-7"},
    {"greek", "ISO-8859-7"},
    {"greek8", "ISO-8859-7"},
    {"iso-8859-7", "ISO-8859-7"},
    {"iso-ir-126", "ISO-8859-7"},
    {"iso8859-7", "ISO-8859-7"},
    {"iso88597", "ISO-8859-7"},
    {"iso_8859-7", "ISO-8859-7"},
    {"iso_8859-7:1987", "ISO-8859-7"},
    {"sun_eu_greek", "ISO-8859-7"},
    {"csiso88598e", "ISO-8859-8"},
    {"csisolatinhebrew", "ISO-8859-8"},
    {"hebrew", "ISO-8859-8"},
    {"iso-8859-8", "ISO-8859-8"},
    {"iso-8859-8-e", "ISO-8859-8"},
    {"iso-ir-138", "ISO-8859-8"},
    {"iso8859-8", "ISO-8859-8"},
    {"iso88598", "ISO-8859-8"},
    {"iso_8859-8", "ISO-8859-8"},
    {"iso_8859-8:1988", "ISO-8859-8"},
    {"visual", "ISO-8859-8"},
    {"csiso88598i", "ISO-8859-8-I"},
    {"iso-8859-8-i", "ISO-8859-8-I"},
    {"logical", "ISO-8859-8-I"},
    {"csisolatin6", "ISO-8859-10"},
    {"iso-8859-10", "ISO-8859-10"},
    {"iso-ir-157", "ISO-8859-10"},
    {"iso8859-10", "ISO-8859-10"},
    {"iso885910", "ISO-8859-10"},
    {"l6", "ISO-8859-10"},
    {"latin6", "ISO-8859-10"},
    {"iso-8859-13", "ISO-8859-13"},
    {"iso8859-13", "ISO-8859-13"},
    {"iso885913", "ISO-8859-13"},
    {"iso-8859-14", "ISO-8859-14"},
    {"iso8859-14", "ISO-8859-14"},
    {"iso885914", "ISO-8859-14"},
    {"csisolatin9", "ISO-8859-15"},
    {"iso-8859-15", "ISO-8859-15"},
    {"iso8859-15", "ISO-8859-15"},
    {"iso885915", "ISO-8859-15"},
    {"iso_8859-15", "ISO-8859-15"},
    {"l9", "ISO-8859-15"},
    {"iso-8859-16", "ISO-8859-16"},
    {"cskoi8r", "KOI8-R"},
    {"koi", "KOI8-R"},
    {"koi8", "KOI8-R"},
    {"koi8-r", "KOI8-R"},
    {"koi8_r", "KOI8-R"},
    {"koi8-ru", "KOI8-U"},
    {"koi8-u", "KOI8-U"},
    {"csmacintosh", "macintosh"},
    {"mac", "macintosh"},
    {"macintosh", "macintosh"},
    {"x-mac-roman", "macintosh"},
    {"dos-874", "windows-874"},
    {"iso-8859-11", "windows-874"},
    {"iso8859-11", "windows-874"},
    {"iso885911", "windows-874"},
    {"tis-620", "windows-874"},
    {"windows-874", "windows-874"},
    {"cp1250", "windows-1250"},
    {"windows-1250", "windows-1250"},
    {"x-cp1250", "windows-1250"},
    {"cp1251", "windows-1251"},
    {"windows-1251", "windows-1251"},
    {"x-cp1251", "windows-1251"},
    {"ansi_x3.4-1968", "windows-1252"},
    {"ascii", "windows-1252"},
    {"cp1252", "windows-1252"},
    {"cp819", "windows-1252"},
    {"csisolatin1", "windows-1252"},
    {"ibm819", "windows-1252"},
    {"iso-8859-1", "windows-1252"},
    {"iso-ir-100", "windows-1252"},
    {"iso8859-1", "windows-1252"},
    {"iso88591", "windows-1252"},
    {"iso_8859-1", "windows-1252"},
    {"iso_8859-1:1987", "windows-1252"},
    {"l1", "windows-1252"},
    {"latin1", "windows-1252"},
    {"us-ascii", "windows-1252"},
    {"windows-1252", "windows-1252"},
    {"x-cp1252", "windows-1252"},
    {"cp1253", "windows-1253"},
    {"windows-1253", "windows-1253"},
    {"x-cp1253", "windows-1253"},
    {"cp1254", "windows-1254"},
    {"csisolatin5", "windows-1254"},
    {"iso-8859-9", "windows-1254"},
    {"iso-ir-148", "windows-1254"},
    {"iso8859-9", "windows-1254"},
    {"iso88599", "windows-1254"},
    {"iso_8859-9", "windows-1254"},
    {"iso_8859-9:1989", "windows-1254"},
    {"l5", "windows-1254"},
    {"latin5", "windows-1254"},
    {"windows-1254", "windows-1254"},
    {"x-cp1254", "windows-1254"},
    {"cp1255", "windows-1255"},
    {"windows-1255", "windows-1255"},
    {"x-cp1255", "windows-1255"},
    {"cp1256", "windows-1256"},
    {"windows-1256", "windows-1256"},
    {"x-cp1256", "windows-1256"},
    {"cp1257", "windows-1257"},
    {"windows-1257", "windows-1257"},
    {"x-cp1257", "windows-1257"},
    {"cp1258", "windows-1258"},
    {"windows-1258", "windows-1258"},
    {"x-cp1258", "windows-1258"},
    {"x-mac-cyrillic", "x-mac-cyrillic"},
    {"x-mac-ukrainian", "x-mac-cyrillic"},
    {"chinese", "GBK"},
    {"csgb2312", "GBK"},
    {"csiso58gb231280", "GBK"},
    {"gb2312", "GBK"},
    {"gb_2312", "GBK"},
    {"gb_2312-80", "GBK"},
    {"gbk", "GBK"},
    {"iso-ir-58", "GBK"},
    {"x-gbk", "GBK"},
    {"gb18030", "gb18030"},
    {"big5", "Big5"},
    {"big5-hkscs", "Big5"},
    {"cn-big5", "Big5"},
    {"csbig5", "Big5"},
    {"x-x-big5", "Big5"},
    {"cseucpkdfmtjapanese", "EUC-JP"},
    {"euc-jp", "EUC-JP"},
    {"x-euc-jp", "EUC-JP"},
    {"csiso2022jp", "ISO-2022-JP"},
    {"iso-2022-jp", "ISO-2022-JP"},
    {"csshiftjis", "Shift_JIS"},
    {"ms932", "Shift_JIS"},
    {"ms_kanji", "Shift_JIS"},
    {"shift-jis", "Shift_JIS"},
    {"shift_jis", "Shift_JIS"},
    {"sjis", "Shift_JIS"},
    {"windows-31j", "Shift_JIS"},
    {"x-sjis", "Shift_JIS"},
    {"cseuckr", "EUC-KR"},
    {"csksc56011987", "EUC-KR"},
    {"euc-kr", "EUC-KR"},
    {"iso-ir-149", "EUC-KR"},
    {"korean", "EUC-KR"},
    {"ks_c_5601-1987", "EUC-KR"},
    {"ks_c_5601-1989", "EUC-KR"},
    {"ksc5601", "EUC-KR"},
    {"ksc_5601", "EUC-KR"},
    {"windows-949", "EUC-KR"},
    {"csiso2022kr", "replacement"},
    {"hz-gb-2312", "replacement"},
    {"iso-2022-cn", "replacement"},
    {"iso-2022-cn-ext", "replacement"},
    {"iso-2022-kr", "replacement"},
    {"replacement", "replacement"},
    {"unicodefffe", "UTF-16BE"},
    {"utf-16be", "UTF-16BE"},
    {"csunicode", "UTF-16LE"},
    {"iso-10646-ucs-2", "UTF-16LE"},
    {"ucs-2", "UTF-16LE"},
    {"unicode", "UTF-16LE"},
    {"unicodefeff", "UTF-16LE"},
    {"utf-16", "UTF-16LE"},
    {"utf-16le", "UTF-16LE"},
    {"x-user-defined", "x-user-defined"},
};

// The converter (for Qt through ICU, and for iconv) that reads an encoding as the web defines it,
// where its name there is another.
const char* converterOf(QByteArrayView encoding)
{
    static const Label converters[] = {
        // The order of a Hebrew page's letters is no concern of a search for links.
        {"ISO-8859-8-I", "ISO-8859-8"},
        {"x-mac-cyrillic", "MAC-CYRILLIC"},
        // The web reads GBK pages with the decoder of gb18030, its superset; the other three
        // names stand for the code pages browsers actually read under them.
        {"GBK", "GB18030"},
        {"Big5", "BIG5-HKSCS"},
        {"Shift_JIS", "WINDOWS-31J"},
        {"EUC-KR", "CP949"},
    };
    for (const Label& c : converters) {
        if (encoding == c.label)
            return c.encoding;
    }
    return nullptr;
}

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

// The encoding a byte-order mark at the start names, or empty.
QByteArray encodingOfByteOrderMark(QByteArrayView body)
{
    if (body.startsWith("\xEF\xBB\xBF"))
        return kUtf8;
    if (body.startsWith("\xFE\xFF"))
        return kUtf16BE;
    if (body.startsWith("\xFF\xFE"))
        return kUtf16LE;
    return {};
}

// The bytes through glibc's iconv, for an encoding Qt cannot read. A byte that starts no character
// is U+FFFD and the reading goes on after it, as a browser reads it.
// Nothing when iconv cannot read the encoding either.
std::optional<QString> decodeWithIconv(const char* converter, QByteArrayView bytes)
{
    const char* const unicode = QSysInfo::ByteOrder == QSysInfo::LittleEndian ? "UTF-16LE"
                                                                              : "UTF-16BE";
    const iconv_t cd = iconv_open(unicode, converter);
    if (cd == iconv_t(-1))
        return std::nullopt;
    // No encoding of the web gives more than one UTF-16 unit per byte, but for a few short
    // sequences; the buffer grows when one needs more.
    QString out(bytes.size() + 16, Qt::Uninitialized);
    qsizetype written = 0;
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = size_t(bytes.size());
    for (;;) {
        char* to = reinterpret_cast<char*>(out.data() + written);
        size_t toLeft = size_t(out.size() - written) * sizeof(char16_t);
        // With no input left, the call ends a shift sequence (ISO-2022-JP) the text left open.
        const bool ending = inLeft == 0;
        const size_t done = ending ? iconv(cd, nullptr, nullptr, &to, &toLeft)
                                   : iconv(cd, &in, &inLeft, &to, &toLeft);
        const int error = errno;
        written = out.size() - qsizetype(toLeft / sizeof(char16_t));
        if (done != size_t(-1)) {
            if (ending)
                break;
            continue;
        }
        if (error == E2BIG) {
            out.resize(out.size() * 2 + 16);
            continue;
        }
        // EILSEQ: a byte that starts no character; EINVAL: a character cut off at the end.
        if (written == out.size())
            out.resize(out.size() * 2 + 16);
        out[written++] = QChar::ReplacementCharacter;
        const size_t skip = error == EILSEQ ? 1 : inLeft;
        in += skip;
        inLeft -= skip;
    }
    iconv_close(cd);
    out.truncate(written);
    return out;
}

} // namespace

QByteArray encodingOfLabel(QByteArrayView label)
{
    const QByteArray l = label.trimmed().toByteArray().toLower();
    for (const Label& e : kLabels) {
        if (l == e.label)
            return QByteArray(e.encoding);
    }
    return {};
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

QByteArray encodingOf(QByteArrayView contentType, QByteArrayView body)
{
    // A byte-order mark outweighs what the server says: the file knows how it was saved.
    if (QByteArray e = encodingOfByteOrderMark(body); !e.isEmpty())
        return e;
    if (QByteArray e = encodingOfLabel(charsetOfContentType(contentType)); !e.isEmpty())
        return e;
    if (QByteArray e = encodingOfLabel(charsetOfMeta(body)); !e.isEmpty()) {
        // A page that can say "utf-16" in ASCII is not UTF-16.
        if (e == kUtf16LE || e == kUtf16BE)
            return kUtf8;
        return e == kUserDefined ? kWindows1252 : e;
    }
    return kWindows1252;
}

QString decodeAs(QByteArrayView encoding, QByteArrayView bytes)
{
    // The web's windows-1252 (the five bytes it leaves undefined read as the C1 controls) is the
    // program's own codec; x-user-defined is in no converter; the replacement encoding stands for
    // those that browsers refuse to read (they could smuggle markup past filters).
    if (encoding == kWindows1252)
        return Windows1252::decode(bytes);
    if (encoding == kUserDefined) {
        QString out(bytes.size(), Qt::Uninitialized);
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const uchar b = uchar(bytes[i]);
            out[i] = b < 0x80 ? QChar(b) : QChar(char16_t(0xF780 + b - 0x80));
        }
        return out;
    }
    if (encoding == kReplacement)
        return bytes.isEmpty() ? QString() : QString(QChar::ReplacementCharacter);
    if (const QByteArray bom = encodingOfByteOrderMark(bytes); !bom.isEmpty() && bom == encoding)
        bytes = bytes.sliced(bom == kUtf8 ? 3 : 2);
    const char* converter = converterOf(encoding);
    const QByteArray name = converter ? QByteArray(converter) : encoding.toByteArray();
    // Qt reads UTF-8 and UTF-16 itself and the legacy encodings through ICU where it was built
    // with it; iconv reads the others.
    QStringDecoder decoder(name.constData(), QStringDecoder::Flag::ConvertInitialBom);
    if (decoder.isValid())
        return decoder.decode(bytes);
    if (std::optional<QString> text = decodeWithIconv(name.constData(), bytes))
        return *std::move(text);
    // A system without the converter reads the page as it reads one without a charset.
    return Windows1252::decode(bytes);
}

QString decode(QByteArrayView contentType, QByteArrayView body)
{
    return decodeAs(encodingOf(contentType, body), body);
}

} // namespace corvane::PageCharset
