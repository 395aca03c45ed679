#include "app/cli/Cli.h"

#include <cstdio>

namespace corvane::cli {

namespace {

const char* const kUsage =
    "Usage: corvane-cli COMMAND [OPTIONS]\n"
    "\n"
    "Checks that partner sites carry their links back to your sites.\n"
    "\n"
    "Commands:\n"
    "  scan PROJECT.prj      scan every Linking Site of every Main Site of the project\n"
    "\n"
    "Common options:\n"
    "  --app-dir DIR         the application folder (default: the program's folder when it holds\n"
    "                        filetypes.txt, else ~/.local/share/Corvane)\n"
    "  --set KEY=VALUE       a setting for this run only (repeatable)\n"
    "  --help                show this help\n";

} // namespace

int run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    if (arguments.size() < 2 || arguments.contains(QStringLiteral("--help"))
        || arguments.contains(QStringLiteral("-h"))) {
        out << kUsage;
        out.flush();
        return arguments.size() < 2 ? 2 : 0;
    }
    err << "corvane-cli: unknown command \"" << arguments.at(1) << "\"\n" << kUsage;
    err.flush();
    return 2;
}

int run(const QStringList& arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    return run(arguments, out, err);
}

} // namespace corvane::cli
