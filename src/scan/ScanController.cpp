#include "scan/ScanController.h"

#include "model/Project.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "scan/PageFetcher.h"
#include "scan/ResultRecorder.h"
#include "scan/ScanStatistics.h"
#include "scan/UrlTools.h"

#include <QFile>

#include <algorithm>
#include <limits>

namespace corvane {

namespace {

const QString kSkipped = QStringLiteral("Skipped");
const QString kTimeout = QStringLiteral("Timeout");
const QString kPageLimitReached = QStringLiteral("Page limit reached");

constexpr qint32 kPageLimits[]
    = {1, 10, 50, 100, 500, 1000, 5000, 10000, 20000, 50000, 100000, 200000, 500000};

qint16 readTimeout(const SettingsStore& settings)
{
    return qint16(std::clamp(settings.readInt(SettingKey::txtTimeout),
                             int(std::numeric_limits<qint16>::min()),
                             int(std::numeric_limits<qint16>::max())));
}

} // namespace

ScanController::ScanController(Project& project, SettingsStore& settings,
                               ScanStatistics& statistics, AppFolder app, NetworkContext& network,
                               QObject* parent)
    : QObject(parent),
      m_project(project),
      m_settings(settings),
      m_statistics(statistics),
      m_app(std::move(app)),
      m_fetcher(new PageFetcher(project, statistics, network, this)),
      m_analyzer(new PageAnalyzer(project, settings, statistics, m_app, network, this))
{
    connect(m_fetcher, &PageFetcher::statusChanged, this, &ScanController::statusChanged);
    connect(m_fetcher, &PageFetcher::progressChanged, this, &ScanController::progressChanged);
    connect(m_fetcher, &PageFetcher::idleTicked, this, &ScanController::onIdleTicked);
    connect(m_fetcher, &PageFetcher::deadlinePassed, this, &ScanController::timeOut);
    connect(m_fetcher, &PageFetcher::connectionFailed, this, &ScanController::onConnectionFailed);
    connect(m_fetcher, &PageFetcher::pageFetched, this, &ScanController::onPageFetched);
    connect(m_analyzer, &PageAnalyzer::statusChanged, this, &ScanController::statusChanged);
    connect(m_analyzer, &PageAnalyzer::cueRequested, this, &ScanController::cueRequested);
    connect(m_analyzer, &PageAnalyzer::analysisFinished, this, &ScanController::onAnalysisFinished);
}

ScanController::~ScanController()
{
    // No signal may reach a half-destroyed owner.
    disconnect(m_fetcher, nullptr, this, nullptr);
    disconnect(m_analyzer, nullptr, this, nullptr);
    m_fetcher->closeAll();
    m_analyzer->abort();
}

qint32 ScanController::pageLimitFor(int index)
{
    if (index < 0 || index >= int(std::size(kPageLimits)))
        return -1;
    return kPageLimits[index];
}

qint16 ScanController::expectedLinks(const QString& field)
{
    bool ok = false;
    const int value = field.trimmed().toInt(&ok, 10);
    if (!ok || value < std::numeric_limits<qint16>::min()
        || value > std::numeric_limits<qint16>::max())
        return 1;
    return qint16(value);
}

int ScanController::skipType() const
{
    return m_project.state().iSkipType;
}

bool ScanController::isRunning() const
{
    return m_project.state().bScanRunning;
}

bool ScanController::isCurrent(quint64 generation) const
{
    return isRunning() && generation == m_generation;
}

void ScanController::setScanType(int item)
{
    if (item < AllMainSites || item > SelectedLinkingSite)
        return;
    m_scanTypeItem = item;
    m_settings.WriteSetting(SettingKey::ScanType, QString::number(item));
}

void ScanController::setSkipType(int item)
{
    if (item < SkipLinkingSite || item > SkipMainSite)
        return;
    m_project.state().iSkipType = qint16(item);
    m_settings.WriteSetting(SettingKey::SkipType, QString::number(item));
}

void ScanController::readFileTypes()
{
    // Missing or unreadable, the list is empty: only the file-type-free tests of the analysis
    // then accept a link.
    QString accumulator;
    QFile file(m_app.file(QStringLiteral("filetypes.txt")));
    if (file.open(QIODevice::ReadOnly)) {
        const QStringList lines = Windows1252::decode(file.readAll()).split(u'\n');
        for (QString line : lines) {
            if (line.endsWith(u'\r'))
                line.chop(1);
            if (line.isEmpty() || line == QStringLiteral(" "))
                continue;
            accumulator += line + u'|';
        }
    }
    if (accumulator.size() > 1 && accumulator.endsWith(u'|'))
        accumulator.chop(1);
    m_project.state().aFileTypes = accumulator.isEmpty() ? QStringList() : accumulator.split(u'|');
}

void ScanController::playCue(const QString& setting, const QString& file)
{
    if (m_settings.isOn(setting))
        Q_EMIT cueRequested(m_app.file(file));
}

bool ScanController::StartScan(int selectedMain, int selectedRow)
{
    if (isRunning() || m_inAdvance)
        return false;
    ScanState& st = m_project.state();
    const int mainCount = m_project.mainSiteCount();

    for (int k = 1; k <= mainCount; ++k) {
        if (LinkingSiteList* list = m_project.linkingSites(k))
            list->setColourAll(SiteColour::Black);
    }
    readFileTypes();
    st.iScanType = qint16(m_scanTypeItem >= AllMainSites && m_scanTypeItem <= SelectedLinkingSite
                              ? m_scanTypeItem
                              : AllMainSites);

    st.bLinkFound = false;
    m_analyzer->resetForScan();
    st.lPagesTaken = 0;
    st.lPagesKnown = 0;
    m_statistics.resetRun();
    st.iLinksFound = 0;
    st.iLinksExpected = 0;
    st.strCurUrl.clear();
    st.strCurDir.clear();
    m_project.pageQueue().clear();
    m_project.results().clear();
    m_project.errors().clear();

    int startRow = 1;
    if (st.iScanType == SelectedMainSite || st.iScanType == SelectedLinkingSite) {
        st.iCurrentMain
            = qint16(std::clamp(selectedMain, 0, int(std::numeric_limits<qint16>::max())));
        if (selectedMain < 1 || selectedMain > mainCount) {
            Q_EMIT messageRaised(
                QStringLiteral("You must select a Main Site to scan before using this scan type."),
                Focus::None);
            return false;
        }
        const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
        const int rows = list ? list->count() : 0;
        if (st.iScanType == SelectedMainSite) {
            if (rows == 0) {
                Q_EMIT messageRaised(QStringLiteral("You must enter a Linking Site to scan before "
                                                    "using this scan type."),
                                     Focus::None);
                return false;
            }
        } else {
            if (selectedRow < 1 || selectedRow > rows) {
                Q_EMIT messageRaised(QStringLiteral("You must select a Linking Site to scan "
                                                    "before using this scan type."),
                                     Focus::None);
                return false;
            }
            startRow = selectedRow;
        }
    } else {
        st.iCurrentMain = 1;
    }

    st.strMainSite = UrlTools::NormalizeMainSite(m_project.mainSiteUrl(st.iCurrentMain));
    m_project.state().timeout = readTimeout(m_settings);

    if (st.strMainSite.isEmpty() || st.strMainSite == QStringLiteral(" ")) {
        Q_EMIT messageRaised(QStringLiteral("Please enter the Domain you want to find links to."),
                             Focus::MainSiteEntry);
        return false;
    }
    const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    if (!list || list->isEmpty()) {
        Q_EMIT messageRaised(
            QStringLiteral("Please enter at least one website to search for links."),
            Focus::LinkingSiteEntry);
        return false;
    }

    playCue(SettingKey::chkAudioNext, QStringLiteral("sounds/nextsearch.wav"));
    Q_EMIT scanningChanged(true);
    Q_EMIT mainSiteSelected(st.iCurrentMain);
    st.iCurrentSite = startRow;
    Q_EMIT linkingSiteSelected(st.iCurrentMain, startRow);

    // Blanks around a URL are no part of it; the list keeps the text as it was typed.
    st.strLinkingSite = list->url(startRow - 1).trimmed();
    st.iLinksExpected = expectedLinks(list->cell(startRow - 1, LinkingSiteList::Expected));
    m_project.pageQueue().enqueue(st.strLinkingSite);

    m_project.state().bSkipClicked = false;
    m_fetcher->forgetTlsHosts();
    ++m_generation;
    st.bScanRunning = true;
    st.bProjectSaved = false;
    Q_EMIT scanStarted();
    NextPage(0);
    return true;
}

void ScanController::BeginSite()
{
    if (!isRunning())
        return;
    m_analyzer->beginSite();
    m_project.state().lPagesTaken = 0;
    NextPage(0);
}

void ScanController::NextPage(int slot)
{
    // A page passed over is followed by the next one in this loop rather than by recursion, so a
    // queue full of pages that cannot be fetched cannot exhaust the stack.
    const quint64 generation = m_generation;
    do {
        m_pagePassedOver = false;
        takePage(slot);
    } while (m_pagePassedOver && isCurrent(generation));
    m_pagePassedOver = false;
}

void ScanController::takePage(int slot)
{
    ScanState& st = m_project.state();
    if (!st.bScanRunning)
        return;
    const quint64 generation = m_generation;

    const qint32 limit = pageLimitFor(m_settings.readInt(SettingKey::cmbAdvance));
    if (limit >= 0)
        m_project.state().lPageLimit = limit;

    ++st.lPagesTaken;
    PageQueue& queue = m_project.pageQueue();
    const bool limitReached = m_settings.isOn(SettingKey::chkAuto)
        && st.lPagesTaken > m_project.state().lPageLimit;
    if (limitReached || queue.isEmpty()) {
        // Pages were left unread: whatever an earlier page said, the limit is why nothing was
        // found.
        if (limitReached && (!queue.isEmpty() || st.bPagesLeftOut) && !st.bLinkFound)
            st.strProblem = kPageLimitReached;
        st.lPagesTaken = 0;
        AdvanceSite();
        return;
    }
    if (m_settings.isOn(SettingKey::chkAuto2) && st.iLinksFound >= st.iLinksExpected) {
        st.lPagesTaken = 0;
        AdvanceSite();
        return;
    }

    const int mainCount = m_project.mainSiteCount();
    Q_EMIT statusChanged(1,
                         QStringLiteral("Main Site ") + QString::number(st.iCurrentMain)
                             + QStringLiteral(" of ") + QString::number(mainCount));
    if (!isCurrent(generation))
        return;
    Q_EMIT statusChanged(2,
                         QStringLiteral("Page ") + QString::number(st.lPagesTaken)
                             + QStringLiteral(" of ") + QString::number(st.lPagesKnown + 1));
    st.strURL = queue.takeFirst();
    Q_EMIT statusChanged(3, QStringLiteral("Searching ") + st.strLinkingSite);
    Q_EMIT pageStarted(st.iCurrentMain, mainCount, st.strLinkingSite, st.strURL);
    if (!isCurrent(generation))
        return;

    m_fetcher->setHostInterval(m_settings.readInt(SettingKey::HostInterval));
    switch (m_fetcher->FetchPage(slot)) {
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
            m_project.errors().appendEntry({m_fetcher->lastProblem(), st.strURL});
            break;
        }
        failPage(m_fetcher->lastProblem());
        break;
    }
}

void ScanController::failPage(const QString& reason)
{
    if (!isRunning())
        return;
    m_project.state().strProblem = reason;
    AdvanceSite();
}

void ScanController::AdvanceSite()
{
    if (!isRunning())
        return;
    if (m_inAdvance) {
        m_advancePending = true;
        return;
    }
    const quint64 generation = m_generation;
    m_inAdvance = true;
    do {
        m_advancePending = false;
        advanceOnce();
    } while (m_advancePending && isCurrent(generation));
    m_advancePending = false;
    m_inAdvance = false;
}

void ScanController::advanceOnce()
{
    ScanState& st = m_project.state();
    const quint64 generation = m_generation;

    m_statistics.CountScanEvent(ScanStatistics::LinkingSiteScanned);
    const bool skipped = m_project.state().bSkipClicked;
    const int skipChoice = skipped ? int(m_project.state().iSkipType) : int(SkipLinkingSite);
    // Cleared on every path: a Skip applies to the advance it started, never to a later one.
    m_project.state().bSkipClicked = false;
    m_project.state().timeout = readTimeout(m_settings);
    if (st.strProblem.isEmpty() || st.strProblem == QStringLiteral(" "))
        st.strProblem.clear();
    else
        st.strProblem = QStringLiteral(" (") + st.strProblem + QStringLiteral(")");
    m_fetcher->Close(0);

    ResultRecorder(m_project, m_settings, m_statistics).recordOutcome(st.strCurUrl);
    const int finishedMain = st.iCurrentMain;
    const int finishedRow = st.iCurrentSite;

    st.iLinksFound = 0;
    st.iLinksExpected = 0;
    st.lPagesKnown = 0;
    m_analyzer->endSite();
    st.bLinkFound = false;
    st.bRedirectFound = false;
    ++st.iCurrentSite;
    m_project.pageQueue().clear();
    st.strProblem.clear();
    st.strRedirectUrl.clear();

    Q_EMIT linkingSiteFinished(finishedMain, finishedRow);
    if (!isCurrent(generation))
        return;

    // The scan type bounds every path, Skip included: a restricted scan never leaves its Main
    // Site, and a scan of one Linking Site ends with it.
    if (st.iScanType == SelectedLinkingSite) {
        Stop();
        return;
    }
    if (skipped && skipChoice == SkipMainSite) {
        if (st.iScanType == SelectedMainSite)
            Stop();
        else
            nextMainSite();
        return;
    }
    const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int rows = list ? list->count() : 0;
    if (st.iCurrentSite > rows) {
        if (st.iScanType == SelectedMainSite || st.iCurrentMain >= m_project.mainSiteCount())
            Stop();
        else
            nextMainSite();
        return;
    }
    beginLinkingSite(false);
}

void ScanController::nextMainSite()
{
    ScanState& st = m_project.state();
    const int mainCount = m_project.mainSiteCount();
    // A Main Site without Linking Sites has nothing to scan and is passed over.
    do {
        ++st.iCurrentMain;
        st.iCurrentSite = 1;
    } while (st.iCurrentMain <= mainCount
             && (!m_project.linkingSites(st.iCurrentMain)
                 || m_project.linkingSites(st.iCurrentMain)->isEmpty()));
    if (st.iCurrentMain > mainCount) {
        Stop();
        return;
    }
    const quint64 generation = m_generation;
    Q_EMIT mainSiteSelected(st.iCurrentMain);
    if (!isCurrent(generation))
        return;
    beginLinkingSite(true);
}

void ScanController::beginLinkingSite(bool countMainSite)
{
    ScanState& st = m_project.state();
    const quint64 generation = m_generation;
    const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    if (!list || row < 0 || row >= list->count()) {
        Stop();
        return;
    }
    Q_EMIT linkingSiteSelected(st.iCurrentMain, st.iCurrentSite);
    if (!isCurrent(generation))
        return;
    st.strLinkingSite = list->url(row).trimmed();
    st.strMainSite = UrlTools::NormalizeMainSite(m_project.mainSiteUrl(st.iCurrentMain));
    if (countMainSite)
        m_statistics.CountScanEvent(ScanStatistics::MainSiteScanned);
    st.iLinksExpected = expectedLinks(list->cell(row, LinkingSiteList::Expected));
    m_project.pageQueue().enqueue(st.strLinkingSite);
    playCue(SettingKey::chkAudioNext, QStringLiteral("sounds/nextsearch.wav"));
    if (!isCurrent(generation))
        return;
    BeginSite();
}

void ScanController::Skip()
{
    if (!isRunning())
        return;
    m_project.state().bSkipClicked = true;
    m_project.state().strProblem = kSkipped;
    AdvanceSite();
}

void ScanController::Stop()
{
    ScanState& st = m_project.state();
    if (!st.bScanRunning)
        return;
    st.bScanRunning = false;
    ++m_generation;
    m_project.state().bSkipClicked = false;
    m_advancePending = false;

    Q_EMIT scanningChanged(false);
    st.iCurrentSite = 0;
    m_fetcher->closeAll();
    m_analyzer->abort();
    Q_EMIT progressChanged(kProgressMaximum);
    Q_EMIT statusChanged(1, QStringLiteral("Stopped"));
    Q_EMIT statusChanged(2, QString());
    Q_EMIT statusChanged(3, QString());
    Q_EMIT statusChanged(4, QString());
    // The Main Site in progress counts as scanned.
    m_statistics.CountScanEvent(ScanStatistics::MainSiteScanned);
    Q_EMIT scanStopped();
    playCue(SettingKey::chkAudioFinished, QStringLiteral("sounds/finished.wav"));
}

void ScanController::onPageFetched(const FetchedPage& page, const QString& body)
{
    if (!isRunning())
        return;
    m_analyzer->AnalyzePage(body, page, m_generation);
}

void ScanController::onAnalysisFinished(int slot, quint64 generation,
                                        PageAnalyzer::Continuation next)
{
    if (!isCurrent(generation))
        return;
    if (next == PageAnalyzer::Continuation::AdvanceSite)
        AdvanceSite();
    else
        NextPage(slot);
}

void ScanController::onConnectionFailed(int slot, const QString& reason, const QString& detail)
{
    if (!isRunning())
        return;
    const FetchSlot& f = m_fetcher->slot(slot);
    m_project.errors().appendEntry(
        {detail.isEmpty() ? reason : reason + QStringLiteral(": ") + detail, f.strHost + f.strPath});
    m_project.state().strProblem = reason;
    AdvanceSite();
}

void ScanController::onIdleTicked(int slot, int idleSeconds)
{
    if (!isRunning()) {
        m_fetcher->Close(slot);
        return;
    }
    const quint64 generation = m_generation;
    Q_EMIT statusChanged(4,
                         QString::number(idleSeconds) + QStringLiteral(" of ")
                             + QString::number(m_project.state().timeout)
                             + QStringLiteral(" seconds"));
    if (!isCurrent(generation))
        return;
    if (idleSeconds >= m_project.state().timeout)
        timeOut(slot);
}

void ScanController::timeOut(int slot)
{
    if (!isRunning())
        return;
    m_project.errors().appendEntry({kTimeout, m_fetcher->slot(slot).strHost});
    m_project.state().strProblem = kTimeout;
    AdvanceSite();
}

} // namespace corvane
