#pragma once

#include <QString>
#include <QStringView>

namespace corvane::TextSearch {

// Substring search and replacement that ignore letter case, as the scan's text tests do, with the
// same answers as Qt's Qt::CaseInsensitive forms. An ASCII needle (every needle the scan uses) is
// matched by a direct scan instead of Qt's general folding search, which dominates the per-link
// cost otherwise.
qsizetype indexOfNoCase(QStringView haystack, QStringView needle, qsizetype from = 0);
bool containsNoCase(QStringView haystack, QStringView needle);
bool endsWithNoCase(QStringView text, QStringView end);
// The text without the blanks (spaces, not tabs or line breaks) at both ends.
QStringView trimBlanks(QStringView text);
// Removes every occurrence, left to right, without overlaps. Returns how many were removed.
qsizetype removeAllNoCase(QString& text, QStringView part);
// Replaces every occurrence, left to right, without overlaps; replacements are not searched again.
qsizetype replaceAllNoCase(QString& text, QStringView before, QStringView after);

} // namespace corvane::TextSearch
