#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace corvane {

// The text work of Get Links: which links of the user's own link page are offered as Linking
// Sites, and how a script's delimited output is cut into entries. Like the scan's URL tools these
// are fixed sequences of substring tests, not URL parsing; the sequences are the behaviour.
namespace LinkExtraction {

// The own-site key K of a link page URL: "http://", "https://" and "www." removed (exact letter
// case), then cut just after the first "/" (a page under a path gives the site and "/").
QString ownSiteKey(const QString& linkPageUrl);
// The directory of the link page, without scheme, ending in "/": the base of links starting with
// "./" or "..".
QString linkPageDirectory(const QString& linkPageUrl);

// The href value a line of the link page holds, cut short the way the page analysis cuts values;
// nothing for a line without "href=" or whose value cannot be cut out.
std::optional<QString> extractCandidate(const QString& line);
// Script, mail, media, document and archive links and anchors: plain substring tests on the whole
// candidate, host included, ignoring letter case.
bool isDroppedCandidate(const QString& candidate);
// A candidate made into a scheme-less URL against the own-site key (and, for "./" and "..", the
// link page's directory), with the endings the extraction cut off repaired.
QString resolveCandidate(const QString& candidate, const QString& ownSiteKey,
                         const QString& linkPageDir);

// Every link of the page that leads away from the user's own site, in page order, untrimmed,
// each once (the first time it stands there; blanks around it and letter case ignored).
QStringList linkPageEntries(const QString& pageText, const QString& linkPageUrl);

// The delimiter of option 1 from the Combo1 entry (0..3) or, for -1, its typed text; nothing
// when the user has chosen none (the box still shows its prompt, or was emptied).
inline const QString DelimiterPrompt = QStringLiteral("Select or Type a Delimiter");
QStringList delimiterCaptions(); // "Vertical Bar Symbol", "Percent Symbol", "Comma", ...
std::optional<QString> delimiterFor(int comboIndex, const QString& comboText);

// Removes markup: while the text holds a "<" before its first ">", every exact occurrence of the
// text from that "<" through that ">" goes (see MarkupRemover).
QString removeMarkup(const QString& text);
// The entries of a script's output: line breaks removed, markup removed, spaces and the delimiter
// (any letter case) made separators. Empty pieces stay as empty entries; an empty output has none.
QStringList scriptEntries(const QString& output, const QString& delimiter);

} // namespace LinkExtraction

} // namespace corvane
