#include "analysis/PageText.h"

#include "web/TextSearch.h"
#include "web/UrlTools.h"

#include <algorithm>

namespace corvane {

namespace {

// The blanks after "href=" go in passes of eight, seven, ... one blank, each pass at most once per
// attribute: together at most 36 of them.
constexpr int kMaxDroppedBlanks = 36;
// How far back the start of an attribute's tag is looked for.
constexpr qsizetype kTagReach = 2048;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\f';
}

} // namespace

PageText::PageText(QString body) : m_body(std::move(body)), m_folded(TextSearch::caseFolded(m_body))
{
    // Case folding keeps every character's place, so a place in one text is the same in the other.
    Q_ASSERT(m_folded.size() == m_body.size());
    using TextSearch::find;
    for (qsizetype at = find(m_body, u"<!--"); at >= 0;) {
        const qsizetype end = find(m_body, u"-->", at + 4);
        m_comments.append({at, end >= 0 ? end + 3 : m_body.size()});
        at = end >= 0 ? find(m_body, u"<!--", end + 3) : -1;
    }
    auto comment = m_comments.cbegin();
    bool baseSeen = false;
    for (qsizetype at = find(m_folded, u"href"); at >= 0; at = find(m_folded, u"href", at + 4)) {
        // Blanks may stand around the "=", as in any attribute.
        qsizetype equals = at + 4;
        while (equals < m_body.size() && isBlank(m_body.at(equals)))
            ++equals;
        if (equals >= m_body.size() || m_body.at(equals) != u'=')
            continue;
        while (comment != m_comments.cend() && comment->second <= at)
            ++comment;
        const bool inComment = comment != m_comments.cend() && comment->first <= at;
        qsizetype value = equals + 1;
        for (int blanks = 0;
             value < m_body.size() && blanks < kMaxDroppedBlanks && isBlank(m_body.at(value));
             ++blanks)
            ++value;
        const bool base = tagIsBase(at);
        if (base && !inComment && !baseSeen) {
            baseSeen = true;
            m_base = m_hrefs.size();
        }
        m_hrefs.append({at, value, inComment, base});
        at = value - 4;
    }
}

bool PageText::tagIsBase(qsizetype at) const
{
    // The tag the attribute stands in begins at the nearest "<" before it (with no ">" between).
    const qsizetype from = std::max<qsizetype>(0, at - kTagReach);
    for (qsizetype i = at - 1; i >= from; --i) {
        const QChar c = m_folded.at(i);
        if (c == u'>')
            return false;
        if (c == u'<') {
            const QStringView tag = QStringView(m_folded).sliced(i + 1);
            return tag.startsWith(u"base") && tag.size() > 4 && isBlank(tag.at(4));
        }
    }
    return false;
}

bool PageText::mentions(QStringView part) const
{
    return TextSearch::find(m_folded, TextSearch::caseFolded(part)) >= 0;
}

bool PageText::mentionsSiteName(QStringView site) const
{
    const QString finder = TextSearch::caseFolded(site);
    // The text between the comments, piece by piece.
    qsizetype from = 0;
    for (const auto& [start, end] : m_comments) {
        if (UrlTools::HoldsSiteName(QStringView(m_folded).sliced(from, start - from), finder))
            return true;
        from = end;
    }
    return UrlTools::HoldsSiteName(QStringView(m_folded).sliced(from), finder);
}

QStringView PageText::folded(QStringView part) const
{
    return QStringView(m_folded).sliced(part.constData() - m_body.constData(), part.size());
}

qsizetype PageText::firstRedirectMarker() const
{
    static const QStringView statuses[] = {u"302 found", u"301 moved permanently"};
    qsizetype first = -1;
    const auto take = [&first](qsizetype at) {
        if (at >= 0 && (first < 0 || at < first))
            first = at;
    };
    for (const QStringView status : statuses)
        take(TextSearch::find(m_folded, status));
    // The two titles are looked for in one pass over the page's "<title>" tags: "<" is everywhere
    // in a page, "<title>" once or twice.
    const QStringView folded(m_folded);
    for (qsizetype at = TextSearch::find(folded, u"<title>"); at >= 0;
         at = TextSearch::find(folded, u"<title>", at + 1)) {
        const QStringView title = folded.sliced(at + 7);
        if (title.startsWith(u"document moved</title>")
            || title.startsWith(u"object moved</title>")) {
            take(at);
            break;
        }
    }
    return first;
}

qsizetype PageText::lineBreakIn(qsizetype from, qsizetype to) const
{
    for (qsizetype i = from; i < to; ++i) {
        const QChar c = m_body.at(i);
        if (c == u'\r' || c == u'\n')
            return i;
    }
    return to;
}

qsizetype PageText::firstLineEnd() const
{
    return lineBreakIn(0, m_hrefs.isEmpty() ? m_body.size() : m_hrefs.first().at);
}

qsizetype PageText::lineEnd(qsizetype k) const
{
    const qsizetype limit = k + 1 < m_hrefs.size() ? m_hrefs.at(k + 1).at : m_body.size();
    return lineBreakIn(m_hrefs.at(k).value, limit);
}

QStringView PageText::rest(qsizetype k, qsizetype end) const
{
    const qsizetype value = m_hrefs.at(k).value;
    return QStringView(m_body).sliced(value, end - value);
}

QString PageText::rewritten() const
{
    QString out;
    out.reserve(m_body.size() + 2 * m_hrefs.size());
    qsizetype pos = 0;
    for (const Href& h : m_hrefs) {
        out.append(QStringView(m_body).sliced(pos, h.at - pos));
        out.append(u"\r\nhref=");
        pos = h.value;
    }
    out.append(QStringView(m_body).sliced(pos));
    return out;
}

} // namespace corvane
