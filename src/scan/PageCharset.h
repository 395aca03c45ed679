#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace corvane::PageCharset {

// The encodings a page is read in. Labels the web treats as Windows-1252 ("iso-8859-1",
// "us-ascii", "latin1", ...) are Windows-1252; UTF-16 named by a <meta> is UTF-8, as browsers
// read it.
enum class Encoding { Windows1252, Utf8, Utf16LE, Utf16BE };

// The encoding a charset label names; false when the label is not one the scan knows.
bool encodingOfLabel(QByteArrayView label, Encoding& encoding);
// The charset named by a Content-Type value ("text/html; charset=UTF-8"), or empty.
QByteArray charsetOfContentType(QByteArrayView contentType);
// The charset a <meta charset> or <meta http-equiv="Content-Type" content="...charset=...">
// names in the first 1,024 bytes of the page, or empty.
QByteArray charsetOfMeta(QByteArrayView body);

// How the page is to be read: by the Content-Type header's charset, else by a byte-order mark,
// else by a <meta> in its first 1,024 bytes, else as Windows-1252 (the web's own default).
Encoding encodingOf(QByteArrayView contentType, QByteArrayView body);
// The page's text, decoded so; a byte-order mark is not part of the text.
QString decode(QByteArrayView contentType, QByteArrayView body);

} // namespace corvane::PageCharset
