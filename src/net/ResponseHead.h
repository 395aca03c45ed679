#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <utility>

class QDateTime;

namespace corvane {

// How the scan reads the head of an answer: where it ends, its status line, its header lines,
// and the copies of it that some servers repeat inside the body.
namespace ResponseHead {

// The status line's code and what follows it, both without blanks around them; empty texts when
// the head has no status line.
std::pair<QString, QString> statusLine(const QString& head);
// The code of the head's status line, 0 when there is none.
int statusCode(const QString& head);
// The values of the head's lines with that header name (letter case ignored, the name given
// without its colon), in order, without blanks around them.
QList<QStringView> fieldValues(QStringView head, QStringView name);
// The wait a Retry-After header of the head asks for, in seconds; -1 when there is none that can
// be read (a number of seconds or an HTTP date).
qint64 retryAfterSeconds(const QString& head, const QDateTime& now);

// The number after the first blank of a header line, read the way the header reader always has:
// leading digits only; 0 when there are none.
qint32 contentLengthOf(const QString& line);

// Where the first CR LF CR LF starts, from the given position on; -1 when there is none.
qsizetype indexOfHeadEnd(QByteArrayView bytes, qsizetype from);

// Removes from the body every further copy of the head (letter case ignored).
void removeRepeatedHead(QByteArray& body, QByteArrayView head);

} // namespace ResponseHead

} // namespace corvane
