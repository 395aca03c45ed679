#pragma once

#include <QString>
#include <QStringMatcher>
#include <QStringView>

namespace corvane::UrlTools {

// The string functions with which the scan turns href values into page URLs and compares URLs with
// the Main Site and the Linking Site. Page URLs are kept without their scheme. They work on the
// texts with substring tests and replacements rather than a URL parser, but resolve relative
// values as a browser does. All are pure: the scan state they depend on is passed in.

// The Main Site as used for matching: without "http://"/"https://", without a leading "www." and
// without one trailing "/".
QString NormalizeMainSite(const QString& strMainSite);
QString ParentDirectory(const QString& url);
// The directory relative links resolve against when url (scheme-less, as ResolveLink gives it) is
// a page's <base href>: the text up to the last "/" of its path, as a browser takes it. A base is
// a URL like any other, so "partner.test/blog" lies in "partner.test/" and only
// "partner.test/blog/" is a folder; a host alone is its root.
QString BaseDirectory(QStringView url);
// The scheme-less page URL of an href value seen on a page of host strHost whose directory is
// strCurDir (scheme-less, ending in "/"). A value is absolute only when it starts with "http://",
// "https://" (any letter case) or "//"; one starting with "/" is taken from the host, one starting
// with "./" or "../" from strCurDir; one whose first segment holds a host marker (".com", "www.",
// ...) names a host; any other is relative to strCurDir. The fragment is dropped and the path's
// dot segments are resolved. Returns an empty text for a value that names no page (only a
// fragment, or another scheme); the caller skips it.
QString ResolveLink(QStringView value, QStringView strHost, QStringView strCurDir);

// Whether the value starts with a scheme other than http and https (ftp:, tel:, data:, news:,
// ...): a letter, then letters, digits, "+", "-" or ".", then ":", all before its first "/". Such
// a value names no page of the web.
bool HasOtherScheme(QStringView value);

QString BareHost(const QString& url);
// A host name as connections to it are told apart: lower case, without a leading "www.".
QString HostKey(QStringView host);
bool IsDirectLink(QStringView url, QStringView strMainSite);
// IsDirectLink for many URLs against one Main Site: mainSite finds strMainSite, letter case
// ignored (see mainSiteFinder).
bool IsDirectLink(QStringView url, const QStringMatcher& mainSite);
QStringMatcher mainSiteFinder(const QString& strMainSite);
// The Main Site with its international host in the other form: the ASCII (punycode) form of a
// host typed in Unicode, the Unicode form of one typed in punycode; empty when there is none. A
// link names the Main Site in either form.
QString OtherHostForm(const QString& strMainSite);
// Whether site's text stands in text as a name of its own: the character before it (if any) is no
// letter, digit or "-", and the one after it (if any) is none of these nor ".". So
// "blog.example.com/", "out.php?to=example.com" and "example.com/shop" hold "example.com";
// "notexample.com" and "example.com.other.org" do not.
bool HoldsSiteName(QStringView text, const QStringMatcher& site);
// The same, letters compared as they are (for case-folded texts).
bool HoldsSiteName(QStringView text, QStringView site);
bool IsDomainLink(QStringView url, QStringView strMainSite);
// IsDomainLink in two steps, for many URLs against one Main Site: the domain the test compares
// with, and the test against it.
QString MainSiteDomain(QStringView strMainSite);
bool IsDomainLinkOf(QStringView url, QStringView domain);
// The host a URL (with or without scheme) names, as connections and the crawl's scope compare
// hosts: lower case, without user info, port or trailing dots, an international name in its
// ASCII (punycode) form. "evil.example/partner.example/" names evil.example.
QString UrlHost(QStringView url);
// The site a host belongs to: its registrable domain by the Public Suffix List
// ("shop.partner.co.uk" gives "partner.co.uk"); an IP address, a one-label name or a public
// suffix itself stands for that host alone.
QString RegistrableDomain(const QString& host);
// Whether url is a page of the Linking Site whose row reads linkingSiteUrl: its host is the
// Linking Site's registrable domain or a subdomain of it, at a label boundary. So partner
// "blog.partner.co.uk" takes in "www.partner.co.uk" but not "bbc.co.uk", "bignews.example" or
// "partner.co.uk.evil.example". A Linking Site on an address or a one-label name takes in that
// host only; one that is itself a public suffix ("github.io", also typed "www.github.io") that
// host and its "www." only, not the sites below it ("octocat.github.io").
bool IsInLinkingSite(const QString& url, const QString& linkingSiteUrl);
// IsInLinkingSite in two steps, so a caller testing many URLs against one Linking Site derives
// the site's domain once: the domain the test compares with, and the test against it.
QString LinkingSiteDomain(QStringView linkingSiteUrl);
bool IsInLinkingSiteDomain(QStringView url, QStringView domain);

// True when the path names an existing normal (not hidden) file, its name compared ignoring case.
bool xfileExists(const QString& path);
// The text after the last "/" or "\"; empty for an empty path.
QString FileNamePart(const QString& path);

} // namespace corvane::UrlTools
