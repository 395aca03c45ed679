#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <memory>
#include <vector>

namespace corvane {

// Undoes the content codings an answer names in its Content-Encoding header ("gzip", "x-gzip",
// "deflate", "identity"), as the body arrives, never producing more than the cap. Codings are
// listed in the order they were applied, so they are undone from the last to the first
// ("gzip, deflate" is inflated, then gunzipped). A coding it does not know is said before
// anything is decoded: the body cannot be read, and must not be taken for the page.
//
// "deflate" is meant as a zlib stream, but some servers send it raw: the first two bytes tell
// which. A gzip stream of several members is decoded whole; bytes after the end of a coded stream
// that start no further member are ignored.
class ContentDecoder
{
public:
    // The beginnings of problem()'s texts; the coding's name follows.
    static inline const QString kNotUnderstood
        = QStringLiteral("Content-Encoding not understood: ");
    static inline const QString kDidNotDecode = QStringLiteral("Content-Encoding did not decode: ");

    enum class Result {
        More,   // fine so far
        Capped, // the decoded body reached the cap: the rest is not decoded
        Broken, // the body does not decode (problem() says which coding)
    };

    // contentEncoding: the header's value (the values of several lines joined by ", "); empty
    // for a body without coding.
    ContentDecoder(QByteArrayView contentEncoding, qint64 cap);
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder&) = delete;
    ContentDecoder& operator=(const ContentDecoder&) = delete;

    // Every coding is known (then the body can be fed).
    bool understood() const { return m_unknown.isEmpty(); }
    // The body is coded at all (identity alone is not).
    bool coded() const { return !m_stages.empty(); }

    // Decodes the next bytes of the body and appends them to out (the body decoded so far, never
    // longer than the cap). Once Capped or Broken, nothing more is decoded.
    Result feed(QByteArrayView in, QByteArray& out);
    // The body is complete: Broken when a coded stream stopped before its end.
    Result finish();

    // What is wrong, for an error row: "Content-Encoding not understood: zstd", or
    // "Content-Encoding did not decode: gzip"; empty while nothing is.
    QString problem() const;

    // A whole body at once, for a download that has it all.
    struct Decoded {
        QByteArray body;     // decoded as far as it went
        bool capped = false; // the cap ended it
        QString problem;     // empty when it decoded
    };
    static Decoded decode(QByteArrayView contentEncoding, QByteArrayView body, qint64 cap);

private:
    class Stage;

    std::vector<std::unique_ptr<Stage>> m_stages; // in the order they are undone
    QByteArray m_unknown;                         // the first coding not understood
    QByteArray m_broken;                          // the coding whose stream broke
    qint64 m_cap;
    bool m_stopped = false; // capped or broken
};

} // namespace corvane
