#include "model/AppFolder.h"
#include "model/SettingsStore.h"
#include "scan/NetworkContext.h"
#include "ui/Branding.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTextStream>

int main(int argc, char** argv)
{
    // The browser views share their graphics context with the window; set before the application.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // The browser engine describes its graphics set-up at every start; QT_LOGGING_RULES can
    // still ask for it.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext.info=false"));
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationVersion(corvane::Branding::version());
    QGuiApplication::setApplicationDisplayName(corvane::Branding::productName());
    QGuiApplication::setDesktopFileName(QStringLiteral("corvane"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Checks that the partner sites of your link exchanges link back."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption appDir(QStringLiteral("app-dir"),
                                    QStringLiteral("Use DIR as the application folder."),
                                    QStringLiteral("DIR"));
    parser.addOption(appDir);
    parser.process(app);

    const corvane::AppFolder folder = corvane::AppFolder::locate(parser.value(appDir));
    if (!QFileInfo(folder.path()).isDir()) {
        QTextStream(stderr) << "corvane: cannot use the application folder \""
                            << QDir::toNativeSeparators(folder.path()) << "\"\n";
        return 2;
    }
    corvane::SettingsStore settings;
    corvane::NetworkContext network;
    int status = 0;
    {
        corvane::MainWindow window(settings, folder, network);
        window.show();
        status = QApplication::exec();
    }
    settings.sync();
    return status;
}
