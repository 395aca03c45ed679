#pragma once

#include "net/PageFetcher.h"

#include <QObject>
#include <QString>

class QTimer;

#include <optional>

namespace corvane {

class DownloadText;
class NetworkContext;
class Project;
struct DownloadResult;

// Follows a server's "moved" page: downloads the target it names and hands the text back for the
// analysis of the page that named it, together with what that analysis was given.
class RedirectFollower final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RedirectFollower)

public:
    RedirectFollower(Project& project, NetworkContext& network, QObject* parent = nullptr);
    ~RedirectFollower() override;

    // Starts the download of target; a download still under way is dropped. A silent server is
    // given up after idleSeconds. A target on a private address named by a public host's page is
    // not requested: it gives an error row "Refused redirect to a private address" and an empty
    // text.
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

    Project& m_project;
    NetworkContext& m_network;
    DownloadText* m_download = nullptr;
    QTimer* m_wait = nullptr; // the pause the host interval asks for
    QString m_target;
    std::optional<Pending> m_pending;
};

} // namespace corvane
