#pragma once

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QTextStream>

namespace corvane::cli {

// Tells a running command that the user asked it to stop (Ctrl+C in the terminal; a test may
// emit it directly).
class Interrupt : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Interrupt)

public:
    explicit Interrupt(QObject* parent = nullptr) : QObject(parent) {}

Q_SIGNALS:
    void interrupted();
};

// Turns SIGINT into Interrupt::interrupted on the event loop while it lives. The first Ctrl+C
// stops the command gracefully; the default action is back for a second one.
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

// Where a command writes and what it can learn about its surroundings.
struct Environment {
    QTextStream& out;
    QTextStream& err;
    // Progress goes to err; on a terminal it is one updating line, elsewhere plain lines.
    bool errIsTerminal = false;
    Interrupt* interrupt = nullptr;
};

// Runs the command line with the given arguments (the program name first) and returns the exit
// status. Output and progress go to the given streams, so tests run the command in-process.
int run(const QStringList& arguments);
int run(const QStringList& arguments, QTextStream& out, QTextStream& err);
int run(const QStringList& arguments, Environment& env);

// The options every command takes, and the command's own: value options (--tab FILE or
// --tab=FILE) and flags (--save). Words that are not options are the positional arguments.
struct ParsedArguments {
    QStringList positional;
    QHash<QString, QString> values;
    QStringList flags;
    QString appDir;
    QList<std::pair<QString, QString>> sets; // --set KEY=VALUE, in order
};
// Empty when the arguments are sound, else the usage mistake.
QString parseArguments(const QStringList& arguments, const QStringList& valueOptions,
                       const QStringList& flagOptions, ParsedArguments& parsed);
// Every command works on exactly one project file, its one positional argument. Empty when there
// is one (then *project holds it), else the usage mistake.
QString singleProjectFile(const ParsedArguments& parsed, QString* project);

} // namespace corvane::cli
