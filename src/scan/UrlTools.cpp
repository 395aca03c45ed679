#include "scan/UrlTools.h"

#include "scan/TextSearch.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace corvane::UrlTools {

namespace {

const QString kHttp = QStringLiteral("http://");
const QString kHttps = QStringLiteral("https://");
const QString kWww = QStringLiteral("www.");
const QString kSlash = QStringLiteral("/");
const QString kDoubleSlash = QStringLiteral("//");

bool containsText(const QString& text, const QString& part)
{
    return TextSearch::containsNoCase(text, part);
}

// Every occurrence, letter case ignored: the scan's href values come in any spelling.
void removeAll(QString& text, const QString& part)
{
    TextSearch::removeAllNoCase(text, part);
}

// The host part the three site tests compare: no scheme, nothing from the first "/" on.
QString hostPart(QString url)
{
    removeAll(url, kHttp);
    removeAll(url, kHttps);
    const qsizetype slash = url.indexOf(QLatin1Char('/'));
    if (slash >= 0)
        url.truncate(slash);
    return url;
}

// A host of more than two dot-separated labels keeps its last two ("www.example.com" gives
// "example.com"; so does "a.b.example.com"). Two-label country suffixes are not special.
QString lastTwoLabels(const QString& host)
{
    const QStringList labels = host.split(QLatin1Char('.'));
    if (labels.size() <= 2)
        return host;
    return labels.at(labels.size() - 2) + QLatin1Char('.') + labels.last();
}

} // namespace

QString NormalizeMainSite(const QString& strMainSite)
{
    QString site = strMainSite;
    if (containsText(site, kHttp))
        removeAll(site, kHttp);
    if (containsText(site, kHttps))
        removeAll(site, kHttps);
    if (site.size() > 4 && site.left(4).toLower() == kWww)
        site.remove(0, 4);
    return site;
}

QString ParentDirectory(const QString& url)
{
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

QString ResolveLink(const QString& value, const QString& strHost, const QString& strCurDir)
{
    QString v = value;

    bool absolute = false;
    if (containsText(v, kHttp)) {
        removeAll(v, kHttp);
        absolute = true;
    }
    // An "https://" value is not taken as absolute; only the host markers below make it one.
    if (containsText(v, kHttps))
        removeAll(v, kHttps);

    // ".." as the last step would climb from a text too short to hold another "../"; such a
    // value names no page, so the caller skips it.
    if (v.endsWith(QStringLiteral("..")))
        return {};

    bool resolved = false;
    if (v.startsWith(QLatin1Char('/'))) {
        v = strHost + v;
        if (v.contains(kDoubleSlash))
            v.replace(kDoubleSlash, kSlash, Qt::CaseSensitive);
        resolved = true;
    } else if (v.startsWith(QStringLiteral(".."))) {
        QString base = strCurDir;
        while (v.startsWith(QStringLiteral(".."))) {
            base = ParentDirectory(base);
            v.remove(0, 3);
            v.replace(QStringLiteral("/."), QStringLiteral("."), Qt::CaseSensitive);
        }
        v = base + v;
        resolved = true;
    }

    if (!resolved) {
        // "./x" is taken from the host's root, not from the current directory.
        if (v.startsWith(QStringLiteral("./"))) {
            v.remove(QStringLiteral("./"), Qt::CaseSensitive);
            v = strHost + kSlash + v;
        }
        if (!absolute) {
            static const QString markers[] = {
                QStringLiteral(".com"), QStringLiteral("www."), QStringLiteral(".net"),
                QStringLiteral(".edu"), QStringLiteral(".gov"), QStringLiteral("ww2."),
            };
            bool looksLikeHost = false;
            for (const QString& marker : markers) {
                if (containsText(v, marker)) {
                    looksLikeHost = true;
                    break;
                }
            }
            if (!looksLikeHost)
                v = strCurDir + kSlash + v;
        }
    }

    if (!v.contains(QLatin1Char('/')))
        v += kSlash;

    for (int pass = 0; pass < 4 && v.contains(kDoubleSlash); ++pass)
        v.replace(kDoubleSlash, kSlash, Qt::CaseSensitive);

    // Page analysis cuts a value two characters short when no quote or ">" closes it; these
    // repairs give the common endings back. Each replaces every occurrence, not just the end.
    if (v.size() > 6) {
        const auto endsWith = [&v](const QString& end) {
            return TextSearch::endsWithNoCase(v, end);
        };
        if (endsWith(QStringLiteral(".as")))
            TextSearch::replaceAllNoCase(v, u".as", u".asp");
        if (endsWith(QStringLiteral(".ht")))
            TextSearch::replaceAllNoCase(v, u".ht", u".htm");
        if (endsWith(QStringLiteral(".ph")))
            TextSearch::replaceAllNoCase(v, u".ph", u".php");
        if (endsWith(QStringLiteral("/hre")))
            v.chop(4);
        if (endsWith(QStringLiteral("/href")))
            v.chop(5);
        if (endsWith(QStringLiteral("/http:")))
            v.chop(6);
        if (endsWith(QStringLiteral("/http")))
            v.chop(5);
    }
    return v;
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

bool IsDirectLink(const QString& url, const QString& strMainSite)
{
    return containsText(url, strMainSite);
}

bool IsDomainLink(const QString& url, const QString& strMainSite)
{
    const QString m = lastTwoLabels(hostPart(strMainSite));
    const QString h = lastTwoLabels(hostPart(url));
    return h == m;
}

QString LinkingSiteDomain(const QString& linkingSiteUrl)
{
    return lastTwoLabels(hostPart(linkingSiteUrl));
}

bool IsInLinkingSiteDomain(const QString& url, const QString& domain)
{
    return containsText(url, domain) || containsText(domain, url);
}

bool IsInLinkingSite(const QString& url, const QString& linkingSiteUrl)
{
    return IsInLinkingSiteDomain(url, LinkingSiteDomain(linkingSiteUrl));
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
    const qsizetype cut = std::max(path.lastIndexOf(QLatin1Char('/')),
                                   path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

} // namespace corvane::UrlTools
