#pragma once

#include "scan/PageFetcher.h"

#include <QObject>
#include <QString>

#include <optional>

namespace corvane {

class DownloadText;
class NetworkContext;
struct DownloadResult;

// Follows a server's "moved" page: downloads the target it names and hands the text back for the
// analysis of the page that named it, together with what that analysis was given.
class RedirectFollower final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RedirectFollower)

public:
    explicit RedirectFollower(NetworkContext& network, QObject* parent = nullptr);
    ~RedirectFollower() override;

    // Starts the download of target; a download still under way is dropped. A silent server is
    // given up after idleSeconds.
    void follow(const QString& target, const corvane::FetchedPage& from, quint64 generation,
                quint64 epoch, int idleSeconds);
    // Nothing still waiting is handed back.
    void abort();

Q_SIGNALS:
    // The target's text (empty when it could not be downloaded).
    void followed(const QString& text, const corvane::FetchedPage& from, quint64 generation,
                  quint64 epoch);

private:
    struct Pending {
        FetchedPage from;
        quint64 generation = 0;
        quint64 epoch = 0;
    };
    void onFinished(const corvane::DownloadResult& result);

    DownloadText* m_download = nullptr;
    std::optional<Pending> m_pending;
};

} // namespace corvane
