#pragma once

#include "model/ProjectLists.h"
#include "model/ScanState.h"

#include <QObject>

#include <memory>
#include <vector>

namespace corvane {

// Everything the user works on in one run: the Main Sites, one Linking Site list per Main Site,
// the crawl rules, the results and errors of the last scan, the page queue, the post targets and
// the three page-builder texts, with the shared scan state. One Project lives for the whole run;
// New and Open empty and refill it.
//
// Linking Site lists are numbered like the Main Sites: list k (1-based) belongs to the Main Site
// at position k. List 0 is the empty template and never holds records.
class Project final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Project)

public:
    explicit Project(QObject* parent = nullptr);
    ~Project() override;

    MainSiteList& mainSites() { return *m_mainSites; }
    const MainSiteList& mainSites() const { return *m_mainSites; }
    int mainSiteCount() const { return m_mainSites->count(); }
    // The URL of the Main Site at 1-based position k; empty when there is none.
    QString mainSiteUrl(int k) const { return m_mainSites->url(k - 1); }

    // Linking Site list k, 0 being the template; nullptr when there is no such list.
    LinkingSiteList* linkingSites(int k);
    const LinkingSiteList* linkingSites(int k) const;
    // Number of lists including the template.
    int linkingSiteListCount() const { return int(m_linkingSites.size()); }
    // Creates the next list, empty, and returns its number (addList).
    int addList();
    // Removes list k (k >= 1); the lists after it move down by one.
    void removeList(int k);
    // Removes every list but the template.
    void clearLists();

    RuleList& rules() { return *m_rules; }
    const RuleList& rules() const { return *m_rules; }
    ResultList& results() { return *m_results; }
    const ResultList& results() const { return *m_results; }
    ErrorList& errors() { return *m_errors; }
    const ErrorList& errors() const { return *m_errors; }
    PageQueue& pageQueue() { return *m_pageQueue; }
    const PageQueue& pageQueue() const { return *m_pageQueue; }
    PostTargetList& postTargets() { return *m_postTargets; }
    const PostTargetList& postTargets() const { return *m_postTargets; }

    // The single post URL (txtPost) and the three page-builder texts (txtHTML1..3).
    QString postSingle() const { return m_postSingle; }
    void setPostSingle(const QString& url);
    QString pageText(int part) const; // part 1..3
    void setPageText(int part, const QString& text);

    ScanState& state() { return m_state; }
    const ScanState& state() const { return m_state; }

Q_SIGNALS:
    void linkingSiteListAdded(int k);
    void linkingSiteListRemoved(int k);
    void postSingleChanged(const QString& url);
    void pageTextChanged(int part, const QString& text);

private:
    std::unique_ptr<MainSiteList> m_mainSites;
    std::vector<std::unique_ptr<LinkingSiteList>> m_linkingSites;
    std::unique_ptr<RuleList> m_rules;
    std::unique_ptr<ResultList> m_results;
    std::unique_ptr<ErrorList> m_errors;
    std::unique_ptr<PageQueue> m_pageQueue;
    std::unique_ptr<PostTargetList> m_postTargets;
    QString m_postSingle;
    QString m_pageTexts[3];
    ScanState m_state;
};

} // namespace corvane
