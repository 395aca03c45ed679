#include "web/RobotsRules.h"

#include <QByteArray>

namespace corvane {

namespace {

bool isUnreserved(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
        || c == '.' || c == '_' || c == '~';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

void appendEscaped(QString& out, unsigned char byte)
{
    static const char digits[] = "0123456789ABCDEF";
    out += u'%';
    out += QLatin1Char(digits[byte >> 4]);
    out += QLatin1Char(digits[byte & 0xF]);
}

// The product token at the start of a user-agent line's value ("Googlebot/2.1" names
// "Googlebot"); "*" for the line that names every crawler.
QStringView productTokenOf(QStringView value)
{
    if (value.startsWith(u'*'))
        return u"*";
    qsizetype end = 0;
    while (end < value.size()) {
        const QChar c = value[end];
        if (!(c.isLetter() && c.unicode() < 128) && c != u'_' && c != u'-')
            break;
        ++end;
    }
    return value.first(end);
}

// Whether pattern (with "*" for any characters) matches path: the whole of it when anchored, else
// its start. Backtracks to the last "*" only, so a pattern of many stars costs no more than one
// pass per star.
bool wildcardMatch(QStringView pattern, QStringView path, bool anchored)
{
    qsizetype p = 0;
    qsizetype s = 0;
    qsizetype star = -1;
    qsizetype resume = 0;
    while (s < path.size()) {
        if (!anchored && p == pattern.size())
            return true;
        if (p < pattern.size() && pattern[p] == u'*') {
            star = p++;
            resume = s;
        } else if (p < pattern.size() && pattern[p] == path[s]) {
            ++p;
            ++s;
        } else if (star >= 0) {
            p = star + 1;
            s = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool ruleMatches(QStringView pattern, QStringView path)
{
    if (pattern.endsWith(u'$'))
        return wildcardMatch(pattern.chopped(1), path, true);
    return wildcardMatch(pattern, path, false);
}

} // namespace

RobotsRules RobotsRules::disallowAll()
{
    RobotsRules rules;
    rules.m_disallowAll = true;
    return rules;
}

QString RobotsRules::normalised(QStringView path)
{
    const QByteArray bytes = path.toUtf8();
    QString out;
    out.reserve(bytes.size());
    bool inQuery = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '%' && i + 2 < bytes.size() && hexValue(bytes[i + 1]) >= 0
            && hexValue(bytes[i + 2]) >= 0) {
            const char decoded = char(hexValue(bytes[i + 1]) * 16 + hexValue(bytes[i + 2]));
            // An escaped unreserved character is that character; any other escape stays one, in
            // upper case.
            if (isUnreserved(decoded))
                out += QLatin1Char(decoded);
            else
                appendEscaped(out, static_cast<unsigned char>(decoded));
            i += 2;
            continue;
        }
        if (byte >= 0x80 || byte <= 0x20 || byte == 0x7F) {
            appendEscaped(out, byte);
            continue;
        }
        // In the query a URL given as a value is compared escaped ("?u=https%3A%2F%2Fx"), the
        // form a browser sends it in.
        if (inQuery && (c == ':' || c == '/')) {
            appendEscaped(out, byte);
            continue;
        }
        inQuery = inQuery || c == '?';
        out += QLatin1Char(c);
    }
    return out;
}

RobotsRules RobotsRules::parse(QStringView text, QStringView productToken)
{
    QList<Rule> own;
    QList<Rule> everyone;
    bool ownGroupSeen = false;
    // The group being read: which crawlers its user-agent lines name, and whether its rules have
    // begun (a user-agent line after a rule starts the next group).
    bool groupIsOwn = false;
    bool groupIsEveryone = false;
    bool inRules = true;
    bool anyGroup = false;

    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        QStringView line = text.sliced(start, end - start);
        start = end + 1;
        if (const qsizetype hash = line.indexOf(u'#'); hash >= 0)
            line = line.first(hash);
        const qsizetype colon = line.indexOf(u':');
        if (colon < 0)
            continue;
        const QStringView key = line.first(colon).trimmed();
        const QStringView value = line.sliced(colon + 1).trimmed();

        if (key.compare(u"user-agent", Qt::CaseInsensitive) == 0) {
            if (inRules) {
                groupIsOwn = false;
                groupIsEveryone = false;
                inRules = false;
            }
            anyGroup = true;
            const QStringView token = productTokenOf(value);
            if (token == u"*")
                groupIsEveryone = true;
            else if (!token.isEmpty() && token.compare(productToken, Qt::CaseInsensitive) == 0)
                groupIsOwn = ownGroupSeen = true;
            continue;
        }
        const bool allow = key.compare(u"allow", Qt::CaseInsensitive) == 0;
        if (!allow && key.compare(u"disallow", Qt::CaseInsensitive) != 0)
            continue;
        inRules = true;
        // A rule before any user-agent line belongs to no group; an empty pattern says nothing.
        if (!anyGroup || value.isEmpty())
            continue;
        QString pattern = value.toString();
        if (!pattern.startsWith(u'/') && !pattern.startsWith(u'*'))
            pattern.prepend(u'/');
        const Rule rule{normalised(pattern), allow};
        if (groupIsOwn)
            own.append(rule);
        else if (groupIsEveryone)
            everyone.append(rule);
    }

    RobotsRules rules;
    rules.m_rules = ownGroupSeen ? own : everyone;
    return rules;
}

bool RobotsRules::allows(QStringView pathAndQuery) const
{
    if (m_disallowAll)
        return false;
    if (m_rules.isEmpty())
        return true;
    const QString path = normalised(pathAndQuery.isEmpty() ? QStringView(u"/") : pathAndQuery);
    qsizetype longest = -1;
    bool allowed = true;
    for (const Rule& rule : m_rules) {
        const qsizetype length = rule.pattern.size();
        if (length < longest || !ruleMatches(rule.pattern, path))
            continue;
        if (length > longest || rule.allow)
            allowed = rule.allow;
        longest = length;
    }
    return allowed;
}

} // namespace corvane
