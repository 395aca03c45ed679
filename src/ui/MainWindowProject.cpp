#include "ui/MainWindow.h"

// What the window tells of its project beyond the lists: the title with the project's name and
// its unsaved mark, and each Linking Site's history.

#include "branding/Branding.h"
#include "model/SettingsStore.h"
#include "ui/EditorWindows.h"
#include "ui/HistoryWindow.h"
#include "ui/WebsitesPanel.h"
#include "web/UrlTools.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>

namespace corvane {

void MainWindow::connectHistory()
{
    connect(&m_history, &ProjectHistory::failed, this, &MainWindow::showMessage);
    connect(m_windows, &EditorWindows::linkingSiteRenamed, &m_history,
            &ProjectHistory::renamePartner);
    connect(Frame1, &WebsitesPanel::historyRequested, this, [this](int mainSite, int row) {
        const LinkingSiteList* list = m_project.linkingSites(mainSite);
        if (!list || row < 1 || row > list->count())
            return;
        auto* window = new HistoryWindow(
            m_history, UrlTools::NormalizeMainSite(m_project.mainSiteUrl(mainSite)),
            list->url(row - 1), this);
        window->show();
    });
    Frame1->setRowToolTip([this](int mainSite, int row) -> QString {
        const LinkingSiteList* list = m_project.linkingSites(mainSite);
        HistoryStore* store = m_history.reader();
        if (!list || !store || row < 1 || row > list->count())
            return QString();
        const std::optional<HistoryStore::Partner> p = store->partner(
            UrlTools::NormalizeMainSite(m_project.mainSiteUrl(mainSite)), list->url(row - 1));
        if (!p)
            return QString();
        const QLocale locale;
        auto day = [&locale](const QDateTime& t) {
            return t.isValid() ? locale.toString(t.date(), QLocale::ShortFormat) : tr("never");
        };
        return p->record.linkText(day)
               + (p->record.linksNow() ? tr(", last confirmed %1").arg(day(p->record.lastConfirmed))
                                       : QString());
    });
}

void MainWindow::watchProjectChanges()
{
    // Whatever changes the project changes the title's unsaved mark: the lists, the scan, the
    // entry box, the project's file. The check runs once the change is complete, since a list
    // tells of a change before the edit is marked.
    auto watch = [this](QAbstractItemModel* model) {
        if (model == nullptr)
            return;
        connect(model, &QAbstractItemModel::rowsInserted, this, &MainWindow::scheduleTitleRefresh);
        connect(model, &QAbstractItemModel::rowsRemoved, this, &MainWindow::scheduleTitleRefresh);
        connect(model, &QAbstractItemModel::dataChanged, this, &MainWindow::scheduleTitleRefresh);
        connect(model, &QAbstractItemModel::modelReset, this, &MainWindow::scheduleTitleRefresh);
        connect(model, &QAbstractItemModel::layoutChanged, this, &MainWindow::scheduleTitleRefresh);
    };
    watch(&m_project.mainSites());
    watch(&m_project.rules());
    watch(&m_project.postTargets());
    for (int k = 0; k < m_project.linkingSiteListCount(); ++k)
        watch(m_project.linkingSites(k));
    connect(&m_project, &Project::linkingSiteListAdded, this, [this, watch](int k) {
        watch(m_project.linkingSites(k));
        scheduleTitleRefresh();
    });
    connect(&m_project, &Project::linkingSiteListRemoved, this, &MainWindow::scheduleTitleRefresh);
    connect(&m_scan, &ScanController::scanStarted, this, &MainWindow::scheduleTitleRefresh);
    connect(&m_scan, &ScanController::scanStopped, this, &MainWindow::scheduleTitleRefresh);
    connect(Frame1->mainSiteEntry(), &QLineEdit::textEdited, this,
            &MainWindow::scheduleTitleRefresh);
    connect(&m_settings, &SettingsStore::settingChanged, this, [this](const QString& key) {
        if (key.compare(QStringLiteral("LastProject"), Qt::CaseInsensitive) == 0)
            scheduleTitleRefresh();
    });
    connect(&m_files, &ProjectFile::projectCleared, this, &MainWindow::scheduleTitleRefresh);
    // The autosave and anything else that marks the project without a list changing.
    m_titleTimer.setInterval(1000);
    connect(&m_titleTimer, &QTimer::timeout, this, &MainWindow::refreshTitle);
    m_titleTimer.start();
}

void MainWindow::scheduleTitleRefresh()
{
    if (m_titleRefreshPending)
        return;
    m_titleRefreshPending = true;
    QTimer::singleShot(0, this, &MainWindow::refreshTitle);
}

void MainWindow::refreshTitle()
{
    m_titleRefreshPending = false;
    const QString path = m_settings.ReadSetting(QStringLiteral("LastProject"), QString());
    QString name = path.trimmed().isEmpty() ? tr("Untitled") : QFileInfo(path).fileName();
    // "[*]" in a file name would be taken for the unsaved mark.
    name.replace(QStringLiteral("[*]"), QStringLiteral("[**]"));
    const QString title = name + QStringLiteral("[*] - ") + Branding::productName();
    if (windowTitle() != title)
        setWindowTitle(title);
    const bool modified = !m_project.state().bProjectSaved;
    if (modified && !m_savedNotice.isEmpty()) {
        if (statusText(1) == m_savedNotice)
            setStatus(1, QString());
        m_savedNotice.clear();
    }
    setWindowModified(modified);
}

} // namespace corvane
