#pragma once

#include "net/ResponseReader.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <array>
#include <memory>
#include <optional>

class QTcpSocket;
class QTimer;

namespace corvane {

class NetworkContext;
class Project;
class ScanStatistics;

// The fetch state of one connection slot, under its documented names.
struct FetchSlot {
    QString strHost;           // host of the page being fetched, without "/"
    QString strPath;           // request path, always starting with "/"
    QByteArray strResponse;    // everything received so far, head and body, as it arrived
    qint32 lBytesReceived = 0; // after the head has been parsed: body bytes only
    bool bHeaderDone = false;
    qint32 lContentLength = 0; // 0 when unknown
    qint16 iIdleSeconds = 0;   // counted by the watchdog, reset by every data event
};

// How the page URLs taken from the queue are cut up for a request.
struct UrlSplit {
    QString strURL;    // without scheme and without a trailing "/"
    QString strCurUrl; // the page URL: no scheme, no trailing "/"
    QString strCurDir; // the page's directory, ending with "/": the base of relative links
    QString strHost;
    QString strPath;
    QString connectHost; // the host name handed to the resolver (IDN names in ACE form)
    bool tls = false;    // the URL said "https://"
    QString problem;     // empty when the URL can be fetched; else the reason it cannot
    bool ok() const { return problem.isEmpty(); }
};

// What page analysis is told about a finished page.
struct FetchedPage {
    int slot = 0;
    QString strHost; // the base for links that start with "/"
    QString strPath;
    QString strCurUrl;
    QString strCurDir;
    QString head = {}; // the response's status line and header lines, empty for a downloaded text
};

// Downloads one page at a time for the scan with a small HTTP/1.1 client on a TCP connection: port
// 80, a GET request, the answer read as its framing says (Content-Length, chunked, or up to the
// server's close) with gzip or deflate undone, and the page's text decoded by its charset. The
// pages of a host go over one kept-alive connection; one the server closed meanwhile is replaced
// once without a word, and the connection closes with Close()/closeAll(). A proxy, when the
// settings name one, is used for every connection. Each slot has a one-second watchdog that
// counts idle seconds; the scan controller decides when they are too many. An answer that breaks
// off, is no HTTP or does not decode is asked again as a 429 is, then reported (pageFailed) and
// never handed on as a page.
//
// HTTPS: a host named with "https://", or one whose port 80 answers with a redirect (301, 302, 307,
// 308) to https on the same host (with or without "www."), is fetched over TLS on port 443 for the
// rest of the scan, with the same request bytes; the server name is sent and the certificate
// verified. The redirect itself is then followed at once over TLS instead of being analysed.
class PageFetcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageFetcher)

public:
    static constexpr int kSlotCount = 10;
    // Past this many bytes the rest of a response is not read and the page is finished with what
    // arrived, so an endless body cannot fill the memory.
    static constexpr qint32 kResponseCap = 16 * 1024 * 1024;
    static constexpr int kProgressMaximum = 100;
    // A page that has not finished after this many times the idle timeout is given up like a
    // silent one, however steadily it trickles in.
    static constexpr int kDeadlineFactor = 5;
    // A 429 or 503 answer, or a broken one (pageFailed), is asked again this many times before
    // it is reported.
    static constexpr int kRetries = 2;
    // The wait before asking again when the answer names none, in watchdog seconds.
    static constexpr int kDefaultRetrySeconds = 5;

    enum class Start {
        Started,   // the connection is being opened and the watchdog is armed
        Failed,    // the URL cannot be fetched; UrlSplit::problem says why, nothing was armed
        Abandoned, // the scan was stopped while the request was being prepared
    };
    Q_ENUM(Start)

    PageFetcher(Project& project, ScanStatistics& statistics, NetworkContext& network,
                QObject* parent = nullptr);
    ~PageFetcher() override;

    static UrlSplit splitUrl(const QString& url);

    // Prepares the slot from the scan state's strURL (normalised in place, with strCurUrl and
    // strCurDir) and opens its connection.
    Start FetchPage(int slot);
    // The reason of the last Failed start.
    const QString& lastProblem() const { return m_lastProblem; }
    // Closes the slot's connection and disarms its watchdog; no event of that request follows.
    void Close(int slot);
    void closeAll();

    const FetchSlot& slot(int slot) const { return m_slots.at(std::size_t(slot)).state; }
    // How long one watchdog "second" lasts: 1000 ms; tests shorten it.
    void setWatchdogInterval(int milliseconds) { m_watchdogMs = milliseconds; }
    bool isWatchdogArmed(int slot) const;

    // Turns an error status of the response head into an ErrorEntry and the site's reason.
    // Returns the status text, or an empty text when the status is not an error.
    QString CheckStatusLine(const QString& head, const QString& url);
    // The text of an error status code, or an empty text.
    static QString statusText(const QString& code);
    // What a response head's status line says is wrong: the table's text for a code in the table,
    // else for any code from 400 up the code and the line's reason phrase ("429 Too Many
    // Requests"; the usual phrase when the line has none); an empty text for anything else.
    static QString statusProblem(const QString& head);

    // The request sent for a host and a target (the path; through an HTTP proxy the whole URL),
    // exactly.
    static QByteArray requestBytes(const QString& host, const QString& path,
                                   const QByteArray& userAgent);
    // Milliseconds between two requests to the same host (the scan's "HostInterval"); the pause
    // is kept by the network context's pacer, shared by every fetcher of the scan.
    void setHostInterval(int milliseconds);
    // The host of the Linking Site whose pages this fetcher fetches. When it stands on a public
    // address, no page is fetched from one that is not globally reachable
    // (NetworkContext::isPrivateAddress): such a page gives pageRefused. A Linking Site whose
    // every address is private (an intranet, a test) may fetch from any. Without one, each
    // page's own host is its site.
    void setSiteHost(const QString& host);
    // A new scan: no host is known to need TLS.
    void forgetTlsHosts() { m_tlsHosts.clear(); }
    bool isTlsHost(const QString& host) const;

Q_SIGNALS:
    void statusChanged(int panel, const QString& text);
    void progressChanged(int value);
    // The connection failed at once, without waiting for the idle timeout: reason is
    // "Connection refused", "Host not found" or "Network unreachable" (detail empty), or for TLS
    // "Certificate error" or "TLS error" with detail saying what went wrong; through a proxy that
    // failed, the proxy's failure (NetworkContext::kProxyRefused and the others). The connection
    // is closed and the watchdog disarmed.
    void connectionFailed(int slot, const QString& reason, const QString& detail);
    // The page's host has only addresses a page of this Linking Site may not be fetched from:
    // reason is "Refused: private address". Nothing was sent; the watchdog is disarmed.
    void pageRefused(int slot, const QString& reason);
    // One watchdog second passed without data; idleSeconds is the slot's count so far.
    void idleTicked(int slot, int idleSeconds);
    // The page kept trickling in past kDeadlineFactor times the idle timeout: the connection is
    // closed and the watchdog disarmed.
    void deadlinePassed(int slot);
    // The answer is complete (its framing says so, the server closed a body framed by the close,
    // or the cap was reached): the watchdog is disarmed, the connection kept only when the answer's
    // framing allows it, and body is the page's text after its head, decoded.
    void pageFetched(const corvane::FetchedPage& page, const QString& body);
    // The page (host and path) answered with a bot-protection challenge (BotChallenge): the
    // connection is closed, the watchdog disarmed, and the page is not analysed.
    void pageBlocked(int slot, const QString& url);
    // The answer was broken, after its retries: the server closed or reset the connection before
    // the answer was complete (or gave none), it was no HTTP, or its body does not decode.
    // reason is the ResponseReader's failure text ("Connection closed before the page was
    // complete", "Content-Encoding not understood: zstd"). The connection is closed, the watchdog
    // disarmed, and the page is not analysed: it is no page without the link.
    void pageFailed(int slot, const QString& reason);

private:
    struct Slot {
        FetchSlot state;
        QTcpSocket* socket = nullptr;
        QTimer* watchdog = nullptr;
        QTimer* wait = nullptr; // the pause before the request (host interval, retry)
        QByteArray request;
        QString connectHost;
        QList<QHostAddress> addresses; // checked addresses still to try, in the resolver's order
        quint64 attempt = 0;           // tells a lookup's answer whether it is still wanted
        std::unique_ptr<ResponseReader> reader; // the answer being read; none between pages
        QString keptFor;           // the connection's key (connectionKey) while it may be reused
        bool reused = false;       // the request went out on a kept connection
        bool staleRetried = false; // the page was asked again after a kept connection failed
        bool viaProxy = false;     // plain http through an HTTP proxy: whole URLs are asked for
        int retries = 0;
        int seconds = 0; // watchdog seconds since the connection was opened
        bool connected = false;
    };

    bool scanRunning() const;
    // Opens the slot's connection once the pacer lets it, at the earliest after notBeforeMs.
    void scheduleConnect(int slot, qint64 notBeforeMs);
    // Looks up the page's host (and the Linking Site's, once), then connects to a checked
    // address.
    void connectNow(int slot);
    void connectToChecked(int slot, const QList<QHostAddress>& addresses, bool siteLocal);
    // Opens the slot's connection to a checked address (null: by name, through a proxy).
    void openConnection(int slot, const QHostAddress& address);
    // What a kept connection must go to for the slot's page: scheme and host.
    QString connectionKey(int slot) const;
    void sendRequest(int slot, QTcpSocket* socket);
    void onSocketError(int slot, QTcpSocket* socket, int error);
    // A 429 or 503 answer with retries left: the page is asked again after the wait it names.
    bool retryLater(int slot, const QString& head);
    // Asks for the slot's page again after the wait, once more of its retries; why: what the
    // status bar says of the answer. Returns false when no retry is left.
    bool askAgain(int slot, qint64 seconds, const QString& why);
    // A broken answer: asked again while retries are left, else reported (pageFailed).
    void failPage(int slot, const QString& reason);
    void onConnected(int slot, QTcpSocket* socket);
    void onTlsFailed(int slot, QTcpSocket* socket, const QString& reason, const QString& detail);
    // A plain answer that moves the page to https on the same host: the host is fetched over TLS
    // from now on and the page is asked for again. Returns whether it did so.
    bool followToTls(int slot, const QString& head);
    // The slot when socket is its connection and a page is being read on it in a running scan;
    // a kept connection that speaks (or closes) between two pages is dropped.
    Slot* readingSlot(int slot, QTcpSocket* socket);
    void onData(int slot, QTcpSocket* socket);
    void onClosed(int slot, QTcpSocket* socket);
    void onWatchdog(int slot);
    void finishPage(int slot);
    void dropSocket(Slot& s);
    QTimer* watchdog(int slot);

    Project& m_project;
    ScanStatistics& m_statistics;
    NetworkContext& m_network;
    std::array<Slot, kSlotCount> m_slots;
    QString m_lastProblem;
    QSet<QString> m_tlsHosts;        // lower case, without "www."
    QString m_siteHost;              // lower case, ACE form
    std::optional<bool> m_siteLocal; // every address of the site's host is private
    int m_watchdogMs = 1000;
};

} // namespace corvane
