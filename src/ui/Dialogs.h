#pragma once

#include <QMap>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

class QWidget;

namespace corvane {

// Every message box and file dialog of the program goes through here. Tests queue the next
// answers, so no test ever waits on a modal window: a queued answer is returned at once (and the
// question is recorded) instead of showing the box or the dialog.
namespace Dialogs {

// A message box with an OK button.
void information(QWidget* parent, const QString& text, const QString& title = {});
// A question; returns the button chosen, or the escape button when the box was closed. captions
// names buttons in the question's own words ("Save Over It") instead of the standard ones.
// defaultButton is the one Enter presses (NoButton: the box chooses).
QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton escapeButton,
                                     const QMap<QMessageBox::StandardButton, QString>& captions = {},
                                     QMessageBox::StandardButton defaultButton = QMessageBox::NoButton);
// "OK" and "Cancel": true for OK.
bool confirm(QWidget* parent, const QString& text);

// The file dialogs; an empty text when the user cancelled. filter is written as
// "Description (*.ext)|*.ext", as the engine's commands give it.
QString openFileName(QWidget* parent, const QString& folder, const QString& filter);
QString saveFileName(QWidget* parent, const QString& folder, const QString& suggestedName,
                     const QString& filter);
// The dialog filter for Qt from one of the engine's "Description|patterns" filters.
QString qtFilter(const QString& filter);

// --- For tests ---
void setNextAnswer(QMessageBox::StandardButton answer);
void setNextFileName(const QString& name); // an empty name answers as a cancelled dialog
// The texts of the message boxes answered from the queue, oldest first.
QStringList answeredMessages();
// The folders the file dialogs answered from the queue were to open in, oldest first.
QStringList askedFolders();
void clearHooks();

} // namespace Dialogs

// URLs and files handed to the desktop's default handler (the user's browser, the help viewer).
// Nothing is ever started through a command line.
namespace Desktop {

// Opens a web address in the user's browser: only http and https addresses are opened.
bool openWebUrl(const QUrl& url);
// Opens a local file with its default handler.
bool openLocalFile(const QString& path);

// Tests see what would have been opened instead of opening it.
void setOpenHook(std::function<void(const QUrl&)> hook);

} // namespace Desktop

} // namespace corvane
