#pragma once

#include <QByteArray>
#include <QString>

namespace corvane {

// Project files, page copies and exports are 8-bit Windows-1252 text, so files of the Windows era
// open unchanged. Qt's own converters do not cover this code page.
namespace Windows1252 {

QString decode(QByteArrayView bytes);
// The bytes without a leading UTF-8 byte-order mark, which today's editors put in front of files.
QByteArrayView withoutByteOrderMark(QByteArrayView bytes);
// A character with no equivalent in the code page is written as "?".
QByteArray encode(QStringView text);

} // namespace Windows1252

} // namespace corvane
