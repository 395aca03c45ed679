#pragma once

#include <QObject>
#include <QString>

namespace corvane {

class Project;
class ProjectFile;

// What an edit of the project ended with, for the window to show.
struct EditOutcome {
    bool changed = false; // the project was changed
    QString message;      // a message box (OK button only) to show; empty for none
    QString statusText;   // text for the first status-bar panel; empty for none
    QString entryText;    // what the entry box the edit came from holds afterwards
};

// The edits of the project that the Main Site and Linking Site panels offer: add, delete, select
// and hand a site to its editor. Each takes what the window's controls hold (the entry text, the
// selected row) and returns what the window shows; the project's containers change directly.
// Every change clears bProjectSaved.
//
// Main Sites are passed as their 0-based list index where the list's selection is meant and as
// their 1-based position k elsewhere; Linking Site rows are 1-based rows of list iCurrentMain.
class ProjectEditor final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProjectEditor)

public:
    // Deleting a Main Site rebuilds the project through the quick-save file; a load or rebuild
    // that selects a Main Site runs selectMainSite, so the window follows one signal only.
    ProjectEditor(Project& project, ProjectFile& files, QObject* parent = nullptr);

    static const QString kEnterWebsiteFirst;   // "Please enter the Website URL first."
    static const QString kEnterRemoteFirst;    // "Error: Please enter a Remote Site first!"
    static const QString kSelectSiteToDelete;  // "You must select a site to delete."
    static const QString kCannotDeleteCurrent; // "You cannot delete the current site while ..."
    static const QString kCaptionPrefix;       // "Enter linking sites: "

    // cmdAdd_Click: appends a Linking Site to list iCurrentMain with every "http://" and
    // "https://" (any letter case) removed, trimmed, "#" = "1". A blank entry is refused with
    // kEnterWebsiteFirst and the entry keeps its text without the schemes.
    EditOutcome addLinkingSite(const QString& entryText);
    // cmdAdd2_Click: appends the text unchanged as a Main Site, creates its Linking Site list and
    // selects it. A blank entry shows kEnterRemoteFirst in the status bar.
    EditOutcome addMainSite(const QString& entryText);
    // cmdDelete_Click, index = the selected 0-based list index (-1 for none): removes every rule
    // whose MainSite is the deleted Main Site's URL, then the Main Site with its Linking Sites.
    // With two or more Main Sites the project is rebuilt through QuickSave/QuickLoad and the
    // first Main Site selected; the only Main Site is removed in place and the Linking Site panel
    // hidden (results, post targets and page texts stay).
    EditOutcome deleteMainSite(int index);
    // cmbDel_Click, row = the selected 1-based row of list iCurrentMain (0 for none). Row 1
    // takes with it every rule whose RemoteSite is its URL (under any Main Site) and cannot be
    // deleted while a scan runs; other rows leave their rules.
    EditOutcome deleteLinkingSite(int row);
    // cmdEdit_Click: iEditIndex = row; true when the Linking Site editor should open.
    bool editLinkingSite(int row);
    // cmdEditMain_Click: iEditIndex = the 0-based index; true when the Main Site editor should
    // open.
    bool editMainSite(int index);
    // List4_Click with k = index + 1: makes Main Site k current (iCurrentMain) and signals
    // mainSiteSelected. Returns the caption above its Linking Site list; empty when there is no
    // such Main Site.
    QString selectMainSite(int k);
    // Creates the next Linking Site list, empty, for a Main Site the caller has just appended
    // (the Main Site import). Returns its number; the template list 0 is never reused.
    int addList();
    // Any change of the Main Site entry box is an edit, except the first one after a load.
    void mainSiteEntryChanged();

    static QString caption(const QString& mainSiteUrl) { return kCaptionPrefix + mainSiteUrl; }

Q_SIGNALS:
    // Show Linking Site list k (and only it), with this caption, and the panel around it.
    void mainSiteSelected(int k, const QString& caption);
    void linkingSitePanelHidden();

private:
    Project& m_project;
    ProjectFile& m_files;
};

} // namespace corvane
