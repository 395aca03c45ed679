#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <algorithm>

class QNetworkReply;
class QTimer;

namespace corvane {

class NetworkContext;

struct DownloadResult {
    QString url;     // as asked for
    QByteArray body; // the whole body (at most DownloadText::kBodyCap bytes); empty on any failure
    QString text;    // the body as 8-bit (Windows-1252) text; empty on any failure
    QByteArray contentType; // the answer's Content-Type header, which may name the body's charset
    int httpStatus = 0;
    QString error;          // empty on success
    bool truncated = false; // the body passed the cap: the rest was not read
    QString refusedUrl;     // the redirect target refused as a private address, if any
    // An answer with an error status (404, 500...) is a success: its body is the page's text,
    // and httpStatus tells the caller what it was. Only a download that got no answer (a refused
    // URL, no connection, a dropped or stalled transfer, a refused redirect) is a failure; a
    // proxy's failure is named as the proxy's (NetworkContext::kProxyRefused and the others).
    bool ok() const { return error.isEmpty(); }
};

// A whole-page download: GET, follows redirects itself (http and https), never from a cache,
// with the engine's User-Agent. Only http and https URLs are ever fetched; any other scheme yields
// an empty text at once. It never blocks: the result arrives with finished(), on a later turn of
// the event loop even for a refused URL. One download at a time per object; start() cancels the
// previous.
//
// Redirects are followed as long as they stay http or https, do not step down from https to
// http, and do not lead from a public host to a private address (kRefusedRedirect); every request
// goes to an address that was checked so, also the first and one to the same host on another port. A body larger
// than kBodyCap is cut there: the rest is not read, the first kBodyCap bytes are the text and the
// result is marked truncated. A transfer that is silent for the idle timeout, or not finished
// after kDeadlineFactor times it, fails with "Timeout".
class DownloadText final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadText)

public:
    static constexpr qint64 kBodyCap = 16 * 1024 * 1024;
    static constexpr int kDefaultIdleTimeoutMs = 60000;
    static constexpr int kDeadlineFactor = 5;
    static constexpr int kMaxRedirects = 20;
    static inline const QString kRefusedRedirect
        = QStringLiteral("Refused redirect to a private address");
    static inline const QString kTimeout = QStringLiteral("Timeout");
    static inline const QString kTooManyRedirects = QStringLiteral("Too many redirects");

    explicit DownloadText(NetworkContext& network, QObject* parent = nullptr);
    ~DownloadText() override;

    // The URL that start() fetches for a text, or an invalid QUrl when the text is refused. A text
    // that does not begin with a scheme is taken as http; anything that is not then an http or
    // https URL with a host is refused.
    static QUrl fetchableUrl(const QString& text);

    // A URL without a scheme is taken as http. originHost: the host whose page named url (a
    // redirect page's site); url is then requested only where a redirect from there may lead.
    // Without one, the URL's own host is the origin of the redirects that follow.
    void start(const QString& url, const QString& originHost = {});
    // Cancels the running download; finished() is not emitted for it.
    void abort();
    bool isRunning() const;

    // A transfer that receives nothing for this long is dropped (a failure).
    void setIdleTimeout(int milliseconds) { m_idleTimeoutMs = milliseconds; }
    int idleTimeout() const { return m_idleTimeoutMs; }
    // Tighter bounds than the defaults, for a file that is small by rule (robots.txt).
    void setBodyCap(qint64 bytes) { m_bodyCap = std::min(bytes, kBodyCap); }
    void setRedirectLimit(int redirects) { m_redirectLimit = redirects; }

Q_SIGNALS:
    void finished(const corvane::DownloadResult& result);

private:
    // Requests target from address (when one is given).
    void request(const QUrl& target, const QHostAddress& address, quint64 generation);
    // Requests target once the address check lets it (m_origin's class against target's), from
    // the address the check approved.
    void checkThenRequest(const QUrl& target);
    void followRedirect(const QUrl& next);
    // Ends the running download with a failure of its own.
    void fail(const QString& error, const QString& refusedUrl = {});
    void onReadyRead();
    void onReplyFinished();
    // Fills the result's body from what was read (m_body): its content codings undone under the
    // cap, or the error that it cannot be decoded.
    void takeBody(DownloadResult& result, const QNetworkReply& reply);
    void detachReply();
    void complete(DownloadResult result);

    NetworkContext& m_network;
    QPointer<QNetworkReply> m_reply;
    QString m_url;
    QString m_origin;
    QUrl m_current; // where the reply is now, redirects included
    bool m_proxied = false; // the reply goes through a proxy (not the tests' route)
    QString m_proxyHost;    // that proxy's host
    QTimer* m_deadline = nullptr;
    QByteArray m_body;
    quint64 m_generation = 0;
    bool m_refusalPending = false; // a result is due without a reply: a refusal or a check
    int m_redirects = 0;
    int m_idleTimeoutMs = kDefaultIdleTimeoutMs;
    qint64 m_bodyCap = kBodyCap;
    int m_redirectLimit = kMaxRedirects;
};

} // namespace corvane
