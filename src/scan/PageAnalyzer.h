#pragma once

#include "analysis/KnownPages.h"
#include "analysis/LinkClassifier.h"
#include "model/AppFolder.h"
#include "net/PageFetcher.h"
#include "scan/PageCopies.h"
#include "scan/ResultRecorder.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QStringMatcher>

#include <optional>

namespace corvane {

class LinkNotes;
class NetworkContext;
class PageText;
class Project;
class RedirectFollower;
class ScanStatistics;
class SettingsStore;

// Page analysis: receives the body of every page the fetcher finishes for the current Linking
// Site, works out what it says about the current Main Site (result rows, queued pages, the site's
// warnings in the shared scan state), and hands control back to the scan controller.
//
// Each page: the warnings, the two page copies, then every "href=" value in order, each
// classified, queued when it is a new page of the Linking Site, and recorded when it links to the
// Main Site, until the expected links are found; then the hand-back.
//
// The hand-back is one analysisFinished signal per AnalyzePage call, carrying the slot and the scan
// generation the page was given with; the controller ignores it when that scan is no longer the
// running one. A redirect page is followed with a download; the analysis of the downloaded text
// continues from the download's end and hands back from there. Stop (abort) and the end of the
// Linking Site (endSite) drop such waiting work.
class PageAnalyzer final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageAnalyzer)

public:
    enum class Continuation {
        NextPage,    // fetch the next queued page of this Linking Site
        AdvanceSite, // finish this Linking Site now
    };
    Q_ENUM(Continuation)

    // How the error list begins the row of a page copy that could not be written.
    static constexpr QLatin1String kCopyNotWritten{"Page copy not written: "};

    // The queue's bound when no page limit applies ("chkAuto" off): the largest page limit the
    // options offer.
    static constexpr qsizetype kUnlimitedQueueBound = 500000;

    PageAnalyzer(Project& project, SettingsStore& settings, ScanStatistics& statistics,
                 AppFolder app, NetworkContext& network, QObject* parent = nullptr);
    ~PageAnalyzer() override;

    // The entry point. The page's connection is already closed and its watchdog disarmed; page
    // tells where the page came from (strHost, strCurUrl, strCurDir). Ends with exactly one
    // analysisFinished for this generation unless the scan stops (or the Linking Site is ended)
    // first.
    void AnalyzePage(QString body, const corvane::FetchedPage& page, quint64 generation);

    // Whether the page is already known for the current Linking Site: one of the current Main
    // Site's Linking Sites (without "www.", letter case ignored), or a page queued for this Linking
    // Site (letter case ignored). Cleans url in place first; the caller goes on with that form.
    bool IsKnownPage(QString& url);

    // The scan controller's reset points for the analysis' own state. The shared scan state
    // (lPagesKnown, bLinkFound, the page queue, ...) is reset by the controller itself.
    void resetForScan(); // Start Scan, before its first Linking Site (which skips BeginSite)
    void beginSite();    // BeginSite: every later Linking Site starts its pages
    void endSite();      // AdvanceSite: the outcome is recorded, the next Linking Site follows
    // Stop: nothing still waiting may finish.
    void abort();

Q_SIGNALS:
    void analysisFinished(int slot, quint64 generation, corvane::PageAnalyzer::Continuation next);
    // Texts of status-bar panels 2 and 3.
    void statusChanged(int panel, const QString& text);
    // A sound file to play without waiting.
    void cueRequested(const QString& wavFile);

private:
    bool stillCurrent(quint64 epoch) const;
    void extractLinks(const PageText& text, const FetchedPage& page, quint64 generation,
                      quint64 epoch);
    // The link of one line that starts with "href=" (rest: what follows it). Returns false when
    // the analysis must end silently (the scan stopped or moved on while a signal was handled).
    // hrefAt: where the "href=" stands in the page, for the notes of a recorded link.
    // base: the page as its relative links are resolved against (its <base href>, if any).
    bool examineLink(const PageText& text, QStringView rest, qsizetype hrefAt, LinkNotes& notes,
                     const FetchedPage& page, const FetchedPage& base, bool followAll,
                     quint64 epoch);
    // The page with the host and directory its relative links resolve against: those of its
    // first <base href> outside comments (itself resolved against the page), else its own.
    static FetchedPage baseOf(const PageText& text, const FetchedPage& page);
    // Hands the pages found since the last call to the page queue and the statistics. Returns
    // false when the analysis must end silently.
    bool flushNewPages(quint64 epoch);
    bool recordLink(const QString& status, const QString& notes, const FetchedPage& page,
                    quint64 epoch);
    void followRedirect(const PageText& text, qsizetype hrefLine, const FetchedPage& from,
                        quint64 generation, quint64 epoch);
    void onRedirectFollowed(const QString& text, const corvane::FetchedPage& from,
                            quint64 generation, quint64 epoch);
    QString currentLinkingSiteUrl() const;
    // The Main Site and the current Linking Site as the link tests look for them.
    struct SiteFinders {
        QString mainSite;
        QStringMatcher mainSiteFinder;
        // The Main Site's host in its other form (punycode or Unicode), when it has one.
        std::optional<QStringMatcher> otherFormFinder;
        QString mainSiteDomain;
        QString linkingSite;
        QString linkingSiteDomain;
    };
    const SiteFinders& siteFinders();
    // Whether url names the Main Site (in either form of an international host).
    static bool namesMainSite(const QString& url, const SiteFinders& sites);
    // Queues url (cleaned in place) when it is a page of the Linking Site not known yet, within
    // the queue's bound.
    void queueIfNew(QString& url, const SiteFinders& sites);
    // A plain redirect answer (301, 302, 303, 307, 308 with a Location, no "moved" page to
    // follow) to a page of the Linking Site: the target is queued like a link of the page.
    void queueRedirectTarget(const FetchedPage& page, bool followAll);
    void dropWaitingWork();

    Project& m_project;
    SettingsStore& m_settings;
    ScanStatistics& m_statistics;
    AppFolder m_app;
    LinkClassifier m_classifier;
    KnownPages m_known;
    PageCopies m_copies;
    ResultRecorder m_recorder;
    RedirectFollower* m_redirects = nullptr;
    // Changes whenever work under way must not go on: Start, Stop, the end of a Linking Site.
    quint64 m_epoch = 0;
    // Pages found on the page being analysed, not yet handed to the page queue: they are handed
    // over in one go before anything else can look at the queue.
    QStringList m_newPages;
    // How many pages the queue may hold while this page is analysed (see extractLinks).
    qsizetype m_queueBound = 0;
    bool m_copyFailureReported = false; // this scan's error list names a page copy that failed
    SiteFinders m_sites;
};

} // namespace corvane
