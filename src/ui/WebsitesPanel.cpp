#include "ui/WebsitesPanel.h"

#include <QHelpEvent>
#include <QToolTip>

#include "model/Project.h"
#include "model/ProjectEditor.h"
#include "output/ResultListActions.h"
#include "ui/Dialogs.h"
#include "ui/Presentation.h"
#include "ui/Widgets.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

namespace {

QHBoxLayout* buttonRow(std::initializer_list<QWidget*> widgets)
{
    auto* row = new QHBoxLayout;
    for (QWidget* w : widgets)
        row->addWidget(w);
    row->addStretch(1);
    return row;
}

} // namespace

WebsitesPanel::WebsitesPanel(Project& project, ProjectEditor& editor, QWidget* parent)
    : QGroupBox(tr("Websites"), parent), m_project(project), m_editor(editor)
{
    setObjectName(QStringLiteral("Frame1"));

    innerFrame1 = new QWidget(this);
    innerFrame1->setObjectName(QStringLiteral("innerFrame1"));
    auto* mainLabel = makeLabel(innerFrame1, QStringLiteral("lblMainSites"), tr("Main Sites:"));
    txtDomain = makeEntry(innerFrame1, QStringLiteral("txtDomain"),
                          tr("Enter the website you want to find links to from remote sites"),
                          tr("Main Site"));
    mainLabel->setBuddy(txtDomain);
    cmdAdd2 = makeButton(innerFrame1, QStringLiteral("cmdAdd2"), tr("Add"), tr("Add the Main Site"));
    cmdDelete = makeButton(innerFrame1, QStringLiteral("cmdDelete"), tr("Del"),
                           tr("Delete the selected Main Site"));
    cmdEditMain = makeButton(innerFrame1, QStringLiteral("cmdEditMain"), tr("Edit"),
                             tr("Edit the selected Main Site"));
    cmdImport2 = makeButton(innerFrame1, QStringLiteral("cmdImport2"), tr("Import"),
                            tr("Import Main Sites from a file"));
    List4 = new QListView(innerFrame1);
    List4->setObjectName(QStringLiteral("List4"));
    List4->setAccessibleName(tr("Main Sites"));
    List4->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List4->setModel(&m_project.mainSites());
    auto* top = new QVBoxLayout(innerFrame1);
    top->setContentsMargins(0, 0, 0, 0);
    top->addWidget(mainLabel);
    top->addWidget(txtDomain);
    top->addLayout(buttonRow({cmdAdd2, cmdDelete, cmdEditMain, cmdImport2}));
    top->addWidget(List4, 1);

    innerFrame2 = new QWidget(this);
    innerFrame2->setObjectName(QStringLiteral("innerFrame2"));
    lblblah = makeLabel(innerFrame2, QStringLiteral("lblblah"), QString());
    Text1 = makeEntry(innerFrame2, QStringLiteral("Text1"),
                      tr("Enter the URL of the website/page you want to search for links."),
                      tr("Linking Site"));
    lblblah->setBuddy(Text1);
    cmdAdd = makeButton(innerFrame2, QStringLiteral("cmdAdd"), tr("Add"), tr("Add the Linking Site"));
    cmbDel = makeButton(innerFrame2, QStringLiteral("cmbDel"), tr("Del"),
                        tr("Delete the selected Linking Site"));
    cmdEdit = makeButton(innerFrame2, QStringLiteral("cmdEdit"), tr("Edit"),
                         tr("Edit the selected Linking Site"));
    cmdImport = makeButton(innerFrame2, QStringLiteral("cmdImport"), tr("Import"),
                           tr("Import linking sites from a file or a website"));
    List1 = new RecordListView(QStringLiteral("List1"), tr("Linking Sites"), false, innerFrame2);
    // "Website" W/2, "#" W/16, "HTML Link" and "HTML Name" W/4 less 300 twips (20 pixels);
    // "Description" keeps its width.
    List1->setInitialWidths({{0.5, 3}, {1.0 / 16, 0}, {0.25, 20}, {0.25, 20}, {-1, 0}});
    List1->setContextMenuPolicy(Qt::CustomContextMenu);
    // Both panels have an Add, a Del, an Edit and an Import: a screen reader names each by what
    // it acts on.
    const std::pair<QPushButton*, QString> purposes[] = {
        {cmdAdd2, tr("Add Main Site")},         {cmdDelete, tr("Delete Main Site")},
        {cmdEditMain, tr("Edit Main Site")},    {cmdImport2, tr("Import Main Sites")},
        {cmdAdd, tr("Add Linking Site")},       {cmbDel, tr("Delete Linking Site")},
        {cmdEdit, tr("Edit Linking Site")},     {cmdImport, tr("Import Linking Sites")}};
    for (const auto& [button, name] : purposes)
        button->setAccessibleName(name);
    txtDomain->setPlaceholderText(tr("Your site, e.g. www.example.com"));
    Text1->setPlaceholderText(tr("A partner's site or its links page"));
    auto* bottom = new QVBoxLayout(innerFrame2);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->addWidget(lblblah);
    bottom->addWidget(Text1);
    bottom->addLayout(buttonRow({cmdAdd, cmbDel, cmdEdit, cmdImport}));
    bottom->addWidget(List1, 1);

    // The menu opens under the pointer: its first item is the one a slip chooses, so the
    // destructive one goes last, apart.
    Popup1 = new QMenu(this);
    Popup1->setObjectName(QStringLiteral("Popup1"));
    QAction* showHistory = Popup1->addAction(tr("History..."));
    showHistory->setObjectName(QStringLiteral("mnuPopup1Item1"));
    Popup1->addSeparator();
    QAction* deleteSite = Popup1->addAction(tr("Delete Site"));
    deleteSite->setObjectName(QStringLiteral("mnuPopup1Item0"));
    connect(showHistory, &QAction::triggered, this, [this] {
        const int row = selectedLinkingSiteRow();
        if (row > 0)
            Q_EMIT historyRequested(m_project.state().iCurrentMain, row);
    });
    // "Linked since / last confirmed" of the row under the pointer, from the project's history.
    List1->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(innerFrame1, 2);
    layout->addWidget(innerFrame2, 3);

    cmdAdd2->setEnabled(false);
    cmdDelete->setEnabled(false);
    cmdEditMain->setEnabled(false);
    cmdAdd->setEnabled(false);
    cmbDel->setEnabled(false);
    cmdEdit->setEnabled(false);
    innerFrame2->hide();

    txtDomain->installEventFilter(this);
    Text1->installEventFilter(this);

    // Only the user's typing counts as an edit: the box is also emptied by the program.
    connect(txtDomain, &QLineEdit::textEdited, this, [this] { m_editor.mainSiteEntryChanged(); });
    connect(txtDomain, &QLineEdit::textChanged, this, [this](const QString& text) {
        // Once enabled, Add stays enabled when the box is emptied again.
        if (!text.isEmpty())
            cmdAdd2->setEnabled(true);
    });
    // Enter adds the Main Site and goes on to its first Linking Site.
    connect(txtDomain, &QLineEdit::returnPressed, this, [this] {
        if (addMainSite())
            Text1->setFocus();
    });
    connect(cmdAdd2, &QPushButton::clicked, this, &WebsitesPanel::addMainSite);
    connect(cmdDelete, &QPushButton::clicked, this, &WebsitesPanel::deleteMainSite);
    connect(cmdEditMain, &QPushButton::clicked, this, [this] {
        if (m_editor.editMainSite(List4->currentIndex().isValid() ? List4->currentIndex().row() : -1))
            Q_EMIT windowRequested(QStringLiteral("Form2a"));
    });
    connect(cmdImport2, &QPushButton::clicked, this,
            [this] { Q_EMIT windowRequested(QStringLiteral("Form4a")); });
    connect(List4->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_selecting && current.isValid())
                    m_editor.selectMainSite(current.row() + 1);
            });
    connect(List4, &QListView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            m_editor.selectMainSite(index.row() + 1);
    });

    connect(Text1, &QLineEdit::textChanged, this,
            [this](const QString& text) { cmdAdd->setEnabled(!text.isEmpty()); });
    connect(Text1, &QLineEdit::returnPressed, this, &WebsitesPanel::addLinkingSite);
    connect(cmdAdd, &QPushButton::clicked, this, &WebsitesPanel::addLinkingSite);
    connect(cmbDel, &QPushButton::clicked, this, &WebsitesPanel::deleteLinkingSite);
    connect(deleteSite, &QAction::triggered, this, &WebsitesPanel::deleteLinkingSite);
    connect(cmdEdit, &QPushButton::clicked, this, [this] {
        if (m_editor.editLinkingSite(selectedLinkingSiteRow()))
            Q_EMIT windowRequested(QStringLiteral("Form2"));
    });
    connect(cmdImport, &QPushButton::clicked, this,
            [this] { Q_EMIT windowRequested(QStringLiteral("Form4")); });
    connect(List1, &QAbstractItemView::pressed, this, [this] { onLinkingSiteRowClicked(); });
    connect(List1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid())
                    onLinkingSiteRowClicked();
            });
    connect(List1, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = List1->indexAt(pos);
        if (index.isValid())
            List1->selectRow(index.row());
        Popup1->popup(List1->viewport()->mapToGlobal(pos));
    });
    connect(List1, &RecordListView::headerClicked, this, [this](int column) {
        auto* list = qobject_cast<LinkingSiteList*>(List1->list());
        if (list == nullptr)
            return;
        showMessage(ResultListActions::sortLinkingSites(*list, column,
                                                        m_project.state().bScanRunning));
    });

    connect(&m_editor, &ProjectEditor::mainSiteSelected, this, &WebsitesPanel::onMainSiteSelected);
    connect(&m_editor, &ProjectEditor::linkingSitePanelHidden, this, &WebsitesPanel::onPanelHidden);
}

QWidget* WebsitesPanel::firstControl() const
{
    return txtDomain;
}

void WebsitesPanel::selectMainSite(int k)
{
    m_editor.selectMainSite(k);
}

void WebsitesPanel::clickLinkingSiteRow(int row)
{
    List1->selectRow(row - 1);
    onLinkingSiteRowClicked();
}

int WebsitesPanel::selectedMainSite() const
{
    const QModelIndexList rows = List4->selectionModel()->selectedRows();
    return rows.isEmpty() ? 0 : rows.first().row() + 1;
}

int WebsitesPanel::selectedLinkingSiteRow() const
{
    return List1->list() == nullptr ? 0 : List1->selectedRow() + 1;
}

void WebsitesPanel::clearEntries()
{
    txtDomain->clear();
    Text1->clear();
    onPanelHidden();
}

bool WebsitesPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn && (watched == txtDomain || watched == Text1))
        Q_EMIT statusHint(static_cast<QWidget*>(watched)->toolTip());
    if (event->type() == QEvent::ToolTip && watched == List1->viewport() && m_rowToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = List1->indexAt(help->pos());
        const QString text = index.isValid()
                                 ? m_rowToolTip(m_project.state().iCurrentMain, index.row() + 1)
                                 : QString();
        if (!text.isEmpty()) {
            QToolTip::showText(help->globalPos(), text, List1->viewport());
            return true;
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void WebsitesPanel::onMainSiteSelected(int k, const QString& caption)
{
    m_selecting = true;
    const QModelIndex index = m_project.mainSites().index(k - 1, 0);
    List4->setCurrentIndex(index);
    List4->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
    m_selecting = false;

    Text1->setEnabled(true);
    Text1->clear();
    cmdDelete->setEnabled(true);
    cmdEditMain->setEnabled(true);
    List1->setList(m_project.linkingSites(k));
    cmbDel->setEnabled(false);
    cmdEdit->setEnabled(false);
    lblblah->setText(caption);
    innerFrame2->show();
}

void WebsitesPanel::onPanelHidden()
{
    List1->setList(nullptr);
    innerFrame2->hide();
    List4->clearSelection();
    cmdDelete->setEnabled(false);
    cmdEditMain->setEnabled(false);
}

void WebsitesPanel::onLinkingSiteRowClicked()
{
    cmbDel->setEnabled(true);
    cmdEdit->setEnabled(true);
    cmdDelete->setEnabled(false);
    cmdEditMain->setEnabled(false);
}

bool WebsitesPanel::addMainSite()
{
    const EditOutcome outcome = m_editor.addMainSite(txtDomain->text());
    if (!outcome.statusText.isEmpty())
        Q_EMIT statusHint(outcome.statusText);
    if (!outcome.changed)
        return false;
    txtDomain->setText(outcome.entryText);
    txtDomain->setFocus();
    return true;
}

void WebsitesPanel::addLinkingSite()
{
    const EditOutcome outcome = m_editor.addLinkingSite(Text1->text());
    Text1->setText(outcome.entryText);
    showMessage(outcome.message);
    Text1->setFocus();
}

void WebsitesPanel::deleteMainSite()
{
    const QModelIndexList rows = List4->selectionModel()->selectedRows();
    const int index = rows.isEmpty() ? -1 : rows.first().row();
    if (index < 0 || index >= m_project.mainSiteCount())
        return;
    const LinkingSiteList* partners = m_project.linkingSites(index + 1);
    const int count = partners ? partners->count() : 0;
    const QString url = m_project.mainSites().url(index);
    const QString question
        = count == 0   ? tr("Delete the Main Site %1?").arg(url)
          : count == 1 ? tr("Delete the Main Site %1 and its Linking Site?").arg(url)
                       : tr("Delete the Main Site %1 and its %2 Linking Sites?").arg(url).arg(count);
    if (!confirmDelete(question))
        return;
    const EditOutcome outcome = m_editor.deleteMainSite(index);
    // The rebuild through the quick-save file failed: the project stays as it is.
    if (!outcome.message.isEmpty())
        Q_EMIT statusHint(tr("The project could not be rebuilt: %1").arg(outcome.message));
}

void WebsitesPanel::deleteLinkingSite()
{
    const int row = selectedLinkingSiteRow();
    const LinkingSiteList* list = m_project.linkingSites(m_project.state().iCurrentMain);
    // Without a row the editor says what to select.
    if (list != nullptr && row >= 1 && row <= list->count()
        && !confirmDelete(tr("Delete the Linking Site %1?").arg(list->url(row - 1))))
        return;
    showMessage(m_editor.deleteLinkingSite(row).message);
}

bool WebsitesPanel::confirmDelete(const QString& question)
{
    return Dialogs::question(this, tr("Delete Site"), question, QMessageBox::Yes | QMessageBox::No,
                             QMessageBox::No, {}, QMessageBox::No)
        == QMessageBox::Yes;
}

void WebsitesPanel::showMessage(const QString& text)
{
    if (!text.isEmpty())
        Q_EMIT messageRaised(text);
}

} // namespace corvane

