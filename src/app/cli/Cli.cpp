#include "app/cli/Cli.h"

#include "app/cli/ImportCommand.h"
#include "app/cli/OutputCommands.h"
#include "app/cli/ScanCommand.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::cli {

namespace {

const char* const kUsageHead =
    "Usage: corvane-cli COMMAND [OPTIONS]\n"
    "\n"
    "Checks that partner sites carry their links back to your sites.\n"
    "\n"
    "Commands:\n";

const char* const kUsageTail =
    "\n"
    "Common options:\n"
    "  --app-dir DIR         the application folder (default: the program's folder when it holds\n"
    "                        filetypes.txt, else ~/.local/share/Corvane)\n"
    "  --set KEY=VALUE       a setting for this run only (repeatable), e.g. --set txtTimeout=5\n"
    "  --help                show this help\n";

void printUsage(QTextStream& stream)
{
    stream << kUsageHead << kScanUsage << kOutputUsage << kImportUsage << kUsageTail;
    stream.flush();
}

// The write end of the pipe the signal handler reports through; the handler may do nothing
// else that is safe.
int g_sigintPipe[2] = {-1, -1};

void onSigint(int)
{
    const char byte = 1;
    if (g_sigintPipe[1] >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(g_sigintPipe[1], &byte, 1);
    }
}

} // namespace

SigintWatcher::SigintWatcher(QObject* parent) : Interrupt(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_sigintPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_sigintPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SigintWatcher::onSignal);
    struct sigaction action = {};
    action.sa_handler = onSigint;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
}

SigintWatcher::~SigintWatcher()
{
    ::signal(SIGINT, SIG_DFL);
    for (int& fd : g_sigintPipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void SigintWatcher::onSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(g_sigintPipe[0], &byte, 1);
    // A second Ctrl+C ends the program at once.
    ::signal(SIGINT, SIG_DFL);
    Q_EMIT interrupted();
}

QString parseArguments(const QStringList& arguments, const QStringList& valueOptions,
                       const QStringList& flagOptions, ParsedArguments& parsed)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        if (!name.startsWith(QStringLiteral("--")) || name == QStringLiteral("--")) {
            parsed.positional.append(name);
            continue;
        }
        QString value;
        bool inlineValue = false;
        const qsizetype eq = name.indexOf(u'=');
        if (eq > 0) {
            value = name.mid(eq + 1);
            name.truncate(eq);
            inlineValue = true;
        }
        if (flagOptions.contains(name)) {
            if (inlineValue)
                return name + QStringLiteral(" takes no value");
            if (!parsed.flags.contains(name))
                parsed.flags.append(name);
            continue;
        }
        const bool common = name == QStringLiteral("--app-dir") || name == QStringLiteral("--set");
        if (!common && !valueOptions.contains(name))
            return QStringLiteral("unknown option \"") + name + u'"';
        if (!inlineValue) {
            // "--tab --save" lacks the file; a value that really starts with "--" is given
            // as --tab=--file.
            if (i + 1 >= arguments.size() || arguments.at(i + 1).startsWith(QStringLiteral("--")))
                return name + QStringLiteral(" needs a value");
            value = arguments.at(++i);
        }
        if (value.isEmpty())
            return name + QStringLiteral(" needs a value");
        if (name == QStringLiteral("--set")) {
            const qsizetype sep = value.indexOf(u'=');
            if (sep <= 0)
                return QStringLiteral("--set takes KEY=VALUE (got \"") + value + u'"' + u')';
            parsed.sets.append({value.left(sep), value.mid(sep + 1)});
        } else if (name == QStringLiteral("--app-dir")) {
            parsed.appDir = value;
        } else {
            if (parsed.values.contains(name))
                return name + QStringLiteral(" given twice");
            parsed.values.insert(name, value);
        }
    }
    return {};
}

int run(const QStringList& arguments, Environment& env)
{
    const QStringList rest = arguments.mid(2);
    if (arguments.size() < 2) {
        printUsage(env.err);
        return 2;
    }
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        printUsage(env.out);
        return 0;
    }
    const QString command = arguments.at(1);
    if (command == QStringLiteral("scan"))
        return runScan(rest, env);
    if (command == QStringLiteral("report"))
        return runReport(rest, env.out, env.err);
    if (command == QStringLiteral("export"))
        return runExport(rest, env.out, env.err);
    if (command == QStringLiteral("post"))
        return runPost(rest, env.out, env.err);
    if (command == QStringLiteral("import"))
        return runImport(rest, env.out, env.err);
    env.err << "corvane-cli: unknown command \"" << command << "\"\n\n";
    printUsage(env.err);
    return 2;
}

int run(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    Environment env{out, err};
    return run(arguments, env);
}

int run(const QStringList& arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    SigintWatcher sigint;
    Environment env{out, err, ::isatty(STDERR_FILENO) == 1, &sigint};
    const int status = run(arguments, env);
    out.flush();
    err.flush();
    return status;
}

QString singleProjectFile(const ParsedArguments& parsed, QString* project)
{
    if (parsed.positional.isEmpty())
        return QStringLiteral("no project file given");
    if (parsed.positional.size() > 1)
        return QStringLiteral("one project file only (\"") + parsed.positional.at(0)
               + QStringLiteral("\" and \"") + parsed.positional.at(1) + QStringLiteral("\")");
    *project = parsed.positional.first();
    return {};
}

} // namespace corvane::cli
