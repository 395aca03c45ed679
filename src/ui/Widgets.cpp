#include "ui/Widgets.h"

#include <QComboBox>
#include <QEvent>
#include <QScrollBar>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace corvane {

QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& caption,
                        const QString& toolTip)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(objectName);
    button->setToolTip(toolTip);
    if (caption.isEmpty())
        button->setAccessibleName(toolTip);
    else if (!toolTip.isEmpty())
        button->setAccessibleDescription(toolTip);
    return button;
}

QLineEdit* makeEntry(QWidget* parent, const QString& objectName, const QString& toolTip,
                     const QString& accessibleName)
{
    auto* entry = new QLineEdit(parent);
    entry->setObjectName(objectName);
    entry->setToolTip(toolTip);
    entry->setAccessibleName(accessibleName.isEmpty() ? toolTip : accessibleName);
    if (!accessibleName.isEmpty() && !toolTip.isEmpty())
        entry->setAccessibleDescription(toolTip);
    return entry;
}

QLabel* makeLabel(QWidget* parent, const QString& objectName, const QString& text)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(objectName);
    return label;
}

void showValue(QLabel* label, const QString& what, const QString& value)
{
    label->setText(value);
    label->setAccessibleName(value.isEmpty() ? what : what + QStringLiteral(": ") + value);
}

QLabel* nameComboBox(QComboBox* combo, const QString& name)
{
    // A sibling of the combo box: the label relation is looked for among its siblings.
    auto* label = new QLabel(name, combo->parentWidget());
    label->setObjectName(combo->objectName() + QStringLiteral("Label"));
    label->setBuddy(combo);
    label->hide();
    return label;
}

FittingScrollArea::FittingScrollArea(QWidget* page, QWidget* parent) : QScrollArea(parent)
{
    if (!page->objectName().isEmpty())
        setObjectName(page->objectName() + QStringLiteral("Scroll"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(false);
    // A tab stop that would show no focus: the page's own controls take the focus.
    setFocusPolicy(Qt::NoFocus);
    setWidget(page);
}

QSize FittingScrollArea::sizeHint() const
{
    // The page's own wish, so a window sized by its contents shows it without scroll bars.
    return widget() != nullptr ? widget()->sizeHint() : QScrollArea::sizeHint();
}

bool FittingScrollArea::viewportEvent(QEvent* event)
{
    // A new viewport size, or a page whose least size changed (a label shown, a longer text).
    if (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)
        fit();
    return QScrollArea::viewportEvent(event);
}

void FittingScrollArea::fit()
{
    QWidget* page = widget();
    if (page == nullptr)
        return;
    const QSize size = viewport()->size().expandedTo(page->minimumSizeHint()).expandedTo(page->minimumSize());
    if (page->size() != size)
        page->resize(size);
}

} // namespace corvane
