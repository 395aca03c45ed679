#include "ui/ResultCells.h"

#include "history/PartnerChange.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QTextLayout>
#include <QTreeView>

namespace corvane {

namespace ResultCells {

QStringList wrappedLines(const QString& text, const QFont& font, int width)
{
    QStringList lines;
    QTextLayout layout(text, font);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        lines << text.mid(line.textStart(), line.textLength());
    }
    layout.endLayout();
    return lines;
}

int wrappedWidth(const QString& text, const QFont& font, int lines)
{
    int low = 1;
    int high = QFontMetrics(font).horizontalAdvance(text) + 1;
    while (low < high) {
        const int middle = (low + high) / 2;
        if (wrappedLines(text, font, middle).size() <= lines)
            high = middle;
        else
            low = middle + 1;
    }
    return high;
}

} // namespace ResultCells

WrappingCellDelegate::WrappingCellDelegate(QTreeView* view) : QStyledItemDelegate(view), m_view(view)
{
}

QSize WrappingCellDelegate::sizeHint(const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const
{
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (!m_view->wordWrap())
        return size;
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QStyle* style = m_view->style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &item, m_view) + 1;
    int width = m_view->columnWidth(index.column()) - 2 * margin;
    if (item.features & QStyleOptionViewItem::HasDecoration)
        width -= item.decorationSize.width() + 2 * margin;
    if (width <= 0 || item.text.isEmpty())
        return size;
    const qsizetype lines = ResultCells::wrappedLines(item.text, item.font, width).size();
    const QFontMetrics fm(item.font);
    size.setHeight(qMax(size.height(), size.height() + int(lines - 1) * fm.lineSpacing()));
    return size;
}

void WrappingCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    if (!m_view->wordWrap() || item.text.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = item.widget;
    const QStyle* style = widget != nullptr ? widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &item, widget) + 1;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget)
                               .adjusted(margin, 0, -margin, 0);
    const QString text = item.text;
    // The style draws the background, the icon and the focus; the text is drawn here.
    item.text.clear();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const QFontMetrics fm(item.font);
    QStringList lines = ResultCells::wrappedLines(text, item.font, textRect.width());
    const int room = qMax(1, textRect.height() / fm.lineSpacing());
    if (lines.size() > room) {
        // What does not fit is shortened on the last line shown, as the list shortens a cell.
        const QString rest = QStringList(lines.mid(room - 1)).join(QString());
        lines = lines.mid(0, room - 1);
        lines << fm.elidedText(rest, item.textElideMode, textRect.width());
    }
    const QPalette::ColorGroup group = !(item.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (item.state & QStyle::State_Active) ? QPalette::Normal
                                                                             : QPalette::Inactive;
    painter->save();
    painter->setFont(item.font);
    painter->setPen(item.palette.color(group, (item.state & QStyle::State_Selected)
                                                  ? QPalette::HighlightedText
                                                  : QPalette::Text));
    int y = textRect.top() + (textRect.height() - int(lines.size()) * fm.lineSpacing()) / 2;
    for (const QString& line : std::as_const(lines)) {
        painter->drawText(QRect(textRect.left(), y, textRect.width(), fm.lineSpacing()),
                          Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += fm.lineSpacing();
    }
    painter->restore();
}

void ChangeCellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // The kind comes first and stays whole; what changed follows as far as it fits, on one
    // line (its tool tip has it all).
    option->textElideMode = Qt::ElideRight;
    option->features &= ~QStyleOptionViewItem::WrapText;
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

} // namespace corvane
