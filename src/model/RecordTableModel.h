#pragma once

#include "model/SiteColour.h"

#include <QAbstractTableModel>
#include <QList>
#include <QStringList>

namespace corvane {

struct Record {
    QStringList cells; // one text per column
    SiteColour colour = SiteColour::Black;
    int icon = 0;
};

// One list of the project: rows of column texts with a colour and an icon, held in the order the
// list shows them. Row and column indexes here are 0-based, as in every Qt model; the program's
// own 1-based numbering (Linking Site rows, result rows) is converted at the call site.
//
// Sorting reorders the rows themselves and stays on: rows appended later are inserted at their
// sorted place, as a sorted list view would do.
class RecordTableModel : public QAbstractTableModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecordTableModel)

public:
    explicit RecordTableModel(QStringList headers, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    int count() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.isEmpty(); }
    const QStringList& headers() const { return m_headers; }
    const Record& record(int row) const { return m_rows.at(row); }
    const QList<Record>& records() const { return m_rows; }
    // Empty for a missing row or column.
    QString cell(int row, int column) const;

    void setCell(int row, int column, const QString& text);
    void setColour(int row, SiteColour colour);
    void setIcon(int row, int icon);
    void setColourAll(SiteColour colour);

    // Appends the row (missing cells filled with empty texts), or inserts it at its sorted place
    // while the list is sorted. Returns the row it landed on.
    int append(Record record);
    void insertAt(int row, Record record);
    void removeAt(int row);
    // Removes every row for which the predicate holds, keeping the order of the others.
    template <typename Pred> int removeIf(Pred pred);
    void clear();
    void replaceAll(QList<Record> rows);

    // A header click: switches sorting on, makes the column (1-based) the key, toggles the list's
    // direction and orders the rows by the key's text ignoring case. The direction belongs to the
    // list, not to the column. An empty list changes nothing, not even the direction.
    bool sortByColumn(int column);
    bool isSorted() const { return m_sorted; }
    int sortColumn() const { return m_sortColumn; } // 1-based; 0 when never sorted
    Qt::SortOrder sortOrder() const { return m_order; }

private:
    void padCells(Record& record) const;
    int sortedPosition(const Record& record) const;
    bool lessThan(const Record& a, const Record& b) const;

    QStringList m_headers;
    QList<Record> m_rows;
    bool m_sorted = false;
    int m_sortColumn = 0;
    Qt::SortOrder m_order = Qt::AscendingOrder;
};

template <typename Pred> int RecordTableModel::removeIf(Pred pred)
{
    int removed = 0;
    for (int row = count() - 1; row >= 0; --row) {
        if (pred(m_rows.at(row))) {
            removeAt(row);
            ++removed;
        }
    }
    return removed;
}

} // namespace corvane
