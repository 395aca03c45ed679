#pragma once

#include <QString>
#include <QStringView>

namespace corvane::TextSearch {

// The text without the blanks (spaces, not tabs or line breaks) at both ends.
QStringView trimBlanks(QStringView text);
// The text case-folded character by character (ASCII by a plain look, the rest through QChar), as
// the searches that ignore letter case compare it. Every character keeps its place.
QString caseFolded(QStringView text);

} // namespace corvane::TextSearch
