#pragma once

#include "model/AppFolder.h"
#include "model/ProjectFormat.h"

#include <QByteArray>
#include <QDateTime>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

namespace corvane {

class Project;
class ProjectFollower;
class SettingsStore;

// The outcome of a file operation: success, or the reason it failed as "<number> <description>"
// (the number is the QFileDevice error code).
struct FileOutcome {
    bool ok = false;
    QString error;

    explicit operator bool() const { return ok; }
    static FileOutcome success() { return {true, {}}; }
    static FileOutcome failure(QString error) { return {false, std::move(error)}; }
};

// How the Save command ended, for the caller and for the exit question.
struct SaveOutcome {
    // ReadAgain: another program had changed the file, and it was read again instead of saved over.
    enum Status { Saved, Cancelled, Failed, ReadAgain };
    Status status = Cancelled;
    QString path;  // the file written (Saved), read again, or tried last (Failed)
    QString error; // Failed: why, as in FileOutcome
};

// Moves a project between memory and its ".prj" file, and keeps the bookkeeping around that:
// bProjectSaved, bSkipDomainChange, the setting "LastProject", the autosave counter.
// The file's text is ProjectFormat's.
//
// File dialogs and message boxes belong to the window: every operation takes the chosen path and
// returns its outcome; the commands that need a dialog take a PathChooser.
class ProjectFile final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProjectFile)

public:
    ProjectFile(Project& project, SettingsStore& settings, AppFolder app,
                QObject* parent = nullptr);
    ~ProjectFile() override;

    // --- On any Project ---

    // The New step on the containers: every Linking Site list but the template, the page queue,
    // the Main Sites, rules, results and post targets emptied; iCurrentMain 1; the single post
    // URL "http://"; the default page-builder texts. The error list stays.
    static void clearProject(Project& project);
    // The name the save dialog suggests for a project whose first Main Site has this URL.
    static QString suggestedFileName(const QString& firstMainSiteUrl);
    // The file name of a project's report: the project file's name without its folders, every
    // ".prj" (any letter case) replaced by ".html".
    static QString reportFileName(const QString& projectPath);

    static const QString kUnnamed;     // "Unnamed.prj", the suggestion without a Main Site
    static const QString kRetryName;   // "unnamed.prj", the suggestion after a failed save
    static const QString kPageText[3]; // the page-builder texts of a new project

    // --- Operations on the program's project ---

    // New: clearProject, and "LastProject" is forgotten so that the autosave of the new project
    // goes to projects/AutoSaved.prj instead of overwriting the previous file. bProjectSaved stays.
    // Emits projectCleared for the window's entry boxes and panels.
    void cmdNew_Click();
    // Writes the project to path (through a temporary file, so a failed save leaves the old file
    // as it was). On success bProjectSaved becomes true and the path is stored as "LastProject".
    FileOutcome SaveProjectFile(const QString& path);
    // Empties the project, stores path as "LastProject" (before opening it, so a file that fails
    // to open is still remembered) and reads the file. bProjectSaved and bSkipDomainChange are
    // set once a first line was read. A complete read selects the first Main Site
    // (mainSiteSelected) and shows the project's report (projectReportShown); a read that stops
    // early does neither and shows nothing: the outcome tells the caller.
    FileOutcome LoadProjectFile(const QString& path);
    // What the Reports view shows for the project at path: the local path of its report in
    // "Project Files/" when that exists, else "about:blank".
    QString ShowProjectReport(const QString& path) const;
    // Writes the project to quicksave.qsv, leaving out the Main Site at the 0-based position.
    // Changes neither bProjectSaved nor "LastProject".
    FileOutcome QuickSave(int leaveOutIndex);
    // Rebuilds the project from quicksave.qsv as LoadProjectFile reads (without touching
    // "LastProject"), selects the first Main Site and asks for the report to be regenerated
    // (reportRegenerationRequested). A rebuild is an edit: bProjectSaved is false afterwards.
    FileOutcome QuickLoad();

    // The one-second autosave tick: while a scan runs and "chkAutoSave" is "1", every
    // "txtAutoSave" minutes (60 ticks each; five when the setting holds no positive number) it
    // writes the project to "LastProject", or to projects/AutoSaved.prj when that is empty.
    // Returns the outcome when it wrote (or tried to), nothing otherwise. A failed autosave is
    // signalled (autosaveFailed) and the scan goes on.
    std::optional<FileOutcome> Timer1_Timer();
    // The ticks between two autosaves, from "txtAutoSave".
    int autosaveTicks() const;
    // Starting a scan counts the minutes afresh. The tick also restarts the count whenever it
    // finds no scan running.
    void resetAutosaveCount() { m_iSecondsRunning = 0; }
    int iSecondsRunning() const { return m_iSecondsRunning; }

    // Asks the window for a path: the folder the dialog opens in, the name it suggests. An empty
    // answer means the user cancelled.
    using PathChooser = std::function<QString(const QString& folder, const QString& suggestedName)>;
    // Save: a project that has a file of its own (ownFile) is written to it without a question;
    // when that fails, the outcome says why (Failed) and nothing is asked. Otherwise, as Save As.
    SaveOutcome cmdSave_Click(const PathChooser& askSavePath);
    // Save As: suggests a name from the first Main Site, writes the chosen file; when that fails,
    // asks once more suggesting "unnamed.prj" and writes that.
    SaveOutcome cmdSaveAs_Click(const PathChooser& askSavePath);
    // The file Save writes without asking: the one the project was read from completely or last
    // written to. Empty for a new project, for one whose read stopped early (writing over the
    // file would drop what was not read), and while the only file is projects/AutoSaved.prj, the
    // autosave of a project never saved.
    QString ownFile() const;
    // Open: asks for a file in "Project Files" and loads it; nullopt when the user cancelled.
    std::optional<FileOutcome> cmdOpen_Click(const PathChooser& askOpenPath);

    // The exit question: asked when the project holds unsaved edits.
    static const QString kExitQuestionTitle; // "Save Project?"
    static const QString kExitQuestionText;  // two lines
    enum class ExitAnswer { NotAsked, Yes, No };
    enum class CloseDecision { Exit, Stay };
    static bool exitNeedsQuestion(bool bProjectSaved) { return !bProjectSaved; }
    // Whether the program may close: a saved project, or the answer "No", closes; after "Yes"
    // only a save that succeeded closes, while a cancelled save dialog or a failed save keeps the
    // program open with its edits. Unsaved edits without an answer yet stay (ask first).
    static CloseDecision closeDecision(bool bProjectSaved, ExitAnswer answer,
                                       SaveOutcome::Status saveStatus);

    // The project's history follows the project: New starts an empty one, Open reads the file's,
    // Save takes it beside the file (a project saved for the first time writes the history it
    // kept in memory). Save holds the project's lock while it writes, and refuses while another
    // program holds it.
    void setHistory(ProjectFollower* history) { m_history = history; }

    // Another program may change the project's file while it is open here: a scheduled scan, an
    // import from the command line. Save never writes over such a change unasked. With no edits of
    // its own the project is read again instead; with edits the chooser decides (without one, or
    // for the autosave, the file is kept and the save fails saying why).
    enum class DiskChange { SaveOver, ReadAgain, Keep };
    using DiskChangeChooser = std::function<DiskChange(const QString& path)>;
    void setDiskChangeChooser(DiskChangeChooser chooser) { m_chooser = std::move(chooser); }
    // The file the project was last read from or written to; empty for a new project.
    QString diskPath() const { return m_disk.path; }
    // Whether that file is no longer what this program last read from or wrote to it.
    bool changedOnDisk() const;

    QString projectFilesFolder() const;
    QString quickSavePath() const;
    QString autosavePath() const; // where the next autosave goes
    // Where the autosave of a project never saved goes: projects/AutoSaved.prj.
    QString unsavedAutosavePath() const;

Q_SIGNALS:
    // The project was emptied by New, Open or a rebuild: the window empties its entry boxes and
    // site selector, puts "http://" into the per-site script URL and hides the Linking Site panel.
    void projectCleared();
    // A load or rebuild selected the Main Site at 1-based position k.
    void mainSiteSelected(int k);
    // The Reports view should show this local file, or "about:blank".
    void projectReportShown(const QString& location);
    // The project was rebuilt: the HTML report must be generated anew.
    void reportRegenerationRequested();
    void autosaveFailed(const QString& path, const QString& error);
    // Another program changed the project's file (seen a moment after it happened). With nothing
    // here to lose it was read again (readError: why that stopped early, empty when it did not);
    // otherwise it was kept for Save to ask about.
    void fileChangedOnDisk(const QString& path, bool readAgain, const QString& readError);

private:
    // What this program last read from or wrote to the project's file.
    struct DiskState {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        QByteArray digest;
        bool complete = true; // the project holds all of the file
    };
    struct SaveAttempt {
        FileOutcome outcome;
        DiskChange change = DiskChange::SaveOver; // what was done about a change on disk
    };
    SaveAttempt writeProject(const QString& path, bool mayAsk);
    // What becomes of a file another program changed: read again when nothing of this program's
    // own would be lost, else what the chooser says (when it may be asked), else kept.
    DiskChange diskChangeChoice(const QString& path, bool mayAsk) const;
    void remember(const QString& path, const QByteArray& bytes, bool complete = true);
    // Writes ownFile, or the file the user chooses when it is empty.
    SaveOutcome save(const QString& ownFile, const PathChooser& askSavePath);
    void forget();
    void watchedChanged();
    void emptyProject();
    FileOutcome readFile(const QString& path, bool* complete, QByteArray* bytesRead = nullptr);
    void selectFirstMainSite();

    Project& m_project;
    SettingsStore& m_settings;
    AppFolder m_app;
    int m_iSecondsRunning = 0;
    ProjectFollower* m_history = nullptr;
    DiskChangeChooser m_chooser;
    DiskState m_disk;
    QFileSystemWatcher m_watcher;
    QTimer m_settle; // the writer may still be at work when the first event comes
};

} // namespace corvane
