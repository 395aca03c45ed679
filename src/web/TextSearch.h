#pragma once

#include <QString>
#include <QStringView>

namespace corvane::TextSearch {

// The text without the blanks (spaces, not tabs or line breaks) at both ends.
QStringView trimBlanks(QStringView text);
// The text case-folded character by character (ASCII by a plain look, the rest through QChar), as
// the searches that ignore letter case compare it. Every character keeps its place.
QString caseFolded(QStringView text);
// Where needle first stands in text from the place from on, letters compared as they are; -1 when
// nowhere. Made for long texts and short needles: the needle's first character is looked for
// many characters at a time, and only where it stands is the rest compared.
qsizetype find(QStringView text, QStringView needle, qsizetype from = 0);
// The text with every occurrence of before, found left to right without overlaps, replaced by
// after: what QString::replace gives, in one pass. (QString::replace moves the rest of the text
// again for every batch of occurrences it finds, which makes a long value of many occurrences cost
// the square of its length.)
QString replaceAll(QStringView text, QStringView before, QStringView after,
                   Qt::CaseSensitivity cs = Qt::CaseSensitive);

} // namespace corvane::TextSearch
