#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace corvane {

// What a site's robots.txt tells one crawler, read as RFC 9309 says: the groups whose user-agent
// line names the crawler's product token (letter case ignored) make its rules, all of them
// together; when none does, the "*" groups do; when there is neither, everything is allowed. A
// path is allowed unless the longest rule that matches it is a Disallow; an Allow wins a tie.
// Patterns match from the start of the path (with its query); "*" stands for any characters and
// a "$" at the end of a pattern for the end of the path. Paths and patterns are compared in one
// percent-encoded form, so "%7E" and "~" are the same character but "%2F" and "/" are not.
class RobotsRules
{
public:
    // Everything allowed: there is no robots.txt (it answered with a 4xx status).
    static RobotsRules allowAll() { return {}; }
    // Everything disallowed: the robots.txt could not be read (a 5xx status, or no answer).
    static RobotsRules disallowAll();
    // The rules of the robots.txt text for the crawler named by productToken.
    static RobotsRules parse(QStringView text, QStringView productToken);

    // pathAndQuery: the path of a URL, with its query, starting with "/".
    bool allows(QStringView pathAndQuery) const;

    // The percent-encoded form both sides are compared in.
    static QString normalised(QStringView path);

private:
    struct Rule {
        QString pattern; // normalised; a "$" at its end anchors it
        bool allow = false;
    };
    QList<Rule> m_rules;
    bool m_disallowAll = false;
};

} // namespace corvane
