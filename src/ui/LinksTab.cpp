#include "ui/LinksTab.h"

#include "model/Project.h"
#include "output/ResultListActions.h"
#include "ui/Dialogs.h"
#include "ui/Presentation.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QVBoxLayout>

namespace corvane {

namespace {

// The error list: starting an in-place edit of a row opens the row's URL in the Web tab instead
// of editing it.
class ErrorListView final : public RecordListView
{
public:
    using RecordListView::RecordListView;
    std::function<void(int row)> onEditStarted;

protected:
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override
    {
        if (index.isValid() && (editTriggers() & trigger) && onEditStarted) {
            onEditStarted(index.row());
            return false;
        }
        return RecordListView::edit(index, trigger, event);
    }
};

} // namespace

LinksTab::LinksTab(Project& project, QWidget* parent) : QWidget(parent), m_project(project)
{
    lblResults = makeLabel(this, QStringLiteral("lblResults"), tr("Link Results:"));
    List3 = new RecordListView(QStringLiteral("List3"), tr("Link Results"), true, this);
    List3->setList(&m_project.results());
    // "Main", "Remote", "Status" a quarter each, "No." a twelfth, "URL" wider than the list so the
    // list scrolls sideways, then "Notes" three quarters; 50 twips (3 pixels) less each.
    List3->setInitialWidths(
        {{0.25, 3}, {0.25, 3}, {0.25, 3}, {1.0 / 12, 3}, {13.0 / 12, 3}, {0.75, 3}});
    // The notes sit past the wide "URL" column: pointing at a row shows them too.
    List3->setToolTipColumn(5);
    List3->setContextMenuPolicy(Qt::CustomContextMenu);
    lblResults->setBuddy(List3);

    lblErr = makeLabel(this, QStringLiteral("lblErr"), tr("Errors/Warnings:"));
    auto* errors = new ErrorListView(QStringLiteral("lstErr"), tr("Errors/Warnings"), false, this);
    errors->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    errors->onEditStarted = [this](int row) {
        const QString url = ResultListActions::errorRowUrl(m_project.errors(), row);
        if (!url.isEmpty())
            Q_EMIT browseRequested(url, false);
    };
    lstErr = errors;
    lstErr->setList(&m_project.errors());
    lstErr->setInitialWidths({{0.25, 3}, {0.75, 3}});
    lblErr->setBuddy(lstErr);

    Popup2 = new QMenu(this);
    Popup2->setObjectName(QStringLiteral("Popup2"));
    const QStringList captions = ResultListActions::resultMenuCaptions();
    for (int item = 0; item < captions.size(); ++item) {
        if (captions.at(item) == QStringLiteral("-")) {
            Popup2->addSeparator();
            continue;
        }
        QAction* action = Popup2->addAction(captions.at(item));
        action->setObjectName(QStringLiteral("mnuPopup2Item%1").arg(item));
        connect(action, &QAction::triggered, this, [this, item] { chooseMenuItem(item); });
    }

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblResults);
    // The results take the height; the errors keep theirs.
    lstErr->setFixedHeight(lstErr->fontMetrics().height() * 8);
    layout->addWidget(List3, 1);
    layout->addWidget(lblErr);
    layout->addWidget(lstErr);

    connect(List3, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        const QModelIndex index = List3->indexAt(pos);
        if (index.isValid())
            List3->selectRow(index.row());
        Popup2->popup(List3->viewport()->mapToGlobal(pos));
    });
    connect(List3, &RecordListView::headerClicked, this,
            [this](int column) { ResultListActions::sortList(m_project.results(), column); });
    connect(lstErr, &RecordListView::headerClicked, this,
            [this](int column) { ResultListActions::sortList(m_project.errors(), column); });
    connect(lstErr, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { openErrorRow(index.row()); });
}

void LinksTab::chooseMenuItem(int item)
{
    const ResultListActions::MenuOutcome outcome = ResultListActions::chooseResultMenuItem(
        m_project.results(), List3->selectedRow(), ResultListActions::ResultMenuItem(item));
    switch (outcome.kind) {
    case ResultListActions::MenuOutcome::Kind::Browse:
        Q_EMIT browseRequested(outcome.text, true);
        break;
    case ResultListActions::MenuOutcome::Kind::Copy:
        QApplication::clipboard()->clear();
        QApplication::clipboard()->setText(outcome.text);
        break;
    case ResultListActions::MenuOutcome::Kind::Marked:
    case ResultListActions::MenuOutcome::Kind::Nothing:
        break;
    }
}

void LinksTab::openErrorRow(int row)
{
    // A page's text never becomes a command: the URL goes to the desktop's browser, and only
    // when it is a web address.
    Desktop::openWebUrl(QUrl(ResultListActions::errorRowUrl(m_project.errors(), row)));
}

} // namespace corvane
