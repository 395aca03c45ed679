#include "ui/EntryEditorWindow.h"

#include "ui/Artwork.h"
#include "ui/Dialogs.h"
#include "ui/RulePanel.h"
#include "ui/Widgets.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

EntryEditorWindow::EntryEditorWindow(Project& project, Kind kind, QWidget* parent)
    : QDialog(parent), m_editor(project, kind)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowIcon(Artwork::programIcon());
    auto* layout = new QVBoxLayout(this);
    const LinkingSite& fields = m_editor.fields();

    QString heading;
    QString note;
    std::function<QString()> linkingSiteText;
    switch (kind) {
    case Kind::LinkingSite: {
        setObjectName(QStringLiteral("Form2"));
        setWindowTitle(tr("Edit an entry"));
        auto* form = new QFormLayout;
        Text1 = addField(form, QStringLiteral("Text1"), tr("Website URL:"), fields.url, true);
        Text2 = addField(form, QStringLiteral("Text2"), tr("Links expected:"), fields.expected,
                         true);
        Text3 = addField(form, QStringLiteral("Text3"), tr("Link Page URL:"), fields.linkPageUrl,
                         true);
        Text4 = addField(form, QStringLiteral("Text4"), tr("Link Page Text:"),
                         fields.linkPageText, true);
        Text5 = addField(form, QStringLiteral("Text5"), tr("Description:"), fields.description,
                         false);
        layout->addLayout(form);
        heading = tr("Edit rules for this remote site:");
        linkingSiteText = [this] { return Text1->text(); };
        break;
    }
    case Kind::MainSite: {
        setObjectName(QStringLiteral("Form2a"));
        setWindowTitle(tr("Edit an entry"));
        auto* form = new QFormLayout;
        Text1 = addField(form, QStringLiteral("Text1"), tr("Main Site URL:"), fields.url, true);
        layout->addLayout(form);
        heading = tr("Edit rules for this main site:");
        note = tr("These rules will apply to all Linking Sites grouped with this Main Site");
        break;
    }
    case Kind::Global:
        setObjectName(QStringLiteral("Form2b"));
        setWindowTitle(tr("Global Rules Editor"));
        heading = tr("Edit Global Rules");
        note = tr("These rules will apply globally to all sites");
        break;
    }
    m_rules = new RulePanel(m_editor, heading, note, kind != Kind::Global,
                            std::move(linkingSiteText), this);
    layout->addWidget(m_rules, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cmdSave = makeButton(this, QStringLiteral("cmdSave"), tr("OK"));
    Command3 = makeButton(this, QStringLiteral("Command3"), tr("Cancel"));
    for (QPushButton* button : {cmdSave, Command3}) {
        // Enter belongs to the fields: it saves from the site fields and adds from the value.
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    layout->addLayout(buttons);
    connect(cmdSave, &QPushButton::clicked, this, &EntryEditorWindow::save);
    connect(Command3, &QPushButton::clicked, this, &QWidget::close);
    resize(660, kind == Kind::LinkingSite ? 560 : 440);
}

QLineEdit* EntryEditorWindow::addField(QFormLayout* form, const QString& name,
                                       const QString& label, const QString& text, bool enterSaves)
{
    QLineEdit* field = makeEntry(this, name, {}, label.chopped(1));
    field->setText(text);
    form->addRow(label, field);
    if (enterSaves)
        connect(field, &QLineEdit::returnPressed, this, &EntryEditorWindow::save);
    return field;
}

void EntryEditorWindow::save()
{
    LinkingSite fields;
    if (Text1 != nullptr)
        fields.url = Text1->text();
    if (Text2 != nullptr) {
        fields.expected = Text2->text();
        fields.linkPageUrl = Text3->text();
        fields.linkPageText = Text4->text();
        fields.description = Text5->text();
    }
    const EntryEditOutcome outcome = m_editor.save(fields);
    if (!outcome.done) {
        Dialogs::information(this, outcome.message, outcome.title);
        return;
    }
    Q_EMIT saved();
    close();
}

} // namespace corvane
