#pragma once

#include "model/AppFolder.h"

#include <QString>

namespace corvane {

class PageText;

// The two copies every analysed page leaves in the application folder: html<n>.txt, the page with
// every "href=" on a line of its own, and html2<n>.txt, the same without any line break; both end
// with CR LF and are Windows-1252 text. Each page replaces the copies of the one before. A copy
// that cannot be written is no reason to stop the scan: failures are not reported.
class PageCopies
{
public:
    explicit PageCopies(AppFolder app) : m_app(std::move(app)) {}

    void write(const PageText& text, int slot) const;

private:
    AppFolder m_app;
};

} // namespace corvane
