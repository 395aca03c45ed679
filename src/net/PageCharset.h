#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace corvane::PageCharset {

// Encodings go by their names in the web's table of encodings ("UTF-8", "windows-1251",
// "Shift_JIS", ...), which every label a page may use maps to: "iso-8859-1", "latin1" and
// "us-ascii" all name windows-1252, "cp1251" names windows-1251.

// The encoding a charset label names (letter case and blanks around it ignored); empty when the
// label names none.
QByteArray encodingOfLabel(QByteArrayView label);
// The charset named by a Content-Type value ("text/html; charset=UTF-8"), or empty.
QByteArray charsetOfContentType(QByteArrayView contentType);
// The charset a <meta charset> or <meta http-equiv="Content-Type" content="...charset=...">
// names in the first 1,024 bytes of the page, or empty.
QByteArray charsetOfMeta(QByteArrayView body);

// How the page is to be read, as a browser decides it: by a byte-order mark, else by the
// Content-Type header's charset, else by a <meta> in its first 1,024 bytes (UTF-16 named there is
// UTF-8: a page that can say "utf-16" in ASCII is not UTF-16), else as windows-1252 (the web's
// own default). A label that names no encoding is passed over.
QByteArray encodingOf(QByteArrayView contentType, QByteArrayView body);
// The bytes in the named encoding (one encodingOf gives). A byte-order mark at the start is not
// part of the text; bytes that are no character of the encoding read as U+FFFD.
QString decodeAs(QByteArrayView encoding, QByteArrayView bytes);
// The page's text, decoded by encodingOf.
QString decode(QByteArrayView contentType, QByteArrayView body);

} // namespace corvane::PageCharset
