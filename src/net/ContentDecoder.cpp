#include "net/ContentDecoder.h"

#include <QList>

#include <zlib.h>

#include <algorithm>
#include <utility>

namespace corvane {

namespace {

constexpr qsizetype kInflateStep = 64 * 1024;
// A coding's name goes into the error list, the report and the project file: one short word.
constexpr qsizetype kLongestName = 40;

QString shownName(const QByteArray& coding)
{
    QString name;
    for (const char c : coding.left(kLongestName)) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.';
        name.append(plain ? QChar(QLatin1Char(c)) : QChar(u'?'));
    }
    return name;
}

} // namespace

// One gzip or deflate coding, undone with zlib.
class ContentDecoder::Stage
{
public:
    Stage(QByteArray name, bool gzip) : m_name(std::move(name)), m_gzip(gzip) {}
    ~Stage()
    {
        if (m_state != State::Start)
            inflateEnd(&m_z);
    }
    Stage(const Stage&) = delete;
    Stage& operator=(const Stage&) = delete;

    const QByteArray& name() const { return m_name; }

    // Decodes in; every piece of output is handed to sink, which says how to go on.
    template <class Sink> Result run(QByteArrayView in, qint64 cap, Sink&& sink)
    {
        switch (m_state) {
        case State::Start: {
            m_pending += in;
            // A zlib header and a gzip header both take two bytes to tell.
            if (m_pending.size() < 2)
                return Result::More;
            const uchar b0 = uchar(m_pending.at(0));
            const uchar b1 = uchar(m_pending.at(1));
            const bool zlibHeader = (b0 & 0x0f) == 8 && (b0 >> 4) <= 7
                && ((unsigned(b0) << 8) | b1) % 31 == 0;
            // 15 + 32: a zlib or gzip stream, told apart by its header; -15: raw deflate.
            if (inflateInit2(&m_z, m_gzip || zlibHeader ? 15 + 32 : -15) != Z_OK)
                return Result::Broken;
            m_state = State::Inflating;
            const QByteArray first = std::exchange(m_pending, {});
            return inflateSome(first, cap, sink);
        }
        case State::Inflating:
            return inflateSome(in, cap, sink);
        case State::Ended: {
            m_pending += in;
            if (m_pending.size() < 2)
                return Result::More;
            // Only gzip has further members; anything else after the end is padding.
            const bool member = m_gzip && uchar(m_pending.at(0)) == 0x1f
                && uchar(m_pending.at(1)) == 0x8b;
            if (!member || inflateReset(&m_z) != Z_OK) {
                m_pending.clear();
                m_state = State::Ignoring;
                return Result::More;
            }
            m_state = State::Inflating;
            const QByteArray next = std::exchange(m_pending, {});
            return inflateSome(next, cap, sink);
        }
        case State::Ignoring:
            break;
        }
        return Result::More;
    }

    // The body ended: whether the coded stream was whole (an empty body is).
    bool whole() const
    {
        return (m_state == State::Start && m_pending.isEmpty()) || m_state == State::Ended
            || m_state == State::Ignoring;
    }

private:
    enum class State { Start, Inflating, Ended, Ignoring };

    template <class Sink> Result inflateSome(QByteArrayView in, qint64 cap, Sink&& sink)
    {
        m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        m_z.avail_in = uInt(in.size());
        if (m_out.isEmpty())
            m_out.resize(kInflateStep);
        for (;;) {
            m_z.next_out = reinterpret_cast<Bytef*>(m_out.data());
            m_z.avail_out = uInt(m_out.size());
            const int rc = ::inflate(&m_z, Z_NO_FLUSH);
            const qsizetype produced = m_out.size() - qsizetype(m_z.avail_out);
            if (produced > 0) {
                m_total += produced;
                if (const Result r = sink(QByteArrayView(m_out).first(produced)); r != Result::More)
                    return r;
                // A coding under another one is bounded as well: memory, not only the page.
                if (m_total >= cap)
                    return Result::Capped;
            }
            if (rc == Z_STREAM_END) {
                m_state = State::Ended;
                const qsizetype used = in.size() - qsizetype(m_z.avail_in);
                return run(in.sliced(used), cap, sink);
            }
            if (rc == Z_BUF_ERROR)
                return Result::More;
            if (rc != Z_OK)
                return Result::Broken;
            if (m_z.avail_in == 0 && m_z.avail_out > 0)
                return Result::More;
        }
    }

    QByteArray m_name;
    z_stream m_z{};
    QByteArray m_pending; // bytes kept until the stream's kind, or a further member, can be told
    QByteArray m_out;
    qint64 m_total = 0;
    bool m_gzip;
    State m_state = State::Start;
};

ContentDecoder::ContentDecoder(QByteArrayView contentEncoding, qint64 cap) : m_cap(cap)
{
    const QList<QByteArray> codings = contentEncoding.toByteArray().split(',');
    for (auto it = codings.crbegin(); it != codings.crend(); ++it) {
        const QByteArray coding = it->trimmed();
        const QByteArray name = coding.toLower();
        if (name.isEmpty() || name == "identity")
            continue;
        if (name == "gzip" || name == "x-gzip" || name == "deflate") {
            m_stages.push_back(std::make_unique<Stage>(name, name != "deflate"));
            continue;
        }
        // The last one undone is the first named: the one the header names first is said.
        m_unknown = coding;
    }
    if (!m_unknown.isEmpty())
        m_stages.clear();
}

ContentDecoder::~ContentDecoder() = default;

ContentDecoder::Result ContentDecoder::feed(QByteArrayView in, QByteArray& out)
{
    if (!understood())
        return Result::Broken;
    if (m_stopped)
        return Result::More;
    // The output of each stage goes on to the next; the last one's is the body.
    const auto append = [this, &out](QByteArrayView piece) {
        const qint64 room = m_cap - out.size();
        out += piece.first(qsizetype(std::clamp<qint64>(room, 0, piece.size())));
        return out.size() >= m_cap ? Result::Capped : Result::More;
    };
    const auto pass = [this, &append](auto& self, std::size_t stage, QByteArrayView piece) {
        if (stage == m_stages.size())
            return append(piece);
        const Result r = m_stages.at(stage)->run(
            piece, m_cap, [&](QByteArrayView produced) { return self(self, stage + 1, produced); });
        if (r == Result::Broken && m_broken.isEmpty())
            m_broken = m_stages.at(stage)->name();
        return r;
    };
    const Result r = in.isEmpty() ? Result::More : pass(pass, 0, in);
    m_stopped = r != Result::More;
    return r;
}

ContentDecoder::Result ContentDecoder::finish()
{
    if (!understood())
        return Result::Broken;
    if (!m_broken.isEmpty())
        return Result::Broken;
    if (m_stopped)
        return Result::Capped;
    for (const auto& stage : m_stages) {
        if (!stage->whole()) {
            m_broken = stage->name();
            m_stopped = true;
            return Result::Broken;
        }
    }
    return Result::More;
}

QString ContentDecoder::problem() const
{
    if (!m_unknown.isEmpty())
        return kNotUnderstood + shownName(m_unknown);
    if (!m_broken.isEmpty())
        return kDidNotDecode + shownName(m_broken);
    return {};
}

ContentDecoder::Decoded ContentDecoder::decode(QByteArrayView contentEncoding, QByteArrayView body,
                                               qint64 cap)
{
    ContentDecoder decoder(contentEncoding, cap);
    Decoded d;
    Result r = decoder.feed(body, d.body);
    if (r == Result::More)
        r = decoder.finish();
    // A body without coding that fills the cap exactly is whole.
    d.capped = r == Result::Capped && (decoder.coded() || body.size() > cap);
    d.problem = decoder.problem();
    return d;
}

} // namespace corvane
