#include "ui/Presentation.h"

#include "model/RecordTableModel.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QTimer>

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

// The two result icons are drawn here rather than shipped: a blue tick and a red cross.
QIcon drawnIcon(bool found)
{
    QIcon icon;
    for (const int size : {16, 24, 32}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        const qreal s = size;
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
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

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
        // Black is the palette's own text colour, which a dark palette makes light.
        const QVariant stored = QIdentityProxyModel::data(index, SiteColourRole);
        if (!stored.isValid())
            return {};
        const QColor colour = Presentation::colour(
            SiteColour(stored.toInt()), Presentation::darkBase(QGuiApplication::palette()));
        return colour.isValid() ? QVariant(colour) : QVariant();
    }
    if (role == Qt::DecorationRole) {
        if (!m_withIcons || index.column() != 0)
            return {};
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
    if (m_sized || (m_widths.isEmpty() && !m_widthRule) || !isVisible()
        || viewport()->width() <= 0)
        return;
    // Sized once the window has settled: while it is laid out for the first time the list
    // passes through provisional widths.
    m_sized = true;
    QTimer::singleShot(0, this, [this] {
        const int width = viewport()->width();
        if (!m_keptWidths.isEmpty() && m_keptWidths.size() == header()->count()) {
            for (int column = 0; column < m_keptWidths.size(); ++column)
                setColumnWidth(column, qMax(16, m_keptWidths.at(column)));
            return;
        }
        if (m_widthRule) {
            const QList<int> widths = m_widthRule(width);
            for (int column = 0; column < widths.size(); ++column)
                setColumnWidth(column, qMax(16, widths.at(column)));
            return;
        }
        for (int column = 0; column < m_widths.size(); ++column) {
            const auto [fraction, less] = m_widths.at(column);
            if (fraction >= 0)
                setColumnWidth(column, qMax(16, int(width * fraction) - less));
        }
    });
}

} // namespace corvane
