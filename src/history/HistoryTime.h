#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

namespace corvane::HistoryTime {

// Times as the history's columns hold them: ISO 8601 in UTC with milliseconds; empty for none.
inline QString timeText(const QDateTime& t)
{
    return t.isValid() ? t.toUTC().toString(Qt::ISODateWithMs) : QString();
}

// A column's time in local time; invalid for an empty column.
inline QDateTime timeOf(const QVariant& v)
{
    const QString text = v.toString();
    if (text.isEmpty())
        return {};
    return QDateTime::fromString(text, Qt::ISODateWithMs).toLocalTime();
}

} // namespace corvane::HistoryTime
