#pragma once

#include <QString>

namespace corvane {

// Where a link in a page the program writes (the report, the links page) may lead. The values
// come from scanned pages, imports and project files that anyone may have written, so only web
// addresses become links.
namespace WebLink {

// An http or https address as it stands; a page or host without a scheme ("partner.example/a",
// "partner.example:8080/") as scheme + the value, since a browser would take it for a local file;
// an empty text for anything else ("javascript:", "file:", "data:", an empty value), which must
// not become a link. scheme: "http://" or "https://".
QString target(const QString& value, const QString& scheme = QStringLiteral("http://"));

// "https://" when the value (a Linking Site as entered) starts with it, in any letter case,
// else "http://".
QString schemeOf(const QString& value);

} // namespace WebLink

} // namespace corvane
