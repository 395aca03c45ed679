#include "net/RedirectFollower.h"

#include "model/Project.h"
#include "net/DownloadText.h"
#include "net/NetworkContext.h"
#include "net/PageCharset.h"

#include <QRegularExpression>
#include <QTimer>
#include <QUrl>

namespace corvane {

RedirectFollower::RedirectFollower(Project& project, NetworkContext& network, QObject* parent)
    : QObject(parent),
      m_project(project),
      m_network(network),
      m_download(new DownloadText(network, this)),
      m_wait(new QTimer(this))
{
    m_wait->setSingleShot(true);
    m_wait->setTimerType(Qt::PreciseTimer);
    connect(m_download, &DownloadText::finished, this, &RedirectFollower::onFinished);
    connect(m_wait, &QTimer::timeout, this, [this] {
        if (m_pending)
            m_download->start(m_target, m_pending->from.strHost);
    });
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
    m_target = target;
    m_download->abort();
    m_download->setIdleTimeout(idleSeconds * 1000);
    // The target is checked against the redirecting page's host, and asked for no sooner than
    // the pause between two requests to its host allows.
    const QUrl url = DownloadText::fetchableUrl(target);
    const qint64 wait = url.isValid() ? m_network.pacer().reserve(url.host()) : 0;
    if (wait > 0)
        m_wait->start(int(wait));
    else
        m_download->start(target, from.strHost);
}

void RedirectFollower::abort()
{
    m_pending.reset();
    m_wait->stop();
    m_download->abort();
}

void RedirectFollower::onFinished(const DownloadResult& result)
{
    if (!m_pending)
        return;
    const Pending pending = *m_pending;
    m_pending.reset();
    if (!result.refusedUrl.isEmpty()) {
        QString url = result.refusedUrl;
        url.remove(QRegularExpression(QStringLiteral("^https?://"),
                                      QRegularExpression::CaseInsensitiveOption));
        m_project.errors().appendEntry({DownloadText::kRefusedRedirect, url});
    }
    // Read as the fetcher reads its pages: by the charset of the header, a byte-order mark or
    // the page's <meta>.
    const QString text = result.ok() ? PageCharset::decode(result.contentType, result.body)
                                     : QString();
    Q_EMIT followed(text, pending.from, pending.generation, pending.epoch);
}

} // namespace corvane
