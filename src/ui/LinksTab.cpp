#include "ui/LinksTab.h"

#include "history/PartnerChange.h"
#include "model/Project.h"
#include "model/ProjectLists.h"
#include "output/ResultListActions.h"
#include "ui/Dialogs.h"
#include "ui/Presentation.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QStyledItemDelegate>
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

// The "Change" column in the colour of its news: lost red, new and restored green, changed
// amber, unreachable grey.
class ChangeDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        // The kind comes first and stays whole; what changed follows as far as it fits.
        option->textElideMode = Qt::ElideRight;
        const std::optional<PartnerChange::Kind> kind =
            PartnerChange::kindOfText(index.data().toString());
        if (!kind || *kind == PartnerChange::Kind::Unchanged)
            return;
        QColor colour;
        switch (*kind) {
        case PartnerChange::Kind::Lost:
            colour = QColor(200, 0, 0);
            break;
        case PartnerChange::Kind::New:
        case PartnerChange::Kind::Restored:
            colour = QColor(0, 128, 0);
            break;
        case PartnerChange::Kind::Changed:
            colour = QColor(170, 100, 0);
            break;
        default:
            colour = QColor(110, 110, 110);
            break;
        }
        // On a dark background the same hues, lighter, so they stay readable.
        if (option->palette.color(QPalette::Base).lightness() < 128)
            colour = colour.lighter(190);
        option->palette.setColor(QPalette::Text, colour);
        option->font.setBold(*kind == PartnerChange::Kind::Lost);
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
    List3->setItemDelegateForColumn(ResultList::Change, new ChangeDelegate(List3));
    // What changed stands beside the status, where the eye is, whatever the list's width.
    List3->header()->moveSection(List3->header()->visualIndex(ResultList::Change),
                                 ResultList::Status + 1);
    chkChangesOnly = new QCheckBox(tr("Show changes only"), this);
    chkChangesOnly->setObjectName(QStringLiteral("chkChangesOnly"));
    chkChangesOnly->setToolTip(
        tr("Show only the Linking Sites that were lost, new, restored, changed or unreachable at "
           "the last scan"));
    connect(chkChangesOnly, &QCheckBox::toggled, this, &LinksTab::applyChangesOnly);
    // Rows come and change while a scan runs; the switch holds for them too.
    ResultList* results = &m_project.results();
    connect(results, &QAbstractItemModel::rowsInserted, this, &LinksTab::applyChangesOnly);
    connect(results, &QAbstractItemModel::dataChanged, this, &LinksTab::applyChangesOnly);
    connect(results, &QAbstractItemModel::modelReset, this, &LinksTab::applyChangesOnly);
    connect(results, &QAbstractItemModel::layoutChanged, this, &LinksTab::applyChangesOnly);
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
    auto* heading = new QHBoxLayout;
    heading->addWidget(lblResults);
    heading->addStretch(1);
    heading->addWidget(chkChangesOnly);
    layout->addLayout(heading);
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
    // The change is a word ("new", "lost"); what changed is in its tool tip.
    const int change = fm.horizontalAdvance(QStringLiteral("Change")) + pad;
    const int rest = qMax(2 * 40, width - main - remote - status - number - change);
    return {main, remote, status, number, rest / 2, rest - rest / 2, change};
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

void LinksTab::applyChangesOnly()
{
    const ResultList& results = m_project.results();
    const bool only = chkChangesOnly->isChecked();
    for (int row = 0; row < results.count(); ++row) {
        const std::optional<PartnerChange::Kind> kind =
            PartnerChange::kindOfText(results.cell(row, ResultList::Change));
        const bool hide = only && (!kind || *kind == PartnerChange::Kind::Unchanged);
        if (List3->isRowHidden(row, {}) != hide)
            List3->setRowHidden(row, {}, hide);
    }
}

void LinksTab::openErrorRow(int row)
{
    // A page's text never becomes a command: the URL goes to the desktop's browser, and only
    // when it is a web address.
    Desktop::openWebUrl(QUrl(ResultListActions::errorRowUrl(m_project.errors(), row)));
}

} // namespace corvane
