#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

class QNetworkReply;

namespace corvane {

class NetworkContext;

struct DownloadResult {
    QString url;     // as asked for
    QByteArray body; // the whole body; empty on any failure
    QString text;    // the body as 8-bit (Windows-1252) text; empty on any failure
    int httpStatus = 0;
    QString error;   // empty on success
    bool ok() const { return error.isEmpty(); }
};

// A whole-page download: GET, follows redirects itself (http and https), never from a cache,
// user agent "Mozilla". Only http and https URLs are ever fetched; any other scheme yields an empty
// text at once. It never blocks: the result arrives with finished(), on a later turn of the event
// loop even for a refused URL. One download at a time per object; start() cancels the previous.
class DownloadText final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(DownloadText)

public:
    explicit DownloadText(NetworkContext& network, QObject* parent = nullptr);
    ~DownloadText() override;

    // A URL without a scheme is taken as http.
    void start(const QString& url);
    void abort();
    bool isRunning() const;

Q_SIGNALS:
    void finished(const corvane::DownloadResult& result);

private:
    void onReplyFinished();

    NetworkContext& m_network;
    QPointer<QNetworkReply> m_reply;
    QString m_url;
    quint64 m_generation = 0;
};

} // namespace corvane
