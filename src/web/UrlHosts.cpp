#include "web/UrlTools.h"

// The URL tools that tell hosts and sites apart: a URL's host, a host's registrable domain by the
// Public Suffix List, the Linking Site's scope, and the two forms of an international host.

#include <QUrl>

#include <algorithm>
#include <utility>

#include <libpsl.h>

namespace corvane::UrlTools {

QString OtherHostForm(const QString& strMainSite)
{
    const qsizetype slash = strMainSite.indexOf(u'/');
    const QString host = slash >= 0 ? strMainSite.left(slash) : strMainSite;
    const QString rest = slash >= 0 ? strMainSite.mid(slash) : QString();
    bool ascii = true;
    for (const QChar c : host)
        ascii = ascii && c.unicode() < 0x80;
    QString other;
    if (!ascii)
        other = QString::fromLatin1(QUrl::toAce(host));
    else if (host.contains(QStringLiteral("xn--"), Qt::CaseInsensitive))
        other = QUrl::fromAce(host.toLower().toLatin1(), QUrl::IgnoreIDNWhitelist);
    if (other.isEmpty() || other.compare(host, Qt::CaseInsensitive) == 0)
        return {};
    return other + rest;
}

QString UrlHost(QStringView url)
{
    QStringView v = url.trimmed();
    for (const QStringView scheme : {QStringView(u"http://"), QStringView(u"https://")}) {
        if (v.startsWith(scheme, Qt::CaseInsensitive)) {
            v = v.sliced(scheme.size());
            break;
        }
    }
    if (v.startsWith(u"//"))
        v = v.sliced(2);
    // The authority ends where the path, the query or the fragment begins; a browser takes a
    // backslash for a slash.
    for (qsizetype i = 0; i < v.size(); ++i) {
        const char16_t c = v[i].unicode();
        if (c == u'/' || c == u'?' || c == u'#' || c == u'\\') {
            v = v.first(i);
            break;
        }
    }
    // "partner.example@other.example" is a page of other.example.
    if (const qsizetype at = v.lastIndexOf(u'@'); at >= 0)
        v = v.sliced(at + 1);
    if (v.startsWith(u'[')) {
        const qsizetype close = v.indexOf(u']');
        v = close > 0 ? v.sliced(1, close - 1) : v.sliced(1);
    } else if (const qsizetype colon = v.indexOf(u':'); colon >= 0) {
        v = v.first(colon);
    }
    while (v.endsWith(u'.'))
        v.chop(1);
    QString host = v.toString().toLower();
    for (const QChar c : std::as_const(host)) {
        if (c.unicode() >= 0x80) {
            const QByteArray ace = QUrl::toAce(host);
            if (!ace.isEmpty())
                host = QString::fromLatin1(ace);
            break;
        }
    }
    return host;
}

namespace {

// A host that stands for itself alone: an address, or a name of one label ("localhost",
// "intranet"). No registrable domain lies above either.
bool isExactHost(QStringView host)
{
    if (host.isEmpty() || host.indexOf(u':') >= 0)
        return true;
    const qsizetype dot = host.lastIndexOf(u'.');
    if (dot < 0)
        return true;
    // No top-level domain is all digits: such a host is an IPv4 address.
    const QStringView last = host.sliced(dot + 1);
    return !last.isEmpty()
        && std::all_of(last.begin(), last.end(), [](QChar c) { return c.isDigit(); });
}

// The Public Suffix List, as the system ships it (the newer of the library's own copy and the
// system's file), loaded once.
const psl_ctx_t* publicSuffixes()
{
    static const psl_ctx_t* const psl = [] {
        const psl_ctx_t* ctx = psl_latest(nullptr);
        return ctx ? ctx : psl_builtin();
    }();
    return psl;
}

const QString kWww = QStringLiteral("www.");

// Whether the host is itself on the Public Suffix List ("co.uk", "github.io"): no one site owns
// the names below it.
bool isPublicSuffix(QStringView host)
{
    const psl_ctx_t* psl = publicSuffixes();
    return psl && psl_is_public_suffix(psl, host.toUtf8().constData()) != 0;
}

} // namespace

QString RegistrableDomain(const QString& host)
{
    if (isExactHost(host))
        return host;
    const psl_ctx_t* psl = publicSuffixes();
    const QByteArray name = host.toUtf8();
    const char* domain = psl ? psl_registrable_domain(psl, name.constData()) : nullptr;
    // A host that is itself a public suffix ("co.uk", "github.io") is a site of its own.
    return domain ? QString::fromUtf8(domain) : host;
}

QString LinkingSiteDomain(QStringView linkingSiteUrl)
{
    const QString host = UrlHost(linkingSiteUrl);
    // "www.github.io" is the site github.io, as "www." names the same host everywhere else.
    if (host.startsWith(kWww) && isPublicSuffix(QStringView(host).sliced(kWww.size())))
        return host.sliced(kWww.size());
    return RegistrableDomain(host);
}

bool IsInLinkingSiteDomain(QStringView url, QStringView domain)
{
    if (domain.isEmpty())
        return false;
    const QString host = UrlHost(url);
    if (host == domain)
        return true;
    if (isExactHost(domain))
        return false;
    // A public suffix stands for itself alone: the sites below github.io are other people's.
    if (isPublicSuffix(domain))
        return host.size() == kWww.size() + domain.size() && host.startsWith(kWww)
            && host.endsWith(domain);
    return host.size() > domain.size() && host.endsWith(domain)
        && host.at(host.size() - domain.size() - 1) == u'.';
}

bool IsInLinkingSite(const QString& url, const QString& linkingSiteUrl)
{
    return IsInLinkingSiteDomain(url, LinkingSiteDomain(linkingSiteUrl));
}

} // namespace corvane::UrlTools
