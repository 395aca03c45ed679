#include "scan/RedirectFollower.h"

#include "scan/DownloadText.h"

namespace corvane {

RedirectFollower::RedirectFollower(NetworkContext& network, QObject* parent)
    : QObject(parent), m_download(new DownloadText(network, this))
{
    connect(m_download, &DownloadText::finished, this, &RedirectFollower::onFinished);
}

RedirectFollower::~RedirectFollower()
{
    disconnect(m_download, nullptr, this, nullptr);
    m_download->abort();
}

void RedirectFollower::follow(const QString& target, const FetchedPage& from, quint64 generation,
                              quint64 epoch, int idleSeconds)
{
    m_pending = Pending{from, generation, epoch};
    m_download->setIdleTimeout(idleSeconds * 1000);
    m_download->start(target);
}

void RedirectFollower::abort()
{
    m_pending.reset();
    m_download->abort();
}

void RedirectFollower::onFinished(const DownloadResult& result)
{
    if (!m_pending)
        return;
    const Pending pending = *m_pending;
    m_pending.reset();
    Q_EMIT followed(result.text, pending.from, pending.generation, pending.epoch);
}

} // namespace corvane
