#pragma once

#include <QStringList>
#include <QTextStream>

namespace corvane::cli {

// Runs the command line with the given arguments (the program name first) and returns the exit
// status. Output and progress go to the given streams, so tests run the command in-process.
int run(const QStringList& arguments);
int run(const QStringList& arguments, QTextStream& out, QTextStream& err);

} // namespace corvane::cli
