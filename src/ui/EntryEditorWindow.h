#pragma once

#include "model/EntryEditor.h"

#include <QDialog>

class QFormLayout;
class QLineEdit;
class QPushButton;

namespace corvane {

class Project;
class RulePanel;

// The site and rule editors, not modal: "Form2" edits a Linking Site, "Form2a" a Main Site (both
// captioned "Edit an entry") and "Form2b" the global rules ("Global Rules Editor"). Each keeps its
// own EntryEditor, bound to the entry the opener named, with its private rule copy shown in the
// shared RulePanel. "OK" saves and closes; a refused save is shown and the window stays open.
class EntryEditorWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(EntryEditorWindow)

public:
    using Kind = EntryEditor::Kind;

    // Reads iCurrentMain and iEditIndex now; a window whose editor is not bound (no such entry)
    // is not to be shown.
    EntryEditorWindow(Project& project, Kind kind, QWidget* parent = nullptr);

    const EntryEditor& editor() const { return m_editor; }

    void save();

Q_SIGNALS:
    // The entry and its rules were written into the project.
    void saved();

private:
    QLineEdit* addField(QFormLayout* form, const QString& name, const QString& label,
                        const QString& text, bool enterSaves);

    EntryEditor m_editor;
    QLineEdit* Text1 = nullptr;
    QLineEdit* Text2 = nullptr;
    QLineEdit* Text3 = nullptr;
    QLineEdit* Text4 = nullptr;
    QLineEdit* Text5 = nullptr;
    RulePanel* m_rules = nullptr;
    QPushButton* cmdSave = nullptr;
    QPushButton* Command3 = nullptr;
};

} // namespace corvane
