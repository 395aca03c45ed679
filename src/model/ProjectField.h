#pragma once

#include <QString>

namespace corvane {

// How a value goes into a field of a project file line. The fields are separated by "|" and
// never escaped, so a "|" of the value's own would split its line and shift every later field:
// the value is written with a stand-in instead. A value without "|" is written as it is.
namespace ProjectField {

// In an address "%7C", which every server reads as the same URL.
inline QString url(QString value)
{
    value.replace(u'|', QStringLiteral("%7C"));
    return value;
}

// In a text "¦", which the file's code page (Windows-1252) has.
inline QString text(QString value)
{
    value.replace(u'|', u'\u00a6');
    return value;
}

// In the HTML of the page-builder texts, where "|||" stands for a line break, the character
// reference "&#124;", which a browser shows and follows exactly as "|".
inline QString html(QString value)
{
    value.replace(u'|', QStringLiteral("&#124;"));
    return value;
}

} // namespace ProjectField

} // namespace corvane
