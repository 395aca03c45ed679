#pragma once

#include "model/AppFolder.h"
#include "model/FileWrite.h"

#include <QString>

#include <optional>

namespace corvane {

class RuleList;
class SettingsStore;
struct CrawlRule;

// The "RuleType" words of a crawl rule, and the scope word of its first two columns.
namespace RuleType {
inline const QString LimitDirectory = QStringLiteral("LimitDirectory");
inline const QString ExcludeDirectory = QStringLiteral("ExcludeDirectory");
inline const QString LimitString = QStringLiteral("LimitString");
inline const QString ExcludeString = QStringLiteral("ExcludeString");
inline const QString LimitRoot = QStringLiteral("LimitRoot");
inline const QString ExcludeRoot = QStringLiteral("ExcludeRoot");
inline const QString Global = QStringLiteral("Global");
} // namespace RuleType

// Decides for one page URL whether the crawl may follow it. Keeps no state: every call reads the
// rule list and the "chkLog" setting afresh, so an edit in a rule editor or the options dialog
// counts from the next link examined.
class RuleEngine
{
public:
    RuleEngine(const SettingsStore& settings, AppFolder app);

    // url: a page URL without scheme, as ResolveLink gives it. mainSiteUrl and linkingSiteUrl: the
    // current Main Site's and Linking Site's texts exactly as their lists show them now (not the
    // normalized strMainSite). When the url is refused and "chkLog" is 1, the refusing rule is
    // written to rules.log; when that fails, logFailure (if given) receives why.
    bool PassesRules(const QString& url, const QString& mainSiteUrl, const QString& linkingSiteUrl,
                     const RuleList& rules,
                     std::optional<FileWriteError>* logFailure = nullptr) const;

    // Appends one refusal record to rules.log in the application folder. Returns why it could not
    // be written, if it could not; the log then holds no part of the record.
    std::optional<FileWriteError> LogExcludedSite(const QString& ruleType,
                                                  const QString& ruleValue,
                                                  const QString& url) const;

    // The row (0-based) of the first rule that applies and refuses url, or -1 when none does.
    static int firstRefusingRule(const QString& url, const QString& mainSiteUrl,
                                 const QString& linkingSiteUrl, const RuleList& rules);
    // Scope: each of the first two columns is "Global" or equals the current site's text exactly.
    static bool ruleApplies(const CrawlRule& rule, const QString& mainSiteUrl,
                            const QString& linkingSiteUrl);
    // The test of the rule's type; a row of an unknown type passes every URL.
    static bool passesRule(const CrawlRule& rule, const QString& url);

private:
    const SettingsStore& m_settings;
    AppFolder m_app;
};

} // namespace corvane
