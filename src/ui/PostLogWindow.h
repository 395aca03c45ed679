#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace corvane {

// The result poster's log: one read-only text box that always fills the window. Not modal.
class PostLogWindow final : public QWidget
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
