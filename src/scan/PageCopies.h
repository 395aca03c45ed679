#pragma once

#include "model/AppFolder.h"

#include <QFile>
#include <QString>

#include <array>
#include <memory>

namespace corvane {

class PageText;

// The two copies every analysed page leaves in the application folder: html<n>.txt, the page with
// every "href=" on a line of its own, and html2<n>.txt, the same without any line break; both end
// with CR LF and are Windows-1252 text. Each page replaces the copies of the one before. A copy
// that cannot be written is no reason to stop the scan: the caller is told why, and goes on.
class PageCopies
{
public:
    explicit PageCopies(AppFolder app) : m_app(std::move(app)) {}

    // Writes both copies. Returns why a copy could not be written ("html0.txt: No space left on
    // device"), or an empty text when both were written whole. A copy that failed is left empty
    // rather than holding part of this page over part of the one before.
    QString write(const PageText& text, int slot);
    // The files of a slot stay open from page to page while a Linking Site is scanned (opening
    // and truncating them for every page costs more than the rest of a small page's analysis);
    // this closes them.
    void closeAll();

private:
    static constexpr int kKeptSlots = 10;
    struct Copy {
        std::unique_ptr<QFile> file;
        qint64 size = 0; // what the last page left in it: only a shorter page must cut it
    };
    static QString writeFile(Copy& copy, const QString& path, const QByteArray& bytes);

    AppFolder m_app;
    std::array<std::array<Copy, 2>, kKeptSlots> m_open;
};

} // namespace corvane
