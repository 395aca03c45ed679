#include "scan/PageText.h"

#include <QStringMatcher>

#include <algorithm>

namespace corvane {

namespace {

// The blanks after "href=" go in passes of eight, seven, ... one blank, each pass at most once per
// attribute: together at most 36 of them.
constexpr int kMaxDroppedBlanks = 36;

} // namespace

PageText::PageText(QString body) : m_body(std::move(body))
{
    static const QStringMatcher href(u"href=", Qt::CaseInsensitive);
    qsizetype at = href.indexIn(m_body, 0);
    while (at >= 0) {
        qsizetype value = at + 5;
        for (int blanks = 0;
             value < m_body.size() && blanks < kMaxDroppedBlanks && m_body.at(value) == u' ';
             ++blanks)
            ++value;
        m_hrefs.append({at, value});
        at = href.indexIn(m_body, value);
    }
}

bool PageText::mentions(QStringView part) const
{
    return m_body.contains(part, Qt::CaseInsensitive);
}

qsizetype PageText::firstRedirectMarker() const
{
    static const QStringMatcher markers[] = {
        QStringMatcher(u"302 Found", Qt::CaseInsensitive),
        QStringMatcher(u"301 Moved Permanently", Qt::CaseInsensitive),
        QStringMatcher(u"<title>Document Moved</title>", Qt::CaseInsensitive),
        QStringMatcher(u"<title>Object moved</title>", Qt::CaseInsensitive),
    };
    qsizetype first = -1;
    for (const QStringMatcher& marker : markers) {
        const qsizetype at = marker.indexIn(m_body, 0);
        if (at >= 0 && (first < 0 || at < first))
            first = at;
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
