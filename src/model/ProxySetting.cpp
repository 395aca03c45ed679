#include "model/ProxySetting.h"

namespace corvane {

bool ProxySetting::parse(const QString& text, ProxySetting& out)
{
    const QString t = text.trimmed();
    if (t.isEmpty() || t.compare(kSystem, Qt::CaseInsensitive) == 0) {
        out = {Mode::System, {}, 0};
        return true;
    }
    if (t.compare(kNone, Qt::CaseInsensitive) == 0) {
        out = {Mode::None, {}, 0};
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
    out = {Mode::Fixed, host, quint16(port)};
    return true;
}

} // namespace corvane
