#pragma once

#include <QStringView>

namespace corvane::TextSearch {

// The text without the blanks (spaces, not tabs or line breaks) at both ends.
QStringView trimBlanks(QStringView text);

} // namespace corvane::TextSearch
