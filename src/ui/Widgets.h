#pragma once

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace corvane {

// Controls carry their documented name as objectName, so the code and the tests find them by it.
// A control without visible text takes its accessible name from its tooltip or its label.
QPushButton* makeButton(QWidget* parent, const QString& objectName, const QString& caption,
                        const QString& toolTip = {});
QLineEdit* makeEntry(QWidget* parent, const QString& objectName, const QString& toolTip,
                     const QString& accessibleName = {});
QLabel* makeLabel(QWidget* parent, const QString& objectName, const QString& text);

} // namespace corvane
