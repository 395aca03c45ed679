#pragma once

#include <QString>

namespace corvane::UrlTools {

// The string functions with which the scan turns href values into page URLs and compares URLs with
// the Main Site and the Linking Site. Page URLs are kept without their scheme. None of them parses
// URLs by a standard: each is a fixed sequence of substring tests and replacements, and that
// sequence is the behaviour. All are pure: the scan state they depend on is passed in.

// The Main Site as used for matching: without "http://"/"https://" and without a leading "www.".
QString NormalizeMainSite(const QString& strMainSite);
QString ParentDirectory(const QString& url);
// The scheme-less page URL of an href value seen on a page of host strHost whose directory is
// strCurDir (scheme-less, ending in "/"). Returns an empty text for a value that cannot be
// resolved (one ending in ".."); the caller skips it.
QString ResolveLink(const QString& value, const QString& strHost, const QString& strCurDir);
QString BareHost(const QString& url);
bool IsDirectLink(const QString& url, const QString& strMainSite);
bool IsDomainLink(const QString& url, const QString& strMainSite);
// linkingSiteUrl: the text of the current Linking Site's row.
bool IsInLinkingSite(const QString& url, const QString& linkingSiteUrl);
// IsInLinkingSite in two steps, so a caller testing many URLs against one Linking Site derives
// the site's domain once: the domain the test compares with, and the test against it.
QString LinkingSiteDomain(const QString& linkingSiteUrl);
bool IsInLinkingSiteDomain(const QString& url, const QString& domain);

// True when the path names an existing normal (not hidden) file, its name compared ignoring case.
bool xfileExists(const QString& path);
// The text after the last "/" or "\"; empty for an empty path.
QString FileNamePart(const QString& path);

} // namespace corvane::UrlTools
