#include "automation/ScanSchedule.h"

#include <QRegularExpression>

namespace corvane {

QString ScanSchedule::name(Every every)
{
    switch (every) {
    case Every::Never:
        return QStringLiteral("never");
    case Every::Day:
        return QStringLiteral("day");
    case Every::Week:
        return QStringLiteral("week");
    case Every::Month:
        return QStringLiteral("month");
    }
    return {};
}

std::optional<ScanSchedule::Every> ScanSchedule::everyNamed(const QString& name)
{
    for (const Every e : {Every::Never, Every::Day, Every::Week, Every::Month}) {
        if (name == ScanSchedule::name(e))
            return e;
    }
    return std::nullopt;
}

std::optional<QTime> ScanSchedule::timeNamed(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,2}):([0-9]{2})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const QTime time(m.captured(1).toInt(), m.captured(2).toInt());
    if (!time.isValid())
        return std::nullopt;
    return time;
}

QString ScanSchedule::text() const
{
    if (!isOn())
        return name(every);
    return QStringLiteral("every ") + name(every) + QStringLiteral(" at ")
           + at.toString(QStringLiteral("HH:mm"));
}

QDateTime ScanSchedule::nextRun(const QDateTime& from) const
{
    if (!isOn())
        return {};
    QDate day = from.date();
    const auto runs = [this](const QDate& d) {
        switch (every) {
        case Every::Week:
            return d.dayOfWeek() == Qt::Monday;
        case Every::Month:
            return d.day() == 1;
        default:
            return true;
        }
    };
    // At most a month and a day ahead; the time of day is wall-clock time, as the timer takes it.
    for (int i = 0; i < 63; ++i, day = day.addDays(1)) {
        if (!runs(day))
            continue;
        const QDateTime run(day, at);
        if (run > from)
            return run;
    }
    return {};
}

QString ScanSchedule::onCalendar() const
{
    const QString time = at.toString(QStringLiteral("HH:mm")) + QStringLiteral(":00");
    switch (every) {
    case Every::Week:
        return QStringLiteral("Mon *-*-* ") + time;
    case Every::Month:
        return QStringLiteral("*-*-01 ") + time;
    default:
        return QStringLiteral("*-*-* ") + time;
    }
}

QString ScanSchedule::cronFields() const
{
    const QString time = QString::number(at.minute()) + u' ' + QString::number(at.hour());
    switch (every) {
    case Every::Week:
        return time + QStringLiteral(" * * 1");
    case Every::Month:
        return time + QStringLiteral(" 1 * *");
    default:
        return time + QStringLiteral(" * * *");
    }
}

namespace ScheduledCommand {

QStringList arguments(const QString& cliProgram, const QString& projectPath,
                      const QStringList& sets)
{
    QStringList words{cliProgram,          QStringLiteral("scan"),  projectPath,
                      QStringLiteral("--save"), QStringLiteral("--quiet"), QStringLiteral("--notify")};
    for (const QString& set : sets)
        words << QStringLiteral("--set") << set;
    return words;
}

QStringList sets(const QStringList& command)
{
    QStringList found;
    for (qsizetype i = 0; i + 1 < command.size(); ++i) {
        if (command.at(i) == QStringLiteral("--set"))
            found << command.at(++i);
    }
    return found;
}

QString forSystemd(const QStringList& words)
{
    QStringList quoted;
    for (QString w : words) {
        w.replace(u'\\', QStringLiteral("\\\\"))
            .replace(u'"', QStringLiteral("\\\""))
            .replace(u'%', QStringLiteral("%%"))
            .replace(u'$', QStringLiteral("$$"));
        quoted << u'"' + w + u'"';
    }
    return quoted.join(u' ');
}

QString forCron(const QStringList& words)
{
    // cron reads the command before the shell does: a "\" takes the character after it along
    // (and is dropped when that is a "%"), and any other "%" ends the command. So a "%" is
    // written "\%", and where the word has a "\" right before it, the quotes are closed and
    // opened again between the two, or cron would pair that "\" with the "\" of "\%".
    QStringList quoted;
    for (const QString& w : words) {
        QString q = QStringLiteral("'");
        for (const QChar c : w) {
            if (c == u'\'') {
                q += QStringLiteral("'\\''");
            } else if (c == u'%') {
                if (q.endsWith(u'\\'))
                    q += QStringLiteral("''");
                q += QStringLiteral("\\%");
            } else {
                q += c;
            }
        }
        quoted << q + u'\'';
    }
    return quoted.join(u' ');
}

std::optional<QString> controlCharacterIn(const QString& word)
{
    for (const QChar c : word) {
        if (c == u'\n')
            return QStringLiteral("a line break");
        if (c == u'\r')
            return QStringLiteral("a carriage return");
        if (c.category() == QChar::Other_Control)
            return QStringLiteral("a control character (U+%1)")
                .arg(QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
    return std::nullopt;
}

} // namespace ScheduledCommand

} // namespace corvane
