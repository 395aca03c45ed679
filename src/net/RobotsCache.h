#pragma once

#include "web/RobotsRules.h"

#include <QHash>
#include <QObject>
#include <QString>

namespace corvane {

class DownloadText;
class NetworkContext;
struct DownloadResult;

// The robots.txt of the hosts where a scan found links, each read once per scan and shared by
// the Linking Sites in progress. The crawl itself never obeys it: the user checks a link that was
// promised to them. What it says only becomes a note of the links on pages it keeps from search
// engines.
//
// Read as RFC 9309 says: with the engine's whole-page download, at most kBodyCap bytes and
// kRedirectLimit redirects; a 4xx answer (or a redirect chain that leads nowhere) allows
// everything, a 5xx answer disallows everything. A file that could not be read (no answer from
// the host: the proxy failed, the connection failed or stalled) says nothing: no link is noted
// for it.
class RobotsCache final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RobotsCache)

public:
    static constexpr qint64 kBodyCap = 500 * 1024;
    static constexpr int kRedirectLimit = 5;
    // The search engine whose group of rules is read (else the "*" group).
    static inline const QString kProductToken = QStringLiteral("Googlebot");

    explicit RobotsCache(NetworkContext& network, QObject* parent = nullptr);
    ~RobotsCache() override;

    // The rules of host (letter case ignored) once they are known; null before.
    const RobotsRules* rules(const QString& host) const;
    // Starts reading host's robots.txt, unless it is known or being read. tls: the host is
    // fetched over https. ready(host) follows, on a later turn of the event loop.
    void request(const QString& host, bool tls, int idleSeconds);
    // A new scan: nothing is known, nothing is being read.
    void clear();

    // The rules a finished download of a robots.txt gives.
    static RobotsRules rulesFrom(const DownloadResult& result);

Q_SIGNALS:
    void ready(const QString& host);

private:
    void onFinished(const QString& host, const DownloadResult& result);

    NetworkContext& m_network;
    QHash<QString, RobotsRules> m_known;       // by lower-case host
    QHash<QString, DownloadText*> m_reading;   // by lower-case host
};

} // namespace corvane
