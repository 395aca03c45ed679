#include "import/MarkupRemover.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <utility>
#include <vector>

namespace corvane {

namespace {

enum class Kind : quint8 {
    Plain, // text without "<" or ">"
    Open,  // "<" and the plain text after it
    Close, // ">"
};

struct Token {
    qint32 begin = 0; // range in the original text, while merged < 0
    qint32 end = 0;
    qint32 prev = -1;
    qint32 next = -1;
    qint32 merged = -1;    // index of its own text once plain runs of two sides were joined
    qint32 linkRound = 0;  // round in which its link to the left neighbour was made
    qint32 mergeRound = 0; // last round that joined plain text into it
    Kind kind = Kind::Plain;
    bool alive = true;
};

// The rounds of the removal on the token list. Invariants: no two live plain tokens are
// neighbours; every smallest tag (an Open token, at most one plain token, a Close token) of the
// current text is listed under its text in m_tags, by its Open token.
class Rounds
{
public:
    explicit Rounds(const QString& text) : m_text(text) { tokenize(); }

    QString run()
    {
        qint32 frontier = -1; // the last token of the text before the first "<": final
        for (;;) {
            ++m_round;
            qint32 t = frontier < 0 ? m_first : m_tokens[frontier].next;
            while (t >= 0 && kind(t) == Kind::Plain) {
                frontier = t;
                t = m_tokens[t].next;
            }
            if (t < 0 || kind(t) == Kind::Close)
                break; // no "<" left, or a ">" before the first "<"
            const qint32 open = t;
            qint32 lastOpen = open;
            while (t >= 0 && kind(t) != Kind::Close) {
                if (kind(t) == Kind::Open)
                    lastOpen = t;
                t = m_tokens[t].next;
            }
            if (t < 0)
                break; // no ">" left
            const QString tag = join(open, t);
            const QString smallest = join(lastOpen, t);
            const QStringView prefix = QStringView(tag).left(tag.size() - smallest.size());

            // Every occurrence of the tag ends with an occurrence of its last smallest tag, and
            // occurrences never overlap (">" ends a tag and appears nowhere else in it).
            std::vector<qint32> candidates = m_tags.take(smallest);
            std::sort(candidates.begin(), candidates.end());
            std::vector<qint32> kept;
            std::vector<std::pair<QString, qint32>> formed;
            for (const qint32 candidate : candidates) {
                if (!m_tokens[candidate].alive)
                    continue;
                const qint32 start = occurrenceStart(candidate, prefix);
                if (start < 0)
                    kept.push_back(candidate);
                else
                    erase(start, closeOf(candidate), formed);
            }
            // The round's own tag is always among the occurrences; should the index ever miss it,
            // removing it here still ends the loop.
            Q_ASSERT(!m_tokens[open].alive);
            if (m_tokens[open].alive)
                erase(open, t, formed);
            // Tags formed by this round's removals join the index only now: the round removes
            // what the text held when it began.
            if (!kept.empty()) {
                std::vector<qint32>& list = m_tags[smallest];
                list.insert(list.end(), kept.begin(), kept.end());
            }
            for (auto& [text, token] : formed)
                m_tags[text].push_back(token);
        }

        QString out;
        out.reserve(m_text.size());
        for (qint32 t = m_first; t >= 0; t = m_tokens[t].next)
            out += textOf(t);
        return out;
    }

private:
    static bool isMarker(QChar c) { return c == u'<' || c == u'>'; }

    void tokenize()
    {
        const qint32 n = qint32(m_text.size());
        qint32 i = 0;
        while (i < n) {
            Token token;
            token.begin = i;
            if (m_text[i] == u'>') {
                token.kind = Kind::Close;
                ++i;
            } else {
                token.kind = m_text[i] == u'<' ? Kind::Open : Kind::Plain;
                if (token.kind == Kind::Open)
                    ++i;
                while (i < n && !isMarker(m_text[i]))
                    ++i;
            }
            token.end = i;
            token.prev = qint32(m_tokens.size()) - 1;
            if (token.prev >= 0)
                m_tokens.back().next = qint32(m_tokens.size());
            m_tokens.push_back(token);
        }
        m_first = m_tokens.empty() ? -1 : 0;
        for (qint32 t = 0; t + 1 < qint32(m_tokens.size()); ++t) {
            if (m_tokens[t].kind == Kind::Open && m_tokens[t + 1].kind == Kind::Close)
                m_tags[join(t, t + 1)].push_back(t);
        }
    }

    Kind kind(qint32 t) const { return m_tokens[t].kind; }

    QStringView textOf(qint32 t) const
    {
        const Token& token = m_tokens[t];
        if (token.merged >= 0)
            return m_merged[token.merged];
        return QStringView(m_text).mid(token.begin, token.end - token.begin);
    }

    QString join(qint32 from, qint32 to) const
    {
        QString s;
        for (qint32 t = from;; t = m_tokens[t].next) {
            s += textOf(t);
            if (t == to)
                return s;
        }
    }

    qint32 closeOf(qint32 open) const
    {
        const qint32 next = m_tokens[open].next;
        return kind(next) == Kind::Plain ? m_tokens[next].next : next;
    }

    // Where the occurrence of the tag that ends with the smallest tag at `open` begins, or -1.
    // The prefix must be found in the text as the round found it: a link or a plain run made by
    // this round's removals is not crossed.
    qint32 occurrenceStart(qint32 open, QStringView prefix) const
    {
        if (prefix.isEmpty())
            return open;
        qsizetype need = prefix.size();
        qint32 current = open;
        for (;;) {
            if (m_tokens[current].linkRound == m_round)
                return -1;
            const qint32 prev = m_tokens[current].prev;
            if (prev < 0 || m_tokens[prev].mergeRound == m_round)
                return -1;
            const QStringView text = textOf(prev);
            if (text.size() > need || prefix.mid(need - text.size(), text.size()) != text)
                return -1;
            need -= text.size();
            if (need == 0)
                return kind(prev) == Kind::Open ? prev : -1;
            current = prev;
        }
    }

    void link(qint32 left, qint32 right)
    {
        if (left >= 0)
            m_tokens[left].next = right;
        else
            m_first = right;
        if (right >= 0)
            m_tokens[right].prev = left;
    }

    void erase(qint32 from, qint32 to, std::vector<std::pair<QString, qint32>>& formed)
    {
        const qint32 left = m_tokens[from].prev;
        const qint32 right = m_tokens[to].next;
        for (qint32 t = from;; t = m_tokens[t].next) {
            m_tokens[t].alive = false;
            if (t == to)
                break;
        }
        link(left, right);
        if (left >= 0 && right >= 0 && kind(left) == Kind::Plain && kind(right) == Kind::Plain) {
            Token& l = m_tokens[left];
            if (l.merged < 0) {
                m_merged.push_back(textOf(left).toString());
                l.merged = qint32(m_merged.size()) - 1;
            }
            m_merged[l.merged] += textOf(right);
            l.mergeRound = m_round;
            m_tokens[right].alive = false;
            link(left, m_tokens[right].next);
        } else if (right >= 0) {
            m_tokens[right].linkRound = m_round;
        }

        // The join may have made a smallest tag: a "<" with no ">" after it on the left, and a
        // ">" with no "<" before it on the right.
        const qint32 x = left;
        const qint32 y = left >= 0 ? m_tokens[left].next : m_first;
        const qint32 before = x >= 0 && kind(x) == Kind::Plain ? m_tokens[x].prev : x;
        const qint32 after = y >= 0 && kind(y) == Kind::Plain ? m_tokens[y].next : y;
        if (before >= 0 && after >= 0 && kind(before) == Kind::Open && kind(after) == Kind::Close)
            formed.emplace_back(join(before, after), before);
    }

    const QString& m_text;
    std::vector<Token> m_tokens;
    std::vector<QString> m_merged;
    QHash<QString, std::vector<qint32>> m_tags;
    qint32 m_first = -1;
    qint32 m_round = 0;
};

} // namespace

QString MarkupRemover::remove(const QString& text)
{
    const qsizetype open = text.indexOf(u'<');
    const qsizetype close = text.indexOf(u'>');
    if (open < 0 || close < 0 || open > close)
        return text;
    if (text.size() >= std::numeric_limits<qint32>::max()) {
        QString t = text;
        for (;;) {
            const qsizetype o = t.indexOf(u'<');
            const qsizetype c = t.indexOf(u'>');
            if (o < 0 || c < 0 || o > c)
                return t;
            t.remove(t.mid(o, c - o + 1), Qt::CaseSensitive);
        }
    }
    return Rounds(text).run();
}

} // namespace corvane
