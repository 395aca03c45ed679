#include "model/ProxySetting.h"

#include <QUrl>

namespace corvane {

bool ProxySetting::parse(const QString& text, ProxySetting& out)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.compare(kSystem, Qt::CaseInsensitive) == 0) {
        out = ProxySetting{};
        return true;
    }
    if (t.compare(kNone, Qt::CaseInsensitive) == 0) {
        out = ProxySetting{};
        out.mode = Mode::None;
        return true;
    }
    QString rest = t;
    if (rest.startsWith(QStringLiteral("http://"), Qt::CaseInsensitive))
        rest = rest.mid(7);
    if (rest.endsWith(u'/'))
        rest.chop(1);
    const qsizetype colon = rest.lastIndexOf(u':');
    if (colon <= 0)
        return false;
    QString host = rest.left(colon);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    bool ok = false;
    const uint port = rest.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535 || host.isEmpty() || host.contains(u' ')
        || host.contains(u'/') || host.contains(u'@'))
        return false;
    out = ProxySetting{};
    out.mode = Mode::Fixed;
    out.host = host;
    out.port = quint16(port);
    return true;
}

bool ProxySetting::fromVariable(const QString& text, ProxySetting& out)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    if (!t.contains(QStringLiteral("://")))
        t.prepend(QStringLiteral("http://"));
    const QUrl url(t, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    Kind kind = Kind::Http;
    if (scheme == QLatin1String("socks5") || scheme == QLatin1String("socks5h")
        || scheme == QLatin1String("socks"))
        kind = Kind::Socks5;
    else if (scheme != QLatin1String("http"))
        return false;
    const QString path = url.path();
    if (!url.isValid() || url.host().isEmpty() || (!path.isEmpty() && path != u"/")
        || url.hasQuery() || url.hasFragment())
        return false;
    const int port = url.port(kVariableDefaultPort);
    if (port <= 0)
        return false;
    out = {Mode::Fixed, url.host(), quint16(port), kind, url.userName(), url.password()};
    return true;
}

} // namespace corvane
