#pragma once

#include <QString>

namespace corvane {

// Text made safe for HTML content and quoted attribute values: & < > ' " as entities.
QString htmlEscape(const QString& text);

} // namespace corvane
