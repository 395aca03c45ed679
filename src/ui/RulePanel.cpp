#include "ui/RulePanel.h"

#include "model/EntryEditor.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace corvane {

RulePanel::RulePanel(EntryEditor& editor, const QString& heading, const QString& note,
                     bool valueLabel, std::function<QString()> linkingSiteText, QWidget* parent)
    : QGroupBox(heading, parent), m_editor(editor), m_linkingSiteText(std::move(linkingSiteText))
{
    setObjectName(QStringLiteral("fraRules"));
    auto* layout = new QVBoxLayout(this);
    if (!note.isEmpty()) {
        QLabel* noteLabel = makeLabel(this, QStringLiteral("lblNote"), note);
        noteLabel->setWordWrap(true);
        layout->addWidget(noteLabel);
    }

    ListView1 = new QTreeView(this);
    ListView1->setObjectName(QStringLiteral("ListView1"));
    ListView1->setAccessibleName(tr("Rules"));
    ListView1->setRootIsDecorated(false);
    ListView1->setUniformRowHeights(true);
    ListView1->setAllColumnsShowFocus(true);
    ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView1->setModel(&m_editor.rules());
    ListView1->header()->setStretchLastSection(true);
    for (int column = 0; column < 3; ++column)
        ListView1->setColumnWidth(column, 150);
    layout->addWidget(ListView1, 1);

    static const char* const kCaptions[] = {
        QT_TR_NOOP("Limit to directories with this name:"),
        QT_TR_NOOP("Exclude Directories with this name:"),
        QT_TR_NOOP("Limit to URLs that contain this string:"),
        QT_TR_NOOP("Exclude URLs that contain this string:"),
        QT_TR_NOOP("Limit to URLs in this directory root:"),
        QT_TR_NOOP("Exclude URLs in this directory root:"),
    };
    Option1 = new QButtonGroup(this);
    Option1->setExclusive(true);
    auto* types = new QGridLayout;
    for (int i = 0; i < 6; ++i) {
        auto* option = new QRadioButton(tr(kCaptions[i]), this);
        option->setObjectName(QStringLiteral("Option1_%1").arg(i));
        Option1->addButton(option, i);
        // Limits in the left column, exclusions in the right one.
        types->addWidget(option, i / 2, i % 2);
    }
    layout->addLayout(types);

    auto* valueRow = new QHBoxLayout;
    Text6 = makeEntry(this, QStringLiteral("Text6"), tr("The text the rule tests for"),
                      tr("Rule value"));
    if (valueLabel) {
        QLabel* label = makeLabel(this, QStringLiteral("lblValue"), tr("Value:"));
        label->setBuddy(Text6);
        valueRow->addWidget(label);
    }
    valueRow->addWidget(Text6, 1);
    Command1 = makeButton(this, QStringLiteral("Command1"), tr("Add Rule"));
    Command2 = makeButton(this, QStringLiteral("Command2"), tr("Delete Rule"),
                          tr("Delete the rule selected above"));
    for (QPushButton* button : {Command1, Command2}) {
        button->setAutoDefault(false);
        valueRow->addWidget(button);
    }
    layout->addLayout(valueRow);

    connect(Text6, &QLineEdit::returnPressed, this, &RulePanel::addRule);
    connect(Command1, &QPushButton::clicked, this, &RulePanel::addRule);
    connect(Command2, &QPushButton::clicked, this, &RulePanel::deleteRule);
}

void RulePanel::addRule()
{
    const EntryEditOutcome outcome = m_editor.addRule(
        Option1->checkedId(), Text6->text(), m_linkingSiteText ? m_linkingSiteText() : QString());
    if (!outcome.done) {
        Dialogs::information(this, outcome.message, outcome.title);
        return;
    }
    ListView1->scrollToBottom();
    Text6->clear();
    Text6->setFocus();
}

void RulePanel::deleteRule()
{
    const QModelIndexList rows = ListView1->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        m_editor.deleteRule(rows.first().row());
}

} // namespace corvane
