#include "web/UrlTools.h"

#include "web/TextSearch.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <utility>

namespace corvane::UrlTools {

namespace {

const QString kHttp = QStringLiteral("http://");
const QString kHttps = QStringLiteral("https://");
const QString kWww = QStringLiteral("www.");
const QString kSlash = QStringLiteral("/");
const QString kDoubleSlash = QStringLiteral("//");

bool containsText(QStringView text, QStringView part)
{
    return text.contains(part, Qt::CaseInsensitive);
}

// Every occurrence, letter case ignored: the scan's href values come in any spelling. Returns
// whether there was one.
bool removeAll(QString& text, const QString& part)
{
    if (!text.contains(part, Qt::CaseInsensitive))
        return false;
    text.remove(part, Qt::CaseInsensitive);
    return true;
}

inline qsizetype indexOfUnit(QStringView v, char16_t c, qsizetype from = 0)
{
    return v.indexOf(QChar(c), from);
}

inline qsizetype lastIndexOfUnit(QStringView v, char16_t c)
{
    const char16_t* p = v.utf16();
    for (qsizetype i = v.size() - 1; i >= 0; --i) {
        if (p[i] == c)
            return i;
    }
    return -1;
}

// A letter as the case-insensitive tests compare it.
inline char16_t foldedUnit(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
    return QChar(c).toCaseFolded().unicode();
}

// The text at i is the lower-case ASCII word, letter case ignored.
bool wordAt(QStringView v, qsizetype i, const char* word, qsizetype n)
{
    if (i < 0 || i + n > v.size())
        return false;
    for (qsizetype k = 0; k < n; ++k) {
        if (foldedUnit(v[i + k].unicode()) != char16_t(word[k]))
            return false;
    }
    return true;
}

// Whether the text holds "://": both scheme texts do, and most href values hold neither.
bool hasSchemeSeparator(QStringView v)
{
    for (qsizetype i = indexOfUnit(v, u':'); i >= 0; i = indexOfUnit(v, u':', i + 1)) {
        if (i + 2 < v.size() && v[i + 1] == u'/' && v[i + 2] == u'/')
            return true;
    }
    return false;
}

// Contains one of ".com", "www.", ".net", ".edu", ".gov" and "ww2.", letter case ignored. Each
// holds a ".", and nothing but "." matches a ".", so only the dots need a look.
bool hasHostMarker(QStringView v)
{
    for (qsizetype i = indexOfUnit(v, u'.'); i >= 0; i = indexOfUnit(v, u'.', i + 1)) {
        if (wordAt(v, i + 1, "com", 3) || wordAt(v, i + 1, "net", 3) || wordAt(v, i + 1, "edu", 3)
            || wordAt(v, i + 1, "gov", 3) || wordAt(v, i - 3, "www", 3)
            || wordAt(v, i - 3, "ww2", 3))
            return true;
    }
    return false;
}

// Replacing every "//" by "/" (left to right, without overlaps) turns a run of k slashes into
// one of (k + 1) / 2 and leaves the rest as it is: so the passes are done run by run, in place.
void foldSlashRuns(QString& v, int passes)
{
    qsizetype first = indexOfUnit(v, u'/');
    while (first >= 0 && (first + 1 >= v.size() || v.at(first + 1) != u'/'))
        first = indexOfUnit(v, u'/', first + 1);
    if (first < 0)
        return;
    QChar* d = v.data();
    const qsizetype n = v.size();
    qsizetype w = first;
    qsizetype r = first;
    while (r < n) {
        if (d[r] != u'/') {
            d[w++] = d[r++];
            continue;
        }
        qsizetype run = 0;
        while (r < n && d[r] == u'/') {
            ++run;
            ++r;
        }
        for (int p = 0; p < passes && run > 1; ++p)
            run = (run + 1) / 2;
        while (run-- > 0)
            d[w++] = u'/';
    }
    v.truncate(w);
}

// Whether one of the repairs applies. The endings they look for end in different characters, so
// the last character says which one to test; when none applies, none of them changes anything.
bool mayNeedRepair(QStringView v)
{
    QStringView ending;
    switch (foldedUnit(v.back().unicode())) {
    case u's':
        ending = u".as";
        break;
    case u't':
        ending = u".ht";
        break;
    case u'h':
        ending = u".ph";
        break;
    case u'e':
        ending = u"/hre";
        break;
    case u'f':
        ending = u"/href";
        break;
    case u':':
        ending = u"/http:";
        break;
    case u'p':
        ending = u"/http";
        break;
    default:
        return false;
    }
    return v.endsWith(ending, Qt::CaseInsensitive);
}

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool hasOtherScheme(QStringView v)
{
    const qsizetype colon = indexOfUnit(v, u':');
    if (colon <= 0)
        return false;
    const qsizetype slash = indexOfUnit(v, u'/');
    if (slash >= 0 && slash < colon)
        return false;
    const QStringView scheme = v.first(colon);
    if (!isAsciiLetter(scheme.front()))
        return false;
    for (const QChar c : scheme) {
        if (!isAsciiLetter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.')
            return false;
    }
    return scheme.compare(u"http", Qt::CaseInsensitive) != 0
        && scheme.compare(u"https", Qt::CaseInsensitive) != 0;
}

// The value up to its first "/", "?" or "#".
QStringView firstSegment(QStringView v)
{
    for (qsizetype i = 0; i < v.size(); ++i) {
        if (v[i] == u'/' || v[i] == u'?' || v[i] == u'#')
            return v.first(i);
    }
    return v;
}

// The "." and ".." segments of the path (after the host, before any "?") are resolved as a
// browser does: "a/./b/../c" is "a/c", and ".." above the root stays at the root. A last segment
// "." or ".." leaves the directory it names, with its "/".
void removeDotSegments(QString& url)
{
    const qsizetype hostEnd = indexOfUnit(url, u'/');
    if (hostEnd < 0)
        return;
    const qsizetype query = indexOfUnit(url, u'?');
    const qsizetype pathEnd = query >= 0 && query > hostEnd ? query : url.size();
    const QStringView path = QStringView(url).sliced(hostEnd + 1, pathEnd - hostEnd - 1);
    if (!path.startsWith(u'.') && !path.contains(u"/."))
        return;
    QList<QStringView> kept;
    bool directory = false;
    for (const QStringView segment : path.tokenize(u'/')) {
        directory = false;
        if (segment == u".") {
            directory = true;
        } else if (segment == u"..") {
            if (!kept.isEmpty())
                kept.removeLast();
            directory = true;
        } else {
            kept.append(segment);
        }
    }
    QString out = url.first(hostEnd + 1);
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (i > 0)
            out += u'/';
        out += kept.at(i);
    }
    if (directory && !kept.isEmpty())
        out += u'/';
    out += QStringView(url).sliced(pathEnd);
    url = std::move(out);
}

// Whether the length characters at at are a name of their own: no letter, digit or "-" before
// them, none of these nor "." after them.
bool standsAlone(QStringView text, qsizetype at, qsizetype length)
{
    if (length == 0)
        return true;
    const auto nameCharacter = [](QChar c) { return c.isLetterOrNumber() || c == u'-'; };
    const qsizetype end = at + length;
    if (at > 0 && nameCharacter(text.at(at - 1)))
        return false;
    return end >= text.size() || !(nameCharacter(text.at(end)) || text.at(end) == u'.');
}

QString concat(QStringView a, QStringView b, QStringView c = {})
{
    QString out(a.size() + b.size() + c.size(), Qt::Uninitialized);
    QChar* d = out.data();
    d = std::copy(a.begin(), a.end(), d);
    d = std::copy(b.begin(), b.end(), d);
    std::copy(c.begin(), c.end(), d);
    return out;
}

// The host part the three site tests compare: no scheme, nothing from the first "/" on. Without
// a scheme (no "://") a part of the text itself; else a part of scratch.
QStringView hostPart(QStringView url, QString& scratch)
{
    if (hasSchemeSeparator(url)) {
        scratch = url.toString();
        removeAll(scratch, kHttp);
        removeAll(scratch, kHttps);
        url = scratch;
    }
    const qsizetype slash = indexOfUnit(url, u'/');
    return slash >= 0 ? url.first(slash) : url;
}

// A host of more than two dot-separated labels keeps its last two ("www.example.com" gives
// "example.com"; so does "a.b.example.com"). Two-label country suffixes are not special.
QStringView lastTwoLabels(QStringView host)
{
    const qsizetype last = lastIndexOfUnit(host, u'.');
    if (last <= 0)
        return host;
    const qsizetype before = lastIndexOfUnit(host.first(last), u'.');
    return before < 0 ? host : host.sliced(before + 1);
}

} // namespace

bool HasOtherScheme(QStringView value)
{
    return hasOtherScheme(value);
}

QString NormalizeMainSite(const QString& strMainSite)
{
    QString site = strMainSite;
    if (containsText(site, kHttp))
        removeAll(site, kHttp);
    if (containsText(site, kHttps))
        removeAll(site, kHttps);
    if (site.size() > 4 && site.left(4).toLower() == kWww)
        site.remove(0, 4);
    // As copied from a browser's address bar: "www.example.com/" names the site "example.com".
    if (site.size() > 1 && site.endsWith(u'/'))
        site.chop(1);
    return site;
}

QString ParentDirectory(const QString& url)
{
    // Without a scheme: the text up to its last "/" but one at the end, in one allocation.
    if (!hasSchemeSeparator(url)) {
        QStringView s = url;
        if (s.endsWith(u'/'))
            s.chop(1);
        const qsizetype lastSlash = lastIndexOfUnit(s, u'/');
        if (lastSlash >= 0)
            return s.first(lastSlash + 1).toString();
        // A text without a directory part is its own directory.
        return concat(s, kSlash);
    }
    QString s = url;
    // The scheme is noticed ignoring case but removed only in lower case: an upper-case scheme
    // stays in the text and is treated as part of the path.
    const bool hadHttp = containsText(s, kHttp);
    if (hadHttp)
        s.remove(kHttp, Qt::CaseSensitive);
    const bool hadHttps = containsText(s, kHttps);
    if (hadHttps)
        s.remove(kHttps, Qt::CaseSensitive);

    if (s.endsWith(QLatin1Char('/')))
        s.chop(1);

    QString d;
    const qsizetype lastSlash = s.lastIndexOf(QLatin1Char('/'));
    if (lastSlash >= 0)
        d = s.left(lastSlash + 1);

    if (hadHttp)
        d.prepend(kHttp);
    if (hadHttps)
        d.prepend(kHttps);

    // A text without a directory part is its own directory.
    if (d.isEmpty() || d == kHttp || d == kHttps)
        return s + kSlash;
    return d;
}

QString BaseDirectory(QStringView url)
{
    // Neither the query nor a "/" in it is part of the path.
    const qsizetype query = indexOfUnit(url, u'?');
    const QStringView path = query >= 0 ? url.first(query) : url;
    const qsizetype lastSlash = lastIndexOfUnit(path, u'/');
    if (lastSlash < 0)
        return concat(path, kSlash);
    return path.first(lastSlash + 1).toString();
}

QString ResolveLink(QStringView value, QStringView strHost, QStringView strCurDir)
{
    // A fragment names a place in a page, not a page.
    const qsizetype hash = indexOfUnit(value, u'#');
    QStringView v = hash >= 0 ? value.first(hash) : value;
    if (v.isEmpty())
        return {};
    // Another scheme than http and https (ftp:, tel:, data:, ...) names no page of the web.
    if (hasOtherScheme(v))
        return {};

    // Only the start of the value makes it absolute: "http://", "https://" or "//" and a host.
    bool absolute = false;
    for (const QString& scheme : {kHttp, kHttps}) {
        if (v.startsWith(scheme, Qt::CaseInsensitive)) {
            v = v.sliced(scheme.size());
            absolute = true;
            break;
        }
    }
    if (!absolute && v.startsWith(u"//")) {
        v = v.sliced(2);
        absolute = true;
    }
    QString text = v.toString();
    // Any further scheme text inside the value goes, without making it absolute.
    if (hasSchemeSeparator(text)) {
        removeAll(text, kHttp);
        removeAll(text, kHttps);
    }

    QString out;
    // How many times every "//" is replaced by "/": four at the end, one more for a value from
    // the host's root.
    int slashPasses = 4;
    if (absolute) {
        out = std::move(text);
    } else if (text.startsWith(u'/')) {
        out = concat(strHost, text);
        ++slashPasses;
    } else if (text.startsWith(QStringLiteral("./")) || text.startsWith(QStringLiteral("../"))
               || QStringView(text) == u"." || QStringView(text) == u"..") {
        out = concat(strCurDir, text);
    } else if (hasHostMarker(firstSegment(text))) {
        // A first segment that holds a host marker counts as a host name.
        out = std::move(text);
    } else {
        out = concat(strCurDir, kSlash, text);
    }

    if (indexOfUnit(out, u'/') < 0)
        out += kSlash;
    foldSlashRuns(out, slashPasses);
    removeDotSegments(out);

    // Page analysis cuts a value two characters short when no quote or ">" closes it; these
    // repairs give the common endings back. Each replaces every occurrence, not just the end.
    if (out.size() > 6 && mayNeedRepair(out)) {
        const auto endsWith
            = [&out](const QString& end) { return out.endsWith(end, Qt::CaseInsensitive); };
        using TextSearch::replaceAll;
        if (endsWith(QStringLiteral(".as")))
            out = replaceAll(out, u".as", u".asp", Qt::CaseInsensitive);
        if (endsWith(QStringLiteral(".ht")))
            out = replaceAll(out, u".ht", u".htm", Qt::CaseInsensitive);
        if (endsWith(QStringLiteral(".ph")))
            out = replaceAll(out, u".ph", u".php", Qt::CaseInsensitive);
        if (endsWith(QStringLiteral("/hre")))
            out.chop(4);
        if (endsWith(QStringLiteral("/href")))
            out.chop(5);
        if (endsWith(QStringLiteral("/http:")))
            out.chop(6);
        if (endsWith(QStringLiteral("/http")))
            out.chop(5);
    }
    return out;
}

QString HostKey(QStringView host)
{
    QString key = host.toString().toLower();
    if (key.startsWith(QStringLiteral("www.")))
        key.remove(0, 4);
    return key;
}

QString BareHost(const QString& url)
{
    QString host = url;
    removeAll(host, kHttp);
    removeAll(host, kHttps);
    if (host.size() > 4 && host.startsWith(kWww, Qt::CaseSensitive))
        host.remove(0, 4);
    const qsizetype slash = host.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        host.truncate(slash);
    return host;
}

bool IsDirectLink(QStringView url, QStringView strMainSite)
{
    return IsDirectLink(url, mainSiteFinder(strMainSite.toString()));
}

bool IsDirectLink(QStringView url, const QStringMatcher& mainSite)
{
    return HoldsSiteName(url, mainSite);
}

bool HoldsSiteName(QStringView text, const QStringMatcher& site)
{
    const qsizetype length = site.pattern().size();
    for (qsizetype at = site.indexIn(text); at >= 0; at = site.indexIn(text, at + 1)) {
        if (standsAlone(text, at, length))
            return true;
    }
    return false;
}

bool HoldsSiteName(QStringView text, QStringView site)
{
    for (qsizetype at = TextSearch::find(text, site); at >= 0;
         at = TextSearch::find(text, site, at + 1)) {
        if (standsAlone(text, at, site.size()))
            return true;
    }
    return false;
}

QStringMatcher mainSiteFinder(const QString& strMainSite)
{
    return QStringMatcher(strMainSite, Qt::CaseInsensitive);
}

bool IsDomainLink(QStringView url, QStringView strMainSite)
{
    return IsDomainLinkOf(url, MainSiteDomain(strMainSite));
}

QString MainSiteDomain(QStringView strMainSite)
{
    QString scratch;
    return lastTwoLabels(hostPart(strMainSite, scratch)).toString();
}

bool IsDomainLinkOf(QStringView url, QStringView domain)
{
    QString scratch;
    return lastTwoLabels(hostPart(url, scratch)) == domain;
}

bool xfileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    // Only normal files count: folders and hidden (dot) files are not listed.
    if (!info.isFile() || info.isHidden())
        return false;
    return info.fileName().toUpper() == FileNamePart(path).toUpper();
}

QString FileNamePart(const QString& path)
{
    const qsizetype cut
        = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

} // namespace corvane::UrlTools
