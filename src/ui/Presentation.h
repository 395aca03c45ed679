#pragma once

#include "model/SiteColour.h"

#include <QColor>
#include <QIcon>
#include <QIdentityProxyModel>
#include <QList>
#include <QPalette>
#include <QPointer>
#include <QTreeView>

#include <functional>

namespace corvane {

class RecordTableModel;

// How the project's lists look: the meaning of a row's colour and icon, kept by the engine as
// SiteColour and an icon number, becomes a text colour and a small icon here.
namespace Presentation {

// The text colour of a row; invalid for Black, which keeps the palette's text colour.
QColor colour(SiteColour colour, bool darkBase = false);
// Whether the palette's lists are dark (light text on a dark background).
bool darkBase(const QPalette& palette);
// Icon 2: a found link; icon 1: none found; anything else: no icon.
QIcon resultIcon(int icon);
// A partner that bot protection kept the scan out of: nothing is known of its link, so it looks
// neither found nor missing (an amber barred circle, amber text).
QIcon blockedIcon();
QColor blockedColour(bool darkBase = false);
// Whether a result row's status says bot protection kept the scan out ("None Found (Blocked by
// bot protection)").
bool isBlockedStatus(const QString& status);

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
    // The cells of this column show their own full text as their tool tip instead (a long URL
    // shown shortened).
    void setFullTextColumn(int column) { m_fullTextColumn = column; }
    // The column that holds a result row's status: a row whose partner was blocked by bot
    // protection takes the blocked look (-1: none).
    void setStatusColumn(int column) { m_statusColumn = column; }
    // The icon is the first column's; this column shows it as well (-1: none), for a view that
    // hides the first column.
    void setSecondIconColumn(int column);

private:
    bool isBlockedRow(const QModelIndex& index) const;

    bool m_withIcons;
    int m_statusColumn = -1;
    int m_secondIconColumn = -1;
    int m_toolTipColumn = -1;
    int m_fullTextColumn = -1;
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
    // Column widths in pixels worked out from the list's width; used in place of the fractions,
    // and again whenever the list's width changes, until the user sizes a column.
    void setInitialWidthRule(std::function<QList<int>(int width)> rule);
    // Applies the width rule again now (a column was shown or hidden), unless the user sized one.
    void refreshWidths();
    // Shows or hides a column (the view's choice, not a width the user gave it).
    void setColumnShown(int column, bool shown);
    // Whether the user has sized a column, here or in an earlier run (kept widths).
    bool widthsChosenByUser() const { return m_userWidths; }
    // Widths the user left the columns at in an earlier run: used instead of the initial ones
    // when there is one for every column.
    void setKeptWidths(QList<int> widths);
    QList<int> columnWidths() const;
    // Whether the columns were given their widths (the list has been shown).
    bool isSized() const { return m_sized; }
    // The 0-based column every cell of a row shows as its tool tip when it is not empty.
    void setToolTipColumn(int column) { m_presentation->setToolTipColumn(column); }
    void setFullTextColumn(int column) { m_presentation->setFullTextColumn(column); }
    void setStatusColumn(int column) { m_presentation->setStatusColumn(column); }
    void setSecondIconColumn(int column) { m_presentation->setSecondIconColumn(column); }
    void refreshSortIndicator();
    // Shown in the empty list: what to do for it to fill.
    void setPlaceholderText(const QString& text);

Q_SIGNALS:
    // 1-based column.
    void headerClicked(int column);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    // Shift+F10 and the Menu key open the list's context menu at the current row, as a right
    // click there does.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void applyWidths();

    PresentationModel* m_presentation;
    // Cleared when the list goes (a Main Site deleted, a project replaced).
    QPointer<RecordTableModel> m_list;
    QList<std::pair<double, int>> m_widths;
    std::function<QList<int>(int width)> m_widthRule;
    QList<int> m_keptWidths;
    bool m_sized = false;
    bool m_userWidths = false;
    bool m_applying = false; // the widths are being set here, not by the user
    QString m_placeholder;
};

} // namespace corvane
