#pragma once

#include "model/AppFolder.h"
#include "scan/PageFetcher.h"
#include "scan/PageKeySet.h"
#include "scan/RuleEngine.h"

#include <QByteArrayView>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace corvane {

class DownloadText;
class LinkingSiteList;
class NetworkContext;
class PageCopyWriter;
class Project;
class ScanStatistics;
class SettingsStore;
struct DownloadResult;

// Page analysis: receives the body of every page the fetcher finishes for the current Linking
// Site, works out what it says about the current Main Site (result rows, queued pages, the site's
// warnings in the shared scan state), and hands control back to the scan controller.
//
// There is no HTML parser: every "href=" is made to start a line of its own, and each line is
// examined with substring tests. Both page copies (html<n>.txt and html2<n>.txt in the application
// folder) are written for every page, but the lines are taken from the text in memory.
//
// The hand-back is one analysisFinished signal per AnalyzePage call, carrying the slot and the scan
// generation the page was given with; the controller ignores it when that scan is no longer the
// running one. A redirect page is followed with a DownloadText; the analysis of the downloaded
// text continues from the download's finished signal and hands back from there. Stop (abort) and
// the end of the Linking Site (siteAdvanced) drop such waiting work.
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
    void scanStarted();  // Start Scan, before its first Linking Site (which skips BeginSite)
    void siteBegun();    // BeginSite: every later Linking Site starts its pages
    void siteAdvanced(); // AdvanceSite: the outcome is recorded, the next Linking Site follows
    // Stop: nothing still waiting may finish.
    void abort();
    // The page copies are written on a thread of their own; this returns once the copies of
    // every page analysed so far are written.
    void waitForPageCopies();

    // Links recorded on the current Linking Site, and the serial behind the "No." column.
    qint32 lSiteLinks = 0;
    qint32 lLinkSerial = 0;
    // The text being analysed was downloaded after a redirect page: redirect markers are then
    // ordinary text, so at most one redirect is followed per fetched page.
    bool bEmulate = false;
    // Every page queued for the current Linking Site, in the order queued (the page counted as
    // lPagesKnown = i + 1 is at i). Not bounded: a site may have any number of pages.
    QStringList aQueuedPages;

    // The steps of the analysis that work on text alone.

    // Every "href=" (any letter case, up to 36 blanks after it dropped) becomes CR LF + "href=".
    static QString rewriteHrefs(QStringView text);
    // The link value cut out of a line that holds "href=": up to the first quote or ">" that is
    // not the line's last character, else the line less its last two characters; without
    // "href=", trimmed, and cut at a blank. No value (nullopt) when the cut-out with its "href="
    // is shorter than six characters.
    static std::optional<QString> linkValue(QStringView line);
    // The target named by a redirect page's line that holds "href=".
    static QString redirectTarget(QStringView line);
    // What IsKnownPage makes of a URL before comparing it: scheme remnants removed, blanks trimmed.
    static QString cleanPageUrl(QString url);
    // The "No." column: left-padded with "0" to at least three digits.
    static QString serialText(qint64 serial);

Q_SIGNALS:
    void analysisFinished(int slot, quint64 generation, corvane::PageAnalyzer::Continuation next);
    // Texts of status-bar panels 2 and 3.
    void statusChanged(int panel, const QString& text);
    // A sound file to play without waiting.
    void cueRequested(const QString& wavFile);

private:
    struct PageText;
    struct Pending {
        FetchedPage page;
        quint64 generation = 0;
        quint64 epoch = 0;
    };

    // A page's key for the known-page checks: the cleaned URL in lower case, and its hash.
    struct PageKey {
        QString text;
        std::size_t hash = 0;
    };

    bool stillCurrent(quint64 epoch) const;
    struct CopySource;
    void writePageFiles(const PageText& text, const std::shared_ptr<CopySource>& source, int slot);
    void closePageCopies();
    void extractLinks(const PageText& text, const FetchedPage& page, quint64 generation,
                      quint64 epoch);
    // The link of one line that starts with "href=" (rest: what follows it). Returns false when
    // the analysis must end silently (the scan stopped or moved on while a signal was handled).
    struct LinkContext;
    bool examineLink(const PageText& text, QStringView rest, const FetchedPage& page,
                     const LinkContext& context, quint64 epoch);
    // The rest of examineLink for a page URL resolved as bytes (m_url): no crawl rules, no
    // scheme in it.
    bool examineAsciiUrl(const FetchedPage& page, quint64 epoch);
    // Whether the value holds one of the file types (folded: its folded bytes).
    struct ValueMarks;
    bool hasFileType(QStringView value, QByteArrayView folded, const ValueMarks* marks) const;
    // IsKnownPage, also giving the key the page is queued under.
    bool isKnownPage(QString& url, PageKey& key);
    // Hands the pages found since the last call to the page queue and the statistics. Returns
    // false when the analysis must end silently.
    bool flushNewPages(quint64 epoch);
    bool recordLink(const QString& status, const FetchedPage& page, quint64 epoch);
    void followRedirect(const PageText& text, qsizetype hrefLine, const FetchedPage& page,
                        quint64 generation, quint64 epoch);
    void onDownloadFinished(const corvane::DownloadResult& result);
    bool passesRules(const QString& url) const;
    bool isDomainLink(const QString& url);
    const QString& mainSiteDomain();
    QString currentLinkingSiteUrl() const;
    const QString& linkingSiteDomain();
    void ensureSiteKeys();
    void forgetSiteKeys();
    void dropWaitingWork();
    void foldFileTypes();

    Project& m_project;
    SettingsStore& m_settings;
    ScanStatistics& m_statistics;
    AppFolder m_app;
    RuleEngine m_rules;
    DownloadText* m_download = nullptr;
    std::optional<Pending> m_pending;
    // Writes html<n>.txt and html2<n>.txt of each slot, on a thread of its own.
    std::unique_ptr<PageCopyWriter> m_copyWriter;
    // The two copies' paths of each slot.
    std::array<std::pair<QString, QString>, PageFetcher::kSlotCount> m_copyPaths;
    // Changes whenever work under way must not go on: Start, Stop, the end of a Linking Site.
    quint64 m_epoch = 0;

    // Pages found on the page being analysed, not yet handed to the page queue: they are handed
    // over in one go before anything else can look at the queue.
    QStringList m_newPages;
    // Queued pages of this Linking Site, lower-cased.
    PageKeySet m_queuedKeys;
    // The current Main Site's Linking Site URLs without "www.", lower-cased; rebuilt when that
    // list changes.
    PageKeySet m_siteKeys;
    QPointer<LinkingSiteList> m_siteKeysList;
    QList<QMetaObject::Connection> m_siteKeysConnections;
    bool m_siteKeysDirty = true;

    QStringList m_fileTypesSource;
    QStringList m_fileTypesFolded;
    // The same as folded bytes, split by whether they start with "."; usable when every type
    // has such a form (m_fileTypesAsBytes).
    QList<QByteArray> m_dotFileTypes;
    QList<QByteArray> m_otherFileTypes;
    bool m_fileTypesAsBytes = true;

    // A text's lower-case bytes, when it is all ASCII without a NUL; worked out again only when
    // the text changes.
    struct AsciiLower {
        QString source;
        QByteArray lower;
        bool ascii = false;
        bool valid = false;
        const AsciiLower& of(const QString& text);
    };
    AsciiLower m_mainSiteBytes;
    AsciiLower m_linkingSiteDomainBytes;
    // Whether the above, the site keys and the two domains are up to date for the byte path.
    bool m_linkStateValid = false;
    // Scratch of the byte path: the value, the resolved URL, in lower case, and the keys looked
    // up.
    std::string m_value;
    std::string m_url;
    std::string m_urlLower;
    std::u16string m_keyText;
    std::u16string m_siteKeyText;
    // The Main Site's domain for the Domain Link test, and the Main Site it came from.
    QString m_domainMainSite;
    QString m_mainSiteDomain;
    // The current Linking Site's domain for the inside-the-site test, and the URL it came from.
    QString m_domainSource;
    QString m_linkingSiteDomain;
};

} // namespace corvane
