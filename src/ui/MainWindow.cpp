#include "ui/MainWindow.h"

#include "automation/ScanAlerts.h"
#include "branding/Branding.h"
#include "model/SettingsStore.h"
#include "output/ScanSummary.h"
#include "ui/AboutWindow.h"
#include "ui/Artwork.h"
#include "ui/BrowserView.h"
#include "ui/CommandButtons.h"
#include "ui/Dialogs.h"
#include "ui/EditorWindows.h"
#include "ui/ImportWindow.h"
#include "ui/LinksTab.h"
#include "ui/PagesTab.h"
#include "ui/PostTab.h"
#include "ui/Presentation.h"
#include "ui/ProjectCommands.h"
#include "ui/ReportsTab.h"
#include "ui/StatisticsFrame.h"
#include "ui/WebTab.h"
#include "ui/WebsiteLauncher.h"
#include "ui/WebsitesPanel.h"
#include "ui/Widgets.h"
#include "ui/WindowState.h"

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace corvane {

MainWindow::MainWindow(SettingsStore& settings, AppFolder app, NetworkContext& network,
                       Options options)
    : m_settings(settings),
      m_app(std::move(app)),
      m_network(network),
      m_statistics(settings),
      m_files(m_project, settings, m_app),
      m_editor(m_project, m_files),
      m_scan(m_project, settings, m_statistics, m_app, network),
      m_report(m_project, m_app, settings),
      m_history(m_project, settings)
{
    setObjectName(QStringLiteral("Form1"));
    m_report.setStatistics(&m_statistics);
    // First on the scan's signals: a partner's change is recorded before anything reads it.
    m_history.setProgramVersion(Branding::version());
    m_history.watch(m_scan);
    m_files.setHistory(&m_history);
    m_report.setHistory(&m_history);
    m_commands = new ProjectCommands(m_project, m_files, settings, this);
    m_tally = new ScanTally(m_project, m_scan, this);
    m_windows = new EditorWindows(m_project, m_editor, settings, m_app, this);
    m_windows->setProjectPathSource([this] { return m_history.projectPath(); });

    // Widgets are made top-left to bottom-right: that is also the keyboard's tab order.
    auto* central = new QWidget(this);
    m_buttons = new CommandButtons(central);
    Frame1 = new WebsitesPanel(m_project, m_editor, central);

    auto* results = new QGroupBox(tr("Link Results"), central);
    results->setObjectName(QStringLiteral("Frame2"));
    Frame2 = results;
    TabStrip1 = new QTabWidget(results);
    TabStrip1->setObjectName(QStringLiteral("TabStrip1"));
    m_linksTab = new LinksTab(m_project, TabStrip1);
    m_webTab = new WebTab(options.browserViews, TabStrip1);
    m_pagesTab = new PagesTab(m_project, m_settings, TabStrip1);
    m_reportsTab = new ReportsTab(m_report, m_project.results(), m_settings, options.browserViews,
                                  TabStrip1);
    m_postTab = new PostTab(m_project, m_settings, m_network, TabStrip1);
    TabStrip1->addTab(m_linksTab, tr("Links"));
    TabStrip1->addTab(m_webTab, tr("Web"));
    TabStrip1->addTab(new FittingScrollArea(m_pagesTab, TabStrip1), tr("Pages"));
    TabStrip1->addTab(m_reportsTab, tr("Reports"));
    TabStrip1->addTab(new FittingScrollArea(m_postTab, TabStrip1), tr("Post"));
    const QString tips[] = {tr("View Link Results"), tr("Visit Linking Sites"),
                            tr("Create link pages based on results"), tr("View Reports"),
                            tr("Post links to a database")};
    for (int i = 0; i < 5; ++i)
        TabStrip1->setTabToolTip(i, tips[i]);
    auto* resultsLayout = new QVBoxLayout(results);
    resultsLayout->setContentsMargins(4, 2, 4, 4);
    resultsLayout->addWidget(TabStrip1);

    m_split = new QSplitter(Qt::Horizontal, central);
    m_split->setObjectName(QStringLiteral("splitFrames"));
    m_split->setChildrenCollapsible(false);
    m_split->addWidget(Frame1);
    m_split->addWidget(results);
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 2);
    if (const QList<int> kept = WindowState::splitterSizes(m_settings, m_split->objectName());
        kept.size() == 2)
        m_splitShares = kept;
    connect(m_split, &QSplitter::splitterMoved, this, [this] { m_splitMoved = true; });

    Frame6 = new StatisticsFrame(m_statistics, m_project.pageQueue(), central);
    Frame6->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Maximum);

    auto* layout = new QVBoxLayout(central);
    layout->addWidget(m_buttons);
    layout->addWidget(m_split, 1);
    layout->addWidget(Frame6);
    // On a small screen or with large fonts the window scrolls rather than cutting its parts off.
    setCentralWidget(new FittingScrollArea(central, this));

    auto* bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new QLabel(bar);
        m_panels[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        showValue(m_panels[i], panelName(i + 1), QString());
        m_panels[i]->setMinimumWidth(40);
        bar->addWidget(m_panels[i], i == 0 ? 3 : 1);
    }
    // With several Linking Sites at once, which they are and which one Skip skips.
    m_inProgress = new QLabel(bar);
    m_inProgress->setObjectName(QStringLiteral("PanelSites"));
    m_inProgress->setAccessibleName(tr("Linking Sites in progress"));
    m_inProgress->hide();
    bar->addPermanentWidget(m_inProgress);
    setStatusBar(bar);

    // The lists keep the column widths the user left them at in the last run.
    for (RecordListView* list : {m_linksTab->resultsView(), Frame1->linkingSitesView()})
        list->setKeptWidths(WindowState::columnWidths(m_settings, list->objectName()));

    buildMenus();
    connectEngine();
    watchProjectChanges();
    startUp();
}

MainWindow::~MainWindow()
{
    // The areas go first, while the project and the engine they show are still there.
    for (QObject* source : std::initializer_list<QObject*>{&m_scan, &m_files, &m_editor, &m_report,
                                                           &m_statistics, &m_project})
        source->disconnect(this);
    delete takeCentralWidget();
}

void MainWindow::buildMenus()
{
    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    m_fileMenu = file;
    const struct {
        QString caption;
        QKeySequence key;
        std::function<void()> run;
    } fileItems[] = {
        {tr("New Project"), QKeySequence(Qt::CTRL | Qt::Key_N), [this] { m_commands->newProject(); }},
        {tr("Open Project"), QKeySequence(Qt::CTRL | Qt::Key_O), [this] { m_commands->openProject(); }},
        {tr("Save Project"), QKeySequence(Qt::CTRL | Qt::Key_S), [this] { m_commands->saveProject(); }},
        {tr("Exit"), QKeySequence(Qt::CTRL | Qt::Key_Q), [this] { close(); }},
    };
    for (int i = 0; i < 4; ++i) {
        QAction* action = file->addAction(fileItems[i].caption);
        action->setObjectName(QStringLiteral("mnuFileItem%1").arg(i));
        action->setShortcut(fileItems[i].key);
        connect(action, &QAction::triggered, this, fileItems[i].run);
    }
    // Right after "Save Project"; Exit keeps its name.
    QAction* saveAs = new QAction(tr("Save As..."), file);
    saveAs->setObjectName(QStringLiteral("mnuFileSaveAs"));
    saveAs->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    connect(saveAs, &QAction::triggered, this, [this] { m_commands->saveProjectAs(); });
    file->insertAction(file->actions().at(3), saveAs);

    mnuScan = menuBar()->addMenu(tr("&Scan Type"));
    mnuScan->setObjectName(QStringLiteral("mnuScan"));
    m_scanTypes = new QActionGroup(this);
    const QString scanTypes[] = {tr("Scan all main sites"), tr("Just scan the selected main site"),
                                 tr("Just scan the selected linking site")};
    for (int i = 0; i < 3; ++i) {
        QAction* action = mnuScan->addAction(scanTypes[i]);
        action->setObjectName(QStringLiteral("mnuScanItem%1").arg(i));
        action->setCheckable(true);
        m_scanTypes->addAction(action);
        connect(action, &QAction::triggered, this, [this, i] { m_scan.setScanType(i); });
    }
    // The third scan type is reached only through a stored setting.
    m_scanTypes->actions().at(2)->setVisible(false);

    mnuSkipPopup = new QMenu(tr("Skip"), this);
    mnuSkipPopup->setObjectName(QStringLiteral("mnuSkipPopup"));
    m_skipTypes = new QActionGroup(this);
    const QString skipTypes[] = {tr("The current linking site"), tr("The current main site")};
    for (int i = 0; i < 2; ++i) {
        QAction* action = mnuSkipPopup->addAction(skipTypes[i]);
        action->setObjectName(QStringLiteral("mnuSkipItem%1").arg(i));
        action->setCheckable(true);
        m_skipTypes->addAction(action);
        connect(action, &QAction::triggered, this, [this, i] { m_scan.setSkipType(i); });
    }
    m_buttons->cmdSkip->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_buttons->cmdSkip, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) {
                mnuSkipPopup->popup(m_buttons->cmdSkip->mapToGlobal(pos));
            });

    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    QAction* viewHelp = help->addAction(tr("View Help File"));
    viewHelp->setObjectName(QStringLiteral("mnuHelpItem"));
    viewHelp->setShortcut(QKeySequence::HelpContents);
    connect(viewHelp, &QAction::triggered, this, &MainWindow::openHelpFile);
    QMenu* about = menuBar()->addMenu(tr("&About"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    QAction* aboutItem = about->addAction(tr("About this software"));
    aboutItem->setObjectName(QStringLiteral("mnuAboutItem"));
    connect(aboutItem, &QAction::triggered, this, &MainWindow::showAbout);
}

void MainWindow::connectEngine()
{
    CommandButtons* b = m_buttons;
    connect(b->cmdNew, &QPushButton::clicked, this, [this] { m_commands->newProject(); });
    connect(b->cmdOpen, &QPushButton::clicked, this, [this] { m_commands->openProject(); });
    connect(b->cmdSave, &QPushButton::clicked, this, [this] { m_commands->saveProject(); });
    connect(b->Command9, &QPushButton::clicked, m_windows, &EditorWindows::openOptions);
    connect(b->Command1, &QPushButton::clicked, this, [this] {
        m_scan.StartScan(Frame1->selectedMainSite(), Frame1->selectedLinkingSiteRow());
    });
    connect(b->cmdStop, &QPushButton::clicked, &m_scan, &ScanController::Stop);
    connect(b->cmdSkip, &QPushButton::clicked, &m_scan, &ScanController::Skip);
    connect(b->Command10, &QPushButton::clicked, this, &MainWindow::popUpScanTypeMenu);
    connect(b->cmdWebsite, &QPushButton::clicked, this,
            [this] { websiteLauncher()->openWebsite(); });

    connect(Frame1, &WebsitesPanel::statusHint, this, [this](const QString& text) {
        setStatus(1, text);
    });
    connect(Frame1, &WebsitesPanel::messageRaised, this, &MainWindow::showMessage);
    connect(Frame1, &WebsitesPanel::windowRequested, this, [this](const QString& name) {
        // Every window the panel asks for is an editor or an import window.
        if (!m_windows->open(name))
            ImportWindow::open(name, this, m_project, m_settings, m_app, m_network);
    });
    connect(m_postTab, &PostTab::statusChanged, this, [this](const QString& text) {
        setStatus(1, text);
    });
    connect(m_linksTab, &LinksTab::browseRequested, this, &MainWindow::browseInWebTab);
    connect(m_reportsTab, &ReportsTab::messageRaised, this, &MainWindow::showMessage);
    connect(TabStrip1, &QTabWidget::currentChanged, this, &MainWindow::onTabChosen);
    // A click on the tab already shown refills its selector all the same.
    connect(TabStrip1, &QTabWidget::tabBarClicked, this, [this](int index) {
        if (index == TabStrip1->currentIndex())
            onTabChosen(index);
    });

    connect(&m_scan, &ScanController::scanningChanged, this, &MainWindow::setScanning);
    connect(&m_scan, &ScanController::statusChanged, this, &MainWindow::setStatus);
    connect(&m_scan, &ScanController::progressChanged, Frame6, &StatisticsFrame::setProgress);
    connect(&m_scan, &ScanController::messageRaised, this, &MainWindow::showScanMessage);
    connect(&m_scan, &ScanController::mainSiteSelected, Frame1, &WebsitesPanel::selectMainSite);
    connect(&m_scan, &ScanController::linkingSiteSelected, this,
            [this](int, int row) { Frame1->clickLinkingSiteRow(row); });
    connect(&m_scan, &ScanController::cueRequested, &m_cues, &CuePlayer::PlayCue);
    connect(&m_scan, &ScanController::sitesInProgressChanged, this,
            &MainWindow::showSitesInProgress);
    connect(&m_scan, &ScanController::scanStarted, this, [this] { m_files.resetAutosaveCount(); });
    connect(&m_scan, &ScanController::scanStopped, this, &MainWindow::regenerateReport);
    // After the history has recorded the scan (it was connected first): the alert command, and a
    // desktop notification when the window is out of sight.
    auto* alerts = new ScanAlerts(m_settings, {Branding::productName(), Branding::appId()}, this);
    connect(&m_scan, &ScanController::scanStopped, this, [this, alerts] {
        using Kind = PartnerChange::Kind;
        if (m_history.changeCount(Kind::Lost) + m_history.changeCount(Kind::New)
                + m_history.changeCount(Kind::Restored) + m_history.changeCount(Kind::Changed)
            == 0)
            return;
        if (HistoryStore* store = m_history.reader())
            alerts->tell(ChangeSet::lastScan(*store, m_history.projectPath()),
                         isMinimized() || !isVisible());
    });
    connect(alerts, &ScanAlerts::openRequested, this, [this] {
        showNormal();
        raise();
        activateWindow();
    });
    // What the command line says at the end of a scan, where the user looks for it.
    connect(m_tally, &ScanTally::scanSummarised, this, [this](const QString& line) {
        setStatus(1, line);
        m_linksTab->setSummary(line);
        Frame6->setSummary(line);
    });
    connect(&m_statistics, &ScanStatistics::statisticsChanged, Frame6, &StatisticsFrame::StatsD);

    connect(&m_files, &ProjectFile::projectCleared, this, [this] {
        Frame1->clearEntries();
        m_pagesTab->selector()->clear();
        m_postTab->clearEntries();
    });
    connect(&m_files, &ProjectFile::projectReportShown, m_reportsTab, &ReportsTab::showReport);
    connect(&m_files, &ProjectFile::reportRegenerationRequested, this,
            &MainWindow::regenerateReport);
    connect(m_commands, &ProjectCommands::statusText, this, [this](const QString& text) {
        setStatus(1, text);
        // "Saved ..." stands until the project changes again.
        m_savedNotice = m_project.state().bProjectSaved ? text : QString();
        refreshTitle();
    });
    connectHistory();
}

void MainWindow::startUp()
{
    ScanState& state = m_project.state();
    state.bProjectSaved = true;
    state.bSkipDomainChange = false;

    // The settings this window shows itself: the scan and skip types. The run counters start at
    // zero and the historical ones come from the store.
    const int scanType = m_settings.readInt(QStringLiteral("ScanType"), 0);
    if (scanType >= 0 && scanType < m_scanTypes->actions().size()) {
        m_scanTypes->actions().at(scanType)->setChecked(true);
        m_scan.setScanType(scanType);
    }
    const int skipType = m_settings.readInt(QStringLiteral("SkipType"), 0);
    if (skipType >= 0 && skipType < m_skipTypes->actions().size()) {
        m_skipTypes->actions().at(skipType)->setChecked(true);
        m_scan.setSkipType(skipType);
    }
    Frame6->StatsD();

    setWindowIcon(Artwork::programIcon());
    refreshTitle();
    m_buttons->cmdWebsite->setText(tr("Visit ") + Branding::website());
    state.bScanRunning = false;

    m_commands->openLastProject(m_settings.ReadSetting(QStringLiteral("LastProject"), QString()));
    refreshTitle();

    if (m_settings.ReadSetting(QStringLiteral("showHelp"), QStringLiteral("1")) == u'1') {
        openHelpFile();
        m_settings.WriteSetting(QStringLiteral("showHelp"), QStringLiteral("0"));
    }
    m_webTab->navigate(Branding::website());
    const QRect screen = this->screen()->availableGeometry();
    resize(qMin(1280, screen.width() * 9 / 10), qMin(800, screen.height() * 9 / 10));
}

void MainWindow::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // "Websites" keeps its share of the width (a third, or what the user left it at in an
    // earlier run), until the user moves the divider.
    if (m_splitMoved)
        return;
    // The splitter shares out whatever width it gets in these proportions, also when it has not
    // been laid out at its new width yet.
    m_split->setSizes(m_splitShares);
}

QString MainWindow::statusText(int panel) const
{
    return panel >= 1 && panel <= 4 ? m_panels[panel - 1]->text() : QString();
}

QString MainWindow::panelName(int panel)
{
    switch (panel) {
    case 1:
        return tr("Status");
    case 2:
        return tr("Page");
    case 3:
        return tr("Linking Site");
    case 4:
        return tr("Waiting for an answer");
    }
    return {};
}

void MainWindow::setStatus(int panel, const QString& text)
{
    if (panel < 1 || panel > 4)
        return;
    showValue(m_panels[panel - 1], panelName(panel), text);
    m_panels[panel - 1]->setToolTip(text);
}

void MainWindow::showSitesInProgress(const QStringList& sites)
{
    m_inProgress->setVisible(sites.size() > 1);
    if (sites.size() <= 1) {
        m_inProgress->clear();
        return;
    }
    const QString text = tr("%1 at once. Skip skips %2; also %3")
                             .arg(sites.size())
                             .arg(sites.first(), sites.mid(1).join(QStringLiteral(", ")));
    showValue(m_inProgress, tr("Linking Sites in progress"), text);
    m_inProgress->setToolTip(text);
}

void MainWindow::setScanning(bool scanning)
{
    m_buttons->setScanning(scanning);
    Frame1->setEnabled(!scanning);
    // New, Open, Save and Save As; Exit stays.
    for (QAction* item : m_fileMenu->actions()) {
        if (item->objectName() != QStringLiteral("mnuFileItem3"))
            item->setEnabled(!scanning);
    }
}

void MainWindow::onTabChosen(int index)
{
    if (index == PagesTabIndex)
        m_pagesTab->refill(m_project.mainSites());
    else if (index == PostTabIndex)
        m_postTab->refill(m_project.mainSites());
}

void MainWindow::browseInWebTab(const QString& url, bool withAddress)
{
    TabStrip1->setCurrentIndex(WebTabIndex);
    if (withAddress)
        m_webTab->addressBox()->setText(url);
    m_webTab->browser()->navigate(QUrl::fromUserInput(url));
}

void MainWindow::regenerateReport()
{
    const ReportWriter::Generation generation = m_report.generate(m_statistics.lPagesScanned);
    if (!generation.failures.isEmpty())
        setStatus(3, generation.failures.join(QStringLiteral("; ")));
}

void MainWindow::openHelpFile()
{
    Desktop::openLocalFile(m_app.file(QStringLiteral("Help.html")));
}

void MainWindow::showMessage(const QString& text)
{
    Dialogs::information(this, text);
}

void MainWindow::showScanMessage(const QString& text, ScanController::Focus focus)
{
    showMessage(text);
    if (focus == ScanController::Focus::MainSiteEntry)
        Frame1->mainSiteEntry()->setFocus();
    else if (focus == ScanController::Focus::LinkingSiteEntry)
        Frame1->linkingSiteEntry()->setFocus();
}

void MainWindow::popUpScanTypeMenu()
{
    QPushButton* button = m_buttons->Command10;
    const QPoint pointer = QCursor::pos();
    // From the keyboard the pointer may be anywhere: the menu then opens below the button.
    const bool overButton = button->rect().contains(button->mapFromGlobal(pointer));
    mnuScan->popup(overButton ? pointer : button->mapToGlobal(QPoint(0, button->height())));
}

void MainWindow::setWebsiteLauncher(WebsiteLauncher* launcher)
{
    m_launcher = launcher;
}

WebsiteLauncher* MainWindow::websiteLauncher()
{
    // A window built without the program's launcher (a test) has one of its own.
    if (!m_launcher)
        m_launcher = new WebsiteLauncher(this);
    return m_launcher;
}

void MainWindow::openProjectFile(const QString& path)
{
    m_commands->openProjectFile(path);
}

void MainWindow::showAbout()
{
    // One about window at a time; it lives until the user closes it.
    if (!m_about) {
        m_about = new AboutWindow(websiteLauncher(), this);
        m_about->move(frameGeometry().center() - m_about->rect().center());
    }
    m_about->show();
    m_about->raise();
    m_about->activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (!m_commands->confirmClose()) {
        event->ignore();
        return;
    }
    // Nothing of a running scan acts any more; its connection goes with the window.
    m_project.state().bScanRunning = false;
    // Widths the user gave are kept; otherwise the lists size their columns by the window again.
    for (RecordListView* list : {m_linksTab->resultsView(), Frame1->linkingSitesView()}) {
        if (list->isSized())
            WindowState::setColumnWidths(m_settings, list->objectName(),
                                         list->widthsChosenByUser() ? list->columnWidths()
                                                                    : QList<int>());
    }
    if (m_splitMoved)
        WindowState::setSplitterSizes(m_settings, m_split->objectName(), m_split->sizes());
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window != this && window->isVisible())
            window->close();
    }
    event->accept();
}

} // namespace corvane
