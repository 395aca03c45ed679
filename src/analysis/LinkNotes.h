#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace corvane {

// How a found link is made, read from the page text around its "href=": the rel tokens and the
// text of the <a> tag that holds it, whether the page is closed to search engines (a robots
// meta tag or an X-Robots-Tag header), and whether it names another page as its canonical one
// (a <link rel="canonical"> or a Link header), which search engines index in its place. There is no HTML parser: the tag is found by looking back
// from the href to the nearest "<", and its text by looking forward to "</a", both within a bounded
// distance, so reading a link costs the same on a page of any size.
class LinkNotes
{
public:
    struct Tag {
        bool nofollow = false;
        bool sponsored = false;
        bool ugc = false;
        QString text; // tags stripped, entities decoded, blanks folded, at most kTextLimit
    };
    struct Robots {
        bool noindex = false;
        bool nofollow = false;
    };

    static constexpr qsizetype kTextLimit = 100;

    // page: the page text; head: the response head (status line and header lines), may be empty;
    // pageUrl: where the page is, host and path without scheme ("partner.test/links.htm"), the
    // base of its canonical link.
    LinkNotes(QStringView page, QStringView head, const QString& pageUrl = {});

    // The notes of the link whose "href=" stands at hrefAt in the page, e.g.
    // "nofollow; page noindex; text "Best widgets"". The page's robots and canonical link are
    // read once, on the first call.
    QString notesFor(qsizetype hrefAt);

    // The <a> (or <area>) tag that holds the "href=" at hrefAt; nothing when the href stands in
    // another tag or in no tag.
    static std::optional<Tag> readTag(QStringView page, qsizetype hrefAt);
    // The robots meta tags of the page ("robots" and "googlebot").
    static Robots readRobotsMeta(QStringView page);
    // The X-Robots-Tag header lines of a response head.
    static Robots readRobotsHeader(QStringView head);
    // The canonical URL the page names, as written: a Link header's (rel="canonical") first, else
    // the href of the first <link rel="canonical"> before the page's <body>. Empty when none.
    static QString readCanonical(QStringView page, QStringView head);
    // The page another page's canonical URL (as written) stands for, without scheme, when that is
    // not the page at pageUrl itself; else an empty text. Relative URLs are resolved against the
    // page. The scheme, a leading "www." of the host and a default port do not make another page.
    static QString canonicalElsewhere(const QString& canonical, const QString& pageUrl);
    // The notes text: the rel tokens, the page's robots, its canonical page when it is another,
    // the link text, joined by "; ".
    static QString compose(const std::optional<Tag>& tag, Robots robots,
                           const QString& canonicalElsewhere = {});
    // The notes with one more part, put before the link text.
    static QString addPart(const QString& notes, const QString& part);
    // How the notes begin the part that names the canonical page.
    static inline const QString kCanonicalElsewhere = QStringLiteral("canonical elsewhere: ");
    // A text between tags with its character references decoded (CharacterReferences), tags
    // left as they are.
    static QString decodeEntities(QStringView text);

private:
    QStringView m_page;
    QStringView m_head;
    QString m_pageUrl;
    std::optional<Robots> m_robots;
    QString m_canonicalElsewhere;
};

} // namespace corvane
