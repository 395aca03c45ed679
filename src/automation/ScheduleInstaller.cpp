#include "automation/ScheduleInstaller.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include <unistd.h>

namespace corvane {

namespace {

const QString kPrefix = QStringLiteral("corvane-scan-");
const QString kProjectKey = QStringLiteral("X-Corvane-Project=");
const QString kEveryKey = QStringLiteral("X-Corvane-Every=");
const QString kAtKey = QStringLiteral("X-Corvane-At=");
const QString kExecKey = QStringLiteral("ExecStart=");
// systemctl answers at once or not at all; a hung user manager must not hang the window.
constexpr int kSystemctlTimeoutMs = 20000;

// A text for a unit's Description=, where "%" starts a specifier.
QString describe(const QString& text)
{
    return QString(text).replace(u'%', QStringLiteral("%%"));
}

// A text for a message on one line: line breaks and other control characters as "\n", "\r",
// "\x09".
QString shown(const QString& text)
{
    QString out;
    for (const QChar c : text) {
        if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c.category() == QChar::Other_Control)
            out += QStringLiteral("\\x") + QString::number(c.unicode(), 16).rightJustified(2, u'0');
        else
            out += c;
    }
    return QDir::toNativeSeparators(out);
}

bool writeText(const QString& path, const QString& text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text.toUtf8());
    return file.commit();
}

// The words of an ExecStart= line written by ScheduledCommand::forSystemd.
QStringList systemdWords(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (!inWord) {
            if (c == u'"') {
                inWord = true;
                word.clear();
            }
            continue;
        }
        if (c == u'\\' && i + 1 < line.size()) {
            word += line.at(++i);
        } else if ((c == u'%' || c == u'$') && i + 1 < line.size() && line.at(i + 1) == c) {
            word += c;
            ++i;
        } else if (c == u'"') {
            words << word;
            inWord = false;
        } else {
            word += c;
        }
    }
    return words;
}

QString valueOf(const QStringList& lines, const QString& key)
{
    for (const QString& line : lines) {
        if (line.startsWith(key))
            return line.mid(key.size());
    }
    return {};
}

} // namespace

ScheduleInstaller::ScheduleInstaller(QString unitFolder, QString systemctl)
    : m_unitFolder(unitFolder.isEmpty() ? defaultUnitFolder() : std::move(unitFolder)),
      m_systemctl(std::move(systemctl))
{
}

QString ScheduleInstaller::defaultUnitFolder()
{
    // Where systemd looks for a user's own units; read from the environment (not through
    // QStandardPaths, whose test mode would point elsewhere than systemd looks).
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/systemd/user");
}

QString ScheduleInstaller::unitNameFor(const QString& projectPath)
{
    const QString absolute = QFileInfo(projectPath).absoluteFilePath();
    QString stem;
    for (const QChar c : QFileInfo(absolute).completeBaseName().toLower()) {
        if ((c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9'))
            stem += c;
        else if (!stem.endsWith(u'-'))
            stem += u'-';
    }
    stem = stem.left(40);
    while (stem.endsWith(u'-'))
        stem.chop(1);
    if (stem.startsWith(u'-'))
        stem.remove(0, 1);
    if (stem.isEmpty())
        stem = QStringLiteral("project");
    const QByteArray hash =
        QCryptographicHash::hash(absolute.toUtf8(), QCryptographicHash::Sha1).toHex().left(8);
    return kPrefix + stem + u'-' + QString::fromLatin1(hash);
}

QString ScheduleInstaller::timerText(const QString& projectPath, const ScanSchedule& schedule)
{
    const QString absolute = QFileInfo(projectPath).absoluteFilePath();
    return QStringLiteral("[Unit]\n"
                          "Description=Corvane: scan %1 %2\n"
                          "%3%4\n"
                          "\n"
                          "[Timer]\n"
                          "OnCalendar=%5\n"
                          // A run missed while the computer was off happens at the next start.
                          "Persistent=true\n"
                          "%6%7\n"
                          "%8%9\n"
                          "\n"
                          "[Install]\n"
                          "WantedBy=timers.target\n")
        .arg(describe(QFileInfo(absolute).fileName()), describe(schedule.text()), kProjectKey,
             absolute, schedule.onCalendar(), kEveryKey, ScanSchedule::name(schedule.every), kAtKey,
             schedule.at.toString(QStringLiteral("HH:mm")));
}

QString ScheduleInstaller::serviceText(const QString& projectPath, const QStringList& command)
{
    const QString absolute = QFileInfo(projectPath).absoluteFilePath();
    const QString program = command.value(0);
    const QString name = unitNameFor(absolute);
    // The program's own check: a schedule left behind when the program was removed is skipped
    // (and systemd's log says the condition failed) instead of failing every day.
    const QString condition =
        program.isEmpty()
            ? QString()
            : QStringLiteral("# When %1 is not installed (any more), this scan is skipped. To remove\n"
                             "# the schedule: systemctl --user disable --now %2.timer, then delete\n"
                             "# %2.timer and %2.service in this folder.\n"
                             "ConditionPathExists=%3\n")
                  .arg(program, name, describe(program));
    // The project's line is followed by an empty one: a path ending in "\" would make systemd
    // read the next line as more of it.
    return QStringLiteral("[Unit]\n"
                          "Description=Corvane: scan %1\n"
                          "%2"
                          "%3%4\n"
                          "\n"
                          "[Service]\n"
                          "Type=oneshot\n"
                          "%5%6\n"
                          // Exit status 1 is a scan that ran and found a partner without its
                          // link: news for the log and the notification, not a failed unit every
                          // night. A project that cannot be scanned (2) still fails it.
                          "SuccessExitStatus=1\n")
        .arg(describe(QFileInfo(absolute).fileName()), condition, kProjectKey, absolute, kExecKey,
             ScheduledCommand::forSystemd(command));
}

QString ScheduleInstaller::cronLine(const ScanSchedule& schedule, const QStringList& command)
{
    return schedule.cronFields() + QStringLiteral(" DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/")
           + QString::number(::getuid()) + QStringLiteral("/bus ")
           + ScheduledCommand::forCron(command);
}

bool ScheduleInstaller::systemctl(const QStringList& arguments, QString* error) const
{
    const QString program = m_systemctl.contains(u'/')
                                ? m_systemctl
                                : QStandardPaths::findExecutable(m_systemctl);
    if (program.isEmpty()) {
        *error = m_systemctl + QStringLiteral(" is not installed");
        return false;
    }
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, QStringList{QStringLiteral("--user")} + arguments);
    if (!process.waitForStarted() || !process.waitForFinished(kSystemctlTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        *error = QStringLiteral("systemctl --user ") + arguments.join(u' ')
                 + QStringLiteral(" did not answer");
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        const QString said = QString::fromLocal8Bit(process.readAll()).trimmed();
        *error = QStringLiteral("systemctl --user ") + arguments.join(u' ')
                 + QStringLiteral(" failed")
                 + (said.isEmpty() ? QString() : QStringLiteral(": ") + said.section(u'\n', 0, 0));
        return false;
    }
    return true;
}

ScheduleInstaller::Outcome ScheduleInstaller::set(const QString& projectPath,
                                                  const ScanSchedule& schedule,
                                                  const QStringList& command)
{
    if (!schedule.isOn())
        return remove(projectPath);
    Outcome outcome;
    const QString absolute = QFileInfo(projectPath).absoluteFilePath();
    if (const std::optional<QString> found = ScheduledCommand::controlCharacterIn(absolute)) {
        outcome.message = QStringLiteral("cannot schedule \"") + shown(absolute)
                          + QStringLiteral("\": its path holds ") + *found
                          + QStringLiteral(", which would split the timer and the crontab line; "
                                           "rename the file or its folder");
        return outcome;
    }
    for (const QString& word : command) {
        if (const std::optional<QString> found = ScheduledCommand::controlCharacterIn(word)) {
            outcome.message = QStringLiteral("cannot schedule \"") + shown(absolute)
                              + QStringLiteral("\": \"") + shown(word) + QStringLiteral("\" holds ")
                              + *found
                              + QStringLiteral(", which would split the timer and the crontab line");
            return outcome;
        }
    }
    const QString name = unitNameFor(absolute);
    const QString timer = name + QStringLiteral(".timer");
    if (!QDir().mkpath(m_unitFolder)
        || !writeText(m_unitFolder + u'/' + name + QStringLiteral(".service"),
                      serviceText(absolute, command))
        || !writeText(m_unitFolder + u'/' + timer, timerText(absolute, schedule))) {
        outcome.message = QStringLiteral("cannot write the timer in \"")
                          + QDir::toNativeSeparators(m_unitFolder) + u'"';
        return outcome;
    }
    outcome.ok = true;
    QString error;
    // The reload tells whether a user manager answers at all; a changed schedule takes effect at
    // the restart.
    if (systemctl({QStringLiteral("daemon-reload")}, &error)) {
        if (systemctl({QStringLiteral("enable"), timer}, &error)
            && systemctl({QStringLiteral("restart"), timer}, &error)) {
            outcome.timerActive = true;
            outcome.message = QStringLiteral("Scheduled ") + schedule.text()
                              + QStringLiteral(" (systemd user timer ") + timer + u')';
            return outcome;
        }
        outcome.message = QStringLiteral("The timer ") + timer + QStringLiteral(" is written but ")
                          + error + u'.';
    } else {
        outcome.message = QStringLiteral("No user systemd here (") + error
                          + QStringLiteral("): the timer is written but nothing runs it. Add this "
                                           "line to your crontab instead (crontab -e):");
    }
    outcome.cronLine = cronLine(schedule, command);
    return outcome;
}

ScheduleInstaller::Outcome ScheduleInstaller::remove(const QString& projectPath)
{
    Outcome outcome;
    const QString name = unitNameFor(projectPath);
    const QString timer = name + QStringLiteral(".timer");
    const QString timerPath = m_unitFolder + u'/' + timer;
    const QString servicePath = m_unitFolder + u'/' + name + QStringLiteral(".service");
    const std::optional<Entry> entry = read(name);
    if (!QFileInfo::exists(timerPath) && !QFileInfo::exists(servicePath)) {
        outcome.ok = true;
        outcome.message = QStringLiteral("Not scheduled");
        return outcome;
    }
    QString error;
    // Disabled before the files go, while systemd still knows the unit.
    const bool managed = systemctl({QStringLiteral("disable"), QStringLiteral("--now"), timer}, &error);
    if ((QFileInfo::exists(timerPath) && !QFile::remove(timerPath))
        || (QFileInfo::exists(servicePath) && !QFile::remove(servicePath))) {
        outcome.message = QStringLiteral("cannot remove the timer from \"")
                          + QDir::toNativeSeparators(m_unitFolder) + u'"';
        return outcome;
    }
    outcome.ok = true;
    if (managed) {
        QString ignored;
        systemctl({QStringLiteral("daemon-reload")}, &ignored);
        outcome.message = QStringLiteral("Schedule removed (systemd user timer ") + timer
                          + QStringLiteral(" disabled)");
    } else {
        outcome.message = QStringLiteral("Schedule removed. No user systemd here (") + error
                          + QStringLiteral("): remove the line from your crontab if you added it "
                                           "(crontab -e):");
        if (entry)
            outcome.cronLine = cronLine(entry->schedule, entry->command);
    }
    return outcome;
}

std::optional<ScheduleInstaller::Entry> ScheduleInstaller::read(const QString& unitName) const
{
    QFile timer(m_unitFolder + u'/' + unitName + QStringLiteral(".timer"));
    QFile service(m_unitFolder + u'/' + unitName + QStringLiteral(".service"));
    if (!timer.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    const QStringList timerLines = QString::fromUtf8(timer.readAll()).split(u'\n');
    QStringList serviceLines;
    if (service.open(QIODevice::ReadOnly | QIODevice::Text))
        serviceLines = QString::fromUtf8(service.readAll()).split(u'\n');
    Entry entry;
    entry.unitName = unitName;
    entry.projectPath = valueOf(timerLines, kProjectKey);
    const std::optional<ScanSchedule::Every> every =
        ScanSchedule::everyNamed(valueOf(timerLines, kEveryKey));
    const std::optional<QTime> at = ScanSchedule::timeNamed(valueOf(timerLines, kAtKey));
    if (entry.projectPath.isEmpty() || !every || !at)
        return std::nullopt;
    entry.schedule = {*every, *at};
    entry.command = systemdWords(valueOf(serviceLines, kExecKey));
    return entry;
}

std::optional<ScheduleInstaller::Entry> ScheduleInstaller::find(const QString& projectPath) const
{
    return read(unitNameFor(projectPath));
}

QList<ScheduleInstaller::Entry> ScheduleInstaller::list() const
{
    QList<Entry> entries;
    const QStringList timers = QDir(m_unitFolder).entryList(
        {kPrefix + QStringLiteral("*.timer")}, QDir::Files, QDir::Name);
    for (const QString& file : timers) {
        if (const std::optional<Entry> e = read(file.chopped(6)))
            entries << *e;
    }
    return entries;
}

} // namespace corvane
