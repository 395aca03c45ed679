#include "output/WebLink.h"

#include "web/UrlTools.h"

namespace corvane::WebLink {

namespace {

const QString kHttp = QStringLiteral("http://");
const QString kHttps = QStringLiteral("https://");

} // namespace

QString target(const QString& value, const QString& scheme)
{
    if (value.isEmpty())
        return {};
    if (value.startsWith(QStringLiteral("http:"), Qt::CaseInsensitive)
        || value.startsWith(QStringLiteral("https:"), Qt::CaseInsensitive))
        return value;
    // A host and its port ("partner.example:8080/links.htm") is no scheme.
    const qsizetype colon = value.indexOf(u':');
    const bool port = colon > 0 && colon + 1 < value.size() && value[colon + 1].isDigit();
    if (UrlTools::HasOtherScheme(value) && !port)
        return {};
    return scheme + value;
}

QString schemeOf(const QString& value)
{
    return value.startsWith(kHttps, Qt::CaseInsensitive) ? kHttps : kHttp;
}

} // namespace corvane::WebLink
