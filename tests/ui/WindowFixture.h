#pragma once

#include "net/NetworkContext.h"
#include "support/TestSupport.h"
#include "ui/MainWindow.h"

#include <QList>
#include <QTest>
#include <QUrl>

#include <memory>

namespace corvane::test {

// A main window over a sandboxed application folder and settings file. Message boxes and file
// dialogs are answered from the queue of Dialogs; what the window hands to the desktop (help
// file, web pages) is recorded in opened instead of opened.
struct WindowFixture {
    explicit WindowFixture(bool browserViews = false);
    ~WindowFixture();

    // Builds the window (again), as a start of the program does; size: the window's size when
    // it is shown (the offscreen screen is small).
    MainWindow& start(QSize size = {});

    template <typename T> T* find(const QString& name) const
    {
        T* child = window->findChild<T*>(name);
        if (child == nullptr)
            qWarning("no control named %s", qPrintable(name));
        return child;
    }
    // Types into an entry box as a user does, then presses Enter when asked.
    void type(const QString& entry, const QString& text, bool enter = false) const;
    void click(const QString& button) const;
    void clearEntry(const QString& entry) const;
    // Adds a Main Site and its Linking Sites through the entry boxes.
    void addSites(const QString& mainSite, const QStringList& linkingSites) const;
    // The next message boxes' answers; returns their texts afterwards through answered().
    static QStringList answered();

    Sandbox box;
    NetworkContext network;
    bool browserViews;
    std::unique_ptr<MainWindow> window;
    QList<QUrl> opened;
};

// Browser views need a browser engine in the test's process; under the sanitizers they are left
// out.
bool browserEngineUsable();

// Saves a picture of the widget under the build tree for people to look at.
void saveScreenshot(QWidget* widget, const QString& name);

} // namespace corvane::test
