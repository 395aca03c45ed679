#pragma once

#include "model/AppFolder.h"
#include "scan/PageAnalyzer.h"

#include <QObject>
#include <QString>

namespace corvane {

class NetworkContext;
class PageFetcher;
class Project;
class ScanStatistics;
class SettingsStore;
struct FetchedPage;

// Drives a scan of the project: validates the start, walks the Main Sites and their Linking Sites
// in list order, feeds the pages of the current Linking Site one at a time to the page fetcher,
// decides when a Linking Site is finished, records its outcome, and ends the scan.
//
// The scan is a chain of events: a step starts a request and returns; the next step comes from a
// socket event, a watchdog tick, the analysis handing back, or a button. Every continuation checks
// that it belongs to the running scan (bScanRunning and the scan generation), so after Stop nothing
// of the old scan acts, even when a new scan has started meanwhile. What the window shows comes
// out as signals.
class ScanController final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ScanController)

public:
    enum ScanType : qint16 {
        AllMainSites = 0,       // "Scan all main sites"
        SelectedMainSite = 1,   // "Just scan the selected main site"
        SelectedLinkingSite = 2 // "Just scan the selected linking site"
    };
    enum SkipType : qint16 {
        SkipLinkingSite = 0, // "The current linking site"
        SkipMainSite = 1     // "The current main site"
    };
    // Where the window puts the focus after a start message.
    enum class Focus { None, MainSiteEntry, LinkingSiteEntry };
    Q_ENUM(Focus)

    static constexpr int kProgressMaximum = 100;

    ScanController(Project& project, SettingsStore& settings, ScanStatistics& statistics,
                   AppFolder app, NetworkContext& network, QObject* parent = nullptr);
    ~ScanController() override;

    // "Start Scan". selectedMain: the 1-based position of the Main Site selected in its list (0
    // for none); selectedRow: the first selected row of its Linking Site list (0 for none). Only
    // the restricted scan types look at them. Returns whether the scan started.
    bool StartScan(int selectedMain = 0, int selectedRow = 0);
    void Skip();
    void Stop();

    // The scan steps, also reached by page analysis through analysisFinished.
    void NextPage(int slot);
    void AdvanceSite();
    void BeginSite();

    // The Scan Type and skip menus: check item i and store it under "ScanType" / "SkipType".
    void setScanType(int item);
    void setSkipType(int item);
    int scanType() const { return m_scanTypeItem; }
    int skipType() const;

    bool isRunning() const;
    // Changes at every start and every stop.
    quint64 generation() const { return m_generation; }

    PageFetcher& fetcher() { return *m_fetcher; }
    PageAnalyzer& analyzer() { return *m_analyzer; }

    // The page-limit table behind "cmbAdvance"; -1 for an index outside it.
    static qint32 pageLimitFor(int index);
    // The "#" field as a link count: a text that is not a whole number between -32768 and 32767
    // counts as 1.
    static qint16 expectedLinks(const QString& field);

Q_SIGNALS:
    void scanStarted();
    // After Stop has reset everything: the report writer regenerates the report here.
    void scanStopped();
    // Whether the controls are in the scanning state (Start, New, Open, Save, the scan-type button
    // and the Websites frame disabled; Skip and Stop enabled).
    void scanningChanged(bool scanning);
    // Status-bar panel 1 to 4.
    void statusChanged(int panel, const QString& text);
    void progressChanged(int value);
    // A message box with an OK button.
    void messageRaised(const QString& text, corvane::ScanController::Focus focus);
    // Select this Main Site (1-based) in its list, and run Select Main Site.
    void mainSiteSelected(int mainSite);
    // Click this Linking Site row (1-based) of list mainSite.
    void linkingSiteSelected(int mainSite, int row);
    // A sound file to play without waiting.
    void cueRequested(const QString& wavFile);
    // A page request starts: Main Site k of count, the Linking Site and the page URL.
    void pageStarted(int mainSite, int mainSiteCount, const QString& linkingSite,
                     const QString& url);
    // The outcome of a Linking Site was decided (outcome rows, if any, are in the results).
    void linkingSiteFinished(int mainSite, int row);

private:
    bool isCurrent(quint64 generation) const;
    void readFileTypes();
    void playCue(const QString& setting, const QString& file);
    void advanceOnce();
    // One page step of NextPage: takes the next page and starts its request, or ends the site.
    void takePage(int slot);
    // Makes row iCurrentSite of Main Site iCurrentMain the current Linking Site and begins it.
    void beginLinkingSite(bool countMainSite);
    // Moves to the next Main Site that has Linking Sites and begins its first one, or stops.
    void nextMainSite();
    void onPageFetched(const corvane::FetchedPage& page, const QString& body);
    void onAnalysisFinished(int slot, quint64 generation, PageAnalyzer::Continuation next);
    void onIdleTicked(int slot, int idleSeconds);
    // The page of the slot is given up as silent: an error row "Timeout" and the site ends.
    void timeOut(int slot);
    void onConnectionFailed(int slot, const QString& reason, const QString& detail);
    void failPage(const QString& reason);

    Project& m_project;
    SettingsStore& m_settings;
    ScanStatistics& m_statistics;
    AppFolder m_app;
    PageFetcher* m_fetcher = nullptr;
    PageAnalyzer* m_analyzer = nullptr;
    int m_scanTypeItem = AllMainSites;
    quint64 m_generation = 0;
    // The advance runs as a loop rather than by recursion, so a long run of Linking Sites that
    // finish without a request (for example "#" 0) cannot exhaust the stack.
    bool m_inAdvance = false;
    bool m_advancePending = false;
    // The page just taken could not be fetched and was passed over: NextPage takes the next one.
    bool m_pagePassedOver = false;
};

} // namespace corvane
