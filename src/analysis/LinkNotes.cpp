#include "analysis/LinkNotes.h"

#include "model/ProjectField.h"
#include "net/ResponseHead.h"
#include "web/CharacterReferences.h"

#include <QStringList>
#include <QUrl>
#include <QStringMatcher>

#include <algorithm>

namespace corvane {

namespace {

// How far the reading looks back from an href for the start of its tag, how long a tag may be,
// and how far it looks forward for the end of the link text.
constexpr qsizetype kTagReach = 8192;
constexpr qsizetype kTextReach = 4096;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\f';
}

bool isNameChar(QChar c)
{
    return !isBlank(c) && c != u'=' && c != u'>' && c != u'/' && c != u'<';
}

// Reads the attributes of a tag from `from` (just after the tag name) until the ">" that ends the
// tag, not looking at or beyond `limit`. Calls take(name, value) for each attribute. Returns where
// the ">" stands, or `limit` when the tag does not end before it.
template <typename Take>
qsizetype readAttributes(QStringView page, qsizetype from, qsizetype limit, Take take)
{
    qsizetype i = from;
    while (i < limit) {
        const QChar c = page[i];
        if (c == u'>')
            return i;
        if (!isNameChar(c)) {
            ++i;
            continue;
        }
        const qsizetype nameStart = i;
        while (i < limit && isNameChar(page[i]))
            ++i;
        const QStringView name = page.sliced(nameStart, i - nameStart);
        qsizetype j = i;
        while (j < limit && isBlank(page[j]))
            ++j;
        if (j >= limit || page[j] != u'=') {
            take(name, QStringView());
            continue;
        }
        ++j;
        while (j < limit && isBlank(page[j]))
            ++j;
        if (j >= limit)
            return limit;
        QStringView value;
        if (page[j] == u'"' || page[j] == u'\'') {
            const QChar quote = page[j];
            const qsizetype start = j + 1;
            qsizetype end = start;
            while (end < limit && page[end] != quote)
                ++end;
            value = page.sliced(start, end - start);
            i = std::min(end + 1, limit);
        } else {
            const qsizetype start = j;
            qsizetype end = start;
            while (end < limit && !isBlank(page[end]) && page[end] != u'>')
                ++end;
            value = page.sliced(start, end - start);
            i = end;
        }
        take(name, value);
    }
    return limit;
}

// The tag name that follows the "<" at lt, or nothing when no letter follows it.
QStringView tagNameAt(QStringView page, qsizetype lt)
{
    qsizetype i = lt + 1;
    while (i < page.size() && (page[i].isLetterOrNumber()))
        ++i;
    return page.sliced(lt + 1, i - lt - 1);
}

bool same(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// Calls take(token) for each word of a list separated by blanks or commas.
template <typename Take> void forEachToken(QStringView list, Take take)
{
    qsizetype i = 0;
    while (i < list.size()) {
        while (i < list.size() && (isBlank(list[i]) || list[i] == u','))
            ++i;
        const qsizetype start = i;
        while (i < list.size() && !isBlank(list[i]) && list[i] != u',')
            ++i;
        if (i > start)
            take(list.sliced(start, i - start));
    }
}

void addRobotsTokens(QStringView content, LinkNotes::Robots& robots)
{
    forEachToken(content, [&](QStringView token) {
        // "googlebot: noindex" names the robot before the rule.
        if (const qsizetype colon = token.lastIndexOf(u':'); colon >= 0)
            token = token.sliced(colon + 1);
        if (same(token, u"noindex") || same(token, u"none"))
            robots.noindex = true;
        if (same(token, u"nofollow") || same(token, u"none"))
            robots.nofollow = true;
    });
}

QString foldBlanks(QStringView text)
{
    QString out;
    out.reserve(std::min<qsizetype>(text.size(), LinkNotes::kTextLimit + 1));
    bool blank = false;
    for (const QChar c : text) {
        if (c.isSpace()) {
            blank = !out.isEmpty();
            continue;
        }
        if (blank)
            out += u' ';
        blank = false;
        out += c;
        if (out.size() >= LinkNotes::kTextLimit)
            break;
    }
    return out.left(LinkNotes::kTextLimit);
}

} // namespace

LinkNotes::LinkNotes(QStringView page, QStringView head, const QString& pageUrl)
    : m_page(page), m_head(head), m_pageUrl(pageUrl)
{
}

QString LinkNotes::notesFor(qsizetype hrefAt)
{
    if (!m_robots) {
        Robots r = readRobotsMeta(m_page);
        const Robots h = readRobotsHeader(m_head);
        r.noindex = r.noindex || h.noindex;
        r.nofollow = r.nofollow || h.nofollow;
        m_robots = r;
        if (!m_pageUrl.isEmpty())
            m_canonicalElsewhere = canonicalElsewhere(readCanonical(m_page, m_head), m_pageUrl);
    }
    return compose(readTag(m_page, hrefAt), *m_robots, m_canonicalElsewhere);
}

std::optional<LinkNotes::Tag> LinkNotes::readTag(QStringView page, qsizetype hrefAt)
{
    if (hrefAt <= 0 || hrefAt > page.size())
        return std::nullopt;
    const qsizetype from = std::max<qsizetype>(0, hrefAt - kTagReach);
    // The nearest "<" that starts a tag name.
    qsizetype lt = hrefAt - 1;
    while (lt >= from && !(page[lt] == u'<' && lt + 1 < page.size() && page[lt + 1].isLetter()))
        --lt;
    if (lt < from)
        return std::nullopt;
    const QStringView name = tagNameAt(page, lt);
    const bool area = same(name, u"area");
    if (!area && !same(name, u"a"))
        return std::nullopt;

    Tag tag;
    QString alt;
    const qsizetype limit = std::min(page.size(), lt + kTagReach);
    const qsizetype end
        = readAttributes(page, lt + 1 + name.size(), limit, [&](QStringView n, QStringView v) {
              if (same(n, u"rel")) {
                  forEachToken(v, [&](QStringView token) {
                      tag.nofollow = tag.nofollow || same(token, u"nofollow");
                      tag.sponsored = tag.sponsored || same(token, u"sponsored");
                      tag.ugc = tag.ugc || same(token, u"ugc");
                  });
              } else if (area && same(n, u"alt")) {
                  alt = v.toString();
              }
          });
    // The href stands in the text after the tag, not in it.
    if (end < hrefAt)
        return std::nullopt;
    if (area || end >= limit) {
        tag.text
            = foldBlanks(CharacterReferences::decode(alt, CharacterReferences::Context::Attribute));
        return tag;
    }

    // The link text: up to "</a", the start of another link, or the reach.
    QString text;
    const qsizetype textLimit = std::min(page.size(), end + 1 + kTextReach);
    qsizetype i = end + 1;
    while (i < textLimit) {
        const QChar c = page[i];
        if (c != u'<') {
            text += c;
            ++i;
            continue;
        }
        if (i + 1 < textLimit && page[i + 1] == u'/') {
            if (same(tagNameAt(page, i + 1), u"a"))
                break;
            // Within the reach: a page without a later ">" must not be read to its end per link.
            const qsizetype close = page.first(textLimit).indexOf(u'>', i);
            i = close < 0 ? textLimit : close + 1;
            continue;
        }
        const QStringView inner = tagNameAt(page, i);
        if (same(inner, u"a"))
            break;
        const bool image = same(inner, u"img");
        const qsizetype close = readAttributes(page, i + 1 + inner.size(), textLimit,
                                               [&](QStringView n, QStringView v) {
                                                   if (image && alt.isEmpty() && same(n, u"alt"))
                                                       alt = v.toString();
                                               });
        // A "<" that starts no tag name is text.
        if (inner.isEmpty())
            text += c;
        i = inner.isEmpty() ? i + 1 : close + 1;
    }
    tag.text = foldBlanks(CharacterReferences::decode(text, CharacterReferences::Context::Text));
    if (tag.text.isEmpty())
        tag.text
            = foldBlanks(CharacterReferences::decode(alt, CharacterReferences::Context::Attribute));
    return tag;
}

LinkNotes::Robots LinkNotes::readRobotsMeta(QStringView page)
{
    static const QStringMatcher meta(u"<meta", Qt::CaseInsensitive);
    Robots robots;
    qsizetype at = 0;
    while ((at = meta.indexIn(page, at)) >= 0) {
        const qsizetype from = at + 5;
        if (from < page.size() && !isBlank(page[from])) {
            at = from;
            continue;
        }
        bool forRobots = false;
        QStringView content;
        const qsizetype limit = std::min(page.size(), from + kTagReach);
        const qsizetype end = readAttributes(page, from, limit, [&](QStringView n, QStringView v) {
            if (same(n, u"name"))
                forRobots = same(v.trimmed(), u"robots") || same(v.trimmed(), u"googlebot");
            else if (same(n, u"content"))
                content = v;
        });
        if (forRobots)
            addRobotsTokens(content, robots);
        at = std::max(end, from);
    }
    return robots;
}

LinkNotes::Robots LinkNotes::readRobotsHeader(QStringView head)
{
    Robots robots;
    for (const QStringView value : ResponseHead::fieldValues(head, u"X-Robots-Tag"))
        addRobotsTokens(value, robots);
    return robots;
}

QString LinkNotes::compose(const std::optional<Tag>& tag, Robots robots,
                           const QString& canonicalElsewhere)
{
    QStringList parts;
    if (tag && tag->nofollow)
        parts << QStringLiteral("nofollow");
    if (tag && tag->sponsored)
        parts << QStringLiteral("sponsored");
    if (tag && tag->ugc)
        parts << QStringLiteral("ugc");
    if (robots.noindex)
        parts << QStringLiteral("page noindex");
    if (robots.nofollow)
        parts << QStringLiteral("page nofollow");
    if (!canonicalElsewhere.isEmpty())
        parts << kCanonicalElsewhere + ProjectField::text(canonicalElsewhere);
    if (tag && !tag->text.isEmpty()) {
        // The notes are one field of a "|"-separated project line.
        parts << QStringLiteral("text \"") + ProjectField::text(tag->text) + u'"';
    }
    return parts.join(QStringLiteral("; "));
}

QString LinkNotes::addPart(const QString& notes, const QString& part)
{
    if (notes.isEmpty())
        return part;
    // The link text is the last part, and the only one that starts so.
    const qsizetype text = notes.startsWith(u"text \"") ? 0 : notes.indexOf(u"; text \"");
    if (text < 0)
        return notes + QStringLiteral("; ") + part;
    if (text == 0)
        return part + QStringLiteral("; ") + notes;
    return notes.first(text) + QStringLiteral("; ") + part + notes.sliced(text);
}

QString LinkNotes::readCanonical(QStringView page, QStringView head)
{
    for (const QStringView value : ResponseHead::fieldValues(head, u"Link")) {
        // <url>; rel="canonical", <url2>; rel=alternate ...
        qsizetype at = 0;
        while ((at = value.indexOf(u'<', at)) >= 0) {
            const qsizetype close = value.indexOf(u'>', at);
            if (close < 0)
                break;
            const QStringView url = value.sliced(at + 1, close - at - 1).trimmed();
            const qsizetype next = value.indexOf(u'<', close);
            const QStringView params = value.sliced(close + 1, (next < 0 ? value.size() : next)
                                                                   - close - 1);
            bool canonical = false;
            for (QStringView param : params.split(u';')) {
                param = param.trimmed();
                const qsizetype eq = param.indexOf(u'=');
                if (eq < 0 || !same(param.first(eq).trimmed(), u"rel"))
                    continue;
                QStringView rel = param.sliced(eq + 1).trimmed();
                if (rel.startsWith(u'"'))
                    rel = rel.sliced(1);
                if (const qsizetype quote = rel.indexOf(u'"'); quote >= 0)
                    rel = rel.first(quote);
                forEachToken(rel, [&](QStringView token) {
                    canonical = canonical || same(token, u"canonical");
                });
            }
            if (canonical && !url.isEmpty())
                return url.toString();
            if (next < 0)
                break;
            at = next;
        }
    }

    // In the page's head: a canonical link in the body is not one search engines take.
    static const QStringMatcher link(u"<link", Qt::CaseInsensitive);
    static const QStringMatcher body(u"<body", Qt::CaseInsensitive);
    const qsizetype bodyAt = body.indexIn(page);
    const QStringView before = bodyAt < 0 ? page : page.first(bodyAt);
    qsizetype at = 0;
    while ((at = link.indexIn(before, at)) >= 0) {
        const qsizetype from = at + 5;
        if (from >= before.size() || !isBlank(before[from])) {
            at = from;
            continue;
        }
        bool canonical = false;
        QString href;
        const qsizetype limit = std::min(before.size(), from + kTagReach);
        const qsizetype end
            = readAttributes(before, from, limit, [&](QStringView n, QStringView v) {
                  if (same(n, u"rel"))
                      forEachToken(v, [&](QStringView token) {
                          canonical = canonical || same(token, u"canonical");
                      });
                  else if (same(n, u"href"))
                      href = CharacterReferences::decode(v, CharacterReferences::Context::Attribute)
                                 .trimmed();
              });
        if (canonical && !href.isEmpty())
            return href;
        at = std::max(end, from);
    }
    return {};
}

QString LinkNotes::canonicalElsewhere(const QString& canonical, const QString& pageUrl)
{
    if (canonical.isEmpty() || pageUrl.isEmpty())
        return {};
    const QUrl page(QStringLiteral("http://") + pageUrl);
    const QUrl target = page.resolved(QUrl(canonical.trimmed()));
    if (!target.isValid() || target.host().isEmpty()
        || (target.scheme() != u"http" && target.scheme() != u"https"))
        return {};
    const auto hostOf = [](const QUrl& url) {
        QString host = url.host().toLower();
        if (host.startsWith(u"www."))
            host.remove(0, 4);
        return host;
    };
    const auto portOf = [](const QUrl& url) {
        const int port = url.port();
        return port == 80 || port == 443 ? -1 : port;
    };
    const auto pathOf = [](const QUrl& url) {
        QString path = url.path(QUrl::FullyEncoded);
        if (path.isEmpty())
            path = QStringLiteral("/");
        if (url.hasQuery())
            path += u'?' + url.query(QUrl::FullyEncoded);
        return path;
    };
    if (hostOf(target) == hostOf(page) && portOf(target) == portOf(page)
        && pathOf(target) == pathOf(page))
        return {};
    QString shown = target.host();
    if (portOf(target) >= 0)
        shown += u':' + QString::number(target.port());
    return shown + pathOf(target);
}

QString LinkNotes::decodeEntities(QStringView text)
{
    return CharacterReferences::decode(text, CharacterReferences::Context::Text);
}

} // namespace corvane
