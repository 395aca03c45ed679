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
// Where the character first stands from `from` on, or -1. Vector code for the short texts of a
// link, which the scan looks through many times each.
qsizetype indexOfUnit(QStringView text, char16_t c, qsizetype from = 0);
// Where the first character that is an upper-case ASCII letter or beyond ASCII stands, or -1.
qsizetype indexOfUpperOrNonAscii(QStringView text);
bool isAscii(QStringView text);
// The text without the blanks (spaces, not tabs or line breaks) at both ends.
QStringView trimBlanks(QStringView text);
// Removes every occurrence, left to right, without overlaps. Returns how many were removed.
qsizetype removeAllNoCase(QString& text, QStringView part);
// Replaces every occurrence, left to right, without overlaps; replacements are not searched again.
qsizetype replaceAllNoCase(QString& text, QStringView before, QStringView after);

} // namespace corvane::TextSearch
