#pragma once

#include <QGroupBox>

#include <functional>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace corvane {

class EntryEditor;

// The rule part the three site and rule editors share: the editor's private rule list, the six
// rule types, the value and the "Add Rule" and "Delete Rule" buttons, under the heading of its
// scope. Its buttons hand the controls' contents to the EntryEditor and show what comes back.
class RulePanel final : public QGroupBox
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RulePanel)

public:
    // linkingSiteText: what the Linking Site's URL field holds when "Add Rule" is pressed (the
    // Linking Site editor's rules carry it); null for the other editors. note: the line under the
    // heading, empty for none. valueLabel: whether "Value:" stands before the value field.
    RulePanel(EntryEditor& editor, const QString& heading, const QString& note, bool valueLabel,
              std::function<QString()> linkingSiteText, QWidget* parent = nullptr);

    void addRule();
    void deleteRule();

private:
    EntryEditor& m_editor;
    std::function<QString()> m_linkingSiteText;
    QTreeView* ListView1;
    QButtonGroup* Option1;
    QLineEdit* Text6;
    QPushButton* Command1;
    QPushButton* Command2;
};

} // namespace corvane
