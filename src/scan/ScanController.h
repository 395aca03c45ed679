#pragma once

#include "model/AppFolder.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

namespace corvane {

class HostGate;
class NetworkContext;
class Project;
class RobotsCache;
class ScanStatistics;
class SettingsStore;
class SiteHandOn;
class SiteScan;

// Drives a scan of the project: validates the start, walks the Main Sites and their Linking Sites
// in list order, has each Linking Site scanned page by page (SiteScan: its own fetcher, analysis,
// page queue and counters), records its outcome, and ends the scan.
//
// Up to "ParallelSites" Linking Sites are in progress at once, started in project order; two
// whose domains are the same wait for each other, and no host gets two connections at once.
// What they find comes out in project order, as a scan of one Linking Site after another would
// give it: the earliest Linking Site in progress (the front) hands its rows, errors, row colour,
// URL update and counts on to the project as they happen; a later one keeps them until its turn
// (SiteHandOn does the handing on; this class says whose turn it is). Skip skips the front.
// With "ParallelSites" 1 the front is the only one: one request at a time.
//
// The scan is a chain of events: a step starts a request and returns; the next step comes from a
// socket event, a watchdog tick, the analysis handing back, or a button. Every continuation checks
// that it belongs to the running scan (bScanRunning and the scan generation), so after Stop nothing
// of the old scan acts, even when a new scan has started meanwhile. What the window shows comes
// out as signals; the status-bar panels follow the front.
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
    // Skips the front: the earliest Linking Site in progress (with skip type 1, its Main Site).
    void Skip();
    void Stop();

    // The Scan Type and skip menus: check item i and store it under "ScanType" / "SkipType".
    void setScanType(int item);
    void setSkipType(int item);
    int scanType() const { return m_scanTypeItem; }
    int skipType() const;

    bool isRunning() const;
    // The last scan ended after its last Linking Site (not by Stop before it).
    bool endedComplete() const { return m_endedComplete; }
    // Changes at every start and every stop.
    quint64 generation() const { return m_generation; }
    // The scan of that generation is still running.
    bool isCurrent(quint64 generation) const;

    // The Linking Sites in progress (finished ones waiting for their turn included), in project
    // order; the first is the front. Empty when no scan runs.
    const QList<SiteScan*>& inProgress() const { return m_sites; }
    SiteScan* front() const { return m_sites.isEmpty() ? nullptr : m_sites.first(); }
    // How long one watchdog "second" lasts: 1000 ms; tests shorten it.
    void setWatchdogInterval(int milliseconds) { m_watchdogMs = milliseconds; }


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
    // Click this Linking Site row (1-based) of list mainSite: the new front.
    void linkingSiteSelected(int mainSite, int row);
    // A sound file to play without waiting.
    void cueRequested(const QString& wavFile);
    // A Linking Site's scan began (with several at once, before its turn may have come).
    void linkingSiteStarted(int mainSite, int row);
    // A page request starts for Linking Site row of Main Site mainSite (k of mainSiteCount).
    void pageStarted(int mainSite, int row, int mainSiteCount, const QString& linkingSite,
                     const QString& url);
    // A Linking Site's scan ended; its outcome comes out when its turn comes.
    void linkingSiteScanned(int mainSite, int row);
    // The outcome of a Linking Site was decided and its rows are in the results: in project order.
    void linkingSiteFinished(int mainSite, int row);
    // The Linking Sites in progress changed: their URLs in project order, the front first.
    void sitesInProgressChanged(const QStringList& linkingSites);

private:
    struct Planned {
        int mainSite = 0;
        int row = 0;
        int order = 0; // the place of its outcome in the scan
    };
    void readFileTypes();
    void playCue(const QString& setting, const QString& file);
    // Releases finished fronts, starts Linking Sites up to the parallel limit, and stops when
    // nothing is left. Runs as a loop rather than by recursion, so a long run of Linking Sites
    // that finish without a request (for example "#" 0) cannot exhaust the stack.
    void advance();
    void advanceOnce();
    void release(SiteScan* site);
    void startSites();
    void connectSite(SiteScan* site);
    // Nothing the site sends reaches the scan any more.
    void detach(SiteScan* site);
    // Detached, stopped and deleted later; the caller takes it out of m_sites.
    void discard(SiteScan* site);
    void dropSites(int mainSite);
    void showInProgress();
    void onSiteFinished(SiteScan* site);

    Project& m_project;
    SettingsStore& m_settings;
    ScanStatistics& m_statistics;
    AppFolder m_app;
    NetworkContext& m_network;
    HostGate* m_hosts = nullptr;
    RobotsCache* m_robots = nullptr; // the robots.txt of the hosts where links were found
    SiteHandOn* m_handOn = nullptr; // hands the front's findings on to the project
    int m_scanTypeItem = AllMainSites;
    quint64 m_generation = 0;
    int m_watchdogMs = 1000;
    QList<Planned> m_plan;      // the Linking Sites not started yet, in project order
    QList<SiteScan*> m_sites;   // started and not yet released, in project order
    QStringList m_shownInProgress;
    bool m_skipMain = false;    // the front ends by Skip with skip type 1
    bool m_endedComplete = false;
    bool m_inAdvance = false;
    bool m_advancePending = false;
};

} // namespace corvane
