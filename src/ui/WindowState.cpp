#include "ui/WindowState.h"

#include "model/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace corvane::WindowState {

namespace {

const QString kGroup = QStringLiteral("Window/");
const QString kLastFolder = QStringLiteral("LastFolder");

QSettings open(const SettingsStore& settings)
{
    return QSettings(settings.fileName(), QSettings::IniFormat);
}

} // namespace

QString startFolder(const SettingsStore& settings)
{
    const QString last = open(settings).value(kGroup + kLastFolder).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

void rememberFile(const SettingsStore& settings, const QString& path)
{
    if (path.trimmed().isEmpty())
        return;
    open(settings).setValue(kGroup + kLastFolder, QFileInfo(path).absolutePath());
}

QList<int> columnWidths(const SettingsStore& settings, const QString& list)
{
    QList<int> widths;
    const QStringList stored = open(settings).value(kGroup + list + QStringLiteral("Columns")).toStringList();
    for (const QString& text : stored) {
        bool ok = false;
        const int width = text.toInt(&ok);
        if (!ok || width < 0)
            return {};
        widths << width;
    }
    return widths;
}

void setColumnWidths(const SettingsStore& settings, const QString& list, const QList<int>& widths)
{
    QStringList texts;
    for (const int width : widths)
        texts << QString::number(width);
    open(settings).setValue(kGroup + list + QStringLiteral("Columns"), texts);
}

} // namespace corvane::WindowState
