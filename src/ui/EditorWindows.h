#pragma once

#include "model/AppFolder.h"
#include "model/EntryEditor.h"

#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

namespace corvane {

class EntryEditorWindow;
class OptionsWindow;
class Project;
class ProjectEditor;
class SettingsStore;

// Opens the main window's modeless windows: the site and rule editors and the options. A site
// editor opens once per Edit press, each bound to its own entry; the global rules editor and the
// options window open once and are brought to the front when asked for again.
class EditorWindows final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EditorWindows)

public:
    EditorWindows(Project& project, ProjectEditor& editor, SettingsStore& settings, AppFolder app,
                  QWidget* window);

    // Opens the window of that name ("Form2", "Form2a", "Form2b", "frmOptions"); false for a
    // name it does not know.
    bool open(const QString& name);
    EntryEditorWindow* openEditor(EntryEditor::Kind kind);
    OptionsWindow* openOptions();
    // Where the open project is saved (empty: never saved), for the options' schedule.
    void setProjectPathSource(std::function<QString()> source) { m_projectPath = std::move(source); }

Q_SIGNALS:
    // A Linking Site editor saved a new URL for the row (1-based) of the Main Site at mainSite.
    void linkingSiteRenamed(int mainSite, const QString& oldUrl, const QString& newUrl);

private:
    Project& m_project;
    ProjectEditor& m_editor;
    SettingsStore& m_settings;
    AppFolder m_app;
    QWidget* m_window;
    QPointer<EntryEditorWindow> m_globalRules;
    QPointer<OptionsWindow> m_options;
    std::function<QString()> m_projectPath;
};

} // namespace corvane
