#include "ui/ProjectCommands.h"

#include "model/Project.h"
#include "ui/Dialogs.h"
#include "ui/WindowState.h"

#include <QDir>
#include <QFileInfo>

namespace corvane {

ProjectCommands::ProjectCommands(Project& project, ProjectFile& files,
                                 const SettingsStore& settings, QWidget* window)
    : QObject(window), m_project(project), m_files(files), m_settings(settings), m_window(window)
{
    m_autosaveTimer.setInterval(1000);
    connect(&m_autosaveTimer, &QTimer::timeout, this, [this] { m_files.Timer1_Timer(); });
    m_autosaveTimer.start();
    // The scan goes on; the failure shows where the user looks while it runs.
    connect(&m_files, &ProjectFile::autosaveFailed, this,
            [this](const QString& path, const QString& error) {
                Q_EMIT statusText(tr("Autosave to %1 failed: %2")
                                      .arg(QDir::toNativeSeparators(path), error));
            });
    m_files.setDiskChangeChooser([this](const QString& path) { return askAboutDiskChange(path); });
    connect(&m_files, &ProjectFile::fileChangedOnDisk, this, &ProjectCommands::fileChangedOnDisk);
}

ProjectFile::DiskChange ProjectCommands::askAboutDiskChange(const QString& path)
{
    const QString name = QFileInfo(path).fileName();
    const QMessageBox::StandardButton answer = Dialogs::question(
        m_window, tr("Project Changed on Disk"),
        tr("%1 was changed by another program after you opened it (a scheduled scan, or the "
           "command line).\n\n"
           "Save over it, and what the other program wrote is lost; or read it again, and your "
           "unsaved changes are lost.")
            .arg(name),
        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Cancel,
        {{QMessageBox::Save, tr("Save Over It")}, {QMessageBox::Discard, tr("Read It Again")}});
    if (answer == QMessageBox::Save)
        return ProjectFile::DiskChange::SaveOver;
    if (answer == QMessageBox::Discard)
        return ProjectFile::DiskChange::ReadAgain;
    return ProjectFile::DiskChange::Keep;
}

void ProjectCommands::fileChangedOnDisk(const QString& path, bool readAgain,
                                        const QString& readError)
{
    const QString name = QFileInfo(path).fileName();
    if (!readAgain)
        Q_EMIT statusText(tr("%1 was changed by another program. Saving will ask which version "
                             "to keep.")
                              .arg(name));
    else if (readError.isEmpty())
        Q_EMIT statusText(tr("%1 was changed by another program and has been read again.")
                              .arg(name));
    else
        reportRead(path, FileOutcome::failure(readError));
}

void ProjectCommands::newProject()
{
    m_files.cmdNew_Click();
}

void ProjectCommands::openProject()
{
    QString chosen;
    const std::optional<FileOutcome> outcome =
        m_files.cmdOpen_Click([this, &chosen](const QString&, const QString&) {
            // The user's own folders, not the application's hidden one.
            chosen = Dialogs::openFileName(m_window, WindowState::startFolder(m_settings),
                                           kProjectFilter);
            WindowState::rememberFile(m_settings, chosen);
            return chosen;
        });
    if (outcome)
        reportRead(chosen, *outcome);
}

void ProjectCommands::openLastProject(const QString& path)
{
    if (path.isEmpty())
        return;
    reportRead(path, m_files.LoadProjectFile(path));
}

void ProjectCommands::reportRead(const QString& path, const FileOutcome& outcome)
{
    // The project keeps what was read before the failure; the status bar says where it stopped.
    if (!outcome.ok)
        Q_EMIT statusText(
            tr("Could not read %1 completely: %2").arg(QDir::toNativeSeparators(path), outcome.error));
}

void ProjectCommands::openProjectFile(const QString& path)
{
    const FileOutcome outcome = m_files.LoadProjectFile(path);
    if (!outcome.ok)
        Dialogs::information(m_window, tr("The project %1 could not be read completely:\n%2")
                                           .arg(QDir::toNativeSeparators(path), outcome.error));
}

QString ProjectCommands::askSavePath(const QString& suggestedName)
{
    // A project that has a file is offered that file again (its history lives beside it); a new
    // one goes where the user keeps their files: the folder used last, else Documents.
    const QFileInfo file(m_files.diskPath());
    const bool own = !file.filePath().isEmpty() && suggestedName != ProjectFile::kRetryName
                     && file.filePath() != m_files.unsavedAutosavePath();
    const QString chosen = Dialogs::saveFileName(
        m_window, own ? file.absolutePath() : WindowState::startFolder(m_settings),
        own ? file.fileName() : suggestedName, kProjectFilter);
    WindowState::rememberFile(m_settings, chosen);
    // Another project's file is not replaced unasked: with it would go the history kept beside it.
    const QFileInfo target(chosen);
    if (!chosen.isEmpty() && target.exists()
        && target.absoluteFilePath() != QFileInfo(m_files.diskPath()).absoluteFilePath()
        && Dialogs::question(m_window, tr("Replace Project?"),
                             tr("%1 already exists and holds another project.\n"
                                "Replace it, and the history kept beside it, with this one?")
                                 .arg(target.fileName()),
                             QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               != QMessageBox::Yes)
        return QString();
    return chosen;
}

SaveOutcome ProjectCommands::saveProject()
{
    return reportSave(m_files.cmdSave_Click(
        [this](const QString&, const QString& name) { return askSavePath(name); }));
}

SaveOutcome ProjectCommands::saveProjectAs()
{
    return reportSave(m_files.cmdSaveAs_Click(
        [this](const QString&, const QString& name) { return askSavePath(name); }));
}

SaveOutcome ProjectCommands::reportSave(const SaveOutcome& outcome)
{
    if (outcome.status == SaveOutcome::Failed)
        Dialogs::information(m_window, tr("The project could not be saved to %1:\n%2")
                                           .arg(QDir::toNativeSeparators(outcome.path),
                                                outcome.error));
    else if (outcome.status == SaveOutcome::Saved)
        Q_EMIT statusText(tr("Saved %1").arg(QDir::toNativeSeparators(outcome.path)));
    else if (outcome.status == SaveOutcome::ReadAgain)
        Q_EMIT statusText(
            outcome.error.isEmpty()
                ? tr("%1 was changed by another program and has been read again; nothing was "
                     "saved.")
                      .arg(QFileInfo(outcome.path).fileName())
                : tr("Could not read %1 completely: %2")
                      .arg(QDir::toNativeSeparators(outcome.path), outcome.error));
    else if (!outcome.error.isEmpty())
        Q_EMIT statusText(outcome.error.section(u' ', 1));
    return outcome;
}

bool ProjectCommands::confirmClose()
{
    const bool saved = m_project.state().bProjectSaved;
    if (!ProjectFile::exitNeedsQuestion(saved))
        return true;
    const QMessageBox::StandardButton answer =
        Dialogs::question(m_window, ProjectFile::kExitQuestionTitle,
                          ProjectFile::kExitQuestionText,
                          QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                          QMessageBox::Cancel);
    if (answer == QMessageBox::No)
        return ProjectFile::closeDecision(saved, ProjectFile::ExitAnswer::No, SaveOutcome::Cancelled)
            == ProjectFile::CloseDecision::Exit;
    if (answer != QMessageBox::Yes)
        return false;
    const SaveOutcome outcome = saveProject();
    return ProjectFile::closeDecision(saved, ProjectFile::ExitAnswer::Yes, outcome.status)
        == ProjectFile::CloseDecision::Exit;
}

} // namespace corvane
