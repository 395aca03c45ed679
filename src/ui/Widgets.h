#pragma once

#include <QScrollArea>
#include <QString>

class QComboBox;
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

// A label that shows a value (a count, a version, a status text). A screen reader takes a label's
// name for its text, so the name carries both what it is and the value ("Pages scanned: 31");
// with the value empty, only what it is.
void showValue(QLabel* label, const QString& what, const QString& value);

// Names a combo box for screen readers where the caption shown beside it is an option or a check
// box: a combo box is read by its current text ("Select", "500") and takes no name of its own, so
// a label is made its buddy, kept out of sight since the caption is already on screen.
QLabel* nameComboBox(QComboBox* combo, const QString& name);

// Shows a page at the scroll area's size, never below the page's least size: a page that does not
// fit (a small screen, large fonts) scrolls instead of being cut off or growing its window past
// the screen. QScrollArea's own resizing would size a page with word-wrapped labels by its
// preferred height and so scroll where nothing needs to.
class FittingScrollArea final : public QScrollArea
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FittingScrollArea)

public:
    explicit FittingScrollArea(QWidget* page, QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    bool viewportEvent(QEvent* event) override;

private:
    void fit();
};

} // namespace corvane
