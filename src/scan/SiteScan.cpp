#include "scan/SiteScan.h"

#include "analysis/LinkNotes.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "net/BotChallenge.h"
#include "net/HostGate.h"
#include "net/PageFetcher.h"
#include "net/RobotsCache.h"
#include "scan/ResultRecorder.h"
#include "scan/ScanLimits.h"
#include "web/UrlTools.h"

#include <algorithm>
#include <limits>

namespace corvane {

namespace {

const QString kSkipped = QStringLiteral("Skipped");
const QString kTimeout = QStringLiteral("Timeout");
const QString kPageLimitReached = QStringLiteral("Page limit reached");

} // namespace

SiteScan::SiteScan(Project& project, SettingsStore& settings, AppFolder app,
                   NetworkContext& network, HostGate& hosts, RobotsCache& robots, int mainSite,
                   int row, int order, QObject* parent)
    : QObject(parent),
      m_project(project),
      m_settings(settings),
      m_hosts(hosts),
      m_robots(robots),
      m_mainSite(mainSite),
      m_row(row),
      m_order(order),
      m_domainKey(domainKeyOf(project, mainSite, row)),
      m_fetcher(new PageFetcher(m_desk, m_tally, network, this)),
      m_analyzer(new PageAnalyzer(m_desk, settings, m_tally, app, network, this))
{
    connect(m_fetcher, &PageFetcher::statusChanged, this, &SiteScan::statusChanged);
    connect(m_fetcher, &PageFetcher::progressChanged, this, &SiteScan::progressChanged);
    connect(m_fetcher, &PageFetcher::idleTicked, this, &SiteScan::onIdleTicked);
    connect(m_fetcher, &PageFetcher::deadlinePassed, this, &SiteScan::timeOut);
    connect(m_fetcher, &PageFetcher::connectionFailed, this, &SiteScan::onConnectionFailed);
    connect(m_fetcher, &PageFetcher::pageRefused, this, &SiteScan::onPageRefused);
    connect(m_fetcher, &PageFetcher::pageFetched, this, &SiteScan::onPageFetched);
    connect(m_fetcher, &PageFetcher::pageBlocked, this, &SiteScan::onPageBlocked);
    connect(m_fetcher, &PageFetcher::pageFailed, this, &SiteScan::onPageRefused);
    connect(m_analyzer, &PageAnalyzer::statusChanged, this, &SiteScan::statusChanged);
    connect(m_analyzer, &PageAnalyzer::cueRequested, this, &SiteScan::cueRequested);
    connect(m_analyzer, &PageAnalyzer::analysisFinished, this, &SiteScan::onAnalysisFinished);
    connect(this, &SiteScan::statusChanged, this, [this](int panel, const QString& text) {
        if (panel >= 1 && panel <= 4)
            m_panels[panel] = text;
    });
    // Queued: a host given up in the middle of another Linking Site's step is taken up after it.
    connect(&m_hosts, &HostGate::released, this, &SiteScan::onHostReleased, Qt::QueuedConnection);
    connect(&m_robots, &RobotsCache::ready, this, &SiteScan::onRobotsReady);
}

SiteScan::~SiteScan()
{
    disconnect(m_fetcher, nullptr, this, nullptr);
    disconnect(m_analyzer, nullptr, this, nullptr);
    abort();
}

QString SiteScan::domainKeyOf(const Project& project, int mainSite, int row)
{
    const LinkingSiteList* list = project.linkingSites(mainSite);
    const QString url = list ? list->url(row - 1) : QString();
    return UrlTools::LinkingSiteDomain(url.trimmed()).toLower();
}

void SiteScan::followRules()
{
    m_desk.rules().replaceAll(m_project.rules().records());
}

void SiteScan::start(qint32 pageLimit, int watchdogMs)
{
    if (m_started)
        return;
    m_started = true;
    const LinkingSiteList* list = m_project.linkingSites(m_mainSite);
    if (!list || m_row < 1 || m_row > list->count()) {
        finish();
        return;
    }
    m_desk.mainSites().appendUrl(m_project.mainSiteUrl(m_mainSite));
    m_desk.linkingSites(m_desk.addList())->replaceAll(list->records());
    m_handedOn.colour = list->record(m_row - 1).colour;
    m_handedOn.url = list->url(m_row - 1);
    // The rules stay those of the project: an edit in a rule editor counts from the next link.
    followRules();
    const RuleList* rules = &m_project.rules();
    connect(rules, &QAbstractItemModel::dataChanged, this, &SiteScan::followRules);
    connect(rules, &QAbstractItemModel::rowsInserted, this, &SiteScan::followRules);
    connect(rules, &QAbstractItemModel::rowsRemoved, this, &SiteScan::followRules);
    connect(rules, &QAbstractItemModel::modelReset, this, &SiteScan::followRules);
    connect(rules, &QAbstractItemModel::layoutChanged, this, &SiteScan::followRules);

    const ScanState& shared = m_project.state();
    ScanState& st = m_desk.state();
    st.iCurrentMain = 1;
    st.iCurrentSite = m_row;
    st.iScanType = shared.iScanType;
    st.aFileTypes = shared.aFileTypes;
    st.strMainSite = UrlTools::NormalizeMainSite(m_project.mainSiteUrl(m_mainSite));
    // Blanks around a URL are no part of it; the list keeps the text as it was typed.
    st.strLinkingSite = list->url(m_row - 1).trimmed();
    st.iLinksExpected
        = ScanLimits::expectedLinks(list->cell(m_row - 1, LinkingSiteList::Expected));
    st.lPageLimit = pageLimit;
    st.timeout = ScanLimits::readTimeout(m_settings);
    m_fetcher->setWatchdogInterval(watchdogMs);
    m_fetcher->setSiteHost(PageFetcher::splitUrl(st.strLinkingSite).connectHost);
    m_analyzer->resetForScan();
    m_desk.pageQueue().enqueue(st.strLinkingSite);
    st.bScanRunning = true;
    nextPage();
}

void SiteScan::nextPage()
{
    // A page passed over is followed by the next one in this loop rather than by recursion, so a
    // queue full of pages that cannot be fetched cannot exhaust the stack.
    const quint64 generation = m_generation;
    do {
        m_pagePassedOver = false;
        takePage();
    } while (m_pagePassedOver && isActive() && generation == m_generation);
    m_pagePassedOver = false;
}

void SiteScan::takePage()
{
    if (!isActive())
        return;
    ScanState& st = m_desk.state();
    const qint32 limit = ScanLimits::pageLimitFor(m_settings.readInt(SettingKey::cmbAdvance));
    if (limit >= 0)
        st.lPageLimit = limit;

    ++st.lPagesTaken;
    const bool limitReached = m_settings.isOn(SettingKey::chkAuto)
        && st.lPagesTaken > st.lPageLimit;
    if (limitReached || m_desk.pageQueue().isEmpty()) {
        // Pages were left unread: whatever an earlier page said, the limit is why nothing was
        // found.
        if (limitReached && (!m_desk.pageQueue().isEmpty() || st.bPagesLeftOut) && !st.bLinkFound)
            st.strProblem = kPageLimitReached;
        st.lPagesTaken = 0;
        finish();
        return;
    }
    if (m_settings.isOn(SettingKey::chkAuto2) && st.iLinksFound >= st.iLinksExpected) {
        st.lPagesTaken = 0;
        finish();
        return;
    }
    fetchNext();
}

void SiteScan::fetchNext()
{
    ScanState& st = m_desk.state();
    const quint64 generation = m_generation;
    const QString host = PageFetcher::splitUrl(m_desk.pageQueue().page(0)).strHost;
    m_waitingForHost = !m_hosts.take(host, this);
    if (m_waitingForHost)
        return;

    Q_EMIT statusChanged(1,
                         QStringLiteral("Main Site ") + QString::number(m_mainSite)
                             + QStringLiteral(" of ") + QString::number(m_project.mainSiteCount()));
    if (!isActive() || generation != m_generation)
        return;
    Q_EMIT statusChanged(2,
                         QStringLiteral("Page ") + QString::number(st.lPagesTaken)
                             + QStringLiteral(" of ") + QString::number(st.lPagesKnown + 1));
    st.strURL = m_desk.pageQueue().takeFirst();
    Q_EMIT statusChanged(3, QStringLiteral("Searching ") + st.strLinkingSite);
    Q_EMIT pageStarted(st.strURL);
    if (!isActive() || generation != m_generation)
        return;

    m_fetcher->setHostInterval(m_settings.readInt(SettingKey::HostInterval));
    switch (m_fetcher->FetchPage(0)) {
    case PageFetcher::Start::Started:
    case PageFetcher::Start::Abandoned:
        break;
    case PageFetcher::Start::Failed:
        // A page of the site that cannot be fetched (a link with a port or a user name in it) is
        // an error row, and the next page follows. Only the Linking Site's own URL, its first
        // page, ends the site; nothing was armed that could end it later, so it ends now.
        if (st.lPagesTaken > 1) {
            // Set before the row is added: should a handler of the row move the scan on, the page
            // step that follows clears it.
            m_pagePassedOver = true;
            m_desk.errors().appendEntry({m_fetcher->lastProblem(), st.strURL});
            break;
        }
        failPage(m_fetcher->lastProblem());
        break;
    }
}

void SiteScan::onHostReleased()
{
    if (!m_waitingForHost || !isActive())
        return;
    m_pagePassedOver = false;
    fetchNext();
    if (m_pagePassedOver)
        nextPage();
}

void SiteScan::failPage(const QString& reason)
{
    if (!isActive())
        return;
    m_desk.state().strProblem = reason;
    finish();
}

void SiteScan::skip()
{
    if (!isActive())
        return;
    m_desk.state().strProblem = kSkipped;
    finish();
}

void SiteScan::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_waitingForHost = false;
    ++m_generation;
    ScanState& st = m_desk.state();
    st.timeout = ScanLimits::readTimeout(m_settings);
    if (st.strProblem.isEmpty() || st.strProblem == QStringLiteral(" "))
        st.strProblem.clear();
    else
        st.strProblem = QStringLiteral(" (") + st.strProblem + QStringLiteral(")");
    m_fetcher->closeAll();
    m_afterRobots.reset();
    // Links whose robots.txt is still unknown (the site was skipped meanwhile) go on without
    // the note rather than wait.
    settleLinks(false);
    m_hosts.release(this);
    if (m_desk.linkingSites(1))
        ResultRecorder(m_desk, m_settings, m_tally).recordOutcome(st.strCurUrl);
    m_settled = m_desk.results().count();
    st.bScanRunning = false;
    m_analyzer->abort();
    // A Linking Site done before its turn may wait long: only what is still to be handed on
    // stays (its rows, errors, counts and its own row).
    if (LinkingSiteList* own = m_desk.linkingSites(1); own && m_row <= own->count()) {
        m_finalRow = own->record(m_row - 1);
        own->clear();
    }
    m_desk.pageQueue().clear();
    Q_EMIT finished();
}

Record SiteScan::ownRow() const
{
    if (m_finalRow)
        return *m_finalRow;
    const LinkingSiteList* own = m_desk.linkingSites(1);
    return own && m_row >= 1 && m_row <= own->count() ? own->record(m_row - 1) : Record{};
}

void SiteScan::abort()
{
    m_finished = true;
    m_afterRobots.reset();
    m_waitingForHost = false;
    ++m_generation;
    m_desk.state().bScanRunning = false;
    m_fetcher->closeAll();
    m_analyzer->abort();
    m_hosts.release(this);
}

void SiteScan::onPageFetched(const FetchedPage& page, const QString& body)
{
    if (!isActive())
        return;
    m_pageHost = page.strHost;
    m_pagePath = page.strPath;
    m_analyzer->AnalyzePage(body, page, m_generation);
}

void SiteScan::onPageBlocked(int, const QString& url)
{
    if (!isActive())
        return;
    // The wall stands before every page of the site: the crawl ends here, and the site is not
    // said to be missing its link.
    m_desk.errors().appendEntry({BotChallenge::kBlocked, url});
    failPage(BotChallenge::kBlocked);
}

void SiteScan::onAnalysisFinished(int, quint64 generation, PageAnalyzer::Continuation next)
{
    if (!isActive() || generation != m_generation)
        return;
    if (!settleLinks(true)) {
        m_afterRobots = next;
        return;
    }
    if (isActive() && generation == m_generation)
        proceed(next);
}

void SiteScan::proceed(PageAnalyzer::Continuation next)
{
    if (next == PageAnalyzer::Continuation::AdvanceSite)
        finish();
    else
        nextPage();
}

bool SiteScan::settleLinks(bool askForRules)
{
    ResultList& results = m_desk.results();
    const int count = results.count();
    if (m_settled >= count)
        return true;
    const RobotsRules* rules = m_robots.rules(m_pageHost);
    if (!rules && askForRules) {
        m_robots.request(m_pageHost, m_fetcher->isTlsHost(m_pageHost), m_desk.state().timeout);
        return false;
    }
    if (rules && !rules->allows(m_pagePath)) {
        for (int row = m_settled; row < count; ++row)
            results.setCell(row, ResultList::Notes,
                            LinkNotes::addPart(results.cell(row, ResultList::Notes), kRobotsNote));
    }
    m_settled = count;
    Q_EMIT resultsSettled();
    return true;
}

void SiteScan::onRobotsReady(const QString& host)
{
    if (!m_afterRobots || !isActive() || host.compare(m_pageHost, Qt::CaseInsensitive) != 0)
        return;
    const PageAnalyzer::Continuation next = *m_afterRobots;
    m_afterRobots.reset();
    const quint64 generation = m_generation;
    settleLinks(false);
    if (isActive() && generation == m_generation)
        proceed(next);
}

void SiteScan::onConnectionFailed(int slot, const QString& reason, const QString& detail)
{
    pageNotRead(slot, detail.isEmpty() ? reason : reason + QStringLiteral(": ") + detail, reason);
}

void SiteScan::onPageRefused(int slot, const QString& reason)
{
    pageNotRead(slot, reason, reason);
}

void SiteScan::pageNotRead(int slot, const QString& error, const QString& reason)
{
    if (!isActive())
        return;
    const FetchSlot& f = m_fetcher->slot(slot);
    m_desk.errors().appendEntry({error, f.strHost + f.strPath});
    // Only the Linking Site's own page ends it: a dead or broken link on one of its pages says
    // nothing of the page that may hold the link, so the crawl goes on with the next one.
    if (m_desk.state().lPagesTaken <= 1) {
        failPage(reason);
        return;
    }
    nextPage();
}

void SiteScan::onIdleTicked(int slot, int idleSeconds)
{
    if (!isActive()) {
        m_fetcher->Close(slot);
        return;
    }
    const quint64 generation = m_generation;
    const qint16 timeout = m_desk.state().timeout;
    Q_EMIT statusChanged(4,
                         QString::number(idleSeconds) + QStringLiteral(" of ")
                             + QString::number(timeout) + QStringLiteral(" seconds"));
    if (!isActive() || generation != m_generation)
        return;
    if (idleSeconds >= timeout)
        timeOut(slot);
}

void SiteScan::timeOut(int slot)
{
    if (!isActive())
        return;
    m_desk.errors().appendEntry({kTimeout, m_fetcher->slot(slot).strHost});
    m_desk.state().strProblem = kTimeout;
    finish();
}

} // namespace corvane
