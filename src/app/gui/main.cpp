#include "branding/Branding.h"
#include "model/AppFolder.h"
#include "model/SettingsStore.h"
#include "net/NetworkContext.h"
#include "net/UserAgentSetting.h"
#include "ui/Artwork.h"
#include "ui/BrowserView.h"
#include "ui/MainWindow.h"
#include "ui/SplashWindow.h"
#include "ui/WebsiteLauncher.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTextStream>

#include <memory>

int main(int argc, char** argv)
{
    // Before anything can start the browser engine.
    corvane::BrowserView::prepareEnvironment();
    // The browser views share their graphics context with the window; set before the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The browser engine describes its graphics set-up at every start; QT_LOGGING_RULES can
    // still ask for it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationVersion(corvane::Branding::version());
    QGuiApplication::setDesktopFileName(corvane::Branding::appId());
    QApplication::setWindowIcon(corvane::Artwork::programIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks that the partner sites of your link exchanges link back."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption appDir(QStringLiteral("app-dir"),
                                    QStringLiteral("Use DIR as the application folder."),
                                    QStringLiteral("DIR"));
    parser.addOption(appDir);
    parser.addPositionalArgument(QStringLiteral("project"),
                                 QStringLiteral("A project file (.prj) to open."),
                                 QStringLiteral("[project.prj]"));
    parser.process(app);
    const QStringList projects = parser.positionalArguments();

    const corvane::AppFolder folder = corvane::AppFolder::locate(parser.value(appDir));
    if (!QFileInfo(folder.path()).isDir()) {
        QTextStream(stderr) << "corvane: cannot use the application folder \""
                            << QDir::toNativeSeparators(folder.path()) << "\"\n";
        return 2;
    }
    corvane::SettingsStore settings;
    corvane::NetworkContext network;
    corvane::UserAgentSetting::follow(network, settings,
                                      corvane::NetworkContext::userAgentFor(
                                          corvane::Branding::productName(),
                                          corvane::Branding::version(),
                                          corvane::Branding::website()));
    network.setSettings(&settings);
    corvane::WebsiteLauncher launcher;
    std::unique_ptr<corvane::MainWindow> window;
    // The start window shows its picture for its ticks, then creates and shows the main window.
    corvane::SplashWindow splash([&]() -> QWidget* {
        window = std::make_unique<corvane::MainWindow>(settings, folder, network);
        window->setWebsiteLauncher(&launcher);
        if (!projects.isEmpty())
            window->openProjectFile(QFileInfo(projects.constFirst()).absoluteFilePath());
        return window.get();
    });
    // The program ends when its windows are closed, but a website being opened is let finish.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&app, &QGuiApplication::lastWindowClosed, &app, [&] {
        if (!window || window->isVisible())
            return;
        if (launcher.isLoaded())
            QObject::connect(&launcher, &corvane::WebsiteLauncher::closed, &app, &QApplication::quit);
        else
            QApplication::quit();
    });
    splash.start();
    const int status = QApplication::exec();
    window.reset();
    settings.sync();
    return status;
}
