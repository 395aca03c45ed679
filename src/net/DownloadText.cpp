#include "net/DownloadText.h"

#include "model/Windows1252.h"
#include "net/ContentDecoder.h"
#include "net/NetworkContext.h"

#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace corvane {

namespace {

// An error the manager reports for an answer whose status is 400 or more; the answer itself
// (status line, headers, body) arrived in full.
bool isStatusError(QNetworkReply::NetworkError error)
{
    const int code = int(error);
    return (code >= QNetworkReply::ContentAccessDenied
            && code <= QNetworkReply::UnknownContentError)
        || (code >= QNetworkReply::InternalServerError && code <= QNetworkReply::UnknownServerError)
        || error == QNetworkReply::ProtocolInvalidOperationError; // 400 Bad Request
}

// What a request that went through a proxy failed of, named as the proxy's failure: the host
// itself was never reached. Empty for a failure the proxy did not cause: through an https
// tunnel, the proxy reports the host's refusal as the host's own.
QString proxyFailure(QNetworkReply::NetworkError error, const QString& errorText, bool tls)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
        return tls ? QString() : NetworkContext::kProxyRefused;
    case QNetworkReply::HostNotFoundError:
        return NetworkContext::kProxyNotFound;
    case QNetworkReply::RemoteHostClosedError:
        return tls ? QString() : NetworkContext::kProxyClosed;
    case QNetworkReply::ProxyConnectionRefusedError:
        return NetworkContext::kProxyRefused;
    case QNetworkReply::ProxyNotFoundError:
        return NetworkContext::kProxyNotFound;
    case QNetworkReply::ProxyConnectionClosedError:
        return NetworkContext::kProxyClosed;
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return NetworkContext::kProxyNeedsAuthentication;
    case QNetworkReply::UnknownProxyError:
        if (const QString said = NetworkContext::proxyFailureSaid(errorText); !said.isEmpty())
            return said;
        return NetworkContext::kProxyNotHttp;
    case QNetworkReply::UnknownNetworkError:
    case QNetworkReply::ProtocolFailure:
        // The tunnel's failures reach the reply as an unknown error in the proxy socket's words.
        return NetworkContext::proxyFailureSaid(errorText);
    default:
        return {};
    }
}

} // namespace

DownloadText::DownloadText(NetworkContext& network, QObject* parent)
    : QObject(parent), m_network(network), m_deadline(new QTimer(this))
{
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, [this] {
        if (m_reply || m_refusalPending)
            fail(kTimeout);
    });
}

DownloadText::~DownloadText()
{
    detachReply();
}

QUrl DownloadText::fetchableUrl(const QString& text)
{
    QString candidate = text.trimmed();
    // Only a scheme at the very start counts as one: "example.com/go?to=http://x" has none and
    // is taken as http, "file:///etc/passwd?http://" has one and is refused.
    static const QRegularExpression schemeAtStart(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (!schemeAtStart.match(candidate).hasMatch())
        candidate.prepend(QStringLiteral("http://"));
    const QUrl url(candidate, QUrl::TolerantMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return {};
    return url;
}

void DownloadText::start(const QString& url, const QString& originHost)
{
    detachReply();
    ++m_generation;
    m_refusalPending = false;
    m_url = url;
    m_body.clear();
    m_deadline->stop();

    const QUrl target = fetchableUrl(url);
    const quint64 generation = m_generation;
    if (!target.isValid()) {
        // Callers continue their work from finished(), so even a refusal is reported from the
        // event loop, never from inside start().
        m_refusalPending = true;
        QTimer::singleShot(0, this, [this, generation] {
            if (generation != m_generation || !m_refusalPending)
                return;
            m_refusalPending = false;
            DownloadResult result;
            result.url = m_url;
            result.error = QStringLiteral("Not an http or https URL");
            complete(std::move(result));
        });
        return;
    }

    m_redirects = 0;
    m_deadline->start(int(std::min<qint64>(qint64(m_idleTimeoutMs) * kDeadlineFactor,
                                           std::numeric_limits<int>::max())));
    m_origin = originHost.isEmpty() ? target.host() : originHost;
    checkThenRequest(target);
}

void DownloadText::checkThenRequest(const QUrl& target)
{
    const quint64 generation = m_generation;
    m_refusalPending = true;
    m_network.checkTarget(
        m_origin, target.host(), this,
        [this, generation, target](const QList<QHostAddress>& allowed, bool refused) {
            if (generation != m_generation || !m_refusalPending)
                return;
            m_refusalPending = false;
            // Through a proxy, the proxy resolves the name.
            const bool direct = !m_network.route().isSet()
                && m_network
                        .proxyFor(target.host(), target.scheme() == QLatin1String("https"),
                                  target.port())
                        .type()
                    == QNetworkProxy::NoProxy;
            if (refused)
                fail(kRefusedRedirect, target.toString());
            else if (allowed.isEmpty() && direct)
                fail(QStringLiteral("Host not found"));
            else
                request(target, direct ? allowed.value(0) : QHostAddress(), generation);
        });
}

void DownloadText::request(const QUrl& target, const QHostAddress& address, quint64 generation)
{
    if (generation != m_generation)
        return;
    // The connection goes to the address that was checked, not to whatever a second lookup of
    // the name would give: the URL names the address, the Host header and the TLS server name
    // (sent and verified) the host. Through a proxy the proxy connects by name.
    QUrl wire = target;
    const bool pinned = !address.isNull();
    if (pinned) {
        wire.setHost(address.protocol() == QAbstractSocket::IPv6Protocol
                         ? u'[' + address.toString() + u']'
                         : address.toString());
    }
    QNetworkRequest request(wire);
    if (pinned) {
        QByteArray host = target.host(QUrl::FullyEncoded).toLatin1();
        if (target.port() >= 0)
            host += ':' + QByteArray::number(target.port());
        request.setRawHeader(QByteArrayLiteral("Host"), host);
        request.setPeerVerifyName(target.host());
    }
    request.setHeader(QNetworkRequest::UserAgentHeader, m_network.userAgent());
    // Always from the server: no cached copy here, and caches on the way are told so too.
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader(QByteArrayLiteral("Pragma"), QByteArrayLiteral("no-cache"));
    request.setRawHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache"));
    // Asked for by name, the codings are left to the download to undo (takeBody): the same
    // decoder as the page fetcher's, which also reads x-gzip and raw deflate.
    request.setRawHeader(QByteArrayLiteral("Accept-Encoding"), QByteArrayLiteral("gzip, deflate"));
    // Redirects are followed here, each looked at first (followRedirect).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
    request.setTransferTimeout(m_idleTimeoutMs);

    // A request pinned to an address was decided to go straight by its host's name: the proxy
    // rules, which would see only the address, are not asked again.
    QNetworkAccessManager& manager = pinned ? m_network.directManager() : m_network.manager();
    m_proxied = !pinned && !m_network.route().isSet();
    m_proxyHost = m_proxied ? m_network
                                  .proxyFor(target.host(),
                                            target.scheme() == QLatin1String("https"),
                                            target.port())
                                  .hostName()
                            : QString();
    QNetworkReply* reply = manager.get(request);
    m_reply = reply;
    m_current = target;
    connect(reply, &QNetworkReply::readyRead, this, &DownloadText::onReadyRead);
    connect(reply, &QNetworkReply::finished, this, &DownloadText::onReplyFinished);
#if QT_CONFIG(ssl)
    if (m_network.ignoreSslErrors()) {
        connect(reply, &QNetworkReply::sslErrors, this,
                [reply](const QList<QSslError>&) { reply->ignoreSslErrors(); });
    }
#endif
}

void DownloadText::followRedirect(const QUrl& next)
{
    const QString scheme = next.scheme();
    if (++m_redirects > m_redirectLimit)
        fail(kTooManyRedirects);
    else if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        fail(QStringLiteral("Redirect to a URL that is not http or https"));
    else if (m_current.scheme() == QLatin1String("https") && scheme == QLatin1String("http"))
        fail(QStringLiteral("Redirect from https to http"));
    else
        checkThenRequest(next);
}

void DownloadText::fail(const QString& error, const QString& refusedUrl)
{
    DownloadResult result;
    result.url = m_url;
    result.error = error;
    result.refusedUrl = refusedUrl;
    detachReply();
    m_refusalPending = false;
    m_body.clear();
    complete(std::move(result));
}

void DownloadText::abort()
{
    detachReply();
    m_deadline->stop();
    m_refusalPending = false;
    ++m_generation;
}

bool DownloadText::isRunning() const
{
    return m_reply || m_refusalPending;
}

void DownloadText::onReadyRead()
{
    QNetworkReply* reply = m_reply;
    if (!reply || sender() != reply)
        return;
    // Read one byte past the cap to know that the body goes on beyond it.
    m_body += reply->read(m_bodyCap + 1 - m_body.size());
    if (m_body.size() <= m_bodyCap)
        return;

    DownloadResult result;
    result.url = m_url;
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    takeBody(result, *reply);
    detachReply();
    m_body.clear();
    complete(std::move(result));
}

void DownloadText::onReplyFinished()
{
    QNetworkReply* reply = m_reply;
    if (!reply || sender() != reply)
        return;

    DownloadResult result;
    result.url = m_url;
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = reply->error();
    const QVariant location = reply->attribute(QNetworkRequest::RedirectionTargetAttribute);
    const bool tls = m_current.scheme() == QLatin1String("https");
    if (error == QNetworkReply::NoError && location.isValid() && result.httpStatus >= 300
        && result.httpStatus < 400) {
        const QUrl next = m_current.resolved(location.toUrl());
        detachReply();
        m_body.clear();
        followRedirect(next);
        return;
    }
    // The status is not looked at: an error page's body is the text like any other page's.
    if (error == QNetworkReply::NoError || (result.httpStatus >= 400 && isStatusError(error))) {
        m_body += reply->read(m_bodyCap + 1 - m_body.size());
        takeBody(result, *reply);
    } else if (error == QNetworkReply::OperationCanceledError
               || error == QNetworkReply::TimeoutError) {
        // Nothing but the transfer timeout cancels a reply the download still holds: the download
        // lets go of a reply before it aborts it.
        result.error = kTimeout;
    } else if (m_proxied && error == QNetworkReply::HostNotFoundError && tls) {
        // Either the proxy's name is unknown, or the proxy found no such host (its tunnel's
        // "404"): the proxy's name tells which.
        detachReply();
        m_body.clear();
        m_refusalPending = true;
        const quint64 generation = m_generation;
        m_network.lookUpHost(m_proxyHost, this,
                             [this, generation, result](const QList<QHostAddress>& proxy) mutable {
                                 if (generation != m_generation || !m_refusalPending)
                                     return;
                                 m_refusalPending = false;
                                 result.error = proxy.isEmpty()
                                     ? NetworkContext::kProxyNotFound
                                     : QStringLiteral("Host not found");
                                 complete(std::move(result));
                             });
        return;
    } else if (const QString proxy
               = m_proxied ? proxyFailure(error, reply->errorString(), tls) : QString();
               !proxy.isEmpty()) {
        result.error = proxy;
    } else {
        result.error = reply->errorString();
        if (result.error.isEmpty())
            result.error = QStringLiteral("Download failed");
    }
    detachReply();
    m_body.clear();
    complete(std::move(result));
}

void DownloadText::takeBody(DownloadResult& result, const QNetworkReply& reply)
{
    result.contentType = reply.rawHeader(QByteArrayLiteral("Content-Type"));
    const bool cut = m_body.size() > m_bodyCap;
    const ContentDecoder::Decoded decoded = ContentDecoder::decode(
        reply.rawHeader(QByteArrayLiteral("Content-Encoding")),
        QByteArrayView(m_body).first(std::min<qsizetype>(m_body.size(), m_bodyCap)), m_bodyCap);
    // A coded stream cut at the cap stops before its end: what was decoded of it is the text,
    // as for an uncoded body. Any other failure to decode leaves no text to read.
    const bool unreadable = !decoded.problem.isEmpty()
        && (!cut || decoded.problem.startsWith(ContentDecoder::kNotUnderstood));
    if (unreadable) {
        result.error = decoded.problem;
        return;
    }
    result.body = decoded.body;
    result.truncated = cut || decoded.capped;
}

void DownloadText::detachReply()
{
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    if (!reply)
        return;
    disconnect(reply, nullptr, this, nullptr);
    reply->abort();
    reply->deleteLater();
}

void DownloadText::complete(DownloadResult result)
{
    m_deadline->stop();
    if (result.ok())
        result.text = Windows1252::decode(result.body);
    else
        result.body.clear();
    Q_EMIT finished(result);
}

} // namespace corvane
