#include "output/WebLink.h"

namespace corvane::WebLink {

namespace {

const QString kHttp = QStringLiteral("http://");
const QString kHttps = QStringLiteral("https://");

bool isAsciiLetter(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

// The scheme of a URL: a letter, then letters, digits, "+", "-" or ".".
bool isScheme(QStringView text)
{
    if (text.isEmpty() || !isAsciiLetter(text.front()))
        return false;
    for (const QChar c : text) {
        if (!isAsciiLetter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.')
            return false;
    }
    return true;
}

} // namespace

QString target(const QString& value, const QString& scheme)
{
    if (value.isEmpty())
        return {};
    const qsizetype colon = value.indexOf(u':');
    const QStringView before = QStringView(value).first(std::max<qsizetype>(colon, 0));
    if (colon > 0 && isScheme(before)) {
        if (before.compare(u"http", Qt::CaseInsensitive) == 0
            || before.compare(u"https", Qt::CaseInsensitive) == 0)
            return value;
        // A host and its port ("partner.example:8080/links.htm") is no scheme.
        const bool port = colon + 1 < value.size() && value[colon + 1].isDigit();
        if (!port)
            return {};
    }
    return scheme + value;
}

QString schemeOf(const QString& value)
{
    return value.startsWith(kHttps, Qt::CaseInsensitive) ? kHttps : kHttp;
}

} // namespace corvane::WebLink
