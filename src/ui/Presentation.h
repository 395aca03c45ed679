#pragma once

#include "model/SiteColour.h"

#include <QColor>
#include <QIcon>
#include <QIdentityProxyModel>
#include <QList>
#include <QPointer>
#include <QTreeView>

namespace corvane {

class RecordTableModel;

// How the project's lists look: the meaning of a row's colour and icon, kept by the engine as
// SiteColour and an icon number, becomes a text colour and a small icon here.
namespace Presentation {

QColor colour(SiteColour colour);
// Icon 2: a found link; icon 1: none found; anything else: no icon.
QIcon resultIcon(int icon);

} // namespace Presentation

// Shows one of the project's lists as it is (no copy, no reordering) with its rows' colours as text
// colours and, where asked, its icon numbers as icons.
class PresentationModel final : public QIdentityProxyModel
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PresentationModel)

public:
    explicit PresentationModel(bool withIcons, QObject* parent = nullptr);
    QVariant data(const QModelIndex& index, int role) const override;
    // Every cell of a row shows this column's text, under its header, as its tool tip (-1: none),
    // so a column scrolled out of sight can still be read by pointing at the row.
    void setToolTipColumn(int column) { m_toolTipColumn = column; }

private:
    bool m_withIcons;
    int m_toolTipColumn = -1;
};

// A report-style list view of one project list. Sorting is the list's own (a header click is
// handed to the engine, which reorders the list itself); the view shows the key and direction.
class RecordListView : public QTreeView
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RecordListView)

public:
    RecordListView(const QString& objectName, const QString& accessibleName, bool withIcons,
                   QWidget* parent = nullptr);

    // Shows this list (nullptr: none).
    void setList(RecordTableModel* list);
    RecordTableModel* list() const { return m_list; }
    // The 0-based row of the current selection; -1 for none.
    int selectedRow() const;
    void selectRow(int row);

    // Column widths as fractions of the list's width, each less the given pixels (a negative
    // fraction keeps the column's width). Applied once, the first time the list has a width.
    void setInitialWidths(QList<std::pair<double, int>> widths);
    // The 0-based column every cell of a row shows as its tool tip when it is not empty.
    void setToolTipColumn(int column) { m_presentation->setToolTipColumn(column); }
    void refreshSortIndicator();

Q_SIGNALS:
    // 1-based column.
    void headerClicked(int column);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    PresentationModel* m_presentation;
    // Cleared when the list goes (a Main Site deleted, a project replaced).
    QPointer<RecordTableModel> m_list;
    QList<std::pair<double, int>> m_widths;
    bool m_sized = false;
};

} // namespace corvane
