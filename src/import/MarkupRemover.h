#pragma once

#include <QString>

namespace corvane {

// Takes the markup out of a script's output. The rule is a loop on the whole text: while it
// holds a "<" before its first ">", take the text from that "<" through that ">" (the tag) and
// remove every exact occurrence of it, found in the text as it stands before that removal (an
// occurrence formed only by the removal stays until a later round). Repeat.
//
// Run literally, every round scans the whole rest of the text, so a page with many different
// tags (an HTML page given where a plain list was expected) takes time that grows with the
// square of its size. This does the same rounds in time near the text's size: the text is cut
// into tokens ("<" with the plain text after it, ">", and plain runs), the smallest tags ("<",
// plain text, ">") are indexed by their text, and a round visits only the occurrences of its
// tag's last smallest tag.
class MarkupRemover
{
public:
    static QString remove(const QString& text);
};

} // namespace corvane
