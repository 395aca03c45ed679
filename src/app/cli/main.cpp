#include "app/cli/Cli.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    // The command line needs no GLib main loop, and Qt's own event dispatcher watches sockets
    // without waking itself up through a pipe each time a socket notifier changes: about a third
    // of the system calls per page of a scan. Set before the application object picks one; an
    // explicit choice in the environment is kept.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Corvane"));
    return corvane::cli::run(QCoreApplication::arguments());
}
