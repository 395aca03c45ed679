#pragma once

#include <QStringList>
#include <QTextStream>

namespace corvane {
class NetworkContext;
}

namespace corvane::cli {

// The usage lines of the import command, for the command line's help text.
extern const char* const kImportUsage;

// `corvane-cli import PROJECT.prj SOURCE`, where SOURCE is one of
//   --linking-sites FILE --main K   Linking Sites from a text file into Main Site K
//   --main-sites FILE               Main Sites from a text file
//   --from-link-page URL --main K   every link the user's link page offers, into Main Site K
// arguments: what follows the word "import"; the common options --app-dir and --set are passed
// over (the import reads no setting and no file of the application folder). Reads the project, imports, and saves the project
// in place. Returns 0 on success, 1 when a file cannot be read or written, 2 for a usage error.
int runImport(const QStringList& arguments, NetworkContext& network, QTextStream& out,
              QTextStream& err);
// The same with a network context of its own.
int runImport(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace corvane::cli
