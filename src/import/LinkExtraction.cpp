#include "import/LinkExtraction.h"

#include "import/MarkupRemover.h"
#include "import/SiteImporter.h"
#include "web/TextSearch.h"

#include <QSet>

#include <array>

namespace corvane::LinkExtraction {

namespace {

constexpr auto CI = Qt::CaseInsensitive;

const QString kHref = QStringLiteral("href=");

// Letter case ignored: the text is case-folded once and each (lower-case) needle looked for in
// that. A search that ignores case folds every character it passes, for every needle: on a long
// hostile value that cost seconds.
bool containsAny(QStringView text, const std::initializer_list<const char16_t*> needles)
{
    const QString folded = TextSearch::caseFolded(text);
    for (const char16_t* needle : needles) {
        if (TextSearch::find(folded, QStringView(needle)) >= 0)
            return true;
    }
    return false;
}

// One directory up, never above the host: the part up to the first "/" stays.
QString parentOf(const QString& dir)
{
    const qsizetype hostEnd = dir.indexOf(u'/');
    const qsizetype last = dir.lastIndexOf(u'/', dir.size() - 2);
    if (hostEnd < 0 || last < hostEnd)
        return dir;
    return dir.left(last + 1);
}

} // namespace

QString ownSiteKey(const QString& linkPageUrl)
{
    QString k = linkPageUrl;
    k.remove(QStringLiteral("http://"));
    k.remove(QStringLiteral("https://"));
    k.remove(QStringLiteral("www."));
    const qsizetype slash = k.indexOf(u'/');
    if (slash >= 0)
        k.truncate(slash + 1);
    return k;
}

QString linkPageDirectory(const QString& linkPageUrl)
{
    QString s = linkPageUrl;
    s.remove(QStringLiteral("http://"), CI);
    s.remove(QStringLiteral("https://"), CI);
    s = TextSearch::trimBlanks(s).toString();
    const qsizetype last = s.lastIndexOf(u'/');
    return last < 0 ? s + u'/' : s.left(last + 1);
}

std::optional<QString> extractCandidate(const QString& line)
{
    const qsizetype at = line.indexOf(kHref, 0, CI);
    if (at < 0)
        return std::nullopt;
    QString s = line.mid(at);
    s = TextSearch::replaceAll(s, u"href=\"", kHref, CI);
    s = TextSearch::replaceAll(s, u"href='", kHref, CI);

    // s still starts with "href=": the replacements only shorten what follows it.
    const QString rest = s.mid(kHref.size());
    qsizetype end = -1;
    for (qsizetype i = 0; i < rest.size(); ++i) {
        const QChar c = rest[i];
        if (c == u'\'' || c == u'"' || c == u'>') {
            end = i;
            break;
        }
    }
    QString value;
    if (end < 0) {
        // No closing quote or ">": the value ran to the end of the line, and the last two
        // characters go, as in the page analysis.
        if (rest.size() < 2)
            return std::nullopt;
        value = rest.left(rest.size() - 2);
    } else if (end == rest.size() - 1) {
        // The closer ends the line: the character before it goes as well.
        if (end < 1)
            return std::nullopt;
        value = rest.left(end - 1);
    } else {
        value = rest.left(end);
    }
    value.remove(kHref, CI);
    return value;
}

bool isDroppedCandidate(const QString& candidate)
{
    return containsAny(candidate,
                       {u"javascript", u"mailto", u".mpg", u".js",  u".mpeg", u".swf", u".avi",
                        u".jpg",       u".jpeg",  u".gif", u".bmp", u".mov",  u".rm",  u".mp3",
                        u".wav",       u".ra",    u".pdf", u".css", u".exe",  u".sit", u".zip",
                        u".msi",       u".ppt",   u".doc", u".xls", u".ico",  u"#"});
}

QString resolveCandidate(const QString& candidate, const QString& ownSiteKey,
                         const QString& linkPageDir)
{
    QString v = candidate;
    bool absolute = false;
    if (containsAny(v, {u"http://"})) {
        v.remove(QStringLiteral("http://"), CI);
        absolute = true;
    }
    // An "https://" value names its host as an "http://" one does. (Taken as relative, it would
    // be resolved against the own site and dropped: every partner on HTTPS would be lost.)
    if (containsAny(v, {u"https://"})) {
        v.remove(QStringLiteral("https://"), CI);
        absolute = true;
    }

    if (v.startsWith(u'/')) {
        v = TextSearch::replaceAll(QString(ownSiteKey + v), u"//", u"/");
    } else if (v.startsWith(QStringLiteral(".."))) {
        QString base = linkPageDir;
        for (;;) {
            if (v == QStringLiteral("..")) {
                base = parentOf(base);
                v.clear();
            } else if (v.startsWith(QStringLiteral("../"))) {
                base = parentOf(base);
                v.remove(0, 3);
            } else if (v.startsWith(QStringLiteral("./"))) {
                v.remove(0, 2);
            } else {
                break;
            }
        }
        v = base + v;
    } else if (v.startsWith(QStringLiteral("./"))) {
        while (v.startsWith(QStringLiteral("./")))
            v.remove(0, 2);
        v = linkPageDir + v;
    } else if (!absolute
               && !containsAny(v, {u".com", u"www.", u".net", u".edu", u".gov", u"ww2."})) {
        v = ownSiteKey + u'/' + v;
    }

    if (!v.contains(u'/'))
        v += u'/';
    for (int i = 0; i < 4; ++i)
        v = TextSearch::replaceAll(v, u"//", u"/");

    // Endings the extraction cut short.
    if (v.size() > 6) {
        if (v.endsWith(QStringLiteral(".as"), CI))
            v = TextSearch::replaceAll(v, u".as", u".asp", CI);
        if (v.endsWith(QStringLiteral(".ht"), CI))
            v = TextSearch::replaceAll(v, u".ht", u".htm", CI);
        if (v.endsWith(QStringLiteral(".ph"), CI))
            v = TextSearch::replaceAll(v, u".ph", u".php", CI);
        if (v.endsWith(QStringLiteral("/hre"), CI))
            v.chop(4);
        if (v.endsWith(QStringLiteral("/href"), CI))
            v.chop(5);
        if (v.endsWith(QStringLiteral("/http:"), CI))
            v.chop(6);
        if (v.endsWith(QStringLiteral("/http"), CI))
            v.chop(5);
    }
    return v;
}

QStringList linkPageEntries(const QString& pageText, const QString& linkPageUrl)
{
    const QString key = ownSiteKey(linkPageUrl);
    const QString dir = linkPageDirectory(linkPageUrl);

    // Every "href=" starts a line of its own.
    QString text;
    text.reserve(pageText.size() + pageText.size() / 16);
    qsizetype from = 0;
    for (qsizetype at = pageText.indexOf(kHref, 0, CI); at >= 0;
         at = pageText.indexOf(kHref, at + kHref.size(), CI)) {
        text += QStringView(pageText).mid(from, at - from);
        text += u'\n';
        from = at;
    }
    text += QStringView(pageText).mid(from);

    QStringList entries;
    // A link page that names a partner many times (or a hostile one that repeats a link all over
    // its 16 MiB) offers it once: as its row would read, letter case ignored, as the scan compares
    // its Linking Sites.
    QSet<QString> offered;
    const QString foldedKey = TextSearch::caseFolded(key);
    const QStringList lines = SiteImporter::splitLines(text);
    for (const QString& line : lines) {
        const std::optional<QString> candidate = extractCandidate(line);
        if (!candidate || isDroppedCandidate(*candidate))
            continue;
        const QString v = resolveCandidate(*candidate, key, dir);
        if (TextSearch::find(TextSearch::caseFolded(v), foldedKey) >= 0)
            continue;
        const QString seen = TextSearch::trimBlanks(v).toString().toLower();
        if (offered.contains(seen))
            continue;
        offered.insert(seen);
        entries.append(v);
    }
    return entries;
}

QStringList delimiterCaptions()
{
    return {QStringLiteral("Vertical Bar Symbol"), QStringLiteral("Percent Symbol"),
            QStringLiteral("Comma"), QStringLiteral("Exclamation Point")};
}

std::optional<QString> delimiterFor(int comboIndex, const QString& comboText)
{
    static const std::array<QString, 4> kDelimiters
        = {QStringLiteral("|"), QStringLiteral("%"), QStringLiteral(","), QStringLiteral("!")};
    if (comboIndex >= 0 && comboIndex < int(kDelimiters.size()))
        return kDelimiters[std::size_t(comboIndex)];
    // An emptied box is no choice either: an empty delimiter would glue every domain into one.
    if (comboText.isEmpty() || comboText == DelimiterPrompt)
        return std::nullopt;
    return comboText;
}

QString removeMarkup(const QString& text)
{
    return MarkupRemover::remove(text);
}

QStringList scriptEntries(const QString& output, const QString& delimiter)
{
    QString text = output;
    text.remove(QStringLiteral("\r\n"));
    // A script on a Linux server ends its lines (or just its output) with LF alone.
    text.remove(u'\r');
    text.remove(u'\n');
    text = removeMarkup(text);
    text = TextSearch::replaceAll(text, u" ", delimiter);
    if (delimiter != QStringLiteral(","))
        text = TextSearch::replaceAll(text, delimiter, u",", CI);
    if (text.isEmpty())
        return {};
    return text.split(u',', Qt::KeepEmptyParts);
}

} // namespace corvane::LinkExtraction
