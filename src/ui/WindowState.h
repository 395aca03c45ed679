#pragma once

#include <QList>
#include <QString>

namespace corvane {

class SettingsStore;

// What the window remembers about itself between runs, beside the user's options: the folder
// the file dialogs last used and the column widths the user gave the lists. It is kept in the
// options' file under a group of its own ("Window"), so the options' table knows nothing of it.
namespace WindowState {

// Where a file dialog for the user's own files (projects, reports, exports, the links page,
// site lists) opens: the folder of the file chosen last, else the user's documents folder.
QString startFolder(const SettingsStore& settings);
// The folder of a file the user chose; an empty path (a cancelled dialog) changes nothing.
void rememberFile(const SettingsStore& settings, const QString& path);

// The widths the user left a list's columns at; empty when none were kept.
QList<int> columnWidths(const SettingsStore& settings, const QString& list);
// An empty list forgets them: the list's own widths apply again.
void setColumnWidths(const SettingsStore& settings, const QString& list, const QList<int>& widths);

// The shares the user gave the parts of a splitter (in pixels at the time, used as proportions);
// empty when none were kept.
QList<int> splitterSizes(const SettingsStore& settings, const QString& splitter);
void setSplitterSizes(const SettingsStore& settings, const QString& splitter,
                      const QList<int>& sizes);

} // namespace WindowState

} // namespace corvane
