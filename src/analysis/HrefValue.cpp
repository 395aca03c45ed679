#include "analysis/HrefValue.h"

namespace corvane::HrefValue {

std::optional<QStringView> cut(QStringView rest)
{
    if (rest.startsWith(u'"'))
        rest = rest.sliced(1);
    if (rest.startsWith(u'\''))
        rest = rest.sliced(1);
    qsizetype size = qMax<qsizetype>(rest.size() - 2, 0);
    for (qsizetype i = 0; i + 1 < rest.size(); ++i) {
        const QChar c = rest.at(i);
        if (c == u'"' || c == u'\'' || c == u'>') {
            size = i;
            break;
        }
    }
    if (size == 0)
        return std::nullopt;
    QStringView value = rest.first(size);
    while (value.startsWith(u' '))
        value = value.sliced(1);
    while (value.endsWith(u' '))
        value.chop(1);
    const qsizetype blank = value.indexOf(u' ');
    return blank >= 0 ? value.first(blank) : value;
}

QString redirectTarget(QStringView line)
{
    for (const QChar stop : {QChar(u' '), QChar(u'<'), QChar(u'>')}) {
        const qsizetype at = line.indexOf(stop);
        if (at >= 0)
            line = line.first(at);
    }
    QString target = line.toString();
    target.remove(QStringLiteral("href="), Qt::CaseInsensitive);
    target.remove(QStringLiteral(">here</a></body"), Qt::CaseInsensitive);
    target.remove(u'"');
    target.remove(u'\'');
    target.remove(u' ');
    return target;
}

} // namespace corvane::HrefValue
