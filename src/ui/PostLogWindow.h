#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace corvane {

// The result poster's log: one read-only text box that fills the window above its Close button.
// A dialog that leaves the main window usable; Close or Escape closes it.
class PostLogWindow final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PostLogWindow)

public:
    explicit PostLogWindow(QWidget* parent = nullptr);

    void setLogText(const QString& text);
    // Adds text at the end and moves the caret there, so the newest lines are in view.
    void appendLog(const QString& text);
    QString logText() const;

private:
    QPlainTextEdit* Text4 = nullptr;
};

} // namespace corvane
