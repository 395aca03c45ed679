#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace corvane::HrefValue {

// The link value of a line that starts with "href=", given what follows the "href=": one double
// quote and then one apostrophe in front go, the value ends before the first quote, apostrophe or
// ">" that is not the line's last character (else the line loses its last two characters), and it
// is trimmed of blanks and cut at the first blank inside. No value when nothing is left before
// the trimming.
std::optional<QStringView> cut(QStringView rest);

// The target named by a redirect page's line that holds "href=": cut before its first blank, "<"
// and ">", then without "href=", ">here</a></body", quotes, apostrophes and blanks.
QString redirectTarget(QStringView line);

} // namespace corvane::HrefValue
