#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTextStream>

namespace corvane {
class NetworkContext;
class SettingsStore;
}

namespace corvane::cli {

// The exit statuses of the command line.
enum ExitStatus : int {
    ExitDone = 0,        // scan: every Linking Site links back
    ExitNotAll = 1,      // scan: some do not, or it stopped before the end; post: a request
                         // failed; import: the link page gave nothing
    ExitUsage = 2,       // a usage mistake, or a file that cannot be read or written
    ExitLost = 3,        // scan --fail-on lost: a partner that linked back was lost
    ExitInterrupted = 130, // scan interrupted by Ctrl+C (128 + SIGINT, as shells report it)
};

// Tells a running command that the user asked it to stop: Ctrl+C (SIGINT), or a request to end
// (SIGTERM, as a cron job's time limit or a shutdown sends it). A test may emit it directly.
class Interrupt : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Interrupt)

public:
    enum class Kind { CtrlC, Terminate };
    Q_ENUM(Kind)
    explicit Interrupt(QObject* parent = nullptr) : QObject(parent) {}

Q_SIGNALS:
    void interrupted(corvane::cli::Interrupt::Kind kind);
};

// Turns SIGINT and SIGTERM into Interrupt::interrupted on the event loop while it lives. The
// first signal stops the command gracefully; the default action is back for a second one. The
// handlers in place before are restored at the end.
class SigintWatcher final : public Interrupt
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SigintWatcher)

public:
    explicit SigintWatcher(QObject* parent = nullptr);
    ~SigintWatcher() override;

private:
    void onSignal();
};

// Where a command writes and what it works with. Null pointers are filled in by run(): the
// user's own settings, a network context and a signal watcher of the run's own.
struct Environment {
    QTextStream& out;
    QTextStream& err;
    // Progress goes to err; on a terminal it has a live line, elsewhere plain lines.
    bool errIsTerminal = false;
    // Colour in the progress on err (a terminal that takes it, and NO_COLOR not set).
    bool colour = false;
    Interrupt* interrupt = nullptr;
    SettingsStore* settings = nullptr;
    NetworkContext* network = nullptr;
    // The program a schedule runs; empty: this program's own file.
    QString cliProgram;
    // The program the notification's action starts with the project; empty: "corvane" beside this
    // program, else on the PATH.
    QString windowProgram;
    // How long a scan with --notify waits for the notification's action once it is shown.
    int notificationWaitMs = 10 * 60 * 1000;
};

// Runs the command line with the given arguments (the program name first) and returns the exit
// status. Output and progress go to the given streams, so tests run the command in-process.
int run(const QStringList& arguments);
int run(const QStringList& arguments, Environment& env);

// What a command was given: value options (--tab FILE or --tab=FILE), flags (--save) and the
// words that are not options (the positional arguments).
struct ParsedArguments {
    QString command;
    QStringList positional;
    QHash<QString, QString> values;
    QStringList flags;
    QString appDir;
    QList<std::pair<QString, QString>> sets; // --set KEY=VALUE, in order

    bool has(const QString& option) const { return values.contains(option) || flags.contains(option); }
    QString value(const QString& option) const { return values.value(option); }
    bool quiet() const { return flags.contains(QStringLiteral("--quiet")); }
};
// Empty when the arguments are sound, else the usage mistake.
QString parseArguments(const QStringList& arguments, const QStringList& valueOptions,
                       const QStringList& flagOptions, ParsedArguments& parsed);
// Every command works on exactly one project file, its one positional argument. Empty when there
// is one (then *project holds it), else the usage mistake.
QString singleProjectFile(const ParsedArguments& parsed, QString* project);

// A usage mistake of the command: its message, the command's synopsis and where its help is.
int usageError(Environment& env, const QString& command, const QString& text);
// A file that cannot be read or written, or another failure: the message alone.
int failure(Environment& env, const QString& command, const QString& text, int status);
// "corvane-cli COMMAND: " and the text, on err.
void warn(Environment& env, const QString& command, const QString& text);

// The version line: program, version and the Qt it runs on.
QString versionText();

} // namespace corvane::cli
