#pragma once

#include <QByteArrayView>
#include <QString>

namespace corvane {

// How the page fetcher reads the head of an answer: its length line, where it ends, and the
// copies of it that some servers repeat inside the body.
namespace ResponseHead {

// The number after the first blank of a header line, read the way the header reader always has:
// leading digits only; 0 when there are none.
qint32 contentLengthOf(const QString& line);

// Where the first CR LF CR LF starts, from the given position on; -1 when there is none.
qsizetype indexOfHeadEnd(QByteArrayView bytes, qsizetype from);

// Removes from the body every further copy of the head (letter case ignored), bodyBytes being the
// body's bytes as received.
void removeRepeatedHead(QString& body, QByteArrayView bodyBytes, const QString& head);

} // namespace ResponseHead

} // namespace corvane
