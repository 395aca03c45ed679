#include "history/ProjectHistory.h"

#include "model/Project.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "scan/ScanController.h"
#include "web/UrlTools.h"

#include <QFileInfo>

namespace corvane {

namespace {

quint64 keyOf(int mainSite, int row)
{
    return (quint64(quint32(mainSite)) << 32) | quint32(row);
}

} // namespace

ProjectHistory::ProjectHistory(Project& project, const SettingsStore& settings, QObject* parent)
    : QObject(parent), m_project(project), m_settings(settings)
{
    m_store.openInMemory();
    connect(&m_project.results(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { onRowsInserted(first, last); });
    connect(&m_project.errors(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (m_currentMain == 0 || !m_project.state().bScanRunning)
                    return;
                for (int row = first; row <= last; ++row)
                    m_currentErrors.append(m_project.errors().entry(row));
            });
}

ProjectHistory::~ProjectHistory() = default;

bool ProjectHistory::setProjectPath(const QString& path)
{
    m_error.clear();
    if (path == m_projectPath && (!path.isEmpty() || m_store.isInMemory()))
        return true;
    if (path.isEmpty()) {
        // A new project starts with an empty history of its own.
        m_lock.reset();
        m_projectPath.clear();
        m_store.openInMemory();
        return true;
    }
    const bool fromMemory = m_projectPath.isEmpty();
    const QString oldHistory = fromMemory ? QString() : HistoryStore::pathFor(m_projectPath);
    m_projectPath = path;
    m_lock = std::make_unique<ProjectLock>(path);
    if (fromMemory ? m_store.scans().isEmpty() : !QFileInfo::exists(oldHistory)) {
        m_store.close();
        // A project saved over another one's file does not take over that one's history.
        if (!HistoryStore::remove(HistoryStore::pathFor(path))) {
            m_error = QStringLiteral("cannot remove the history of the replaced project");
            Q_EMIT failed(QStringLiteral("The project was saved, but ") + m_error);
            return false;
        }
        return true;
    }
    // Saved under a new name: the history goes with the project.
    if (!fromMemory && !m_store.open(oldHistory, HistoryStore::Mode::Read)) {
        m_error = m_store.error();
        return false;
    }
    const bool ok = m_store.saveTo(HistoryStore::pathFor(path));
    if (!ok) {
        m_error = m_store.error();
        Q_EMIT failed(QStringLiteral("The project was saved, but not its history: ") + m_error);
    }
    m_store.close();
    return ok;
}

void ProjectHistory::projectOpened(const QString& path)
{
    m_pendingRenames.clear();
    m_projectPath.clear();
    m_store.close();
    if (path.isEmpty()) {
        m_lock.reset();
        m_store.openInMemory();
        return;
    }
    m_projectPath = path;
    m_lock = std::make_unique<ProjectLock>(path);
}

void ProjectHistory::watch(ScanController& scan)
{
    connect(&scan, &ScanController::scanStarted, this, &ProjectHistory::onScanStarted);
    connect(&scan, &ScanController::linkingSiteSelected, this, &ProjectHistory::onSiteSelected);
    connect(&scan, &ScanController::linkingSiteFinished, this, &ProjectHistory::onSiteFinished);
    connect(&scan, &ScanController::scanStopped, this,
            [this, &scan] { onScanStopped(scan.endedComplete()); });
}

HistoryStore* ProjectHistory::reader()
{
    m_error.clear();
    if (m_store.isOpen())
        return &m_store;
    if (m_projectPath.isEmpty())
        return nullptr;
    const QString file = HistoryStore::pathFor(m_projectPath);
    if (!QFileInfo::exists(file))
        return nullptr;
    if (!m_store.open(file, HistoryStore::Mode::Read)) {
        m_error = m_store.error();
        return nullptr;
    }
    return &m_store;
}

void ProjectHistory::report(const QString& message)
{
    m_recordedInFull = false;
    if (m_failedThisScan)
        return;
    m_failedThisScan = true;
    m_error = message;
    Q_EMIT failed(message);
}

bool ProjectHistory::openForWriting()
{
    if (m_projectPath.isEmpty()) {
        if (!m_store.isOpen() && !m_store.openInMemory()) {
            report(m_store.error());
            return false;
        }
        return true;
    }
    if (!m_lock)
        m_lock = std::make_unique<ProjectLock>(m_projectPath);
    if (!m_lock->isLocked()) {
        if (m_lock->tryLock())
            m_ownLock = true;
        else if (m_lock->heldByOther()) {
            report(m_lock->error() + QStringLiteral(": this scan's history is not kept"));
            return false;
        }
        // A lock that cannot be made (a full disk, a read-only folder) leaves no other program a
        // lock either; the history's own writes say what fails.
    }
    if (!m_store.isOpen() || m_store.isReadOnly() || m_store.path().isEmpty()) {
        if (!m_store.open(HistoryStore::pathFor(m_projectPath), HistoryStore::Mode::Write)) {
            report(m_store.error());
            return false;
        }
    }
    if (m_store.isReadOnly()) {
        report(m_store.notice());
        return false;
    }
    return true;
}

void ProjectHistory::renamePartner(int mainSite, const QString& oldUrl, const QString& newUrl)
{
    if (HistoryStore::partnerKey(oldUrl) == HistoryStore::partnerKey(newUrl))
        return;
    m_pendingRenames.append(
        {UrlTools::NormalizeMainSite(m_project.mainSiteUrl(mainSite)), oldUrl, newUrl});
    if (m_scan != 0)
        return; // the scan's own writes carry it
    if (m_projectPath.isEmpty()) {
        applyPendingRenames();
        return;
    }
    // A project whose file has no history yet has nothing to carry over.
    if (!QFileInfo::exists(HistoryStore::pathFor(m_projectPath))) {
        m_pendingRenames.clear();
        return;
    }
    ProjectLock lock(m_projectPath);
    if (!lock.tryLock() && lock.heldByOther()) {
        Q_EMIT failed(lock.error() + QStringLiteral(": the history learns the new name of %1 at "
                                                    "the next scan")
                                         .arg(oldUrl));
        return;
    }
    m_store.close();
    if (!m_store.open(HistoryStore::pathFor(m_projectPath), HistoryStore::Mode::Write)) {
        Q_EMIT failed(m_store.error());
        return;
    }
    applyPendingRenames();
    m_store.close();
}

void ProjectHistory::applyPendingRenames()
{
    for (const Rename& r : std::as_const(m_pendingRenames)) {
        if (!m_store.rename(r.main, r.oldUrl, r.newUrl)) {
            Q_EMIT failed(m_store.error());
            return;
        }
    }
    m_pendingRenames.clear();
}

void ProjectHistory::onScanStarted()
{
    m_scan = 0;
    m_failedThisScan = false;
    m_recordedInFull = true;
    m_counts.clear();
    m_startUrls.clear();
    for (int k = 1; k <= m_project.mainSiteCount(); ++k) {
        const LinkingSiteList* list = m_project.linkingSites(k);
        for (int row = 1; list && row <= list->count(); ++row)
            m_startUrls.insert(keyOf(k, row), list->url(row - 1));
    }
    if (!openForWriting())
        return;
    applyPendingRenames();
    m_scan = m_store.beginScan(QDateTime::currentDateTime(), m_version);
    if (m_scan == 0)
        report(m_store.error());
}

void ProjectHistory::onSiteSelected(int mainSite, int row)
{
    m_currentMain = mainSite;
    m_currentRow = row;
    m_currentRows.clear();
    m_currentErrors.clear();
}

void ProjectHistory::onRowsInserted(int first, int last)
{
    if (m_currentMain == 0 || !m_project.state().bScanRunning)
        return;
    for (int row = first; row <= last; ++row)
        m_currentRows.append(m_project.results().entry(row));
}

void ProjectHistory::onSiteFinished(int mainSite, int row)
{
    if (mainSite != m_currentMain || row != m_currentRow)
        return;
    const QList<ResultEntry> rows = m_currentRows;
    const QList<ErrorEntry> errors = m_currentErrors;
    m_currentMain = 0;
    m_currentRows.clear();
    m_currentErrors.clear();
    const std::optional<PartnerCheck> check =
        PartnerCheck::fromRows(rows, QDateTime::currentDateTime(), errors);
    if (!check || m_scan == 0)
        return;
    const LinkingSiteList* list = m_project.linkingSites(mainSite);
    if (!list || row < 1 || row > list->count())
        return;
    const QString main = UrlTools::NormalizeMainSite(m_project.mainSiteUrl(mainSite));
    const QString url = list->url(row - 1).trimmed();
    const QString former = m_startUrls.value(keyOf(mainSite, row)).trimmed();
    const std::optional<PartnerChange> change = m_store.recordCheck(
        m_scan, main, url, former, *check, m_settings.readInt(SettingKey::LostAfterFailures));
    if (!change) {
        report(m_store.error());
        return;
    }
    if (!former.isEmpty() && HistoryStore::partnerKey(former) != HistoryStore::partnerKey(url))
        m_store.rename(main, former, url);
    ++m_counts[int(change->kind)];
    setChangeCells(rows.first().main, rows.first().remote, *change);
    Q_EMIT partnerRecorded(mainSite, row, *change);
}

void ProjectHistory::setChangeCells(const QString& main, const QString& remote,
                                    const PartnerChange& change)
{
    ResultList& results = m_project.results();
    const QString text = change.text();
    for (int r = results.count() - 1; r >= 0; --r) {
        if (results.cell(r, ResultList::Main) == main
            && results.cell(r, ResultList::Remote) == remote
            && results.cell(r, ResultList::Change).isEmpty())
            results.setCell(r, ResultList::Change, text);
    }
}

void ProjectHistory::onScanStopped(bool complete)
{
    m_currentMain = 0;
    m_currentRows.clear();
    m_currentErrors.clear();
    if (m_scan != 0 && !m_store.endScan(m_scan, QDateTime::currentDateTime(), complete))
        report(m_store.error());
    m_scan = 0;
    if (!m_projectPath.isEmpty() && m_ownLock) {
        m_store.close();
        m_lock->unlock();
        m_ownLock = false;
    }
}

void ProjectHistory::showLastChanges()
{
    HistoryStore* store = reader();
    if (!store)
        return;
    const std::optional<HistoryStore::Scan> last = store->lastScan();
    if (!last)
        return;
    ResultList& results = m_project.results();
    QHash<QString, QString> byPartner; // main + '\n' + host -> change text
    for (const HistoryStore::PartnerRow& r : store->rowsOfScan(last->id))
        byPartner.insert(r.main + u'\n' + UrlTools::BareHost(r.url), r.change.text());
    for (int row = 0; row < results.count(); ++row) {
        const auto it = byPartner.constFind(results.cell(row, ResultList::Main) + u'\n'
                                            + UrlTools::BareHost(results.cell(row, ResultList::Remote)));
        if (it != byPartner.constEnd())
            results.setCell(row, ResultList::Change, *it);
    }
    if (!m_store.isInMemory())
        m_store.close();
}

} // namespace corvane
