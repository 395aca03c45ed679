#pragma once

#include <QString>
#include <QStringView>

namespace corvane::CharacterReferences {

// Where a text stands in the page: a reference reads differently in an attribute's value.
enum class Context {
    Text,      // between tags: a link's text, a page's title
    Attribute, // an attribute's value: an href, an alt text
};

// The text with its character references decoded as a browser decodes them: every named reference
// of HTML, the legacy names ("&amp", "&copy", ...) also without ";"; numeric ones ("&#47;",
// "&#x2F", ";" optional) with 0x80-0x9F read as Windows-1252 and a null, surrogate or
// out-of-range code point as U+FFFD. In an attribute, a legacy name without ";" followed by "="
// or an ASCII letter or digit stays as it is ("?a=1&copy=2" keeps its "&copy"). An "&" that
// starts no reference stays too. Tags are left as they are.
QString decode(QStringView text, Context context);

} // namespace corvane::CharacterReferences
