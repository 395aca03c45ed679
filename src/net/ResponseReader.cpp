#include "net/ResponseReader.h"

#include "net/ContentDecoder.h"

#include <QList>

#include <algorithm>
#include <cstring>
#include <utility>

namespace corvane {

namespace {

// A chunk-size or trailer line longer than this is no HTTP: the answer ends there.
constexpr qsizetype kLongestLine = 4096;
// Hex digits of a chunk size: beyond 15 it would not fit the count.
constexpr qsizetype kLongestSize = 15;

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

ResponseReader::ResponseReader(qint64 cap) : m_cap(cap) {}

ResponseReader::~ResponseReader() = default;

bool ResponseReader::reusable() const
{
    return m_complete && m_clean && m_keepAlive && !m_cut && !failed();
}

qsizetype ResponseReader::feed(QByteArrayView data)
{
    qsizetype used = 0;
    while (!m_complete && used < data.size()) {
        const QByteArrayView rest = data.sliced(used);
        used += m_headDone ? feedBody(rest) : feedHead(rest);
    }
    return used;
}

qsizetype ResponseReader::headEnd(QByteArrayView data) const
{
    // The end may begin in what came before: at most its last two bytes ("\n" or "\n\r").
    const qsizetype before = std::min<qsizetype>(m_rawHead.size(), 2);
    const auto at
        = [&](qsizetype k) { return k >= 0 ? data.at(k) : m_rawHead.at(m_rawHead.size() + k); };
    qsizetype k = -before;
    while (k < data.size()) {
        if (k >= 0) {
            // The fast character search: a head is read once, however it arrives.
            const void* lf = std::memchr(data.data() + k, '\n', std::size_t(data.size() - k));
            if (!lf)
                return -1;
            k = static_cast<const char*>(lf) - data.data();
        } else if (at(k) != '\n') {
            ++k;
            continue;
        }
        if (k + 1 < data.size() && at(k + 1) == '\n')
            return k + 2;
        if (k + 2 < data.size() && at(k + 1) == '\r' && at(k + 2) == '\n')
            return k + 3;
        ++k;
    }
    return -1;
}

bool ResponseReader::looksLikeHttp() const
{
    const QByteArrayView start
        = QByteArrayView(m_rawHead).first(std::min<qsizetype>(m_rawHead.size(), 5));
    return start.compare(QByteArrayView("HTTP/").first(start.size()), Qt::CaseInsensitive) == 0;
}

qsizetype ResponseReader::feedHead(QByteArrayView data)
{
    qsizetype skipped = 0;
    if (m_rawHead.isEmpty()) {
        // Empty lines before a status line (left over from the answer before) are passed over.
        while (skipped < data.size() && (data.at(skipped) == '\r' || data.at(skipped) == '\n'))
            ++skipped;
        m_anything = true;
        data = data.sliced(skipped);
        if (data.isEmpty())
            return skipped;
    }
    const qsizetype end = headEnd(data);
    const qsizetype take = end < 0 ? data.size() : end;
    if (m_headBytes + m_rawHead.size() + take > kLongestHead) {
        fail(kHeadTooLong);
        return skipped + take;
    }
    m_rawHead += data.first(take);
    if (!looksLikeHttp()) {
        fail(kNotHttp);
        return skipped + take;
    }
    if (end < 0)
        return skipped + take;
    parseHead();
    if (failed())
        return skipped + take;
    // An interim answer (100 Continue, 103 Early Hints) comes before the real one; a stream of
    // them is no answer.
    if (m_status >= 100 && m_status < 200 && m_status != 101) {
        if (++m_interim > kMostInterim) {
            fail(kTooManyInterim);
            return skipped + take;
        }
        m_headBytes += m_rawHead.size();
        m_rawHead.clear();
        m_head.clear();
        m_status = 0;
        return skipped + take;
    }
    m_headDone = true;
    if (m_framing == Framing::None || (m_framing == Framing::Length && m_left == 0))
        finish(true);
    return skipped + take;
}

void ResponseReader::parseHead()
{
    // Every line ends with CR LF from here on, so whoever reads the head reads one form.
    m_head.clear();
    m_head.reserve(m_rawHead.size() + 16);
    char previous = 0;
    for (const char c : std::as_const(m_rawHead)) {
        if (c == '\n' && previous != '\r')
            m_head += '\r';
        m_head += c;
        previous = c;
    }
    const qsizetype lineEnd = m_head.indexOf("\r\n");
    const QByteArray statusLine = m_head.left(lineEnd);
    const QList<QByteArray> parts = statusLine.simplified().split(' ');
    const QByteArray code = parts.value(1);
    bool numeric = code.size() == 3;
    for (const char c : code)
        numeric = numeric && c >= '0' && c <= '9';
    if (!parts.value(0).toUpper().startsWith("HTTP/") || !numeric) {
        fail(kNotHttp);
        return;
    }
    m_status = code.toInt();
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

    // A coding that is not understood fails the answer once a byte of its body arrives: an
    // empty body needs no decoding.
    auto decoder = std::make_unique<ContentDecoder>(field(m_head, "Content-Encoding"), m_cap);
    if (decoder->coded() || !decoder->understood())
        m_decoder = std::move(decoder);
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
            fail(kBadChunk);
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
            // Leading zeros say nothing of the size.
            qsizetype zeros = 0;
            while (zeros + 1 < size.size() && size.at(zeros) == '0')
                ++zeros;
            size.remove(0, zeros);
            bool ok = !size.isEmpty() && size.size() <= kLongestSize;
            const qint64 n = ok ? size.toLongLong(&ok, 16) : -1;
            if (!ok || n < 0) {
                // The rest cannot be read as chunks: what came is not the page.
                fail(kBadChunk);
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
                fail(kBadChunk);
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
    if (m_decoder) {
        switch (m_decoder->feed(data, m_body)) {
        case ContentDecoder::Result::More:
            break;
        case ContentDecoder::Result::Capped:
            m_cut = true;
            finish(false);
            return;
        case ContentDecoder::Result::Broken:
            fail(m_decoder->problem());
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
        fail(m_anything ? kClosedEarly : kNoAnswer);
        return;
    }
    // Only a body framed by the close is whole at the close.
    if (m_framing != Framing::Close) {
        fail(kClosedEarly);
        return;
    }
    finish(true);
}

void ResponseReader::finish(bool cleanly)
{
    if (m_complete)
        return;
    // A coded body whose stream stopped before its end is not whole, whatever its framing says.
    if (cleanly && m_decoder && m_wire > 0
        && m_decoder->finish() == ContentDecoder::Result::Broken) {
        fail(m_decoder->problem());
        return;
    }
    m_complete = true;
    m_clean = cleanly;
}

void ResponseReader::fail(const QString& why)
{
    if (m_complete)
        return;
    m_failure = why;
    m_complete = true;
    m_clean = false;
}

} // namespace corvane
