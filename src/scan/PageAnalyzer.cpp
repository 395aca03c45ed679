#include "scan/PageAnalyzer.h"

#include "analysis/HrefValue.h"
#include "analysis/LinkNotes.h"
#include "analysis/PageText.h"
#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "net/PageFetcher.h"
#include "net/RedirectFollower.h"
#include "net/ResponseHead.h"
#include "web/CharacterReferences.h"
#include "web/TextSearch.h"
#include "web/UrlTools.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace corvane {

namespace {

const QString kPossibleRedirect = QStringLiteral("Possible Redirected URL");
const QString kSourceProtected = QStringLiteral("Source Protected");
const QString kScriptError = QStringLiteral("Server Script Error");
const QString kRuleProblem = QStringLiteral("Possible Rule Problem");

} // namespace

PageAnalyzer::PageAnalyzer(Project& project, SettingsStore& settings, ScanStatistics& statistics,
                           AppFolder app, NetworkContext& network, QObject* parent)
    : QObject(parent),
      m_project(project),
      m_settings(settings),
      m_statistics(statistics),
      m_app(app),
      m_classifier(project, settings, app),
      m_known(project),
      m_copies(app),
      m_recorder(project, settings, statistics),
      m_redirects(new RedirectFollower(project, network, this))
{
    connect(m_redirects, &RedirectFollower::followed, this, &PageAnalyzer::onRedirectFollowed);
}

PageAnalyzer::~PageAnalyzer() = default;

bool PageAnalyzer::stillCurrent(quint64 epoch) const
{
    return m_project.state().bScanRunning && epoch == m_epoch;
}

void PageAnalyzer::AnalyzePage(QString body, const FetchedPage& page, quint64 generation)
{
    ScanState& st = m_project.state();
    if (!st.bScanRunning)
        return;
    const quint64 epoch = m_epoch;
    const PageText text(std::move(body));

    // The warnings, in this order: a later one replaces the reason an earlier one gave.
    if (text.mentionsSiteName(st.strMainSite)) {
        st.bRedirectFound = true;
        st.strProblem = kPossibleRedirect;
        st.strRedirectUrl = page.strCurUrl;
    }
    if (text.mentions(u"You are seeing this text because"))
        st.strProblem = kSourceProtected;
    if (text.mentions(u"<?php"))
        st.strProblem = kScriptError;

    Q_EMIT statusChanged(2, QStringLiteral("Saving to HTML"));
    if (!stillCurrent(epoch))
        return;
    // A copy that cannot be written (a full disk, a read-only folder) is said once a scan, in the
    // error list, and the scan goes on: the copies are for the user to look at, not for the scan.
    if (const QString problem = m_copies.write(text, page.slot);
        !problem.isEmpty() && !m_copyFailureReported) {
        m_copyFailureReported = true;
        m_project.errors().appendEntry({kCopyNotWritten + problem, page.strCurUrl});
    }
    extractLinks(text, page, generation, epoch);
}

void PageAnalyzer::extractLinks(const PageText& text, const FetchedPage& page, quint64 generation,
                                quint64 epoch)
{
    Q_EMIT statusChanged(2, QStringLiteral("Getting Links"));
    if (!stillCurrent(epoch))
        return;
    ScanState& st = m_project.state();
    const bool followAll = m_settings.ReadSetting(SettingKey::chkFileTypes) != u"1";
    // The queue never holds more pages than the Linking Site may still fetch after this one: a
    // page that links to hundreds of thousands of new pages of its site costs no more memory than
    // the page limit allows. Without the limit the queue still has a bound, the largest limit.
    m_queueBound = m_settings.isOn(SettingKey::chkAuto)
        ? std::max<qsizetype>(0, qsizetype(st.lPageLimit) - st.lPagesTaken)
        : kUnlimitedQueueBound;
    // A downloaded redirect target is read as ordinary text, so one redirect is followed at most.
    const qsizetype marker = st.bEmulate ? -1 : text.firstRedirectMarker();
    const auto enoughLinks
        = [&st] { return !st.bScanRunning || st.lSiteLinks >= st.iLinksExpected; };

    // The lines are read in order and the reading stops once enough links are found, but only
    // the lines that start with "href=" hold a link, and only the line with the first redirect
    // marker can end the reading otherwise: so those are the lines visited. The first line never
    // holds a link (every "href=" starts a line of its own), yet it is always read.
    const qsizetype count = text.hrefs().size();
    qsizetype redirectFrom = -1; // the first line with "href=" from the marker's line on
    LinkNotes notes(text.body(), page.head, page.strHost + page.strPath);
    const FetchedPage base = baseOf(text, page);
    if (enoughLinks()) {
        if (marker >= 0 && marker < text.firstLineEnd())
            redirectFrom = 0;
    } else {
        bool stopped = false;
        for (qsizetype k = 0; k < count; ++k) {
            const qsizetype end = text.lineEnd(k);
            if (marker >= 0 && marker < end) {
                redirectFrom = k;
                break;
            }
            // A link inside a comment is no link, nor is the page's base.
            if (text.hrefs().at(k).inComment || text.hrefs().at(k).inBase)
                continue;
            if (!examineLink(text, text.rest(k, end), text.hrefs().at(k).at, notes, page, base,
                             followAll, epoch)) {
                m_newPages.clear();
                return;
            }
            if (enoughLinks()) {
                stopped = true;
                break;
            }
        }
        if (!stopped && redirectFrom < 0 && marker >= 0)
            redirectFrom = count;
    }
    // A server's plain redirect has no "moved" page for the follower: its target is the page's
    // one link.
    if (redirectFrom < 0 && !enoughLinks())
        queueRedirectTarget(page, followAll);
    if (!flushNewPages(epoch))
        return;
    if (redirectFrom >= 0) {
        followRedirect(text, redirectFrom, page, generation, epoch);
        return;
    }

    Q_EMIT statusChanged(2, QString());
    st.bEmulate = false;
    if (!stillCurrent(epoch))
        return;
    const bool redirectOutcome = m_settings.isOn(SettingKey::chkRedirect) && st.bRedirectFound
        && !st.bLinkFound;
    Q_EMIT analysisFinished(page.slot, generation,
                            redirectOutcome ? Continuation::AdvanceSite : Continuation::NextPage);
}

FetchedPage PageAnalyzer::baseOf(const PageText& text, const FetchedPage& page)
{
    FetchedPage base = page;
    const qsizetype k = text.baseHref();
    if (k < 0)
        return base;
    const std::optional<QStringView> cut = HrefValue::cut(text.rest(k, text.lineEnd(k)));
    if (!cut)
        return base;
    QString value = CharacterReferences::decode(*cut, CharacterReferences::Context::Attribute);
    if (const qsizetype hash = value.indexOf(u'#'); hash >= 0)
        value.truncate(hash);
    if (value.isEmpty() || UrlTools::HasOtherScheme(value))
        return base;
    // The base may itself be relative: to the page.
    const QString resolved = UrlTools::ResolveLink(value, page.strHost, page.strCurDir);
    const UrlSplit u = PageFetcher::splitUrl(resolved);
    if (u.ok()) {
        base.strHost = u.strHost;
        // Not the page URLs' folder guess: a base without a "/" at its end names a file.
        base.strCurDir = UrlTools::BaseDirectory(resolved);
    }
    return base;
}

bool PageAnalyzer::examineLink(const PageText& text, QStringView rest, qsizetype hrefAt,
                               LinkNotes& notes, const FetchedPage& page, const FetchedPage& base,
                               bool followAll, quint64 epoch)
{
    const auto record = [&](const QString& status) {
        return recordLink(status, notes.notesFor(hrefAt), page, epoch);
    };
    std::optional<QStringView> value = HrefValue::cut(rest);
    if (!value)
        return true;
    // Character references are read as a browser reads them: "&amp;" is "&", "&#47;" is "/".
    QString decoded;
    if (value->contains(u'&')) {
        decoded = CharacterReferences::decode(*value, CharacterReferences::Context::Attribute);
        value = QStringView(decoded);
    }
    // The fragment goes before anything looks at the value: a value that is only one names no page.
    const qsizetype hash = value->indexOf(u'#');
    if (hash >= 0)
        value = value->first(hash);
    if (value->isEmpty())
        return true;
    const QString foldedCopy = decoded.isNull() ? QString() : TextSearch::caseFolded(*value);
    const LinkClassifier::Verdict verdict = m_classifier.classify(
        *value, decoded.isNull() ? text.folded(*value) : QStringView(foldedCopy), base, followAll);
    ScanState& st = m_project.state();
    const SiteFinders& sites = siteFinders();
    switch (verdict.kind) {
    case LinkClassifier::Kind::Skip:
        return true;
    case LinkClassifier::Kind::Refused:
        st.strProblem = kRuleProblem;
        [[fallthrough]];
    case LinkClassifier::Kind::Unfollowed:
        // Not a page to follow, but it may still name the Main Site.
        if (namesMainSite(verdict.url, sites))
            return record(LinkStatus::Direct);
        return true;
    case LinkClassifier::Kind::Page:
        break;
    }

    QString url = verdict.url;
    queueIfNew(url, sites);
    if (namesMainSite(url, sites))
        return record(LinkStatus::Direct);
    if (UrlTools::IsDomainLinkOf(url, sites.mainSiteDomain))
        return record(LinkStatus::Domain);
    return true;
}

void PageAnalyzer::queueIfNew(QString& url, const SiteFinders& sites)
{
    ScanState& st = m_project.state();
    QString key;
    // A page past the queue's bound is not remembered either: should the page limit be raised
    // meanwhile, a later page can still queue it.
    if (!m_known.contains(url, key)
        && UrlTools::IsInLinkingSiteDomain(url, sites.linkingSiteDomain)) {
        if (m_project.pageQueue().count() + m_newPages.size() < m_queueBound) {
            ++st.lPagesKnown;
            m_newPages.append(url);
            m_known.addQueued(key);
        } else {
            st.bPagesLeftOut = true;
        }
    }
}

void PageAnalyzer::queueRedirectTarget(const FetchedPage& page, bool followAll)
{
    static const QList<int> moves = {301, 302, 303, 307, 308};
    if (!moves.contains(ResponseHead::statusCode(page.head)))
        return;
    const QList<QStringView> locations = ResponseHead::fieldValues(page.head, u"Location");
    if (locations.isEmpty() || locations.constFirst().isEmpty())
        return;
    // The target is read as a link of the page would be (against the page itself: a <base href>
    // is no part of the answer's head), so the crawl rules and file types apply to it too. A
    // target off the Linking Site is not crawled, as before.
    const QStringView value = locations.constFirst();
    const QString folded = TextSearch::caseFolded(value);
    const LinkClassifier::Verdict verdict = m_classifier.classify(value, folded, page, followAll);
    if (verdict.kind != LinkClassifier::Kind::Page)
        return;
    QString url = verdict.url;
    queueIfNew(url, siteFinders());
}

const PageAnalyzer::SiteFinders& PageAnalyzer::siteFinders()
{
    // The Linking Site's row can change during the scan ("chkUpdate"), so both texts are compared
    // for every link; the searches are prepared again only when one of them changed.
    const QString& mainSite = m_project.state().strMainSite;
    if (mainSite != m_sites.mainSite || m_sites.mainSite.isNull()) {
        m_sites.mainSite = mainSite;
        m_sites.mainSiteFinder = UrlTools::mainSiteFinder(mainSite);
        const QString other = UrlTools::OtherHostForm(mainSite);
        m_sites.otherFormFinder.reset();
        if (!other.isEmpty())
            m_sites.otherFormFinder = UrlTools::mainSiteFinder(other);
        m_sites.mainSiteDomain = UrlTools::MainSiteDomain(mainSite);
    }
    const QString linkingSite = currentLinkingSiteUrl();
    if (linkingSite != m_sites.linkingSite || m_sites.linkingSite.isNull()) {
        m_sites.linkingSite = linkingSite;
        m_sites.linkingSiteDomain = UrlTools::LinkingSiteDomain(linkingSite);
    }
    return m_sites;
}

bool PageAnalyzer::namesMainSite(const QString& url, const SiteFinders& sites)
{
    return UrlTools::IsDirectLink(url, sites.mainSiteFinder)
        || (sites.otherFormFinder && UrlTools::IsDirectLink(url, *sites.otherFormFinder));
}

bool PageAnalyzer::flushNewPages(quint64 epoch)
{
    if (m_newPages.isEmpty())
        return true;
    const QStringList pages = std::exchange(m_newPages, {});
    m_statistics.CountPagesQueued(
        qint32(std::min<qsizetype>(pages.size(), std::numeric_limits<qint32>::max())));
    if (!stillCurrent(epoch))
        return false;
    m_project.pageQueue().enqueueAll(pages);
    return true;
}

bool PageAnalyzer::recordLink(const QString& status, const QString& notes, const FetchedPage& page,
                              quint64 epoch)
{
    // The pages found before the link are in the queue before anyone hears of the link.
    if (!flushNewPages(epoch))
        return false;
    m_recorder.recordLink(status, page.strCurUrl, notes);
    if (m_settings.isOn(SettingKey::chkAudioEmail)) {
        Q_EMIT cueRequested(m_app.file(QStringLiteral("sounds/foundemail.wav")));
        if (!stillCurrent(epoch))
            return false;
    }
    m_statistics.CountScanEvent(ScanStatistics::LinkRecorded);
    if (!stillCurrent(epoch))
        return false;
    Q_EMIT statusChanged(3,
                         QStringLiteral("Found ") + QString::number(m_project.state().lSiteLinks)
                             + QStringLiteral(" links"));
    return stillCurrent(epoch);
}

void PageAnalyzer::followRedirect(const PageText& text, qsizetype hrefLine, const FetchedPage& from,
                                  quint64 generation, quint64 epoch)
{
    QString target;
    while (hrefLine < text.hrefs().size() && text.hrefs().at(hrefLine).inComment)
        ++hrefLine;
    if (hrefLine < text.hrefs().size())
        target = HrefValue::redirectTarget(
            QString(u"href=" + text.rest(hrefLine, text.lineEnd(hrefLine))));
    // A server's bare "Moved" page (typical when a site moved to HTTPS) names no target: asking
    // for the page itself once more lets the download follow the server's redirect.
    if (target.isEmpty())
        target = from.strCurUrl;
    // The target is used as it stands: a relative one cannot be fetched and gives an empty page.
    const int seconds = std::clamp(m_settings.readInt(SettingKey::txtTimeout), 1, 86400);
    m_redirects->follow(target, from, generation, epoch, seconds);
}

void PageAnalyzer::onRedirectFollowed(const QString& text, const FetchedPage& from,
                                      quint64 generation, quint64 epoch)
{
    if (!stillCurrent(epoch))
        return;
    // The downloaded text stands in for the redirect page: its links are recorded with that
    // page's URL and resolved against that page's directory.
    m_project.state().bEmulate = true;
    FetchedPage page = from;
    page.head.clear(); // the head was the redirect page's
    AnalyzePage(text, page, generation);
}

QString PageAnalyzer::currentLinkingSiteUrl() const
{
    // The row's URL can change during the scan ("chkUpdate"), so it is read for every link.
    const ScanState& st = m_project.state();
    const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    if (list && row >= 0 && row < list->count())
        return list->url(row).trimmed();
    return st.strLinkingSite;
}

bool PageAnalyzer::IsKnownPage(QString& url)
{
    return m_known.contains(url);
}

void PageAnalyzer::dropWaitingWork()
{
    m_newPages.clear();
    m_copies.closeAll();
    ++m_epoch;
    m_redirects->abort();
    m_project.state().bEmulate = false;
}

void PageAnalyzer::resetForScan()
{
    dropWaitingWork();
    m_copyFailureReported = false;
    ScanState& st = m_project.state();
    st.lSiteLinks = 0;
    st.bPagesLeftOut = false;
    // A scan stopped in the middle of a Linking Site leaves its serial and its findings behind;
    // the new scan's first Linking Site must not inherit them.
    st.lLinkSerial = 0;
    st.bRedirectFound = false;
    st.strRedirectUrl.clear();
    st.strProblem.clear();
    m_known.clearQueued();
}

void PageAnalyzer::beginSite()
{
    m_project.state().lSiteLinks = 0;
    m_project.state().bPagesLeftOut = false;
}

void PageAnalyzer::endSite()
{
    dropWaitingWork();
    ScanState& st = m_project.state();
    st.lSiteLinks = 0;
    st.lLinkSerial = 0;
    st.bPagesLeftOut = false;
    m_known.clearQueued();
}

void PageAnalyzer::abort()
{
    dropWaitingWork();
}

} // namespace corvane
