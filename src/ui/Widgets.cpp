#include "ui/Widgets.h"

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

} // namespace corvane
