#include "scan/ResultRecorder.h"

#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "net/BotChallenge.h"
#include "web/UrlTools.h"

#include <limits>

namespace corvane {

ResultRecorder::ResultRecorder(Project& project, const SettingsStore& settings,
                               ScanStatistics& statistics)
    : m_project(project), m_settings(settings), m_statistics(statistics)
{
}

QString ResultRecorder::zeroPadded(qint64 number)
{
    QString text = QString::number(number);
    while (text.size() < 3)
        text.prepend(u'0');
    return text;
}

void ResultRecorder::recordLink(const QString& status, const QString& pageUrl, const QString& notes)
{
    ScanState& st = m_project.state();
    ++st.lSiteLinks;
    if (st.iLinksFound < std::numeric_limits<qint16>::max())
        ++st.iLinksFound;
    ++st.lLinkSerial;

    ResultEntry entry;
    entry.icon = 2;
    entry.main = st.strMainSite;
    entry.remote = UrlTools::BareHost(st.strLinkingSite);
    entry.status = status;
    entry.number = zeroPadded(st.lLinkSerial);
    entry.url = pageUrl;
    entry.notes = notes;
    entry.colour = SiteColour::Blue;
    m_project.results().appendEntry(entry);

    LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    if (list && row >= 0 && row < list->count()) {
        list->setColour(row, SiteColour::Blue);
        if (m_settings.isOn(SettingKey::chkUpdate) && list->url(row) != pageUrl)
            list->setCell(row, LinkingSiteList::Website, pageUrl);
    }
    st.bLinkFound = true;
}

void ResultRecorder::recordOutcome(const QString& pageUrl)
{
    ScanState& st = m_project.state();
    LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    const bool rowExists = list && row >= 0 && row < list->count();

    ResultEntry entry;
    entry.main = st.strMainSite;
    if (st.bLinkFound && st.iLinksFound < st.iLinksExpected) {
        st.strLinkingSite = UrlTools::BareHost(st.strLinkingSite);
        entry.remote = st.strLinkingSite;
        entry.icon = 1;
        entry.status = LinkStatus::Missing + zeroPadded(st.iLinksExpected - st.iLinksFound);
        entry.number = QStringLiteral("000");
        entry.url = pageUrl;
        entry.colour = SiteColour::Red;
        m_project.results().appendEntry(entry);
    } else if (st.bLinkFound) {
        // The analysis recorded the links.
    } else if (st.bRedirectFound && m_settings.isOn(SettingKey::chkRedirect)) {
        st.strLinkingSite = UrlTools::BareHost(st.strLinkingSite);
        entry.remote = st.strLinkingSite;
        entry.icon = 2;
        entry.status = LinkStatus::Redirect;
        entry.number = QStringLiteral("001");
        entry.url = st.strRedirectUrl;
        entry.colour = SiteColour::Blue;
        m_project.results().appendEntry(entry);
        if (rowExists)
            list->setColour(row, SiteColour::Green);
        m_statistics.CountScanEvent(ScanStatistics::LinkRecorded);
        if (rowExists && m_settings.isOn(SettingKey::chkUpdate))
            list->setCell(row, LinkingSiteList::Website, st.strRedirectUrl);
    } else {
        st.strLinkingSite = UrlTools::BareHost(st.strLinkingSite);
        entry.remote = st.strLinkingSite;
        entry.icon = 1;
        entry.status = LinkStatus::NoneFound + st.strProblem;
        entry.number = QStringLiteral("000");
        entry.url = st.strLinkingSite;
        entry.colour = SiteColour::Red;
        m_project.results().appendEntry(entry);
        // A partner behind bot protection is not one without the link.
        const bool blocked = st.strProblem == QStringLiteral(" (%1)").arg(BotChallenge::kBlocked);
        if (rowExists)
            list->setColour(row, blocked ? SiteColour::Amber : SiteColour::Red);
    }
}

} // namespace corvane
