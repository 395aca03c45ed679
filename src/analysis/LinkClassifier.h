#pragma once

#include "analysis/RuleEngine.h"
#include "model/AppFolder.h"

#include <QList>
#include <QString>
#include <QStringMatcher>
#include <QStringList>
#include <QStringView>

namespace corvane {

class ErrorList;
class Project;
class SettingsStore;
struct FetchedPage;

// What an href value is to the crawl, decided by substring tests (letter case ignored) and the
// crawl rules: a value to skip, one that names no page type (it still counts when it names the
// Main Site), a page the rules refuse, or a page of the web that the crawl may follow.
class LinkClassifier
{
public:
    // How the error list begins the row of a rules.log record that could not be written.
    static constexpr QLatin1String kLogNotWritten{"rules.log not written: "};

    enum class Kind {
        Skip,       // javascript, mailto, another scheme, file://, unsaved:, or no page
        Unfollowed, // not one of the page types: url is the value as cut out
        Refused,    // a crawl rule refuses it: url is the resolved page
        Page,       // url is the resolved page
    };
    struct Verdict {
        Kind kind = Kind::Skip;
        QString url;
    };

    // A rules.log that cannot be written is said once a scan in the project's error list.
    LinkClassifier(Project& project, const SettingsStore& settings, AppFolder app);

    // folded: value case-folded, for the tests that ignore letter case. followAll: the file-type
    // filter is off ("chkFileTypes" other than "1"), read once a page.
    Verdict classify(QStringView value, QStringView folded, const FetchedPage& page,
                     bool followAll) const;

private:
    bool isPageType(QStringView value, QStringView folded) const;
    void reportLogFailure(const FileWriteError& failure, const QString& url) const;

    const Project& m_project;
    ErrorList& m_errors;
    RuleEngine m_rules;
    mutable int m_logFailureRow = -1; // the error row that said rules.log failed
    mutable QStringList m_types; // the file types m_typeFinders look for
    mutable QList<QStringMatcher> m_typeFinders;
};

} // namespace corvane
