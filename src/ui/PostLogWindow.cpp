#include "ui/PostLogWindow.h"

#include "ui/Artwork.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QVBoxLayout>

namespace corvane {

PostLogWindow::PostLogWindow(QWidget* parent) : QDialog(parent)
{
    setModal(false);
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(tr("Post Log"));
    setWindowIcon(Artwork::programIcon());
    Text4 = new QPlainTextEdit(this);
    Text4->setObjectName(QStringLiteral("Text4"));
    Text4->setAccessibleName(tr("Post log"));
    Text4->setReadOnly(true);
    Text4->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text4->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The layout keeps the text box filling the window at every size.
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Text4, 1);
    auto* row = new QHBoxLayout;
    row->setContentsMargins(8, 0, 8, 8);
    row->addWidget(buttons);
    layout->addLayout(row);
    resize(640, 400);
}

void PostLogWindow::setLogText(const QString& text)
{
    Text4->setPlainText(text);
}

void PostLogWindow::appendLog(const QString& text)
{
    QTextCursor cursor(Text4->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    Text4->moveCursor(QTextCursor::End);
    Text4->ensureCursorVisible();
}

QString PostLogWindow::logText() const
{
    return Text4->toPlainText();
}

} // namespace corvane
