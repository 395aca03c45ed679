#include "ui/PagesTab.h"

#include "model/Project.h"
#include "model/ProjectLists.h"
#include "model/SettingsStore.h"
#include "ui/Dialogs.h"
#include "ui/Widgets.h"
#include "ui/WindowState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {

QString withCrLf(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(u'\n', QStringLiteral("\r\n"));
    return text;
}

void refillSiteSelector(QComboBox* selector, const MainSiteList& mainSites)
{
    const QString text = selector->currentText();
    selector->clear();
    for (int i = 0; i < mainSites.count(); ++i)
        selector->addItem(mainSites.url(i));
    selector->setCurrentIndex(selector->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    if (selector->isEditable())
        selector->setEditText(text);
}

PagesTab::PagesTab(Project& project, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), m_project(project), m_builder(project, settings), m_settings(settings)
{
    Frame5 = new QGroupBox(tr("Page Builder"), this);
    Frame5->setObjectName(QStringLiteral("Frame5"));

    optAll[0] = new QRadioButton(tr("Generate links for all Main Sites"), Frame5);
    optAll[0]->setObjectName(QStringLiteral("optAll_0"));
    optAll[1] = new QRadioButton(tr("Generate links for:"), Frame5);
    optAll[1]->setObjectName(QStringLiteral("optAll_1"));
    Combo3 = new QComboBox(Frame5);
    Combo3->setObjectName(QStringLiteral("Combo3"));
    nameComboBox(Combo3, tr("Generate links for:"));
    Combo3->setEditable(true);
    Combo3->setInsertPolicy(QComboBox::NoInsert);
    Combo3->setEditText(tr("Select"));
    Combo3->setMinimumContentsLength(24);
    chkNewWin = new QCheckBox(tr("Links open in new window"), Frame5);
    chkNewWin->setObjectName(QStringLiteral("chkNewWin"));
    chkBullet = new QCheckBox(tr("Bulleted List"), Frame5);
    chkBullet->setObjectName(QStringLiteral("chkBullet"));
    Command5 = makeButton(Frame5, QStringLiteral("Command5"), tr("Generate Links"),
                          tr("Generate links"));
    Command6 = makeButton(Frame5, QStringLiteral("Command6"), tr("Save Webpage"),
                          tr("Save Webpage"));

    const QString captions[3] = {tr("Pre-Links HTML"), tr("Generated Links"),
                                 tr("Post-Links HTML")};
    const QString tips[3] = {
        tr("All HTML on your page that comes before your links goes here."),
        tr("Links will be generated here based on your Links List.  You can edit it afterwards "
           "if you wish."),
        tr("All HTML on your page that comes after your links goes here.")};
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    auto* options = new QGridLayout;
    options->addWidget(optAll[0], 0, 0, 1, 2);
    options->addWidget(optAll[1], 1, 0);
    options->addWidget(Combo3, 1, 1);
    options->addWidget(chkNewWin, 0, 2);
    options->addWidget(chkBullet, 1, 2);
    options->setColumnStretch(3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Command5);
    buttons->addWidget(Command6);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(Frame5);
    layout->addLayout(options);
    layout->addLayout(buttons);
    for (int i = 0; i < 3; ++i) {
        m_parts[i] = new QPlainTextEdit(Frame5);
        m_parts[i]->setObjectName(QStringLiteral("txtHTML%1").arg(i + 1));
        m_parts[i]->setToolTip(tips[i]);
        m_parts[i]->setAccessibleName(captions[i]);
        m_parts[i]->setAccessibleDescription(tips[i]);
        m_parts[i]->setFont(fixed);
        m_parts[i]->setTabChangesFocus(true);
        auto* label = new QLabel(captions[i], Frame5);
        label->setBuddy(m_parts[i]);
        layout->addWidget(label);
        layout->addWidget(m_parts[i], 1);
    }
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(Frame5);

    // Start-up: the texts, the option and the check boxes as the settings left them.
    m_builder.loadPartsFromSettings();
    for (int part = 1; part <= 3; ++part)
        showPart(part, m_project.pageText(part));
    const int option = settings.readInt(QStringLiteral("optAll")) == 1 ? 1 : 0;
    optAll[option]->setChecked(true);
    Combo3->setEnabled(option == 1);
    chkNewWin->setChecked(settings.isOn(QStringLiteral("chkNewWin")));
    chkBullet->setChecked(settings.isOn(QStringLiteral("chkBullet")));

    for (int i = 0; i < 3; ++i) {
        connect(m_parts[i], &QPlainTextEdit::textChanged, this, [this, i] {
            m_builder.setPart(i + 1, withCrLf(m_parts[i]->toPlainText()));
            // The page texts are saved with the project: typing in them is an edit of it (a
            // text shown from the project is not).
            if (!m_showingPart)
                m_project.state().bProjectSaved = false;
        });
    }
    connect(&m_project, &Project::pageTextChanged, this, &PagesTab::showPart);
    for (int i = 0; i < 2; ++i)
        connect(optAll[i], &QRadioButton::clicked, this, [this, i] { setOption(i); });
    connect(chkNewWin, &QCheckBox::clicked, this,
            [this](bool checked) { m_builder.setNewWindow(checked); });
    connect(chkBullet, &QCheckBox::clicked, this,
            [this](bool checked) { m_builder.setBullets(checked); });
    connect(Command5, &QPushButton::clicked, this, &PagesTab::generateLinks);
    connect(Command6, &QPushButton::clicked, this, &PagesTab::saveWebpage);
}

void PagesTab::refill(const MainSiteList& mainSites)
{
    refillSiteSelector(Combo3, mainSites);
}

void PagesTab::showPart(int part, const QString& text)
{
    QPlainTextEdit* box = m_parts[part - 1];
    // The text the box shows already (line ends aside) is left alone, caret and all.
    if (withCrLf(box->toPlainText()) != withCrLf(text)) {
        m_showingPart = true;
        box->setPlainText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
        m_showingPart = false;
    }
}

void PagesTab::setOption(int option)
{
    m_builder.setOptAll(option);
    Combo3->setEnabled(option == 1);
}

void PagesTab::generateLinks()
{
    const QString selected = Combo3->currentText();
    const LinkPageBuilder::Generation generation = m_builder.generateLinks(selected);
    if (generation.refused)
        Dialogs::information(this, generation.message);
}

void PagesTab::saveWebpage()
{
    const QString name = Dialogs::saveFileName(this, WindowState::startFolder(m_settings), QString(),
                                               LinkPageBuilder::kSaveFilter);
    WindowState::rememberFile(m_settings, name);
    const WriteOutcome outcome = m_builder.saveWebpage(name);
    if (outcome.failed())
        Dialogs::information(this, outcome.message);
}

} // namespace corvane
