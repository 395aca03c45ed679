#include "scan/ScanController.h"

#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"
#include "net/HostGate.h"
#include "net/RobotsCache.h"
#include "scan/ScanLimits.h"
#include "scan/SiteHandOn.h"
#include "scan/SiteScan.h"
#include "web/UrlTools.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <limits>

namespace corvane {

namespace {

// How many Linking Sites may have finished and wait for their turn, per one in progress: a slow
// partner early in the project holds the others' findings in memory only this far.
constexpr int kWaitingPerParallel = 16;

} // namespace

ScanController::ScanController(Project& project, SettingsStore& settings,
                               ScanStatistics& statistics, AppFolder app, NetworkContext& network,
                               QObject* parent)
    : QObject(parent),
      m_project(project),
      m_settings(settings),
      m_statistics(statistics),
      m_app(std::move(app)),
      m_network(network),
      m_hosts(new HostGate(this)),
      m_robots(new RobotsCache(network, this)),
      m_handOn(new SiteHandOn(project, settings, statistics, m_app, *this, this))
{
    connect(m_handOn, &SiteHandOn::statusChanged, this, &ScanController::statusChanged);
    connect(m_handOn, &SiteHandOn::progressChanged, this, &ScanController::progressChanged);
    connect(m_handOn, &SiteHandOn::mainSiteSelected, this, &ScanController::mainSiteSelected);
    connect(m_handOn, &SiteHandOn::linkingSiteSelected, this, &ScanController::linkingSiteSelected);
    connect(m_handOn, &SiteHandOn::cueRequested, this, &ScanController::cueRequested);
}

ScanController::~ScanController()
{
    // No signal may reach a half-destroyed owner, and the Linking Sites (those released or
    // stopped and not yet deleted among them) go before the host gate they give their hosts
    // back to.
    m_sites.clear();
    const QList<SiteScan*> sites = findChildren<SiteScan*>(Qt::FindDirectChildrenOnly);
    for (SiteScan* site : sites) {
        detach(site);
        delete site;
    }
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
    st.lSiteLinks = 0;
    st.lLinkSerial = 0;
    st.bRedirectFound = false;
    st.strRedirectUrl.clear();
    st.strProblem.clear();
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
    m_project.state().timeout = ScanLimits::readTimeout(m_settings);

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

    // The Linking Sites of this scan, in the order their outcomes come out.
    m_plan.clear();
    if (st.iScanType == SelectedLinkingSite) {
        m_plan.append({st.iCurrentMain, startRow, 0});
    } else {
        const int lastMain = st.iScanType == SelectedMainSite ? st.iCurrentMain : mainCount;
        for (int k = st.iCurrentMain; k <= lastMain; ++k) {
            const LinkingSiteList* rows = m_project.linkingSites(k);
            for (int row = 1; rows && row <= rows->count(); ++row)
                m_plan.append({k, row, int(m_plan.size())});
        }
    }

    playCue(SettingKey::chkAudioNext, QStringLiteral("sounds/nextsearch.wav"));
    Q_EMIT scanningChanged(true);
    Q_EMIT mainSiteSelected(st.iCurrentMain);
    st.iCurrentSite = startRow;
    Q_EMIT linkingSiteSelected(st.iCurrentMain, startRow);
    st.strLinkingSite = list->url(startRow - 1).trimmed();
    st.iLinksExpected = ScanLimits::expectedLinks(list->cell(startRow - 1, LinkingSiteList::Expected));

    m_project.state().bSkipClicked = false;
    m_skipMain = false;
    m_handOn->reset();
    // Each scan reads a robots.txt afresh.
    m_robots->clear();
    ++m_generation;
    st.bScanRunning = true;
    st.bProjectSaved = false;
    Q_EMIT scanStarted();
    advance();
    return true;
}

void ScanController::advance()
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
    const quint64 generation = m_generation;
    while (SiteScan* site = front()) {
        if (!site->isFinished())
            break;
        // Its turn has come only when no Linking Site before it is still to be started.
        if (!m_plan.isEmpty() && m_plan.first().order < site->order())
            break;
        if (site != m_handOn->announced()) {
            m_handOn->announce(site);
            if (!isCurrent(generation))
                return;
        }
        release(site);
        if (!isCurrent(generation))
            return;
    }
    startSites();
    if (!isCurrent(generation))
        return;
    if (m_sites.isEmpty()) {
        Stop();
        return;
    }
    SiteScan* site = front();
    if (site != m_handOn->announced()
        && (m_plan.isEmpty() || m_plan.first().order > site->order())) {
        m_handOn->announce(site);
        if (!isCurrent(generation))
            return;
        if (site->isFinished())
            m_advancePending = true;
    }
    showInProgress();
}

void ScanController::startSites()
{
    const quint64 generation = m_generation;
    const int parallel = ScanLimits::parallelSites(m_settings);
    const int lookAhead = parallel * 4 + 16;
    int active = 0;
    QSet<QString> busyDomains;
    for (const SiteScan* site : std::as_const(m_sites)) {
        active += site->isFinished() ? 0 : 1;
        busyDomains.insert(site->domainKey());
    }
    for (int i = 0; i < m_plan.size() && i < lookAhead && active < parallel;) {
        const Planned planned = m_plan.at(i);
        const QString domain = SiteScan::domainKeyOf(m_project, planned.mainSite, planned.row);
        const bool isFront = m_sites.isEmpty() || planned.order < m_sites.first()->order();
        // Two Linking Sites of one domain crawl each other's pages: the later one waits until
        // the earlier one's outcome is in, as one after the other they would.
        if (busyDomains.contains(domain)
            || (!isFront && m_sites.size() >= parallel * kWaitingPerParallel)) {
            busyDomains.insert(domain);
            ++i;
            continue;
        }
        m_plan.removeAt(i);
        busyDomains.insert(domain);
        auto* site = new SiteScan(m_project, m_settings, m_app, m_network, *m_hosts, *m_robots,
                                  planned.mainSite, planned.row, planned.order, this);
        qsizetype at = 0;
        while (at < m_sites.size() && m_sites.at(at)->order() < planned.order)
            ++at;
        m_sites.insert(at, site);
        connectSite(site);
        ++active;
        if (at == 0 && site != m_handOn->announced()) {
            m_handOn->announce(site);
            if (!isCurrent(generation))
                return;
        }
        Q_EMIT linkingSiteStarted(planned.mainSite, planned.row);
        if (!isCurrent(generation))
            return;
        site->start(m_project.state().lPageLimit, m_watchdogMs);
        if (!isCurrent(generation))
            return;
    }
}

void ScanController::connectSite(SiteScan* site)
{
    // First: the front's state is mirrored before its page start goes out.
    m_handOn->follow(site);
    connect(site, &SiteScan::cueRequested, this, &ScanController::cueRequested);
    connect(site, &SiteScan::pageStarted, this, [this, site](const QString& url) {
        Q_EMIT pageStarted(site->mainSite(), site->row(), m_project.mainSiteCount(),
                           site->desk().state().strLinkingSite, url);
    });
    connect(site, &SiteScan::finished, this, [this, site] { onSiteFinished(site); });
}

void ScanController::detach(SiteScan* site)
{
    disconnect(site, nullptr, this, nullptr);
    m_handOn->unfollow(site);
}

void ScanController::discard(SiteScan* site)
{
    detach(site);
    site->abort();
    site->deleteLater();
}

void ScanController::release(SiteScan* site)
{
    const quint64 generation = m_generation;
    m_handOn->handOver(site);
    const bool skippedMain = m_skipMain;
    m_skipMain = false;
    m_project.state().bSkipClicked = false;
    const int mainSite = site->mainSite();
    const int row = site->row();

    m_sites.removeOne(site);
    discard(site);
    m_handOn->endTurn();
    const ScanState& st = m_project.state();

    Q_EMIT linkingSiteFinished(mainSite, row);
    if (!isCurrent(generation))
        return;

    // The scan type bounds every path, Skip included: a restricted scan never leaves its Main
    // Site, and a scan of one Linking Site ends with it.
    if (st.iScanType == SelectedLinkingSite) {
        Stop();
        return;
    }
    if (skippedMain) {
        if (st.iScanType == SelectedMainSite)
            Stop();
        else
            dropSites(mainSite);
    }
}

void ScanController::dropSites(int mainSite)
{
    for (qsizetype i = m_sites.size() - 1; i >= 0; --i) {
        SiteScan* site = m_sites.at(i);
        if (site->mainSite() != mainSite)
            continue;
        m_sites.removeAt(i);
        discard(site);
    }
    m_plan.removeIf([mainSite](const Planned& p) { return p.mainSite == mainSite; });
}

void ScanController::showInProgress()
{
    QStringList sites;
    for (const SiteScan* site : std::as_const(m_sites)) {
        if (site->isFinished())
            continue;
        const LinkingSiteList* list = m_project.linkingSites(site->mainSite());
        sites.append(list ? list->url(site->row() - 1).trimmed() : QString());
    }
    if (sites != m_shownInProgress) {
        m_shownInProgress = sites;
        Q_EMIT sitesInProgressChanged(sites);
    }
}

void ScanController::onSiteFinished(SiteScan* site)
{
    if (!isRunning() || !m_sites.contains(site))
        return;
    const quint64 generation = m_generation;
    Q_EMIT linkingSiteScanned(site->mainSite(), site->row());
    if (!isCurrent(generation))
        return;
    advance();
}

void ScanController::Skip()
{
    SiteScan* site = m_handOn->announced();
    if (!isRunning() || !site || site->isFinished())
        return;
    m_project.state().bSkipClicked = true;
    m_skipMain = m_project.state().iSkipType == SkipMainSite;
    site->skip();
}

void ScanController::Stop()
{
    ScanState& st = m_project.state();
    if (!st.bScanRunning)
        return;
    st.bScanRunning = false;
    m_endedComplete = m_sites.isEmpty() && m_plan.isEmpty();
    ++m_generation;
    m_project.state().bSkipClicked = false;
    m_advancePending = false;
    m_skipMain = false;

    Q_EMIT scanningChanged(false);
    st.iCurrentSite = 0;
    // A Linking Site interrupted records nothing; those after the front never had their turn.
    for (SiteScan* site : std::as_const(m_sites))
        discard(site);
    m_sites.clear();
    m_plan.clear();
    m_handOn->reset();
    m_robots->clear();
    Q_EMIT progressChanged(kProgressMaximum);
    Q_EMIT statusChanged(1, QStringLiteral("Stopped"));
    Q_EMIT statusChanged(2, QString());
    Q_EMIT statusChanged(3, QString());
    Q_EMIT statusChanged(4, QString());
    showInProgress();
    // The Main Site in progress counts as scanned.
    m_statistics.CountScanEvent(ScanStatistics::MainSiteScanned);
    Q_EMIT scanStopped();
    playCue(SettingKey::chkAudioFinished, QStringLiteral("sounds/finished.wav"));
}

} // namespace corvane
