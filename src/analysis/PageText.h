#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <utility>

namespace corvane {

// A page as the analysis reads it. There is no HTML parser: every "href=" (any letter case, blanks
// allowed around the "=") is taken to start a line of its own, with up to 36 blanks after its "="
// dropped, and lines also end at CR LF, a lone CR or a lone LF. The text is kept as it came; the rewriting is described by
// where each "href=" stands and where its value starts. The searches that ignore letter case are
// made in a case-folded copy of the page, made once.
class PageText
{
public:
    struct Href {
        qsizetype at = 0;    // the "href=" in the text
        qsizetype value = 0; // what follows it once the blanks after it are gone
        bool inComment = false; // inside "<!--" ... "-->": not a link
        bool inBase = false;    // the attribute of a <base> tag: the page's base, not a link
    };

    explicit PageText(QString body);

    const QString& body() const { return m_body; }
    const QList<Href>& hrefs() const { return m_hrefs; }
    // The href of the page's first <base> outside comments, or -1.
    qsizetype baseHref() const { return m_base; }

    // Whether the text holds part, letter case ignored.
    bool mentions(QStringView part) const;
    // Whether the text names the site, letter case ignored, as a name of its own (see
    // UrlTools::HoldsSiteName) and outside comments: "notexample.com" does not mention
    // "example.com".
    bool mentionsSiteName(QStringView site) const;
    // The case-folded twin of a part of body().
    QStringView folded(QStringView part) const;
    // Where the first text that marks a server's "moved" page stands, or -1.
    qsizetype firstRedirectMarker() const;

    // The first line ends at the first line break or where the first "href=" starts a new line.
    qsizetype firstLineEnd() const;
    // The line that starts with "href=" number k ends at a line break or at the next "href=".
    qsizetype lineEnd(qsizetype k) const;
    // What follows "href=" on line k, up to end.
    QStringView rest(qsizetype k, qsizetype end) const;

    // The page with every "href=" made to start a line: "href=" in lower case after CR LF.
    QString rewritten() const;

private:
    qsizetype lineBreakIn(qsizetype from, qsizetype to) const;
    bool tagIsBase(qsizetype hrefAt) const;

    QString m_body;
    QString m_folded;
    QList<Href> m_hrefs;
    qsizetype m_base = -1;
    // Where the comments ("<!--" to "-->", or to the end when one is not closed) start and end.
    QList<std::pair<qsizetype, qsizetype>> m_comments;
};

} // namespace corvane
