#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

class QFont;
class QTreeView;

namespace corvane {

// How the results list draws its cells: long texts wrap rather than being cut, the change in the
// colour of its news.
namespace ResultCells {

// The lines of a cell's text at a width, wrapped at a word boundary, else anywhere: a host name or
// a URL has no spaces, and the style's own wrapping (at word boundaries only) would cut it.
QStringList wrappedLines(const QString& text, const QFont& font, int width);
// The narrowest width at which the text takes at most the given lines, wrapped as above.
int wrappedWidth(const QString& text, const QFont& font, int lines);

} // namespace ResultCells

// The results' cells while the view wraps text: a long status, URL or note takes further lines,
// and the row is as high as its longest cell needs at its column's width (the tree view itself
// sizes rows without looking at the columns' widths).
class WrappingCellDelegate final : public QStyledItemDelegate
{
public:
    explicit WrappingCellDelegate(QTreeView* view);

protected:
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;

private:
    QTreeView* m_view;
};

// The "Change" column in the colour of its news: lost red, new and restored green, changed
// amber, unreachable grey.
class ChangeCellDelegate final : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

} // namespace corvane
