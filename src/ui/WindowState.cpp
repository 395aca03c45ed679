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

namespace {

QList<int> readNumbers(const SettingsStore& settings, const QString& key)
{
    QList<int> numbers;
    const QStringList stored = open(settings).value(kGroup + key).toStringList();
    for (const QString& text : stored) {
        bool ok = false;
        const int number = text.toInt(&ok);
        if (!ok || number < 0)
            return {};
        numbers << number;
    }
    return numbers;
}

void writeNumbers(const SettingsStore& settings, const QString& key, const QList<int>& numbers)
{
    if (numbers.isEmpty()) {
        open(settings).remove(kGroup + key);
        return;
    }
    QStringList texts;
    for (const int number : numbers)
        texts << QString::number(number);
    open(settings).setValue(kGroup + key, texts);
}

} // namespace

// "<list>ColumnWidths" holds only widths the user gave; the "<list>Columns" of earlier versions
// held whatever the columns had at exit and is left unread, so the lists size themselves again.
QList<int> columnWidths(const SettingsStore& settings, const QString& list)
{
    return readNumbers(settings, list + QStringLiteral("ColumnWidths"));
}

void setColumnWidths(const SettingsStore& settings, const QString& list, const QList<int>& widths)
{
    writeNumbers(settings, list + QStringLiteral("ColumnWidths"), widths);
}

QList<int> splitterSizes(const SettingsStore& settings, const QString& splitter)
{
    const QList<int> sizes = readNumbers(settings, splitter + QStringLiteral("Sizes"));
    // A part of no size could not be dragged back.
    for (const int size : sizes) {
        if (size <= 0)
            return {};
    }
    return sizes;
}

void setSplitterSizes(const SettingsStore& settings, const QString& splitter,
                      const QList<int>& sizes)
{
    writeNumbers(settings, splitter + QStringLiteral("Sizes"), sizes);
}

} // namespace corvane::WindowState
