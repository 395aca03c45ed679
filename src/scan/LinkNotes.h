#pragma once

#include <QString>
#include <QStringView>

#include <optional>

namespace corvane {

// How a found link is made, read from the page text around its "href=": the rel tokens and the
// text of the <a> tag that holds it, and whether the page is closed to search engines (a robots
// meta tag or an X-Robots-Tag header). There is no HTML parser: the tag is found by looking back
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

    // page: the page text; head: the response head (status line and header lines), may be empty.
    LinkNotes(QStringView page, QStringView head);

    // The notes of the link whose "href=" stands at hrefAt in the page, e.g.
    // "nofollow; page noindex; text "Best widgets"". The page's robots are read once, on the first
    // call.
    QString notesFor(qsizetype hrefAt);

    // The <a> (or <area>) tag that holds the "href=" at hrefAt; nothing when the href stands in
    // another tag or in no tag.
    static std::optional<Tag> readTag(QStringView page, qsizetype hrefAt);
    // The robots meta tags of the page ("robots" and "googlebot").
    static Robots readRobotsMeta(QStringView page);
    // The X-Robots-Tag header lines of a response head.
    static Robots readRobotsHeader(QStringView head);
    // The notes text: the rel tokens, the page's robots, the link text, joined by "; ".
    static QString compose(const std::optional<Tag>& tag, Robots robots);
    // Entities decoded, tags left as they are.
    static QString decodeEntities(QStringView text);

private:
    QStringView m_page;
    QStringView m_head;
    std::optional<Robots> m_robots;
};

} // namespace corvane
