#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace corvane {

class BodyInflater;

// Reads one HTTP/1.1 answer as its bytes arrive: the head, then the body as the head frames it
// (Content-Length, chunked transfer coding, or up to the server's close), with a gzip or deflate
// content coding undone. The answer is complete when its framing says so, so a kept-alive
// connection can carry the next request, and a server that waits for the client to close after a
// whole answer does not stall the page. Interim answers (100 Continue, 1xx) are passed over.
//
// Both the bytes on the wire after the head and the decoded body are capped: past the cap the rest
// is not read and the answer is complete with what arrived. A malformed chunk size also ends the
// answer with what arrived. Neither leaves the connection fit for another request.
class ResponseReader
{
public:
    explicit ResponseReader(qint64 cap);
    ~ResponseReader();
    ResponseReader(const ResponseReader&) = delete;
    ResponseReader& operator=(const ResponseReader&) = delete;

    // Takes the bytes that arrived; returns how many of them belong to this answer (the rest, if
    // any, was sent after it).
    qsizetype feed(QByteArrayView data);
    // The server closed the connection: whatever has arrived is the answer.
    void close();

    bool headDone() const { return m_headDone; }
    bool complete() const { return m_complete; }
    // Complete by its framing and fit for another request on the same connection.
    bool reusable() const;
    // The status line and header lines with the CR LF CR LF that ends them, as they arrived.
    const QByteArray& head() const { return m_head; }
    // The body with its transfer and content codings undone.
    const QByteArray& body() const { return m_body; }
    // Body bytes on the wire so far (before decoding), and the length the head announced (0 when
    // it announced none), for a progress bar.
    qint64 wireBytes() const { return m_wire; }
    qint64 contentLength() const { return m_contentLength > 0 ? m_contentLength : 0; }
    // The body passed a cap, or its coding was broken: what was read is the body.
    bool cut() const { return m_cut; }

private:
    enum class Framing { Length, Chunked, Close, None };
    enum class ChunkState { Size, Data, DataEnd, Trailer };

    void parseHead();
    qsizetype feedBody(QByteArrayView data);
    qsizetype feedChunked(QByteArrayView data);
    void appendBody(QByteArrayView data);
    void finish(bool cleanly);

    qint64 m_cap;
    QByteArray m_head;
    QByteArray m_body;
    QByteArray m_line; // a chunk-size or trailer line in the making
    std::unique_ptr<BodyInflater> m_inflater;
    Framing m_framing = Framing::Close;
    ChunkState m_chunk = ChunkState::Size;
    qint64 m_contentLength = -1;
    qint64 m_left = 0; // of the Content-Length, or of the current chunk
    qint64 m_wire = 0;
    int m_status = 0;
    bool m_headDone = false;
    bool m_complete = false;
    bool m_clean = false; // complete by its framing
    bool m_keepAlive = false;
    bool m_cut = false;
};

} // namespace corvane
