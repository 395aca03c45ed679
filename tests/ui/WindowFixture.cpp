#include "WindowFixture.h"

#include "support/TestRegistry.h"
#include "ui/Dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QLineEdit>

namespace corvane::test {

namespace {

const ApplicationRegistrar kWidgetsApplication([](int& argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return std::unique_ptr<QCoreApplication>(new QApplication(argc, argv));
});

} // namespace

bool browserEngineUsable()
{
    // CORVANE_TEST_BROWSERS=1 or 0 decides; by default the sanitizer build leaves them out.
    const QByteArray choice = qgetenv("CORVANE_TEST_BROWSERS");
    if (!choice.isEmpty())
        return choice != "0";
#if defined(__SANITIZE_ADDRESS__)
    return false;
#else
    return true;
#endif
}

WindowFixture::WindowFixture(bool browserViews) : browserViews(browserViews && browserEngineUsable())
{
    Dialogs::clearHooks();
    Desktop::setOpenHook([this](const QUrl& url) { opened << url; });
}

WindowFixture::~WindowFixture()
{
    if (window) {
        // Closing must not ask: the tests that look at the question answer it themselves.
        window->project().state().bProjectSaved = true;
        window->close();
        window.reset();
    }
    Desktop::setOpenHook({});
    Dialogs::clearHooks();
}

MainWindow& WindowFixture::start(QSize size)
{
    if (window) {
        window->project().state().bProjectSaved = true;
        window->close();
        window.reset();
    }
    MainWindowOptions options;
    options.browserViews = browserViews;
    window = std::make_unique<MainWindow>(*box.settings, box.app, network, options);
    if (size.isValid())
        window->resize(size);
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        qWarning("the window was not shown");
    return *window;
}

void WindowFixture::type(const QString& entry, const QString& text, bool enter) const
{
    auto* box = find<QLineEdit>(entry);
    box->setFocus();
    QTest::keyClicks(box, text);
    if (enter)
        QTest::keyClick(box, Qt::Key_Return);
}

void WindowFixture::clearEntry(const QString& entry) const
{
    auto* box = find<QLineEdit>(entry);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
}

void WindowFixture::click(const QString& button) const
{
    QTest::mouseClick(find<QAbstractButton>(button), Qt::LeftButton);
}

void WindowFixture::addSites(const QString& mainSite, const QStringList& linkingSites) const
{
    type(QStringLiteral("txtDomain"), mainSite, true);
    for (const QString& site : linkingSites)
        type(QStringLiteral("Text1"), site, true);
}

QStringList WindowFixture::answered()
{
    return Dialogs::answeredMessages();
}

void saveScreenshot(QWidget* widget, const QString& name)
{
    QDir().mkpath(QStringLiteral(CORVANE_SCREENSHOT_DIR));
    widget->grab().save(QStringLiteral(CORVANE_SCREENSHOT_DIR "/") + name + QStringLiteral(".png"));
}

} // namespace corvane::test
