#include "ui/LinksTab.h"

#include "model/Project.h"
#include "model/ProjectLists.h"
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
    List3->setInitialWidthRule([this](int width) { return resultWidths(width); });
    // The notes of a row show when it is pointed at; a shortened URL shows whole.
    List3->setToolTipColumn(ResultList::Notes);
    List3->setFullTextColumn(ResultList::Url);
    List3->setTextElideMode(Qt::ElideMiddle);
    List3->setPlaceholderText(
        tr("No results yet. Enter your own site under Main Sites and press Enter, add the partner "
           "sites that promised to link back under Linking Sites, then press Start Scan."));
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

QList<int> LinksTab::resultWidths(int width) const
{
    // Status fits its longest common text; Main, Remote and No. what they usually hold; URL and
    // Notes share what is left, so the notes are on screen at the window's first size.
    const QFontMetrics fm = List3->fontMetrics();
    const int pad = fm.horizontalAdvance(u'0') * 3;
    const int icon = List3->iconSize().isValid() ? List3->iconSize().width() : 16;
    const int main = qMin(fm.horizontalAdvance(QStringLiteral("yoursite.example")) + pad + icon,
                          width * 12 / 100);
    const int remote = qMin(fm.horizontalAdvance(QStringLiteral("partner-site.example")) + pad,
                            width * 14 / 100);
    const int status = fm.horizontalAdvance(QStringLiteral("None Found (Connection refused)")) + pad;
    const int number = fm.horizontalAdvance(QStringLiteral("No.0")) + pad;
    const int rest = qMax(2 * 60, width - main - remote - status - number);
    return {main, remote, status, number, rest / 2, rest - rest / 2};
}

void LinksTab::setSummary(const QString& text)
{
    setAccessibleDescription(text);
    List3->setAccessibleDescription(text);
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
