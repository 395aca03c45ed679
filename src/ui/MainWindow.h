#pragma once

#include "history/ProjectHistory.h"
#include "model/AppFolder.h"
#include "model/Project.h"
#include "model/ProjectEditor.h"
#include "model/ProjectFile.h"
#include "model/ScanStatistics.h"
#include "output/ReportWriter.h"
#include "scan/ScanController.h"
#include "ui/CuePlayer.h"

#include <QMainWindow>
#include <QPointer>
#include <QTimer>

class QActionGroup;
class QLabel;
class QMenu;
class QSplitter;
class QTabWidget;

namespace corvane {

class AboutWindow;
class CommandButtons;
class EditorWindows;
class LinksTab;
class NetworkContext;
class PagesTab;
class PostTab;
class ProjectCommands;
class ReportsTab;
class ScanTally;
class SettingsStore;
class StatisticsFrame;
class WebTab;
class WebsiteLauncher;
class WebsitesPanel;

struct MainWindowOptions {
    // Both browser views are real browsers; off only where no browser engine can run.
    bool browserViews = true;
};

// The program's main window "Form1". It owns the project and the engine for the whole run and
// puts together the areas that show them: the command buttons, the Websites frame, the five tabs
// of "Link Results", the statistics frame and the status bar with its four panels.
class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    using Options = MainWindowOptions;

    enum Tab { LinksTabIndex = 0, WebTabIndex, PagesTabIndex, ReportsTabIndex, PostTabIndex };

    MainWindow(SettingsStore& settings, AppFolder app, NetworkContext& network,
               Options options = Options());
    ~MainWindow() override;

    Project& project() { return m_project; }
    ScanController& scan() { return m_scan; }
    ScanStatistics& statistics() { return m_statistics; }
    ReportWriter& report() { return m_report; }
    ProjectFile& files() { return m_files; }
    QString statusText(int panel) const;
    // What status-bar panel 1 to 4 shows, as a screen reader names it.
    static QString panelName(int panel);

    // "View Help File": the help file in the application folder, with the desktop's handler.
    void openHelpFile();
    // Shows a URL in the Web tab; withAddress also puts it into the address box.
    void browseInWebTab(const QString& url, bool withAddress);
    // The website button and the about window open the website through this launcher; it
    // outlives the window, so a website being opened at shutdown still opens.
    void setWebsiteLauncher(WebsiteLauncher* launcher);
    WebsiteLauncher* websiteLauncher();
    // A project named when the program was started (a double-click on a .prj file).
    void openProjectFile(const QString& path);
    // "About" > "About this software".
    void showAbout();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildMenus();
    void connectEngine();
    void watchProjectChanges();
    // The history window of a Linking Site row and the row's "linked since" tool tip.
    void connectHistory();
    void scheduleTitleRefresh();
    // "links.prj - <product>" ("Untitled" before the first save), marked while unsaved.
    void refreshTitle();
    void startUp();
    void showSitesInProgress(const QStringList& sites);
    void setScanning(bool scanning);
    void setStatus(int panel, const QString& text);
    void onTabChosen(int index);
    void regenerateReport();
    void showMessage(const QString& text);
    void showScanMessage(const QString& text, ScanController::Focus focus);
    void popUpScanTypeMenu();

    SettingsStore& m_settings;
    AppFolder m_app;
    NetworkContext& m_network;

    // The project and the engine, built before the window's areas and outliving them.
    Project m_project;
    ScanStatistics m_statistics;
    ProjectFile m_files;
    ProjectEditor m_editor;
    ScanController m_scan;
    ReportWriter m_report;
    // The project's scan history; the core writes it, the window only reads it.
    ProjectHistory m_history;
    CuePlayer m_cues;
    ProjectCommands* m_commands = nullptr;
    ScanTally* m_tally = nullptr;
    QTimer m_titleTimer;
    bool m_titleRefreshPending = false;
    QString m_savedNotice; // the "Saved ..." text while it holds
    EditorWindows* m_windows = nullptr;
    bool m_splitMoved = false;
    // The shares of "Websites" and "Link Results": about a third and two thirds, or as the user
    // left them.
    QList<int> m_splitShares = {3 << 14, 7 << 14};
    WebsiteLauncher* m_launcher = nullptr;
    QPointer<AboutWindow> m_about;

    CommandButtons* m_buttons = nullptr;
    WebsitesPanel* Frame1 = nullptr;
    QWidget* Frame2 = nullptr;
    QTabWidget* TabStrip1 = nullptr;
    LinksTab* m_linksTab = nullptr;
    WebTab* m_webTab = nullptr;
    PagesTab* m_pagesTab = nullptr;
    ReportsTab* m_reportsTab = nullptr;
    PostTab* m_postTab = nullptr;
    StatisticsFrame* Frame6 = nullptr;
    QSplitter* m_split = nullptr;
    QLabel* m_panels[4] = {};
    QLabel* m_inProgress = nullptr;
    QMenu* m_fileMenu = nullptr;
    QMenu* mnuScan = nullptr;
    QActionGroup* m_scanTypes = nullptr;
    QMenu* mnuSkipPopup = nullptr;
    QActionGroup* m_skipTypes = nullptr;
};

} // namespace corvane
