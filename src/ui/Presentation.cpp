#include "ui/Presentation.h"

#include "model/RecordTableModel.h"
#include "history/PartnerOutcome.h"
#include "net/BotChallenge.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QTimer>

#include <functional>

namespace corvane {

namespace Presentation {

QColor colour(SiteColour colour, bool darkBase)
{
    // Blue, green and red as in the lists of old, each toned so it stays readable on the
    // palette's background (pure green on white, or pure blue on a dark one, hardly is).
    switch (colour) {
    case SiteColour::Blue:
        return darkBase ? QColor(120, 170, 255) : QColor(0, 0, 255);
    case SiteColour::Green:
        return darkBase ? QColor(100, 220, 100) : QColor(0, 128, 0);
    case SiteColour::Red:
        return darkBase ? QColor(255, 120, 120) : QColor(200, 0, 0);
    case SiteColour::Amber:
        return blockedColour(darkBase);
    case SiteColour::Black:
        break;
    }
    return {};
}

bool darkBase(const QPalette& palette)
{
    return palette.color(QPalette::Base).lightness() < 128;
}

namespace {

// An icon at the sizes the lists use, each drawn by draw(painter, size).
QIcon drawnAtSizes(const std::function<void(QPainter&, qreal)>& draw)
{
    QIcon icon;
    for (const int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        draw(p, qreal(size));
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

// The result icons are drawn here rather than shipped: a blue tick and a red cross.
QIcon drawnIcon(bool found)
{
    return drawnAtSizes([found](QPainter& p, qreal s) {
        QPen pen(found ? QColor(0, 0, 255) : QColor(255, 0, 0), s / 7.0, Qt::SolidLine,
                 Qt::RoundCap, Qt::RoundJoin);
        p.setPen(pen);
        if (found) {
            QPainterPath tick;
            tick.moveTo(s * 0.18, s * 0.55);
            tick.lineTo(s * 0.42, s * 0.78);
            tick.lineTo(s * 0.84, s * 0.24);
            p.drawPath(tick);
        } else {
            p.drawLine(QPointF(s * 0.24, s * 0.24), QPointF(s * 0.76, s * 0.76));
            p.drawLine(QPointF(s * 0.76, s * 0.24), QPointF(s * 0.24, s * 0.76));
        }
    });
}

QIcon drawnBlockedIcon()
{
    return drawnAtSizes([](QPainter& p, qreal s) {
        p.setPen(QPen(QColor(230, 140, 0), s / 8.0, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRectF(s * 0.16, s * 0.16, s * 0.68, s * 0.68));
        p.drawLine(QPointF(s * 0.30, s * 0.70), QPointF(s * 0.70, s * 0.30));
    });
}

} // namespace

QIcon blockedIcon()
{
    static const QIcon blocked = drawnBlockedIcon();
    return blocked;
}

QColor blockedColour(bool darkBase)
{
    return darkBase ? QColor(255, 190, 90) : QColor(170, 95, 0);
}

bool isBlockedStatus(const QString& status)
{
    return PartnerVerdict::reasonOf(status) == BotChallenge::kBlocked;
}

QIcon resultIcon(int icon)
{
    static const QIcon found = drawnIcon(true);
    static const QIcon none = drawnIcon(false);
    if (icon == 2)
        return found;
    if (icon == 1)
        return none;
    return {};
}

} // namespace Presentation

PresentationModel::PresentationModel(bool withIcons, QObject* parent)
    : QIdentityProxyModel(parent), m_withIcons(withIcons)
{
}

QVariant PresentationModel::data(const QModelIndex& index, int role) const
{
    if (role == Qt::ForegroundRole) {
        if (isBlockedRow(index))
            return Presentation::blockedColour(Presentation::darkBase(QGuiApplication::palette()));
        // Black is the palette's own text colour, which a dark palette makes light.
        const QVariant stored = QIdentityProxyModel::data(index, SiteColourRole);
        if (!stored.isValid())
            return {};
        const QColor colour = Presentation::colour(
            SiteColour(stored.toInt()), Presentation::darkBase(QGuiApplication::palette()));
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    if (role == Qt::DecorationRole) {
        if (!m_withIcons || (index.column() != 0 && index.column() != m_secondIconColumn))
            return {};
        if (isBlockedRow(index))
            return Presentation::blockedIcon();
        return Presentation::resultIcon(QIdentityProxyModel::data(index, IconRole).toInt());
    }
    if (role == Qt::ToolTipRole) {
        if (index.column() == m_fullTextColumn) {
            const QString text = QIdentityProxyModel::data(index, Qt::DisplayRole).toString();
            return text.isEmpty() ? QVariant() : QVariant(text);
        }
        if (m_toolTipColumn < 0 || m_toolTipColumn >= columnCount())
            return {};
        const QString text
            = QIdentityProxyModel::data(index.siblingAtColumn(m_toolTipColumn), Qt::DisplayRole)
                  .toString();
        if (text.isEmpty())
            return {};
        return QStringLiteral("%1: %2").arg(
            headerData(m_toolTipColumn, Qt::Horizontal, Qt::DisplayRole).toString(), text);
    }
    return QIdentityProxyModel::data(index, role);
}

void PresentationModel::setSecondIconColumn(int column)
{
    if (column == m_secondIconColumn)
        return;
    const int before = m_secondIconColumn;
    m_secondIconColumn = column;
    for (const int changed : {before, column}) {
        if (changed > 0 && changed < columnCount() && rowCount() > 0)
            Q_EMIT dataChanged(index(0, changed), index(rowCount() - 1, changed),
                               {Qt::DecorationRole});
    }
}

bool PresentationModel::isBlockedRow(const QModelIndex& index) const
{
    if (m_statusColumn < 0 || m_statusColumn >= columnCount())
        return false;
    return Presentation::isBlockedStatus(
        QIdentityProxyModel::data(index.siblingAtColumn(m_statusColumn), Qt::DisplayRole)
            .toString());
}

RecordListView::RecordListView(const QString& objectName, const QString& accessibleName,
                               bool withIcons, QWidget* parent)
    : QTreeView(parent), m_presentation(new PresentationModel(withIcons, this))
{
    setObjectName(objectName);
    setAccessibleName(accessibleName);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSortingEnabled(false);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    setModel(m_presentation);
    connect(header(), &QHeaderView::sectionClicked, this,
            [this](int section) { Q_EMIT headerClicked(section + 1); });
    // A column the user drags keeps its width from then on, also in later runs.
    connect(header(), &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (!m_applying && m_sized && size > 0 && !isColumnHidden(section))
            m_userWidths = true;
        // Wrapped cells take as many lines as their column's new width needs.
        if (wordWrap())
            scheduleDelayedItemsLayout();
    });
}

void RecordListView::setList(RecordTableModel* list)
{
    if (list == m_list)
        return;
    if (m_list)
        disconnect(m_list, nullptr, this, nullptr);
    m_list = list;
    m_presentation->setSourceModel(list);
    if (list != nullptr)
        connect(list, &QAbstractItemModel::layoutChanged, this,
                &RecordListView::refreshSortIndicator);
    refreshSortIndicator();
}

int RecordListView::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void RecordListView::selectRow(int row)
{
    const QModelIndex index = model()->index(row, 0);
    if (!index.isValid())
        return;
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::ClearAndSelect
                                        | QItemSelectionModel::Rows);
    scrollTo(index);
}

void RecordListView::setInitialWidths(QList<std::pair<double, int>> widths)
{
    m_widths = std::move(widths);
}

void RecordListView::setInitialWidthRule(std::function<QList<int>(int width)> rule)
{
    m_widthRule = std::move(rule);
}

void RecordListView::setKeptWidths(QList<int> widths)
{
    m_keptWidths = std::move(widths);
}

QList<int> RecordListView::columnWidths() const
{
    QList<int> widths;
    for (int column = 0; column < header()->count(); ++column)
        widths << columnWidth(column);
    return widths;
}

void RecordListView::setPlaceholderText(const QString& text)
{
    m_placeholder = text;
    viewport()->update();
}

void RecordListView::paintEvent(QPaintEvent* event)
{
    QTreeView::paintEvent(event);
    if (m_placeholder.isEmpty() || (model() != nullptr && model()->rowCount() > 0))
        return;
    QPainter p(viewport());
    QColor text = palette().color(QPalette::PlaceholderText);
    p.setPen(text);
    const QRect area = viewport()->rect().adjusted(16, 16, -16, -16);
    p.drawText(area, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_placeholder);
}

void RecordListView::keyPressEvent(QKeyEvent* event)
{
    const bool menuKey = (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier)
                         || (event->key() == Qt::Key_Menu && event->modifiers() == Qt::NoModifier);
    if (!menuKey || contextMenuPolicy() != Qt::CustomContextMenu) {
        QTreeView::keyPressEvent(event);
        return;
    }
    // The menu's handlers take the point in the rows' (the viewport's) coordinates.
    QPoint at(0, 0);
    if (const QModelIndex current = currentIndex(); current.isValid()) {
        scrollTo(current);
        at = visualRect(current).center();
    }
    event->accept();
    Q_EMIT customContextMenuRequested(at);
}

void RecordListView::refreshSortIndicator()
{
    if (m_list == nullptr || !m_list->isSorted()) {
        header()->setSortIndicatorShown(false);
        return;
    }
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(m_list->sortColumn() - 1, m_list->sortOrder());
}

void RecordListView::resizeEvent(QResizeEvent* event)
{
    QTreeView::resizeEvent(event);
    if ((m_widths.isEmpty() && !m_widthRule) || !isVisible() || viewport()->width() <= 0)
        return;
    if (m_sized) {
        // The rule's columns follow the list's width until the user sizes one.
        if (m_widthRule && !m_userWidths)
            applyWidths();
        return;
    }
    // Sized once the window has settled: while it is laid out for the first time the list
    // passes through provisional widths.
    m_sized = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_keptWidths.isEmpty() && m_keptWidths.size() == header()->count()) {
            m_applying = true;
            for (int column = 0; column < m_keptWidths.size(); ++column)
                setColumnWidth(column, qMax(16, m_keptWidths.at(column)));
            m_applying = false;
            m_userWidths = true;
            return;
        }
        applyWidths();
    });
}

void RecordListView::refreshWidths()
{
    if (m_sized && !m_userWidths)
        applyWidths();
}

void RecordListView::setColumnShown(int column, bool shown)
{
    if (isColumnHidden(column) == !shown)
        return;
    m_applying = true;
    setColumnHidden(column, !shown);
    m_applying = false;
    refreshWidths();
}

void RecordListView::applyWidths()
{
    const int width = viewport()->width();
    m_applying = true;
    if (m_widthRule) {
        const QList<int> widths = m_widthRule(width);
        for (int column = 0; column < widths.size(); ++column) {
            if (!isColumnHidden(column))
                setColumnWidth(column, qMax(16, widths.at(column)));
        }
    } else {
        for (int column = 0; column < m_widths.size(); ++column) {
            const auto [fraction, less] = m_widths.at(column);
            if (fraction >= 0)
                setColumnWidth(column, qMax(16, int(width * fraction) - less));
        }
    }
    m_applying = false;
    // Wrapped cells take as many lines as their new widths need, before the list is painted.
    if (wordWrap())
        doItemsLayout();
}

} // namespace corvane
