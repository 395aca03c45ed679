#include "scan/ResponseReader.h"

#include <QList>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>

namespace corvane {

namespace {

// A chunk-size or trailer line longer than this is no HTTP: the answer ends there.
constexpr qsizetype kLongestLine = 4096;
// Hex digits of a chunk size: beyond 15 it would not fit the count.
constexpr qsizetype kLongestSize = 15;
constexpr qsizetype kInflateStep = 64 * 1024;

// The value of the head's header name (letter case ignored), lines joined by ", ", blanks
// trimmed; empty when there is none.
QByteArray field(const QByteArray& head, QByteArrayView name)
{
    QByteArray value;
    qsizetype from = head.indexOf('\n');
    while (from >= 0 && from + 1 < head.size()) {
        const qsizetype start = from + 1;
        qsizetype end = head.indexOf('\n', start);
        if (end < 0)
            end = head.size();
        const QByteArrayView line = QByteArrayView(head).sliced(start, end - start);
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.first(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0) {
            if (!value.isEmpty())
                value += ", ";
            value += line.sliced(colon + 1).trimmed();
        }
        from = end;
    }
    return value;
}

// Whether a comma-separated header value holds the token, letter case ignored.
bool hasToken(QByteArrayView value, QByteArrayView token)
{
    for (const QByteArray& part : value.toByteArray().split(',')) {
        if (part.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

} // namespace

// Undoes a gzip or deflate content coding with zlib, never producing more than the cap. "deflate"
// is meant as a zlib stream but some servers send it raw: the first two bytes tell which.
class BodyInflater
{
public:
    explicit BodyInflater(bool gzip) : m_gzip(gzip) { std::memset(&m_z, 0, sizeof m_z); }
    ~BodyInflater()
    {
        if (m_started)
            inflateEnd(&m_z);
    }
    BodyInflater(const BodyInflater&) = delete;
    BodyInflater& operator=(const BodyInflater&) = delete;

    enum class Result { More, Ended, Capped, Broken };

    Result inflate(QByteArrayView in, QByteArray& out, qint64 cap)
    {
        if (m_ended)
            return Result::Ended;
        if (!m_started) {
            m_pending += in;
            if (!m_gzip && m_pending.size() < 2)
                return Result::More;
            const uchar b0 = uchar(m_pending.at(0));
            const uchar b1 = m_pending.size() > 1 ? uchar(m_pending.at(1)) : 0;
            const bool zlibHeader = (b0 & 0x0f) == 8 && ((unsigned(b0) << 8) | b1) % 31 == 0;
            // 15 + 32: a zlib or gzip stream, told apart by its header.
            const int bits = m_gzip || zlibHeader ? 15 + 32 : -15;
            if (inflateInit2(&m_z, bits) != Z_OK)
                return Result::Broken;
            m_started = true;
            const QByteArray first = std::exchange(m_pending, {});
            return run(first, out, cap);
        }
        return run(in, out, cap);
    }

private:
    Result run(QByteArrayView in, QByteArray& out, qint64 cap)
    {
        m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
        m_z.avail_in = uInt(in.size());
        for (;;) {
            const qint64 room = cap - out.size();
            if (room <= 0)
                return Result::Capped;
            const qsizetype step = qsizetype(std::min<qint64>(kInflateStep, room));
            const qsizetype before = out.size();
            out.resize(before + step);
            m_z.next_out = reinterpret_cast<Bytef*>(out.data() + before);
            m_z.avail_out = uInt(step);
            const int rc = ::inflate(&m_z, Z_NO_FLUSH);
            out.resize(before + step - qsizetype(m_z.avail_out));
            if (rc == Z_STREAM_END) {
                m_ended = true;
                return Result::Ended;
            }
            if (rc == Z_BUF_ERROR || (rc == Z_OK && m_z.avail_in == 0 && m_z.avail_out > 0))
                return Result::More;
            if (rc != Z_OK)
                return Result::Broken;
        }
    }

    z_stream m_z;
    QByteArray m_pending;
    bool m_gzip;
    bool m_started = false;
    bool m_ended = false;
};

ResponseReader::ResponseReader(qint64 cap) : m_cap(cap) {}

ResponseReader::~ResponseReader() = default;

bool ResponseReader::reusable() const
{
    return m_complete && m_clean && m_keepAlive && !m_cut;
}

qsizetype ResponseReader::feed(QByteArrayView data)
{
    qsizetype used = 0;
    while (!m_complete && used < data.size()) {
        const QByteArrayView rest = data.sliced(used);
        if (m_headDone) {
            used += feedBody(rest);
            continue;
        }
        const qsizetype before = m_head.size();
        m_head += rest;
        const qsizetype end = m_head.indexOf("\r\n\r\n", std::max<qsizetype>(0, before - 3));
        if (end < 0) {
            used = data.size();
            // No head within the cap: what came is all body, as at a close without a head.
            if (m_head.size() >= m_cap)
                close();
            break;
        }
        const qsizetype headSize = end + 4;
        used += headSize - before;
        m_head.truncate(headSize);
        parseHead();
        // An interim answer (100 Continue, 103 Early Hints) comes before the real one.
        if (m_status >= 100 && m_status < 200 && m_status != 101) {
            m_head.clear();
            m_status = 0;
            continue;
        }
        m_headDone = true;
        if (m_framing == Framing::None || (m_framing == Framing::Length && m_left == 0))
            finish(true);
    }
    return used;
}

void ResponseReader::parseHead()
{
    const qsizetype lineEnd = m_head.indexOf("\r\n");
    const QByteArray statusLine = m_head.left(lineEnd);
    const QList<QByteArray> parts = statusLine.simplified().split(' ');
    m_status = parts.size() > 1 ? parts.at(1).toInt() : 0;
    const bool http10 = parts.value(0).toUpper() == "HTTP/1.0";
    const QByteArray connection = field(m_head, "Connection");
    m_keepAlive = http10 ? hasToken(connection, "keep-alive") : !hasToken(connection, "close");

    const QByteArray transfer = field(m_head, "Transfer-Encoding");
    const QByteArray length = field(m_head, "Content-Length");
    bool lengthOk = false;
    const qint64 announced = length.contains(',') ? -1 : length.trimmed().toLongLong(&lengthOk);
    if (m_status == 204 || m_status == 304 || (m_status >= 100 && m_status < 200)) {
        m_framing = Framing::None;
    } else if (!transfer.isEmpty()) {
        // Chunked is the last coding when there is one; any other leaves the close to frame it.
        m_framing = transfer.trimmed().toLower().endsWith("chunked") ? Framing::Chunked
                                                                     : Framing::Close;
    } else if (lengthOk && announced >= 0) {
        m_framing = Framing::Length;
        m_contentLength = announced;
        m_left = announced;
    } else {
        m_framing = Framing::Close;
    }
    if (m_framing == Framing::Close)
        m_keepAlive = false;

    const QByteArray coding = field(m_head, "Content-Encoding").trimmed().toLower();
    if (coding == "gzip" || coding == "x-gzip")
        m_inflater = std::make_unique<BodyInflater>(true);
    else if (coding == "deflate")
        m_inflater = std::make_unique<BodyInflater>(false);
}

qsizetype ResponseReader::feedBody(QByteArrayView data)
{
    switch (m_framing) {
    case Framing::None:
        finish(true);
        return 0;
    case Framing::Length: {
        const qsizetype take = qsizetype(std::min<qint64>(m_left, data.size()));
        m_left -= take;
        appendBody(data.first(take));
        if (m_left == 0 && !m_complete)
            finish(true);
        return take;
    }
    case Framing::Chunked:
        return feedChunked(data);
    case Framing::Close:
        appendBody(data);
        return data.size();
    }
    return data.size();
}

qsizetype ResponseReader::feedChunked(QByteArrayView data)
{
    qsizetype i = 0;
    const auto readLine = [&]() -> bool {
        // Gathers a line up to its LF; true once it is whole (without CR LF) in m_line.
        const qsizetype lf = data.indexOf('\n', i);
        const qsizetype end = lf >= 0 ? lf : data.size();
        m_line += data.sliced(i, end - i);
        i = lf >= 0 ? lf + 1 : data.size();
        if (m_line.size() > kLongestLine) {
            m_cut = true;
            finish(false);
            return false;
        }
        if (lf < 0)
            return false;
        if (m_line.endsWith('\r'))
            m_line.chop(1);
        return true;
    };
    while (i < data.size() && !m_complete) {
        switch (m_chunk) {
        case ChunkState::Size: {
            if (!readLine())
                break;
            QByteArray size = std::exchange(m_line, {});
            if (const qsizetype semi = size.indexOf(';'); semi >= 0)
                size.truncate(semi);
            size = size.trimmed();
            bool ok = !size.isEmpty() && size.size() <= kLongestSize;
            const qint64 n = ok ? size.toLongLong(&ok, 16) : -1;
            if (!ok || n < 0) {
                // A size that cannot be read ends the page with what came before it.
                m_cut = true;
                finish(false);
                break;
            }
            if (n == 0) {
                m_chunk = ChunkState::Trailer;
            } else {
                m_left = n;
                m_chunk = ChunkState::Data;
            }
            break;
        }
        case ChunkState::Data: {
            const qsizetype take = qsizetype(std::min<qint64>(m_left, data.size() - i));
            appendBody(data.sliced(i, take));
            i += take;
            m_left -= take;
            if (m_left == 0)
                m_chunk = ChunkState::DataEnd;
            break;
        }
        case ChunkState::DataEnd:
            if (!readLine())
                break;
            if (!std::exchange(m_line, {}).isEmpty()) {
                m_cut = true;
                finish(false);
                break;
            }
            m_chunk = ChunkState::Size;
            break;
        case ChunkState::Trailer:
            // Trailer fields, if any, end with an empty line; they are not looked at.
            if (!readLine())
                break;
            if (std::exchange(m_line, {}).isEmpty())
                finish(true);
            break;
        }
    }
    return i;
}

void ResponseReader::appendBody(QByteArrayView data)
{
    if (m_complete || data.isEmpty())
        return;
    m_wire += data.size();
    if (m_inflater) {
        switch (m_inflater->inflate(data, m_body, m_cap)) {
        case BodyInflater::Result::More:
        case BodyInflater::Result::Ended:
            break;
        case BodyInflater::Result::Capped:
        case BodyInflater::Result::Broken:
            m_cut = true;
            finish(false);
            return;
        }
    } else {
        m_body += data.first(qsizetype(std::min<qint64>(data.size(), m_cap - m_body.size())));
    }
    if (m_body.size() >= m_cap || m_wire >= m_cap) {
        m_cut = true;
        finish(false);
    }
}

void ResponseReader::close()
{
    if (m_complete)
        return;
    if (!m_headDone) {
        // Without the empty line that ends a head, everything that came is body.
        m_body = std::exchange(m_head, {}).left(qsizetype(m_cap));
        m_headDone = true;
        finish(false);
        return;
    }
    finish(m_framing == Framing::Close);
}

void ResponseReader::finish(bool cleanly)
{
    m_complete = true;
    m_clean = cleanly;
}

} // namespace corvane
