#include "model/Project.h"

namespace corvane {

Project::Project(QObject* parent)
    : QObject(parent),
      m_mainSites(std::make_unique<MainSiteList>()),
      m_rules(std::make_unique<RuleList>()),
      m_results(std::make_unique<ResultList>()),
      m_errors(std::make_unique<ErrorList>()),
      m_pageQueue(std::make_unique<PageQueue>()),
      m_postTargets(std::make_unique<PostTargetList>())
{
    m_linkingSites.push_back(std::make_unique<LinkingSiteList>());
}

Project::~Project() = default;

LinkingSiteList* Project::linkingSites(int k)
{
    return k >= 0 && k < linkingSiteListCount() ? m_linkingSites[std::size_t(k)].get() : nullptr;
}

const LinkingSiteList* Project::linkingSites(int k) const
{
    return k >= 0 && k < linkingSiteListCount() ? m_linkingSites[std::size_t(k)].get() : nullptr;
}

int Project::addList()
{
    m_linkingSites.push_back(std::make_unique<LinkingSiteList>());
    const int k = linkingSiteListCount() - 1;
    Q_EMIT linkingSiteListAdded(k);
    return k;
}

void Project::removeList(int k)
{
    if (k < 1 || k >= linkingSiteListCount())
        return;
    m_linkingSites.erase(m_linkingSites.begin() + k);
    Q_EMIT linkingSiteListRemoved(k);
}

void Project::clearLists()
{
    while (linkingSiteListCount() > 1)
        removeList(linkingSiteListCount() - 1);
}

void Project::setPostSingle(const QString& url)
{
    if (m_postSingle == url)
        return;
    m_postSingle = url;
    Q_EMIT postSingleChanged(url);
}

QString Project::pageText(int part) const
{
    return part >= 1 && part <= 3 ? m_pageTexts[part - 1] : QString();
}

void Project::setPageText(int part, const QString& text)
{
    if (part < 1 || part > 3 || m_pageTexts[part - 1] == text)
        return;
    m_pageTexts[part - 1] = text;
    Q_EMIT pageTextChanged(part, text);
}

} // namespace corvane
