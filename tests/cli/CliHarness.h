#pragma once

#include "app/cli/Cli.h"
#include "net/NetworkContext.h"
#include "support/TestSupport.h"

#include <QStringList>
#include <QTextStream>

namespace corvane::test {

struct CliRun {
    int status = -1;
    QString out;
    QString err;

    QString firstErrorLine() const { return err.section(u'\n', 0, 0); }
};

// The command line run in-process, as a user runs it, on a sandboxed settings store and
// application folder, with every connection routed where the test says. Ctrl+C goes through
// the program's own signal watcher unless the test hands in an interrupt of its own.
struct CliHarness {
    Sandbox box;
    NetworkContext network;
    bool terminal = false;
    bool colour = false;
    cli::Interrupt* interrupt = nullptr;
    QString windowProgram;
    int notificationWaitMs = 10000;

    // arguments: what follows the program name. A command gets --app-dir of the sandbox.
    CliRun run(QStringList arguments)
    {
        static const QStringList kCommands = {QStringLiteral("scan"), QStringLiteral("report"),
                                              QStringLiteral("export"), QStringLiteral("post"),
                                              QStringLiteral("import"), QStringLiteral("changes"),
                                              QStringLiteral("history")};
        if (!arguments.isEmpty() && kCommands.contains(arguments.first()))
            arguments << QStringLiteral("--app-dir") << box.app.path();
        arguments.prepend(QStringLiteral("corvane-cli"));
        CliRun r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        cli::Environment env{out, err, terminal, colour, interrupt, box.settings.get(), &network};
        env.cliProgram = QStringLiteral("/usr/bin/corvane-cli");
        env.windowProgram = windowProgram;
        env.notificationWaitMs = notificationWaitMs;
        r.status = cli::run(arguments, env);
        out.flush();
        err.flush();
        return r;
    }

    QString file(const QString& name) const { return box.dir.filePath(name); }

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = file(name);
        writeAll(path, bytes);
        return path;
    }
};

} // namespace corvane::test
