#include "model/ProjectFile.h"

#include "model/FileWrite.h"
#include "model/Project.h"
#include "model/ProjectFollower.h"
#include "model/ProjectLock.h"
#include "model/SettingsStore.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace corvane {

const QString ProjectFile::kUnnamed = QStringLiteral("Unnamed.prj");
const QString ProjectFile::kRetryName = QStringLiteral("unnamed.prj");
// "generate" (not "generated") is what a new project has always shown; the settings default of
// the same text differs by that one letter.
const QString ProjectFile::kPageText[3] = {
    QStringLiteral("Paste all the HTML that you want to come before the links on your page here.  "
                   "This will be the first part of your generated webpage."),
    QStringLiteral("Your link HTML will be generate here.  This will be the second part of your "
                   "generated webpage."),
    QStringLiteral("Paste all the HTML that you want to come after the links on your page here.  "
                   "This will be the third part of your generated webpage."),
};
const QString ProjectFile::kExitQuestionTitle = QStringLiteral("Save Project?");
const QString ProjectFile::kExitQuestionText
    = QStringLiteral("The current project has been edited but has not been saved.\n"
                     "Would you like to save now?");

namespace {

const QString kQuickSave = QStringLiteral("quicksave.qsv");
const QString kProjectFiles = QStringLiteral("Project Files");
const QString kAutoSaved = QStringLiteral("projects/AutoSaved.prj");
const QString kLastProject = QStringLiteral("LastProject");

QString fileError(const QFileDevice& file)
{
    return QString::number(int(file.error())) + u' ' + file.errorString();
}

FileOutcome writeWhole(const QString& path, const QByteArray& bytes)
{
    if (const std::optional<FileWriteError> error = FileWrite::replace(path, bytes))
        return FileOutcome::failure(QString::number(int(error->code)) + u' ' + error->reason);
    return FileOutcome::success();
}

// The text after the last "/" or "\".
QString fileNamePart(const QString& path)
{
    const qsizetype cut = std::max(path.lastIndexOf(u'/'), path.lastIndexOf(u'\\'));
    return path.mid(cut + 1);
}

} // namespace

ProjectFile::ProjectFile(Project& project, SettingsStore& settings, AppFolder app, QObject* parent)
    : QObject(parent), m_project(project), m_settings(settings), m_app(std::move(app))
{
    // The folder is watched as well as the file: a writer that renames a new file over the old
    // one ends the watch on the file.
    m_settle.setSingleShot(true);
    m_settle.setInterval(400);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, &m_settle, qOverload<>(&QTimer::start));
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, &m_settle,
            qOverload<>(&QTimer::start));
    connect(&m_settle, &QTimer::timeout, this, &ProjectFile::watchedChanged);
}

ProjectFile::~ProjectFile() = default;

void ProjectFile::clearProject(Project& project)
{
    project.clearLists();
    project.state().iCurrentMain = 1;
    project.pageQueue().clear();
    project.mainSites().clear();
    project.rules().clear();
    project.results().clear();
    project.postTargets().clear();
    project.setPostSingle(QStringLiteral("http://"));
    for (int part = 0; part < 3; ++part)
        project.setPageText(part + 1, kPageText[part]);
}

QString ProjectFile::suggestedFileName(const QString& firstMainSiteUrl)
{
    if (firstMainSiteUrl.isEmpty())
        return kUnnamed;
    QString name = firstMainSiteUrl;
    name.remove(u'.');
    name.remove(QStringLiteral("http://"), Qt::CaseInsensitive);
    name.remove(QStringLiteral("https://"), Qt::CaseInsensitive);
    // A "/" in first place is kept: only a host followed by a path is cut.
    const qsizetype slash = name.indexOf(u'/');
    if (slash >= 1)
        name.truncate(slash);
    return name + QStringLiteral(".prj");
}

QString ProjectFile::reportFileName(const QString& projectPath)
{
    QString name = fileNamePart(projectPath);
    name.replace(QStringLiteral(".prj"), QStringLiteral(".html"), Qt::CaseInsensitive);
    return name;
}

QString ProjectFile::projectFilesFolder() const
{
    return m_app.file(kProjectFiles);
}

QString ProjectFile::quickSavePath() const
{
    return m_app.file(kQuickSave);
}

QString ProjectFile::autosavePath() const
{
    const QString last = m_settings.ReadSetting(kLastProject, QString());
    if (last.isEmpty() || last == u" ")
        return m_app.file(kAutoSaved);
    return last;
}

QString ProjectFile::unsavedAutosavePath() const
{
    return m_app.file(kAutoSaved);
}

void ProjectFile::emptyProject()
{
    clearProject(m_project);
    Q_EMIT projectCleared();
}

void ProjectFile::remember(const QString& path, const QByteArray& bytes, bool complete)
{
    const QFileInfo info(path);
    m_disk = {path, info.size(), info.lastModified(),
              QCryptographicHash::hash(bytes, QCryptographicHash::Sha256), complete};
    const QString folder = info.absolutePath();
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    const QStringList wanted = {info.absoluteFilePath(), folder};
    if (watched != wanted) {
        if (!watched.isEmpty())
            m_watcher.removePaths(watched);
        m_watcher.addPaths(wanted);
    }
}

void ProjectFile::forget()
{
    m_disk = {};
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    if (!watched.isEmpty())
        m_watcher.removePaths(watched);
}

bool ProjectFile::changedOnDisk() const
{
    if (m_disk.path.isEmpty())
        return false;
    const QFileInfo info(m_disk.path);
    // A file that is gone has nothing to lose; the next save writes it anew.
    if (!info.exists())
        return false;
    if (info.size() == m_disk.size && info.lastModified() == m_disk.modified)
        return false;
    QFile file(m_disk.path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256) != m_disk.digest;
}

void ProjectFile::watchedChanged()
{
    if (m_disk.path.isEmpty())
        return;
    const QString file = QFileInfo(m_disk.path).absoluteFilePath();
    if (!m_watcher.files().contains(file) && QFileInfo::exists(file))
        m_watcher.addPath(file);
    if (!changedOnDisk())
        return;
    const QString path = m_disk.path;
    if (diskChangeChoice(path, false) != DiskChange::ReadAgain) {
        Q_EMIT fileChangedOnDisk(path, false, {});
        return;
    }
    const FileOutcome outcome = LoadProjectFile(path);
    Q_EMIT fileChangedOnDisk(path, true, outcome.error);
}

ProjectFile::DiskChange ProjectFile::diskChangeChoice(const QString& path, bool mayAsk) const
{
    const ScanState& state = m_project.state();
    if (state.bScanRunning)
        return DiskChange::Keep;
    if (state.bProjectSaved)
        return DiskChange::ReadAgain;
    return mayAsk && m_chooser ? m_chooser(path) : DiskChange::Keep;
}

void ProjectFile::cmdNew_Click()
{
    forget();
    emptyProject();
    m_settings.WriteSetting(kLastProject, QString());
    if (m_history)
        m_history->projectOpened(QString());
}

FileOutcome ProjectFile::SaveProjectFile(const QString& path)
{
    return writeProject(path, true).outcome;
}

ProjectFile::SaveAttempt ProjectFile::writeProject(const QString& path, bool mayAsk)
{
    // Another program at work on the file (a scheduled scan) keeps it: saving over it would
    // drop what that program writes.
    ProjectLock lock(path);
    const bool ownScanLock = m_history && m_history->lock() && m_history->lock()->isLocked()
                             && m_history->projectPath() == path;
    if (!ownScanLock && !lock.tryLock() && lock.heldByOther())
        return {FileOutcome::failure(QStringLiteral("0 ") + lock.error() + u'.')};
    if (path == m_disk.path && changedOnDisk()) {
        const DiskChange change = diskChangeChoice(path, mayAsk);
        if (change == DiskChange::ReadAgain) {
            lock.unlock();
            return {LoadProjectFile(path), DiskChange::ReadAgain};
        }
        if (change == DiskChange::Keep)
            return {FileOutcome::failure(
                        QStringLiteral("0 %1 was changed by another program after it was read "
                                       "here; it was not saved over.")
                            .arg(fileNamePart(path))),
                    DiskChange::Keep};
    }
    const QByteArray bytes = ProjectFormat::serialize(m_project);
    const FileOutcome outcome = writeWhole(path, bytes);
    if (!outcome)
        return {outcome};
    remember(path, bytes);
    m_project.state().bProjectSaved = true;
    m_settings.WriteSetting(kLastProject, path);
    // The project is saved whatever becomes of its history; a failure there is said on its own.
    if (m_history)
        m_history->setProjectPath(path);
    return {outcome};
}

FileOutcome ProjectFile::readFile(const QString& path, bool* complete, QByteArray* bytesRead)
{
    *complete = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return FileOutcome::failure(fileError(file));
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytesRead)
        *bytesRead = bytes;
    if (bytes.isEmpty())
        return FileOutcome::failure(QStringLiteral("0 The file is empty."));
    ScanState& state = m_project.state();
    state.bProjectSaved = true;
    state.bSkipDomainChange = true;
    const ReadOutcome read = ProjectFormat::deserialize(m_project, bytes);
    if (!read.complete)
        return FileOutcome::failure(
            QStringLiteral("0 Line %1 could not be read.").arg(read.failedLine));
    *complete = true;
    return FileOutcome::success();
}

void ProjectFile::selectFirstMainSite()
{
    if (m_project.mainSiteCount() == 0)
        return;
    m_project.state().iCurrentMain = 1;
    Q_EMIT mainSiteSelected(1);
}

FileOutcome ProjectFile::LoadProjectFile(const QString& path)
{
    emptyProject();
    m_settings.WriteSetting(kLastProject, path);
    if (m_history)
        m_history->projectOpened(path);
    bool complete = false;
    QByteArray bytes;
    const FileOutcome outcome = readFile(path, &complete, &bytes);
    if (bytes.isEmpty())
        forget();
    else
        remember(path, bytes, complete);
    if (m_history)
        m_history->showLastChanges();
    if (!complete)
        return outcome;
    selectFirstMainSite();
    Q_EMIT projectReportShown(ShowProjectReport(path));
    return outcome;
}

QString ProjectFile::ShowProjectReport(const QString& path) const
{
    const QString report = m_app.file(kProjectFiles + u'/' + reportFileName(path));
    return QFileInfo(report).isFile() ? report : QStringLiteral("about:blank");
}

FileOutcome ProjectFile::QuickSave(int leaveOutIndex)
{
    return writeWhole(quickSavePath(), ProjectFormat::serialize(m_project, leaveOutIndex));
}

FileOutcome ProjectFile::QuickLoad()
{
    emptyProject();
    bool complete = false;
    const FileOutcome outcome = readFile(quickSavePath(), &complete);
    if (complete) {
        selectFirstMainSite();
        Q_EMIT reportRegenerationRequested();
    }
    m_project.state().bProjectSaved = false;
    return outcome;
}

std::optional<FileOutcome> ProjectFile::Timer1_Timer()
{
    if (!m_project.state().bScanRunning) {
        m_iSecondsRunning = 0;
        return std::nullopt;
    }
    if (m_settings.ReadSetting(QStringLiteral("chkAutoSave"), QStringLiteral("0"))
        != QStringLiteral("1"))
        return std::nullopt;
    if (++m_iSecondsRunning < autosaveTicks())
        return std::nullopt;
    m_iSecondsRunning = 0;
    const QString path = autosavePath();
    if (path == m_app.file(kAutoSaved))
        QDir(m_app.path()).mkpath(QStringLiteral("projects"));
    // No question in the middle of a scan: a file changed by another program is kept.
    const FileOutcome outcome = writeProject(path, false).outcome;
    if (!outcome)
        Q_EMIT autosaveFailed(path, outcome.error);
    return outcome;
}

int ProjectFile::autosaveTicks() const
{
    constexpr int kDefaultMinutes = 5;
    const int minutes = m_settings.readInt(QStringLiteral("txtAutoSave"), kDefaultMinutes);
    return (minutes >= 1 ? minutes : kDefaultMinutes) * 60;
}

QString ProjectFile::ownFile() const
{
    if (m_disk.path.isEmpty() || !m_disk.complete)
        return {};
    if (QFileInfo(m_disk.path).absoluteFilePath()
        == QFileInfo(unsavedAutosavePath()).absoluteFilePath())
        return {};
    return m_disk.path;
}

SaveOutcome ProjectFile::cmdSave_Click(const PathChooser& askSavePath)
{
    return save(ownFile(), askSavePath);
}

SaveOutcome ProjectFile::cmdSaveAs_Click(const PathChooser& askSavePath)
{
    return save(QString(), askSavePath);
}

SaveOutcome ProjectFile::save(const QString& ownFile, const PathChooser& askSavePath)
{
    QString path = ownFile;
    if (path.isEmpty())
        path = askSavePath(projectFilesFolder(), suggestedFileName(m_project.mainSiteUrl(1)));
    if (path.isEmpty())
        return {SaveOutcome::Cancelled, {}, {}};
    const SaveAttempt attempt = writeProject(path, true);
    if (attempt.change == DiskChange::ReadAgain)
        return {SaveOutcome::ReadAgain, path, attempt.outcome.error};
    if (attempt.change == DiskChange::Keep)
        return {SaveOutcome::Cancelled, path, attempt.outcome.error};
    FileOutcome outcome = attempt.outcome;
    if (outcome)
        return {SaveOutcome::Saved, path, {}};
    // The user did not choose the project's own file this time: a dialog out of the blue would
    // hide why the save failed, so the reason is told and the edits wait for the next save.
    if (!ownFile.isEmpty())
        return {SaveOutcome::Failed, path, outcome.error};
    const QString firstError = outcome.error;
    const QString retry = askSavePath(projectFilesFolder(), kRetryName);
    if (retry.isEmpty())
        return {SaveOutcome::Failed, path, firstError};
    outcome = SaveProjectFile(retry);
    if (outcome)
        return {SaveOutcome::Saved, retry, {}};
    return {SaveOutcome::Failed, retry, outcome.error};
}

std::optional<FileOutcome> ProjectFile::cmdOpen_Click(const PathChooser& askOpenPath)
{
    const QString path = askOpenPath(projectFilesFolder(), QString());
    if (path.isEmpty())
        return std::nullopt;
    return LoadProjectFile(path);
}

ProjectFile::CloseDecision ProjectFile::closeDecision(bool bProjectSaved, ExitAnswer answer,
                                                      SaveOutcome::Status saveStatus)
{
    if (!exitNeedsQuestion(bProjectSaved))
        return CloseDecision::Exit;
    switch (answer) {
    case ExitAnswer::No:
        return CloseDecision::Exit;
    case ExitAnswer::Yes:
        return saveStatus == SaveOutcome::Saved ? CloseDecision::Exit : CloseDecision::Stay;
    case ExitAnswer::NotAsked:
        break;
    }
    // Unsaved edits and no answer yet: the question has to be asked first.
    return CloseDecision::Stay;
}

} // namespace corvane
