#include "scan/SiteHandOn.h"

#include "analysis/LinkClassifier.h"
#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "scan/PageAnalyzer.h"
#include "scan/ScanController.h"
#include "scan/SiteScan.h"

namespace corvane {

SiteHandOn::SiteHandOn(Project& project, SettingsStore& settings, ScanStatistics& statistics,
                       AppFolder app, const ScanController& scan, QObject* parent)
    : QObject(parent),
      m_project(project),
      m_settings(settings),
      m_statistics(statistics),
      m_app(std::move(app)),
      m_scan(scan)
{
}

void SiteHandOn::reset()
{
    m_announced = nullptr;
    m_lastMain = 0;
    m_saidFileFailures.clear();
}

void SiteHandOn::follow(SiteScan* site)
{
    connect(site, &SiteScan::statusChanged, this, [this, site](int panel, const QString& text) {
        if (site != m_announced)
            return;
        mirrorState(site);
        Q_EMIT statusChanged(panel, text);
    });
    connect(site, &SiteScan::progressChanged, this, [this, site](int value) {
        if (site == m_announced)
            Q_EMIT progressChanged(value);
    });
    connect(site, &SiteScan::pageStarted, this, [this, site] {
        if (site == m_announced)
            mirrorState(site);
    });

    // The front's findings reach the project as they are made.
    Project& desk = site->desk();
    const auto publishFront = [this, site] {
        if (site == m_announced)
            publish(site);
    };
    connect(&desk.results(), &QAbstractItemModel::rowsInserted, this, publishFront);
    connect(site, &SiteScan::resultsSettled, this, publishFront);
    connect(&desk.errors(), &QAbstractItemModel::rowsInserted, this, publishFront);
    connect(&site->tally(), &ScanStatistics::statisticsChanged, this, publishFront);
    connect(&desk, &Project::linkingSiteListAdded, this, [this, site, publishFront](int k) {
        connect(site->desk().linkingSites(k), &QAbstractItemModel::dataChanged, this, publishFront);
    });
    // The window shows the front's page queue.
    PageQueue& queue = desk.pageQueue();
    connect(&queue, &QAbstractItemModel::rowsInserted, this,
            [this, site, &queue](const QModelIndex&, int first, int last) {
                if (site != m_announced)
                    return;
                QStringList pages;
                for (int row = first; row <= last; ++row)
                    pages.append(queue.page(row));
                m_project.pageQueue().enqueueAll(pages);
            });
    connect(&queue, &QAbstractItemModel::rowsRemoved, this,
            [this, site](const QModelIndex&, int first, int last) {
                if (site != m_announced)
                    return;
                // Pages leave the queue at its head only.
                for (int row = first; row <= last; ++row)
                    m_project.pageQueue().takeFirst();
            });
    connect(&queue, &QAbstractItemModel::modelReset, this, [this, site] {
        if (site == m_announced)
            m_project.pageQueue().clear();
    });
}

void SiteHandOn::unfollow(SiteScan* site)
{
    disconnect(site, nullptr, this, nullptr);
}

void SiteHandOn::announce(SiteScan* site)
{
    const quint64 generation = m_scan.generation();
    const bool first = m_lastMain == 0;
    const int mainSite = site->mainSite();
    m_announced = site;
    if (!first) {
        if (mainSite != m_lastMain) {
            Q_EMIT mainSiteSelected(mainSite);
            if (!m_scan.isCurrent(generation))
                return;
            m_statistics.CountScanEvent(ScanStatistics::MainSiteScanned);
        }
        Q_EMIT linkingSiteSelected(mainSite, site->row());
        if (!m_scan.isCurrent(generation))
            return;
        if (m_settings.isOn(SettingKey::chkAudioNext))
            Q_EMIT cueRequested(m_app.file(QStringLiteral("sounds/nextsearch.wav")));
        if (!m_scan.isCurrent(generation))
            return;
    }
    m_lastMain = mainSite;
    PageQueue& queue = m_project.pageQueue();
    queue.clear();
    const PageQueue& pending = site->desk().pageQueue();
    QStringList pages;
    for (int row = 0; row < pending.count(); ++row)
        pages.append(pending.page(row));
    queue.enqueueAll(pages);
    if (site->isStarted()) {
        mirrorState(site);
        for (int panel = 1; panel <= 4; ++panel) {
            Q_EMIT statusChanged(panel, site->panelText(panel));
            if (!m_scan.isCurrent(generation))
                return;
        }
    }
    publish(site);
}

void SiteHandOn::publish(SiteScan* site)
{
    if (site != m_announced || !site->isStarted())
        return;
    SiteScan::HandedOn& handed = site->handedOn();
    const Project& desk = site->desk();
    // Rows still waiting for a note (the page's robots.txt) stay on the desk.
    for (; handed.results < site->settledResults(); ++handed.results)
        m_project.results().append(desk.results().record(handed.results));
    for (; handed.errors < desk.errors().count(); ++handed.errors) {
        // Each desk says once that a page copy or rules.log could not be written; the project
        // hears it once a scan, as from one Linking Site after another on one desk.
        const QString text = desk.errors().entry(handed.errors).error;
        bool said = false;
        for (const QLatin1String kind :
             {PageAnalyzer::kCopyNotWritten, LinkClassifier::kLogNotWritten}) {
            if (text.startsWith(kind)) {
                said = m_saidFileFailures.contains(kind);
                m_saidFileFailures.insert(kind);
            }
        }
        if (!said)
            m_project.errors().append(desk.errors().record(handed.errors));
    }

    LinkingSiteList* list = m_project.linkingSites(site->mainSite());
    const int row = site->row() - 1;
    if (const Record own = site->ownRow(); !own.cells.isEmpty() && list && row < list->count()) {
        if (own.colour != handed.colour) {
            handed.colour = own.colour;
            list->setColour(row, own.colour);
        }
        const QString url = own.cells.value(LinkingSiteList::Website);
        if (url != handed.url) {
            handed.url = url;
            list->setCell(row, LinkingSiteList::Website, url);
        }
    }

    const ScanStatistics& tally = site->tally();
    const qint32 pages = tally.lPagesScanned - handed.pagesScanned;
    const qint32 found = tally.lPagesFound - handed.pagesFound;
    const qint32 links = tally.lLinksFound - handed.linksFound;
    handed.pagesScanned = tally.lPagesScanned;
    handed.pagesFound = tally.lPagesFound;
    handed.linksFound = tally.lLinksFound;
    m_statistics.add(pages, found, links);
}

void SiteHandOn::mirrorState(const SiteScan* site)
{
    // The shared state tells what the front is doing, as it did with one Linking Site at a time.
    const ScanState& own = site->desk().state();
    ScanState& st = m_project.state();
    st.iCurrentMain = qint16(site->mainSite());
    st.iCurrentSite = site->row();
    st.strMainSite = own.strMainSite;
    st.strLinkingSite = own.strLinkingSite;
    st.iLinksExpected = own.iLinksExpected;
    st.iLinksFound = own.iLinksFound;
    st.bLinkFound = own.bLinkFound;
    st.bRedirectFound = own.bRedirectFound;
    st.strRedirectUrl = own.strRedirectUrl;
    st.strProblem = own.strProblem;
    st.lPagesTaken = own.lPagesTaken;
    st.lPagesKnown = own.lPagesKnown;
    st.strURL = own.strURL;
    st.strCurUrl = own.strCurUrl;
    st.strCurDir = own.strCurDir;
    st.lPageLimit = own.lPageLimit;
    st.timeout = own.timeout;
    st.lSiteLinks = own.lSiteLinks;
    st.lLinkSerial = own.lLinkSerial;
    st.bEmulate = own.bEmulate;
}

void SiteHandOn::handOver(SiteScan* site)
{
    publish(site);
    m_statistics.CountScanEvent(ScanStatistics::LinkingSiteScanned);
    mirrorState(site);
}

void SiteHandOn::endTurn()
{
    m_announced = nullptr;
    m_project.pageQueue().clear();
    ScanState& st = m_project.state();
    st.iLinksFound = 0;
    st.iLinksExpected = 0;
    st.lPagesKnown = 0;
    st.lSiteLinks = 0;
    st.lLinkSerial = 0;
    st.bLinkFound = false;
    st.bRedirectFound = false;
    st.strProblem.clear();
    st.strRedirectUrl.clear();
    ++st.iCurrentSite;
}

} // namespace corvane
