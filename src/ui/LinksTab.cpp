#include "ui/LinksTab.h"

#include "history/PartnerChange.h"
#include "model/Project.h"
#include "model/ProjectLists.h"
#include "model/ResultNotes.h"
#include "history/PartnerOutcome.h"
#include "output/ResultListActions.h"
#include "ui/Dialogs.h"
#include "ui/Presentation.h"
#include "ui/ResultCells.h"
#include "ui/Widgets.h"

#include <QApplication>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QHeaderView>
#include <QStyle>
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
    List3->setStatusColumn(ResultList::Status);
    List3->setTextElideMode(Qt::ElideMiddle);
    // A long status, URL or note takes a second line rather than being cut.
    List3->setWordWrap(true);
    List3->setUniformRowHeights(false);
    List3->setItemDelegate(new WrappingCellDelegate(List3));
    List3->setPlaceholderText(
        tr("No results yet. Enter your own site under Main Sites and press Enter, add the partner "
           "sites that promised to link back under Linking Sites, then press Start Scan."));
    List3->setItemDelegateForColumn(ResultList::Change, new ChangeCellDelegate(List3));
    // What changed stands beside the status, where the eye is, whatever the list's width.
    List3->header()->moveSection(List3->header()->visualIndex(ResultList::Change),
                                 ResultList::Status + 1);
    List3->header()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(List3->header(), &QWidget::customContextMenuRequested, this, &LinksTab::showColumnMenu);

    // The filter row: each control narrows the rows shown, none changes the list itself.
    txtResultsFilter = new QLineEdit(this);
    txtResultsFilter->setObjectName(QStringLiteral("txtResultsFilter"));
    txtResultsFilter->setPlaceholderText(tr("Search partner or URL"));
    txtResultsFilter->setAccessibleName(tr("Search the results by partner or URL"));
    txtResultsFilter->setClearButtonEnabled(true);
    connect(txtResultsFilter, &QLineEdit::textChanged, this, &LinksTab::applyFilters);
    cmbVerdict = new QComboBox(this);
    cmbVerdict->setObjectName(QStringLiteral("cmbVerdict"));
    cmbVerdict->addItems({tr("All"), tr("Links back"), tr("Missing"), tr("Blocked"), tr("Errors")});
    auto* lblVerdict = makeLabel(this, QStringLiteral("lblVerdict"), tr("Verdict:"));
    lblVerdict->setBuddy(cmbVerdict);
    connect(cmbVerdict, &QComboBox::currentIndexChanged, this, &LinksTab::applyFilters);
    chkChangesOnly = new QCheckBox(tr("Show changes only"), this);
    chkChangesOnly->setObjectName(QStringLiteral("chkChangesOnly"));
    chkChangesOnly->setToolTip(
        tr("Show only the Linking Sites that were lost, new, restored, changed or unreachable at "
           "the last scan"));
    cmbChange = new QComboBox(this);
    cmbChange->setObjectName(QStringLiteral("cmbChange"));
    cmbChange->addItems({tr("any change"), tr("lost"), tr("new")});
    cmbChange->setToolTip(tr("Which changes \"Show changes only\" shows"));
    nameComboBox(cmbChange, tr("Which changes to show"));
    cmbChange->setEnabled(false);
    connect(chkChangesOnly, &QCheckBox::toggled, cmbChange, &QWidget::setEnabled);
    connect(chkChangesOnly, &QCheckBox::toggled, this, &LinksTab::applyFilters);
    connect(cmbChange, &QComboBox::currentIndexChanged, this, &LinksTab::applyFilters);
    chkNoValue = new QCheckBox(tr("Passes no value"), this);
    chkNoValue->setObjectName(QStringLiteral("chkNoValue"));
    chkNoValue->setToolTip(tr("Show only the links that pass no value: nofollow, sponsored, ugc, "
                              "or on a page closed to search engines"));
    connect(chkNoValue, &QCheckBox::toggled, this, &LinksTab::applyFilters);

    // Rows come and change while a scan runs; the filters hold for them too.
    ResultList* results = &m_project.results();
    connect(results, &QAbstractItemModel::rowsInserted, this, &LinksTab::applyFilters);
    connect(results, &QAbstractItemModel::dataChanged, this, &LinksTab::applyFilters);
    connect(results, &QAbstractItemModel::modelReset, this, &LinksTab::applyFilters);
    connect(results, &QAbstractItemModel::layoutChanged, this, &LinksTab::applyFilters);
    MainSiteList* mains = &m_project.mainSites();
    connect(mains, &QAbstractItemModel::rowsInserted, this, &LinksTab::showMainColumnForProject);
    connect(mains, &QAbstractItemModel::rowsRemoved, this, &LinksTab::showMainColumnForProject);
    connect(mains, &QAbstractItemModel::modelReset, this, &LinksTab::showMainColumnForProject);
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
    // Every shown cell of the row at once, for a mail or a spreadsheet.
    Popup2->addSeparator();
    m_copyRow = Popup2->addAction(tr("Copy Row"));
    m_copyRow->setObjectName(QStringLiteral("mnuCopyRow"));
    m_copyRow->setShortcut(QKeySequence::Copy);
    m_copyRow->setShortcutContext(Qt::WidgetShortcut);
    List3->addAction(m_copyRow);
    connect(m_copyRow, &QAction::triggered, this, &LinksTab::copySelectedRow);

    auto* layout = new QVBoxLayout(this);
    // The tab's frame is margin enough: the width goes to the results.
    layout->setContentsMargins(2, 4, 2, 2);
    // Two lines, so the tab stays narrow enough for a small screen.
    auto* heading = new QHBoxLayout;
    heading->addWidget(lblResults);
    heading->addWidget(txtResultsFilter, 1);
    heading->addWidget(lblVerdict);
    heading->addWidget(cmbVerdict);
    layout->addLayout(heading);
    auto* switches = new QHBoxLayout;
    switches->addWidget(chkChangesOnly);
    switches->addWidget(cmbChange);
    switches->addSpacing(12);
    switches->addWidget(chkNoValue);
    switches->addStretch(1);
    layout->addLayout(switches);
    // The results take the height; the errors keep theirs.
    lstErr->setFixedHeight(lstErr->fontMetrics().height() * 6);
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
    showMainColumnForProject();
}

QList<int> LinksTab::resultWidths(int width) const
{
    // Each column needs what an ordinary value of it takes: a partner host of 25 characters, the
    // longest common status, a change word, a found-on URL of 50 characters and notes of 60.
    // The status, the URL and the notes may wrap onto a second or third line where one line
    // cannot hold them all; what is left over goes to the URL and the notes.
    const QFont font = List3->font();
    const QFontMetrics fm(font);
    const int margin = 2 * (List3->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, List3) + 1) + 4;
    const int icon = (List3->iconSize().isValid() ? List3->iconSize().width() : 16) + 4;
    const auto need = [&](const QString& sample) { return fm.horizontalAdvance(sample) + margin; };
    const auto header = [&](int column) {
        return List3->header()->sectionSizeHint(column);
    };
    const bool mainShown = !List3->isColumnHidden(ResultList::Main);
    // The icon stands in the first column shown: Main, else Remote.
    const int main = mainShown ? qMax(header(ResultList::Main), need(QStringLiteral("yoursite.example")) + icon) : 0;
    const int remote = qMax(header(ResultList::Remote),
                            need(QStringLiteral("partner-site-example.test")) + (mainShown ? 0 : icon));
    const int number = qMax(header(ResultList::Number), need(QStringLiteral("000")));
    const int change = qMax(header(ResultList::Change), need(QStringLiteral("unreachable\u2026")));
    const QString samples[] = {QStringLiteral("None Found (Blocked by bot protection)"),
                               QStringLiteral("www.partner-site-example.test/about/our-links.html"),
                               QStringLiteral("nofollow; page noindex; text \"Our partners and friend sites\"")};
    const int columns[] = {ResultList::Status, ResultList::Url, ResultList::Notes};
    const int fixed = main + remote + number + change;
    int wrapping[3] = {};
    for (int lines = 1; lines <= 3; ++lines) {
        int sum = 0;
        for (int i = 0; i < 3; ++i) {
            wrapping[i] = qMax(header(columns[i]),
                               (lines == 1 ? need(samples[i])
                                           : ResultCells::wrappedWidth(samples[i], font, lines) + margin));
            sum += wrapping[i];
        }
        if (fixed + sum <= width)
            break;
    }
    int status = wrapping[0];
    int url = wrapping[1];
    int notes = wrapping[2];
    const int rest = width - fixed - status;
    if (rest >= url + notes) {
        const int extra = rest - url - notes;
        url += extra / 2;
        notes += extra - extra / 2;
    } else {
        const int room = qMax(2 * 60, rest);
        url = room * url / (url + notes);
        notes = room - url;
    }
    return {main, remote, status, number, url, notes, change};
}

void LinksTab::showMainColumnForProject()
{
    if (m_mainColumnChosen)
        return;
    const bool several = m_project.mainSiteCount() > 1;
    setColumnShown(ResultList::Main, several);
}

void LinksTab::setColumnShown(int column, bool shown)
{
    List3->setColumnShown(column, shown);
    if (column == ResultList::Main)
        List3->setSecondIconColumn(shown ? -1 : ResultList::Remote);
    List3->refreshWidths();
}

void LinksTab::showColumnMenu(const QPoint& pos)
{
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("mnuColumns"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAbstractItemModel* model = List3->model();
    for (int column = 0; column < model->columnCount(); ++column) {
        QAction* action = menu->addAction(model->headerData(column, Qt::Horizontal).toString());
        action->setObjectName(QStringLiteral("mnuColumn%1").arg(column));
        action->setCheckable(true);
        action->setChecked(!List3->isColumnHidden(column));
        connect(action, &QAction::toggled, this, [this, column](bool shown) {
            if (column == ResultList::Main)
                m_mainColumnChosen = true;
            setColumnShown(column, shown);
        });
    }
    // The last column shown stays: a list without columns could not bring them back.
    QAction* only = nullptr;
    int shown = 0;
    for (QAction* action : menu->actions()) {
        if (action->isChecked()) {
            ++shown;
            only = action;
        }
    }
    if (shown == 1)
        only->setEnabled(false);
    menu->popup(List3->header()->mapToGlobal(pos));
}

void LinksTab::copySelectedRow()
{
    const int row = List3->selectedRow();
    if (row < 0)
        return;
    QStringList cells;
    QHeaderView* header = List3->header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!List3->isColumnHidden(column))
            cells << m_project.results().cell(row, column);
    }
    QApplication::clipboard()->setText(cells.join(u'\t'));
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

void LinksTab::applyFilters()
{
    const ResultList& results = m_project.results();
    const QString search = txtResultsFilter->text().trimmed();
    const auto verdictWanted = VerdictFilter(cmbVerdict->currentIndex());
    const bool changesOnly = chkChangesOnly->isChecked();
    const auto changeWanted = ChangeFilter(cmbChange->currentIndex());
    const bool noValueOnly = chkNoValue->isChecked();
    // With no filter on and none before, every row is shown already: a scan's new rows cost
    // nothing here.
    const bool filtering = !search.isEmpty() || verdictWanted != AllVerdicts || changesOnly
        || noValueOnly;
    if (!filtering && !m_rowsHidden)
        return;
    m_rowsHidden = filtering;

    // A verdict is the partner's, read from its consecutive rows as the report reads them.
    QList<PartnerOutcome::Verdict> verdicts;
    if (verdictWanted != AllVerdicts) {
        verdicts.reserve(results.count());
        for (const PartnerOutcome& partner : PartnerVerdict::fromResults(results)) {
            for (int i = 0; i < partner.rows.size(); ++i)
                verdicts << partner.verdict;
        }
    }
    const auto verdictPasses = [&](int row) {
        using Verdict = PartnerOutcome::Verdict;
        if (verdictWanted == AllVerdicts || row >= verdicts.size())
            return true;
        const Verdict verdict = verdicts.at(row);
        switch (verdictWanted) {
        case LinksBack:
            return verdict == Verdict::LinksBack;
        case Missing:
            return verdict == Verdict::Missing;
        case Blocked:
            return verdict == Verdict::Blocked;
        case Errors:
            return verdict == Verdict::Error;
        case AllVerdicts:
            break;
        }
        return true;
    };
    const auto changePasses = [&](int row) {
        if (!changesOnly)
            return true;
        const std::optional<PartnerChange::Kind> kind =
            PartnerChange::kindOfText(results.cell(row, ResultList::Change));
        if (!kind || *kind == PartnerChange::Kind::Unchanged)
            return false;
        if (changeWanted == Lost)
            return *kind == PartnerChange::Kind::Lost;
        if (changeWanted == New)
            return *kind == PartnerChange::Kind::New;
        return true;
    };
    for (int row = 0; row < results.count(); ++row) {
        bool shown = verdictPasses(row) && changePasses(row);
        if (shown && !search.isEmpty())
            shown = results.cell(row, ResultList::Remote).contains(search, Qt::CaseInsensitive)
                || results.cell(row, ResultList::Url).contains(search, Qt::CaseInsensitive);
        if (shown && noValueOnly)
            shown = PartnerVerdict::isFound(results.cell(row, ResultList::Status))
                && ResultNotes::read(results.cell(row, ResultList::Notes)).passesNoValue();
        if (List3->isRowHidden(row, {}) == shown)
            List3->setRowHidden(row, {}, !shown);
    }
}

void LinksTab::openErrorRow(int row)
{
    // A page's text never becomes a command: the URL goes to the desktop's browser, and only
    // when it is a web address.
    Desktop::openWebUrl(QUrl(ResultListActions::errorRowUrl(m_project.errors(), row)));
}

} // namespace corvane
