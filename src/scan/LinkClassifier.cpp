#include "scan/LinkClassifier.h"

#include "model/Project.h"
#include "scan/PageFetcher.h"
#include "scan/UrlTools.h"

namespace corvane {

namespace {

bool has(QStringView value, QStringView part)
{
    return value.contains(part, Qt::CaseInsensitive);
}

} // namespace

LinkClassifier::LinkClassifier(const Project& project, const SettingsStore& settings, AppFolder app)
    : m_project(project), m_rules(settings, std::move(app))
{
}

LinkClassifier::Verdict LinkClassifier::classify(QStringView value, const FetchedPage& page,
                                                 bool followAll) const
{
    if (has(value, u"javascript") || has(value, u"mailto"))
        return {};
    if (!followAll && !isPageType(value))
        return {Kind::Unfollowed, value.toString()};
    if (has(value, u"file://") || has(value, u"unsaved:") || value.contains(u'#'))
        return {};
    QString url = UrlTools::ResolveLink(value, page.strHost, page.strCurDir);
    // A value ending in ".." names no page.
    if (url.isEmpty())
        return {};

    // Most projects have no rules: then nothing else is looked at.
    if (m_project.rules().isEmpty())
        return {Kind::Page, url};
    const ScanState& st = m_project.state();
    const LinkingSiteList* list = m_project.linkingSites(st.iCurrentMain);
    const int row = st.iCurrentSite - 1;
    const QString linkingSiteUrl = list && row >= 0 && row < list->count() ? list->url(row)
                                                                           : st.strLinkingSite;
    if (!m_rules.PassesRules(url, m_project.mainSiteUrl(st.iCurrentMain), linkingSiteUrl,
                             m_project.rules()))
        return {Kind::Refused, url};
    return {Kind::Page, url};
}

bool LinkClassifier::isPageType(QStringView value) const
{
    if (value.endsWith(u'/'))
        return true;
    if (!value.contains(u'.') && value.contains(u'?'))
        return true;
    for (const QString& type : m_project.state().aFileTypes) {
        if (has(value, type))
            return true;
    }
    return false;
}

} // namespace corvane
