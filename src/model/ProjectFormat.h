#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace corvane {

class Project;

// What reading a project text achieved. Reading stops at the first line it cannot read and keeps
// everything read before it.
struct ReadOutcome {
    bool complete = false; // every line was read
    int failedLine = 0;    // 1-based number of the line that stopped the reading, else 0
    bool anyLine = false;  // the text had a first line at all (an empty text has none)
};

// The line format (one format for project files, the autosave file and the quick-save file):
// 8-bit Windows-1252 text, one record per line, CR LF line ends and one extra CR LF at the end.
// Fields are separated by "|" and never escaped: a "|" inside a value is written as "%7C" in an
// address, as "¦" in a text and as "&#124;" in the page-builder HTML (ProjectField). In order:
//   the first Main Site's URL alone; after it its Linking Sites as
//   "Website|#|HTML Link|HTML Name|Description"; every further Main Site as "NEXTSITE:" URL,
//   followed by its Linking Sites; "HTML01:", "HTML02:", "HTML03:" with the page-builder texts
//   (line breaks written as "|||"); "RESULT:icon|Main|Remote|Status|No.|URL" per result row,
//   with "|Notes" after it when the row has notes;
//   "RULE:MainSite|RemoteSite|RuleType|RuleValue" per rule; "POSTSINGLE:" URL when there is one;
//   "POSTMULTI:Main Site|Script URL" per post target.
// The reader also accepts five-field results (no Main column) and LF or lone CR line ends, skips
// empty and single-blank lines, and stops silently at the first line it cannot read (too few
// fields for its kind, a result icon that is not a number, a Linking Site without a Main Site).
class ProjectFormat
{
public:
    // The bytes of the project file. leaveOutIndex (0-based) names a Main Site that is left out
    // together with its Linking Sites (the quick-save); -1 writes every Main Site.
    static QByteArray serialize(const Project& project, int leaveOutIndex = -1);
    // Reads a project text into the project, which the caller has emptied. The Main Site being
    // read is kept in iCurrentMain.
    static ReadOutcome deserialize(Project& project, QByteArrayView bytes);
};

} // namespace corvane
