#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>

namespace corvane {

class ContentDecoder;

// Reads one HTTP/1.1 answer as its bytes arrive: the head, then the body as the head frames it
// (Content-Length, chunked transfer coding, or up to the server's close), with its content
// codings undone (ContentDecoder). The answer is complete when its framing says so, so a
// kept-alive connection can carry the next request, and a server that waits for the client to
// close after a whole answer does not stall the page. Interim answers (100 Continue, 1xx) are
// passed over, within the bound of a head. Heads are read as a browser reads them: lines may end
// with LF alone.
//
// An answer that ends before its framing says it is complete, that is no HTTP, or whose body does
// not decode, is failed (failure() says what happened): it is not the page, and its body must not
// be taken for one. A body framed by the close is complete at the close. Both the bytes on the
// wire after the head and the decoded body are capped: past the cap the rest is not read and the
// answer is complete with what arrived, which is no failure. Neither a failed nor a cut answer
// leaves the connection fit for another request.
class ResponseReader
{
public:
    // What a failed answer was; the texts are those of the error rows.
    static inline const QString kClosedEarly
        = QStringLiteral("Connection closed before the page was complete");
    static inline const QString kNoAnswer = QStringLiteral("Connection closed without an answer");
    static inline const QString kNotHttp = QStringLiteral("Answer is not HTTP");
    static inline const QString kBadChunk = QStringLiteral("Malformed chunk in the page");
    static inline const QString kHeadTooLong = QStringLiteral("Answer head too long");
    static inline const QString kTooManyInterim = QStringLiteral("Too many interim answers");
    // The heads of one answer, interim ones included, take no more than this.
    static constexpr qsizetype kLongestHead = 256 * 1024;
    // Interim answers before the real one: a server that sends more is not answering.
    static constexpr int kMostInterim = 32;

    explicit ResponseReader(qint64 cap);
    ~ResponseReader();
    ResponseReader(const ResponseReader&) = delete;
    ResponseReader& operator=(const ResponseReader&) = delete;

    // Takes the bytes that arrived; returns how many of them belong to this answer (the rest, if
    // any, was sent after it).
    qsizetype feed(QByteArrayView data);
    // The server closed the connection (or reset it): the answer is complete, or failed when its
    // framing had more to come.
    void close();

    bool headDone() const { return m_headDone; }
    bool complete() const { return m_complete; }
    // The answer is no page: what happened, or an empty text.
    const QString& failure() const { return m_failure; }
    bool failed() const { return !m_failure.isEmpty(); }
    // Complete by its framing and fit for another request on the same connection.
    bool reusable() const;
    // The status line and header lines with the empty line that ends them, every line ended with
    // CR LF whatever the server used.
    const QByteArray& head() const { return m_head; }
    // The head exactly as it arrived.
    const QByteArray& rawHead() const { return m_rawHead; }
    // The body with its transfer and content codings undone.
    const QByteArray& body() const { return m_body; }
    // Body bytes on the wire so far (before decoding), and the length the head announced (0 when
    // it announced none), for a progress bar.
    qint64 wireBytes() const { return m_wire; }
    qint64 contentLength() const { return m_contentLength > 0 ? m_contentLength : 0; }
    // The body passed a cap: what was read is the body.
    bool cut() const { return m_cut; }

private:
    enum class Framing { Length, Chunked, Close, None };
    enum class ChunkState { Size, Data, DataEnd, Trailer };

    // Where the head ends in data, counted from data's start (just after its empty line); -1
    // while it has not ended. m_rawHead holds what came of the head before.
    qsizetype headEnd(QByteArrayView data) const;
    qsizetype feedHead(QByteArrayView data);
    // Whether the head read so far can still be HTTP.
    bool looksLikeHttp() const;
    void parseHead();
    qsizetype feedBody(QByteArrayView data);
    qsizetype feedChunked(QByteArrayView data);
    void appendBody(QByteArrayView data);
    void finish(bool cleanly);
    void fail(const QString& why);

    qint64 m_cap;
    QByteArray m_head;
    QByteArray m_rawHead;
    QByteArray m_body;
    QByteArray m_line; // a chunk-size or trailer line in the making
    std::unique_ptr<ContentDecoder> m_decoder;
    QString m_failure;
    Framing m_framing = Framing::Close;
    ChunkState m_chunk = ChunkState::Size;
    qint64 m_contentLength = -1;
    qint64 m_left = 0; // of the Content-Length, or of the current chunk
    qint64 m_wire = 0;
    qsizetype m_headBytes = 0; // of the interim heads so far
    int m_interim = 0;
    int m_status = 0;
    bool m_anything = false; // a byte of the answer arrived
    bool m_headDone = false;
    bool m_complete = false;
    bool m_clean = false; // complete by its framing
    bool m_keepAlive = false;
    bool m_cut = false;
};

} // namespace corvane
