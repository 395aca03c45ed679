#include "ui/EditorWindows.h"

#include "model/Project.h"
#include "model/ProjectEditor.h"
#include "ui/EntryEditorWindow.h"
#include "ui/OptionsWindow.h"

namespace corvane {

namespace {

void bringToFront(QWidget* window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace

EditorWindows::EditorWindows(Project& project, ProjectEditor& editor, SettingsStore& settings,
                             AppFolder app, QWidget* window)
    : QObject(window),
      m_project(project),
      m_editor(editor),
      m_settings(settings),
      m_app(std::move(app)),
      m_window(window)
{
}

bool EditorWindows::open(const QString& name)
{
    if (name == QStringLiteral("Form2"))
        openEditor(EntryEditor::Kind::LinkingSite);
    else if (name == QStringLiteral("Form2a"))
        openEditor(EntryEditor::Kind::MainSite);
    else if (name == QStringLiteral("Form2b"))
        openEditor(EntryEditor::Kind::Global);
    else if (name == QStringLiteral("frmOptions"))
        openOptions();
    else
        return false;
    return true;
}

EntryEditorWindow* EditorWindows::openEditor(EntryEditor::Kind kind)
{
    if (kind == EntryEditor::Kind::Global && m_globalRules) {
        bringToFront(m_globalRules);
        return m_globalRules;
    }
    auto* editor = new EntryEditorWindow(m_project, kind, m_window);
    if (!editor->editor().isBound()) {
        delete editor;
        return nullptr;
    }
    if (kind == EntryEditor::Kind::Global)
        m_globalRules = editor;
    if (kind == EntryEditor::Kind::MainSite) {
        // The caption above the Linking Sites names the current Main Site by its URL.
        connect(editor, &EntryEditorWindow::saved, this, [this] {
            const int k = m_project.state().iCurrentMain;
            if (k >= 1 && k <= m_project.mainSiteCount())
                m_editor.selectMainSite(k);
        });
    }
    if (kind == EntryEditor::Kind::LinkingSite) {
        // The partner's history follows it to its new name.
        connect(editor, &EntryEditorWindow::saved, this, [this, editor] {
            const EntryEditor& e = editor->editor();
            const LinkingSiteList* list = m_project.linkingSites(e.mainSitePosition());
            if (!list || e.entryIndex() < 1 || e.entryIndex() > list->count())
                return;
            const QString now = list->url(e.entryIndex() - 1);
            if (now != e.fields().url)
                Q_EMIT linkingSiteRenamed(e.mainSitePosition(), e.fields().url, now);
        });
    }
    bringToFront(editor);
    return editor;
}

OptionsWindow* EditorWindows::openOptions()
{
    if (!m_options) {
        m_options = new OptionsWindow(m_settings, m_app.file(QStringLiteral("filetypes.txt")),
                                      m_window);
        connect(m_options, &OptionsWindow::globalRulesRequested, this,
                [this] { openEditor(EntryEditor::Kind::Global); });
    }
    m_options->setProjectPath(m_projectPath ? m_projectPath() : QString());
    bringToFront(m_options);
    return m_options;
}

} // namespace corvane
