#pragma once

#include "model/AppFolder.h"
#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "scan/PageAnalyzer.h"

#include <QObject>
#include <QString>

#include <optional>

namespace corvane {

class HostGate;
class NetworkContext;
class PageFetcher;
class RobotsCache;
class SettingsStore;
struct FetchedPage;

// One Linking Site being scanned: its page queue, known pages, counters, analysis and
// connection. It works on a desk of its own, a private Project holding a copy of its Main Site,
// that Main Site's Linking Site list and the rules, so the fetcher, the analysis and the result
// recorder run on it exactly as they would on the project itself. Its rows, errors, row colour,
// URL update and counts stay on the desk; the scan's SiteHandOn hands them on to the project in
// project order (at once while this is the earliest Linking Site in progress).
//
// The links of a page are held on the desk until the page's robots.txt is known, so that they go
// on with their note "page blocked by robots.txt" when it keeps the page from search engines. The
// file is read (once per host and scan, RobotsCache) after the analysis of the first page of a
// host where links were found, before the next page is asked for: the host is still this site's,
// so it never has two connections at once.
class SiteScan final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SiteScan)

public:
    // mainSite and row: 1-based positions in project. The Linking Site's row on the desk has the
    // same number; its Main Site is the desk's Main Site 1. order: its place among the Linking
    // Sites of the scan.
    SiteScan(Project& project, SettingsStore& settings, AppFolder app, NetworkContext& network,
             HostGate& hosts, RobotsCache& robots, int mainSite, int row, int order,
             QObject* parent = nullptr);
    ~SiteScan() override;

    int mainSite() const { return m_mainSite; }
    int row() const { return m_row; }
    int order() const { return m_order; }
    // The domain of the Linking Site at row of mainSite as the crawl compares it, lower case:
    // two Linking Sites with the same one crawl each other's pages.
    static QString domainKeyOf(const Project& project, int mainSite, int row);
    const QString& domainKey() const { return m_domainKey; }

    // Copies what the Linking Site needs onto the desk and asks for its first page.
    // pageLimit: the page limit in force so far (kept when "cmbAdvance" is out of range).
    void start(qint32 pageLimit, int watchdogMs);
    // Ends the Linking Site now as skipped.
    void skip();
    // Ends it without an outcome; nothing of it acts afterwards.
    void abort();
    bool isStarted() const { return m_started; }
    bool isFinished() const { return m_finished; }
    // Waits for its next page's host, in use by another Linking Site.
    bool isWaitingForHost() const { return m_waitingForHost; }

    // What of the desk has been handed on to the project so far.
    struct HandedOn {
        int results = 0;
        int errors = 0;
        qint32 pagesScanned = 0;
        qint32 pagesFound = 0;
        qint32 linksFound = 0;
        SiteColour colour = SiteColour::Black;
        QString url;
    };
    HandedOn& handedOn() { return m_handedOn; }
    // Its own row of the Linking Site list as the scan left it (colour, URL update).
    Record ownRow() const;
    // The last text it gave status-bar panel 1 to 4, shown again when its turn comes.
    QString panelText(int panel) const
    {
        return panel >= 1 && panel <= 4 ? m_panels[panel] : QString();
    }

    // The desk's result rows that are complete and may be handed on: those before this index.
    int settledResults() const { return m_settled; }
    // The note of a link found on a page its host's robots.txt keeps from search engines.
    static inline const QString kRobotsNote = QStringLiteral("page blocked by robots.txt");

    Project& desk() { return m_desk; }
    const Project& desk() const { return m_desk; }
    ScanStatistics& tally() { return m_tally; }
    PageFetcher& fetcher() { return *m_fetcher; }
    PageAnalyzer& analyzer() { return *m_analyzer; }

Q_SIGNALS:
    void statusChanged(int panel, const QString& text);
    void progressChanged(int value);
    void cueRequested(const QString& wavFile);
    void pageStarted(const QString& url);
    // The outcome is recorded on the desk; nothing of this Linking Site runs any more.
    void finished();
    // More of the desk's result rows are complete (settledResults).
    void resultsSettled();

private:
    bool isActive() const { return m_started && !m_finished && m_desk.state().bScanRunning; }
    // Takes pages until one is requested or the Linking Site ends.
    void nextPage();
    // One page step: takes the next page and starts its request, or ends the site.
    void takePage();
    void fetchNext();
    void finish();
    void failPage(const QString& reason);
    void onPageFetched(const corvane::FetchedPage& page, const QString& body);
    void onPageBlocked(int slot, const QString& url);
    void onAnalysisFinished(int slot, quint64 generation, PageAnalyzer::Continuation next);
    // A page refused as on a private address, or whose answer was broken.
    void onPageRefused(int slot, const QString& reason);
    // Goes on as the analysis asked, once the page's links are settled.
    void proceed(PageAnalyzer::Continuation next);
    // The rows since the last settled one are the links of the page just analysed: they get the
    // robots note when its host's rules are known. Returns false when the rules must be read
    // first (they are asked for unless askForRules is false; then the rows go on without it).
    bool settleLinks(bool askForRules);
    void onRobotsReady(const QString& host);
    void onIdleTicked(int slot, int idleSeconds);
    // The page of the slot is given up as silent (or as trickling past its deadline): an error
    // row "Timeout" and the site ends.
    void timeOut(int slot);
    void onConnectionFailed(int slot, const QString& reason, const QString& detail);
    // The slot's page could not be read: an error row (error), and the Linking Site ends with
    // reason when it was its own page; any other page is passed over.
    void pageNotRead(int slot, const QString& error, const QString& reason);
    void onHostReleased();
    void followRules();

    Project& m_project;
    SettingsStore& m_settings;
    HostGate& m_hosts;
    RobotsCache& m_robots;
    const int m_mainSite;
    const int m_row;
    const int m_order;
    const QString m_domainKey;
    Project m_desk;
    ScanStatistics m_tally;
    PageFetcher* m_fetcher = nullptr;
    PageAnalyzer* m_analyzer = nullptr;
    // Changes when the Linking Site ends: a hand-back of its analysis after that is ignored.
    quint64 m_generation = 1;
    bool m_started = false;
    bool m_finished = false;
    bool m_waitingForHost = false;
    // The page just taken could not be fetched and was passed over: nextPage takes the next one.
    bool m_pagePassedOver = false;
    HandedOn m_handedOn;
    QString m_panels[5];
    // Kept when the Linking Site ends, so the desk's copy of the list can go while it waits.
    std::optional<Record> m_finalRow;
    // The page fetched last: where the links of its analysis were found.
    QString m_pageHost;
    QString m_pagePath;
    int m_settled = 0;
    // What the analysis asked for, while the page's robots.txt is being read.
    std::optional<PageAnalyzer::Continuation> m_afterRobots;
};

} // namespace corvane
