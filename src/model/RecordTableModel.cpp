#include "model/RecordTableModel.h"

#include <algorithm>

namespace corvane {

RecordTableModel::RecordTableModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), m_headers(std::move(headers))
{
}

int RecordTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int RecordTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_headers.size());
}

QVariant RecordTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const Record& r = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return r.cells.value(index.column());
    case SiteColourRole:
        return int(r.colour);
    case IconRole:
        return r.icon;
    default:
        return {};
    }
}

QVariant RecordTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0
        && section < m_headers.size())
        return m_headers.at(section);
    return {};
}

bool RecordTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid) || role != Qt::EditRole)
        return false;
    setCell(index.row(), index.column(), value.toString());
    return true;
}

Qt::ItemFlags RecordTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

QString RecordTableModel::cell(int row, int column) const
{
    if (row < 0 || row >= count())
        return {};
    return m_rows.at(row).cells.value(column);
}

void RecordTableModel::setCell(int row, int column, const QString& text)
{
    if (row < 0 || row >= count() || column < 0 || column >= m_headers.size())
        return;
    m_rows[row].cells[column] = text;
    const QModelIndex i = index(row, column);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole, Qt::EditRole});
}

void RecordTableModel::setColour(int row, SiteColour colour)
{
    if (row < 0 || row >= count())
        return;
    m_rows[row].colour = colour;
    Q_EMIT dataChanged(index(row, 0), index(row, columnCount() - 1), {SiteColourRole});
}

void RecordTableModel::setIcon(int row, int icon)
{
    if (row < 0 || row >= count())
        return;
    m_rows[row].icon = icon;
    Q_EMIT dataChanged(index(row, 0), index(row, 0), {IconRole});
}

void RecordTableModel::setColourAll(SiteColour colour)
{
    if (m_rows.isEmpty())
        return;
    for (Record& r : m_rows)
        r.colour = colour;
    Q_EMIT dataChanged(index(0, 0), index(count() - 1, columnCount() - 1), {SiteColourRole});
}

void RecordTableModel::padCells(Record& record) const
{
    while (record.cells.size() < m_headers.size())
        record.cells.append(QString());
    if (record.cells.size() > m_headers.size())
        record.cells.resize(m_headers.size());
}

int RecordTableModel::append(Record record)
{
    padCells(record);
    const int row = m_sorted ? sortedPosition(record) : count();
    beginInsertRows({}, row, row);
    m_rows.insert(row, std::move(record));
    endInsertRows();
    return row;
}

void RecordTableModel::insertAt(int row, Record record)
{
    padCells(record);
    row = std::clamp(row, 0, count());
    beginInsertRows({}, row, row);
    m_rows.insert(row, std::move(record));
    endInsertRows();
}

void RecordTableModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    m_rows.removeAt(row);
    endRemoveRows();
}

void RecordTableModel::clear()
{
    if (m_rows.isEmpty())
        return;
    beginResetModel();
    m_rows.clear();
    endResetModel();
}

void RecordTableModel::replaceAll(QList<Record> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    for (Record& r : m_rows)
        padCells(r);
    endResetModel();
}

bool RecordTableModel::lessThan(const Record& a, const Record& b) const
{
    const int column = m_sortColumn - 1;
    const int c = a.cells.value(column).compare(b.cells.value(column), Qt::CaseInsensitive);
    return m_order == Qt::AscendingOrder ? c < 0 : c > 0;
}

int RecordTableModel::sortedPosition(const Record& record) const
{
    const auto it
        = std::upper_bound(m_rows.cbegin(), m_rows.cend(), record,
                           [this](const Record& a, const Record& b) { return lessThan(a, b); });
    return int(it - m_rows.cbegin());
}

bool RecordTableModel::sortByColumn(int column)
{
    if (m_rows.isEmpty())
        return true;
    if (column < 1 || column > m_headers.size())
        return false;
    m_sorted = true;
    m_sortColumn = column;
    m_order = m_order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](const Record& a, const Record& b) { return lessThan(a, b); });
    // Persistent indexes (a view's selection) are not carried across the reorder; they are
    // dropped rather than left pointing at other rows.
    for (const QModelIndex& i : before)
        changePersistentIndex(i, QModelIndex());
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    return true;
}

} // namespace corvane
