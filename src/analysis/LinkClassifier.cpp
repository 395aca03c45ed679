#include "analysis/LinkClassifier.h"

#include "model/Project.h"
#include "net/PageFetcher.h"
#include "web/TextSearch.h"
#include "web/UrlTools.h"

namespace corvane {

namespace {

// The searches every link goes through, prepared once, for case-folded texts.
bool has(QStringView foldedValue, const QStringMatcher& part)
{
    return part.indexIn(foldedValue) >= 0;
}

const QStringMatcher& finder(int which)
{
    static const QStringMatcher finders[] = {
        QStringMatcher(u"javascript"),
        QStringMatcher(u"mailto"),
        QStringMatcher(u"file://"),
        QStringMatcher(u"unsaved:"),
    };
    return finders[which];
}

enum Finder { Javascript, Mailto, FileScheme, Unsaved };

} // namespace

LinkClassifier::LinkClassifier(Project& project, const SettingsStore& settings, AppFolder app)
    : m_project(project), m_errors(project.errors()), m_rules(settings, std::move(app))
{
}

// The scan goes on without its log. The error list is emptied when a scan starts: a row that still
// stands where the failure was said, with the same words, was said in this scan.
void LinkClassifier::reportLogFailure(const FileWriteError& failure, const QString& url) const
{
    const QString text = kLogNotWritten + failure.reason;
    if (m_logFailureRow >= 0 && m_logFailureRow < m_errors.count()
        && m_errors.entry(m_logFailureRow).error == text)
        return;
    m_logFailureRow = m_errors.appendEntry({text, url});
}

LinkClassifier::Verdict LinkClassifier::classify(QStringView value, QStringView folded,
                                                 const FetchedPage& page, bool followAll) const
{
    if (has(folded, finder(Javascript)) || has(folded, finder(Mailto))
        || UrlTools::HasOtherScheme(value))
        return {};
    if (!followAll && !isPageType(value, folded))
        return {Kind::Unfollowed, value.toString()};
    if (has(folded, finder(FileScheme)) || has(folded, finder(Unsaved)))
        return {};
    QString url = UrlTools::ResolveLink(value, page.strHost, page.strCurDir);
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
    std::optional<FileWriteError> logFailure;
    if (!m_rules.PassesRules(url, m_project.mainSiteUrl(st.iCurrentMain), linkingSiteUrl,
                             m_project.rules(), &logFailure)) {
        if (logFailure)
            reportLogFailure(*logFailure, url);
        return {Kind::Refused, url};
    }
    return {Kind::Page, url};
}

bool LinkClassifier::isPageType(QStringView value, QStringView folded) const
{
    if (value.endsWith(u'/'))
        return true;
    if (!value.contains(u'.') && value.contains(u'?'))
        return true;
    // The file types are read at the start of a scan: their searches are prepared once for them.
    const QStringList& types = m_project.state().aFileTypes;
    if (types != m_types) {
        m_types = types;
        m_typeFinders.clear();
        for (const QString& type : types)
            m_typeFinders.append(QStringMatcher(TextSearch::caseFolded(type)));
    }
    for (const QStringMatcher& type : m_typeFinders) {
        if (has(folded, type))
            return true;
    }
    return false;
}

} // namespace corvane
