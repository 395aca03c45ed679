#pragma once

#include "model/ProjectLists.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace corvane {

class AppFolder;
class Project;

// What one import did, for the dialog's status panel or the command line.
struct ImportOutcome {
    bool ok = true; // false: nothing was imported, error says why
    int added = 0;  // sites appended
    QString status; // the status panel text, e.g. "Added 3 link(s)"; empty when !ok
    QString error;  // with the file's name and the reason; empty when ok
};

// Bulk import of sites into the project: Linking Sites from a text file into the current Main
// Site, Main Sites from a text file, and the rows the user picked from the Get Links results.
// Every append goes to the Main Site that is current at the moment of the append.
namespace SiteImporter {

// The open-file dialog of both import windows: text files, opening in "Project Files" under the
// application folder. An empty chosen name means the user cancelled: nothing is imported.
inline const QString FileFilter = QStringLiteral("Text Files (*.txt)|*.txt");
QString fileDialogFolder(const AppFolder& app);

// Lines of a text file: a line ends at CR LF, at CR, or at LF (files made on Linux). A final
// line break does not start another line.
QStringList splitLines(QStringView text);
// Both imports skip exactly these lines; a line of two spaces is imported.
bool isSkippedLine(const QString& line);

// The lines of a Windows-1252 text file. False (lines untouched) when the file cannot be read;
// error then names the file and the reason.
bool readTextFile(const QString& path, QStringList* lines, QString* error);

// One line of a Linking Site file: "URL" or "URL|#" (further "|" fields are ignored). The URL is
// trimmed of spaces, the "#" field kept as written; a line without "|" expects 1 link.
LinkingSite linkingSiteFromLine(const QString& line);

// Appends the Linking Sites of the file to list k (k >= 1), in file order, without a duplicate
// check. Status "Added n link(s)".
ImportOutcome importLinkingSites(Project& project, int k, const QString& path);
// The same into the current Main Site (iCurrentMain).
ImportOutcome importLinkingSites(Project& project, const QString& path);

// Appends every line of the file that is not skipped as a Main Site, exactly as read (no
// trimming, no "|" splitting, scheme kept), each with its new Linking Site list. Status
// "Added n site(s)".
ImportOutcome importMainSites(Project& project, const QString& path);

// Add Selected: appends every text that is neither empty nor a single space as a Linking Site of
// the current Main Site, URL as it stands, "#" = "1". Returns how many were appended.
int addLinkingSites(Project& project, const QStringList& urls);

} // namespace SiteImporter

} // namespace corvane
