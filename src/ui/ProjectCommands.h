#pragma once

#include "model/ProjectFile.h"

#include <QObject>
#include <QTimer>

class QWidget;

namespace corvane {

class Project;
class SettingsStore;

// New, Open, Save, the autosave tick and the question before the program closes: the window's
// side of the project files. Dialogs go through Dialogs, the file work through ProjectFile.
class ProjectCommands final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProjectCommands)

public:
    ProjectCommands(Project& project, ProjectFile& files, const SettingsStore& settings,
                    QWidget* window);

    void newProject();
    void openProject();
    // Save: writes a project that has a file of its own to that file; asks for one otherwise.
    SaveOutcome saveProject();
    // Save As: always asks for the file.
    SaveOutcome saveProjectAs();
    // Reopens the project named by "LastProject", if any.
    void openLastProject(const QString& path);
    // A project given on the command line; a file that cannot be read is said in a message box.
    void openProjectFile(const QString& path);
    // Asks "Save Project?" when the project holds unsaved edits. True when the program may close:
    // nothing to save, "No", or "Yes" followed by a save (as Save does it) that succeeded.
    // "Cancel", closing the box, cancelling the save dialog or a failed save keep it open.
    bool confirmClose();

    static inline const QString kProjectFilter = QStringLiteral("Project Files (*.prj)|*.prj");

Q_SIGNALS:
    void statusText(const QString& text);

private:
    QString askSavePath(const QString& suggestedName);
    // Says how a save ended.
    SaveOutcome reportSave(const SaveOutcome& outcome);
    ProjectFile::DiskChange askAboutDiskChange(const QString& path);
    // Another program changed the project's file: says what became of it.
    void fileChangedOnDisk(const QString& path, bool readAgain, const QString& readError);
    void reportRead(const QString& path, const FileOutcome& outcome);

    Project& m_project;
    ProjectFile& m_files;
    const SettingsStore& m_settings;
    QWidget* m_window;
    QTimer m_autosaveTimer;
};

} // namespace corvane
