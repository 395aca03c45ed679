#pragma once

#include <QStringView>

namespace corvane {

// What the "Notes" of a result row say about the link: its rel tokens, whether the page that
// holds it is closed to search engines (robots meta tag or header, robots.txt), and whether that
// page names another as its canonical one. The notes are "; "-separated parts, the link text
// (text "...") last, so words inside the link text are never taken for a part.
struct ResultNotes {
    bool nofollow = false;
    bool sponsored = false;
    bool ugc = false;
    bool pageNoindex = false;
    bool pageNofollow = false;
    bool pageBlockedByRobotsTxt = false;
    bool canonicalElsewhere = false;

    static ResultNotes read(QStringView notes)
    {
        ResultNotes r;
        qsizetype start = 0;
        while (start < notes.size()) {
            qsizetype end = notes.indexOf(u"; ", start);
            if (end < 0)
                end = notes.size();
            const QStringView part = notes.sliced(start, end - start);
            if (part.startsWith(u"text \""))
                break;
            r.nofollow = r.nofollow || part == u"nofollow";
            r.sponsored = r.sponsored || part == u"sponsored";
            r.ugc = r.ugc || part == u"ugc";
            r.pageNoindex = r.pageNoindex || part == u"page noindex";
            r.pageNofollow = r.pageNofollow || part == u"page nofollow";
            r.pageBlockedByRobotsTxt
                = r.pageBlockedByRobotsTxt || part == u"page blocked by robots.txt";
            r.canonicalElsewhere = r.canonicalElsewhere || part.startsWith(u"canonical elsewhere: ");
            start = end + 2;
        }
        return r;
    }

    // A link that passes no value to the Main Site: search engines are told not to follow it,
    // or the page that holds it is kept out of their index (or from their crawlers, or indexed
    // as another page) or its links unfollowed.
    bool passesNoValue() const
    {
        return nofollow || sponsored || ugc || pageNoindex || pageNofollow
            || pageBlockedByRobotsTxt || canonicalElsewhere;
    }
};

} // namespace corvane
