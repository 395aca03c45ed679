#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace corvane {

// A bot-protection service's challenge: an answer that stands between a program and the page
// until a browser has run a script or a person has ticked a box. It says nothing about the link:
// the Linking Site is reported as blocked, not as missing its link.
//
// Only documented markers count, so an ordinary "403 Forbidden" or "503 Service Unavailable" is
// never taken for one: a 403 or 503 answer that carries the header "cf-mitigated: challenge", or
// whose page <title> is one of kTitles (alone, or followed by " | " and a name).
namespace BotChallenge {

// The reason of the Linking Site and the text of its error row.
inline const QString kBlocked = QStringLiteral("Blocked by bot protection");
// The challenge pages' titles, letter case ignored.
inline const QStringList kTitles = {QStringLiteral("Just a moment..."),
                                    QStringLiteral("Just a moment\u2026"),
                                    QStringLiteral("Attention Required!")};

// head: the status line and header lines; body: the page text.
bool isChallenge(QStringView head, QStringView body);
// The text of the page's first <title> element, entities decoded, blanks folded; empty when
// there is none near the start of the page.
QString titleOf(QStringView body);

} // namespace BotChallenge

} // namespace corvane
