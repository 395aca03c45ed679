#include "ui/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QQueue>
#include <QRegularExpression>

namespace corvane {

namespace {

struct Hooks {
    QQueue<QMessageBox::StandardButton> answers;
    QQueue<QString> fileNames;
    QStringList answered;
    QStringList folders;
    std::function<void(const QUrl&)> open;
};

Hooks& hooks()
{
    static Hooks h;
    return h;
}

QString windowTitle(const QString& title)
{
    return title.isEmpty() ? QApplication::applicationDisplayName() : title;
}

} // namespace

namespace Dialogs {

void information(QWidget* parent, const QString& text, const QString& title)
{
    if (!hooks().answers.isEmpty()) {
        hooks().answers.dequeue();
        hooks().answered << text;
        return;
    }
    QMessageBox::information(parent, windowTitle(title), text, QMessageBox::Ok);
}

QMessageBox::StandardButton question(QWidget* parent, const QString& title, const QString& text,
                                     QMessageBox::StandardButtons buttons,
                                     QMessageBox::StandardButton escapeButton,
                                     const QMap<QMessageBox::StandardButton, QString>& captions,
                                     QMessageBox::StandardButton defaultButton)
{
    if (!hooks().answers.isEmpty()) {
        hooks().answered << text;
        return hooks().answers.dequeue();
    }
    QMessageBox box(QMessageBox::Question, windowTitle(title), text, buttons, parent);
    box.setEscapeButton(escapeButton);
    if (defaultButton != QMessageBox::NoButton)
        box.setDefaultButton(defaultButton);
    for (auto it = captions.cbegin(); it != captions.cend(); ++it) {
        if (QAbstractButton* button = box.button(it.key()))
            button->setText(it.value());
    }
    const int chosen = box.exec();
    return chosen == 0 ? escapeButton : QMessageBox::StandardButton(chosen);
}

bool confirm(QWidget* parent, const QString& text)
{
    return question(parent, {}, text, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel)
        == QMessageBox::Ok;
}

QString qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString description = parts.at(i);
        if (const qsizetype open = description.indexOf(u'('); open > 0)
            description = description.left(open).trimmed();
        QStringList patterns = parts.at(i + 1).split(QRegularExpression(QStringLiteral("[,; ]+")),
                                                     Qt::SkipEmptyParts);
        out << description + QStringLiteral(" (") + patterns.join(u' ') + u')';
    }
    out << QStringLiteral("All Files (*)");
    return out.join(QStringLiteral(";;"));
}

QString openFileName(QWidget* parent, const QString& folder, const QString& filter)
{
    if (!hooks().fileNames.isEmpty()) {
        hooks().folders << folder;
        return hooks().fileNames.dequeue();
    }
    return QFileDialog::getOpenFileName(parent, QString(), folder, qtFilter(filter));
}

QString saveFileName(QWidget* parent, const QString& folder, const QString& suggestedName,
                     const QString& filter)
{
    if (!hooks().fileNames.isEmpty()) {
        hooks().folders << folder;
        return hooks().fileNames.dequeue();
    }
    const QString start = suggestedName.isEmpty() ? folder : folder + u'/' + suggestedName;
    // The commands ask before they replace a file and add the extension themselves.
    return QFileDialog::getSaveFileName(parent, QString(), start, qtFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

void setNextAnswer(QMessageBox::StandardButton answer)
{
    hooks().answers.enqueue(answer);
}

void setNextFileName(const QString& name)
{
    hooks().fileNames.enqueue(name);
}

QStringList answeredMessages()
{
    return hooks().answered;
}

QStringList askedFolders()
{
    return hooks().folders;
}

void clearHooks()
{
    hooks().answers.clear();
    hooks().fileNames.clear();
    hooks().answered.clear();
    hooks().folders.clear();
}

} // namespace Dialogs

namespace Desktop {

namespace {
bool open(const QUrl& url)
{
    if (hooks().open) {
        hooks().open(url);
        return true;
    }
    return QDesktopServices::openUrl(url);
}
} // namespace

bool openWebUrl(const QUrl& url)
{
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty()
        || (scheme != QStringLiteral("http") && scheme != QStringLiteral("https")))
        return false;
    return open(url);
}

bool openLocalFile(const QString& path)
{
    if (!QFileInfo(path).isFile())
        return false;
    return open(QUrl::fromLocalFile(path));
}

void setOpenHook(std::function<void(const QUrl&)> hook)
{
    hooks().open = std::move(hook);
}

} // namespace Desktop

} // namespace corvane
