#include "analysis/RuleEngine.h"

#include "model/ProjectLists.h"
#include "model/SettingKeys.h"
#include "model/SettingsStore.h"
#include "model/Windows1252.h"

namespace corvane {

namespace {

bool containsText(const QString& url, const QString& value)
{
    return url.contains(value, Qt::CaseInsensitive);
}

// "blog", "/blog" and "/blog/" all name the directory "/blog/".
QString directoryText(const QString& value)
{
    QString text = QLatin1Char('/') + value + QLatin1Char('/');
    text.replace(QStringLiteral("//"), QStringLiteral("/"), Qt::CaseSensitive);
    return text;
}

} // namespace

RuleEngine::RuleEngine(const SettingsStore& settings, AppFolder app)
    : m_settings(settings), m_app(std::move(app))
{
}

bool RuleEngine::PassesRules(const QString& url, const QString& mainSiteUrl,
                             const QString& linkingSiteUrl, const RuleList& rules,
                             std::optional<FileWriteError>* logFailure) const
{
    const int refusing = firstRefusingRule(url, mainSiteUrl, linkingSiteUrl, rules);
    if (refusing < 0)
        return true;
    if (m_settings.isOn(SettingKey::chkLog)) {
        const CrawlRule rule = rules.rule(refusing);
        std::optional<FileWriteError> failure = LogExcludedSite(rule.ruleType, rule.ruleValue, url);
        if (logFailure)
            *logFailure = std::move(failure);
    }
    return false;
}

std::optional<FileWriteError> RuleEngine::LogExcludedSite(const QString& ruleType,
                                                          const QString& ruleValue,
                                                          const QString& url) const
{
    const QString crlf = QStringLiteral("\r\n");
    // The record ends with an empty line of its own and the line end every write adds, so
    // records stand two empty lines apart.
    const QString record = QStringLiteral("Excluded Site: ") + url + crlf
        + QStringLiteral("Rule Type: ") + ruleType + crlf + QStringLiteral("Rule Value: ")
        + ruleValue + crlf + crlf + crlf;
    return FileWrite::append(m_app.file(QStringLiteral("rules.log")), Windows1252::encode(record));
}

int RuleEngine::firstRefusingRule(const QString& url, const QString& mainSiteUrl,
                                  const QString& linkingSiteUrl, const RuleList& rules)
{
    for (int row = 0; row < rules.count(); ++row) {
        const CrawlRule rule = rules.rule(row);
        if (ruleApplies(rule, mainSiteUrl, linkingSiteUrl) && !passesRule(rule, url))
            return row;
    }
    return -1;
}

bool RuleEngine::ruleApplies(const CrawlRule& rule, const QString& mainSiteUrl,
                             const QString& linkingSiteUrl)
{
    const bool mainMatches = rule.mainSite == RuleType::Global || rule.mainSite == mainSiteUrl;
    const bool siteMatches = rule.remoteSite == RuleType::Global
        || rule.remoteSite == linkingSiteUrl;
    return mainMatches && siteMatches;
}

bool RuleEngine::passesRule(const CrawlRule& rule, const QString& url)
{
    const QString& type = rule.ruleType;
    if (type == RuleType::LimitDirectory)
        return containsText(url, directoryText(rule.ruleValue));
    if (type == RuleType::ExcludeDirectory)
        return !containsText(url, directoryText(rule.ruleValue));
    if (type == RuleType::LimitString || type == RuleType::LimitRoot)
        return containsText(url, rule.ruleValue);
    if (type == RuleType::ExcludeString || type == RuleType::ExcludeRoot)
        return !containsText(url, rule.ruleValue);
    return true;
}

} // namespace corvane
