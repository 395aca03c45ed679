#include "app/cli/Cli.h"

#include "branding/Branding.h"

#include "app/cli/Commands.h"
#include "model/SettingsStore.h"
#include "net/NetworkContext.h"
#include "net/UserAgentSetting.h"

#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/socket.h>
#include <unistd.h>

namespace corvane::cli {

namespace {

struct Command {
    const char* name;
    const char* synopsis; // one line per form, each starting with the command's name
    const char* summary;  // for the list of commands
    const char* const* help;
    QStringList valueOptions;
    QStringList flags;
    int (*run)(const ParsedArguments&, Environment&);
    // The settings the command reads, whose stored values are checked before it runs. (The
    // historical counters are not among them: the scan's statistics rewrite them as they count.)
    QStringList readsSettings;
};

const QList<Command>& commands()
{
    static const QList<Command> table = {
        {"scan",
         "scan PROJECT.prj [--tab FILE] [--report FILE] [--json FILE] [--save] [--strict] "
         "[--fail-on lost] [--notify] [--quiet]",
         "check every Linking Site of the project for its link back", &kScanHelp,
         {QStringLiteral("--tab"), QStringLiteral("--report"), QStringLiteral("--json"),
          QStringLiteral("--fail-on")},
         {QStringLiteral("--save"), QStringLiteral("--strict"), QStringLiteral("--stall-report"),
          QStringLiteral("--notify")},
         &runScan,
         {QStringLiteral("txtTimeout"), QStringLiteral("cmbAdvance"), QStringLiteral("chkAuto"),
          QStringLiteral("chkAuto2"), QStringLiteral("chkRedirect"), QStringLiteral("chkUpdate"),
          QStringLiteral("chkFileTypes"), QStringLiteral("chkLog"),
          QStringLiteral("HostInterval"), QStringLiteral("Proxy"),
          QStringLiteral("LostAfterFailures"), QStringLiteral("AlertCommand")}},
        {"report", "report PROJECT.prj [--report FILE] [--json FILE]",
         "write the HTML report (or JSON) of the project's saved results", &kReportHelp,
         {QStringLiteral("--report"), QStringLiteral("--json")}, {}, &runReport, {}},
        {"export", "export PROJECT.prj [--tab FILE] [--json FILE]",
         "write the saved results as a tab-delimited file (or JSON)", &kExportHelp,
         {QStringLiteral("--tab"), QStringLiteral("--json")}, {}, &runExport, {}},
        {"post", "post PROJECT.prj [--script URL] [--dry-run] [--save]",
         "request your script's URL once per saved result", &kPostHelp,
         {QStringLiteral("--script")}, {QStringLiteral("--dry-run"), QStringLiteral("--save")},
         &runPost, {QStringLiteral("optScript"), QStringLiteral("Proxy")}},
        {"import",
         "import PROJECT.prj --linking-sites FILE --main K\n"
         "import PROJECT.prj --main-sites FILE\n"
         "import PROJECT.prj --from-link-page URL --main K",
         "add Linking Sites or Main Sites from a file, or from your link page", &kImportHelp,
         {QStringLiteral("--linking-sites"), QStringLiteral("--main-sites"),
          QStringLiteral("--from-link-page"), QStringLiteral("--main")},
         {}, &runImport, {QStringLiteral("Proxy")}},
        {"changes", "changes PROJECT.prj [--since DATE] [--json]",
         "what changed at the last scan (lost, new, ...), or at every scan since a date",
         &kChangesHelp, {QStringLiteral("--since")}, {QStringLiteral("--json")}, &runChanges, {}},
        {"history", "history PROJECT.prj [--partner URL] [--json]",
         "each partner's history: linked since, last confirmed, every scan", &kHistoryHelp,
         {QStringLiteral("--partner")}, {QStringLiteral("--json")}, &runHistory, {}},
        {"schedule",
         "schedule PROJECT.prj --every day|week|month [--at HH:MM]\n"
         "schedule PROJECT.prj --off\n"
         "schedule --list",
         "scan the project by itself every day, week or month (or no longer)", &kScheduleHelp,
         {QStringLiteral("--every"), QStringLiteral("--at")},
         {QStringLiteral("--off"), QStringLiteral("--list")}, &runSchedule, {}},
    };
    return table;
}

const Command* findCommand(const QString& name)
{
    for (const Command& c : commands()) {
        if (name == QLatin1String(c.name))
            return &c;
    }
    return nullptr;
}

const char* const kCommonOptions =
    "Options every command takes:\n"
    "  --app-dir DIR     the application folder (page copies, rules.log, filetypes.txt);\n"
    "                    default: the program's folder when it holds filetypes.txt, else\n"
    "                    ~/.local/share/Corvane\n"
    "  --set KEY=VALUE   a setting for this run only (repeatable), e.g. --set txtTimeout=10;\n"
    "                    \"corvane-cli help settings\" lists the keys and their values\n"
    "  --quiet           print only errors (and the summary of a scan)\n"
    "  -h, --help        the command's help\n";

const char* const kExitStatus =
    "Exit status:\n"
    "  0    done; for scan: every Linking Site links back\n"
    "  1    scan: some Linking Sites do not link back (missing links, no link, an error;\n"
    "       one blocked by bot protection does not count), with --strict also when their\n"
    "       only links pass no value (nofollow, sponsored, ugc, on a noindex page, a page\n"
    "       blocked by robots.txt or one canonical elsewhere), or the scan was stopped before\n"
    "       the end; post: a request failed;\n"
    "       import: the link page could not be read or was empty\n"
    "  2    a usage mistake, a setting out of range, or a file that cannot be read or written\n"
    "       (the project's history included), or the project is locked by another program\n"
    "  3    scan --fail-on lost: a partner that linked back was lost in this scan\n"
    "  130  interrupted by Ctrl+C (a scan still writes the files asked for; an import adds\n"
    "       nothing)\n";

// Lines of the synopsis, each prefixed.
QString synopsisLines(const Command& c, const QString& prefix)
{
    QString text;
    for (const QString& line : QString::fromLatin1(c.synopsis).split(u'\n'))
        text += prefix + line + u'\n';
    return text;
}

void printOverview(QTextStream& stream)
{
    stream << "Usage: corvane-cli COMMAND PROJECT.prj [OPTIONS]\n"
              "       corvane-cli help [COMMAND | settings]\n"
              "       corvane-cli --version\n"
              "\n"
              "Checks that the partner sites of your link exchanges (Linking Sites) still carry\n"
              "their links back to your sites (Main Sites).\n"
              "\n"
              "Commands:\n";
    for (const Command& c : commands())
        stream << "  " << QString::fromLatin1(c.name).leftJustified(9) << c.summary << '\n';
    stream << "\n" << kCommonOptions << "\n" << kExitStatus
           << "\n\"corvane-cli help COMMAND\" tells more about a command.\n";
    stream.flush();
}

void printCommandHelp(QTextStream& stream, const Command& c)
{
    stream << "Usage:\n" << synopsisLines(c, QStringLiteral("  corvane-cli ")) << '\n'
           << *c.help << '\n' << kCommonOptions << '\n' << kExitStatus;
    stream.flush();
}

void printSettingsHelp(QTextStream& stream)
{
    stream << "Settings (--set KEY=VALUE for one run; the desktop program's options are kept in\n"
              "the same store). Keys ignore letter case.\n\n";
    for (const QString& key : SettingsStore::knownKeys()) {
        QString def = SettingsStore::defaultValue(key);
        if (def.size() > 20)
            def = def.left(17) + QStringLiteral("...");
        stream << "  " << key.leftJustified(18) << QString(u'"' + def + u'"').leftJustified(24)
               << SettingsStore::acceptedValues(key) << '\n';
    }
    stream << "\nThe ones a scan reads: txtTimeout (seconds without an answer before a Linking\n"
              "Site is given up), cmbAdvance (page limit per Linking Site: 0 to 12 stand for 1,\n"
              "10, 50, 100, 500, 1000, 5000, 10000, 20000, 50000, 100000, 200000, 500000 pages),\n"
              "chkAuto (stop at the page limit), chkAuto2 (stop once the expected links are\n"
              "found), chkRedirect, chkUpdate, chkFileTypes, chkLog, HostInterval (milliseconds\n"
              "between two requests to the same host), ParallelSites (how many Linking Sites are\n"
              "scanned at once, 1 to 32; outcomes come out in project order all the same),\n"
              "LostAfterFailures (inconclusive scans in a row after which a partner last seen\n"
              "linking counts as lost), Proxy (none; system, the http_proxy, https_proxy,\n"
              "all_proxy and no_proxy variables, else the desktop's settings; or HOST:PORT of an\n"
              "HTTP proxy).\n"
              "Every command that goes online sends UserAgent as its User-Agent (empty: the\n"
              "program's own name) and goes through the Proxy. post reads optScript.\n"
              "AlertCommand: a command run after a scan with changes (\"corvane-cli help schedule\"\n"
              "shows how, with a mail and a chat example).\n";
    stream.flush();
}

// The write end of the socket pair the signal handler reports through (the handler may do
// nothing else that is safe), and the handlers in place before the watcher.
int g_signalPipe[2] = {-1, -1};
struct sigaction g_previousInt = {};
struct sigaction g_previousTerm = {};

void onSignal(int signal)
{
    const char byte = signal == SIGTERM ? 'T' : 'I';
    if (g_signalPipe[1] >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(g_signalPipe[1], &byte, 1);
    }
}

// Checks the --set options and applies them to the settings of the run. Empty when they are
// sound, else the mistake.
QString applySets(const ParsedArguments& parsed, SettingsStore& settings)
{
    for (const auto& [key, value] : parsed.sets) {
        if (!SettingsStore::isKnownKey(key))
            return QStringLiteral("--set ") + key + u'=' + value + QStringLiteral(": no setting \"")
                   + key + QStringLiteral("\" (\"corvane-cli help settings\" lists them)");
        if (!SettingsStore::isAccepted(key, value))
            return QStringLiteral("--set ") + key + u'=' + value + QStringLiteral(": ")
                   + SettingsStore::canonicalKey(key) + QStringLiteral(" takes ")
                   + SettingsStore::acceptedValues(key);
    }
    for (const auto& [key, value] : parsed.sets)
        settings.setOverride(key, value);
    return {};
}

// A stored value its readers would misread is reported and replaced by its default for this run.
void replaceUnacceptedStoredValues(const ParsedArguments& parsed, const QStringList& keys,
                                   SettingsStore& settings, Environment& env)
{
    const QList<std::pair<QString, QString>> wrong = settings.storedValuesNotAccepted();
    for (const auto& [key, value] : wrong) {
        if (!keys.contains(key))
            continue;
        bool setForRun = false;
        for (const auto& set : parsed.sets)
            setForRun = setForRun || SettingsStore::canonicalKey(set.first) == key;
        if (setForRun)
            continue;
        const QString fallback = SettingsStore::defaultValue(key);
        warn(env, parsed.command,
             QStringLiteral("the setting ") + key + QStringLiteral("=\"") + value
                 + QStringLiteral("\" in ") + settings.fileName() + QStringLiteral(" is not ")
                 + SettingsStore::acceptedValues(key) + QStringLiteral("; this run uses \"")
                 + fallback + QStringLiteral("\""));
        settings.setOverride(key, fallback);
    }
}

int runCommand(const Command& c, const QStringList& rest, Environment& env)
{
    if (rest.contains(QStringLiteral("--help")) || rest.contains(QStringLiteral("-h"))) {
        printCommandHelp(env.out, c);
        return ExitDone;
    }
    ParsedArguments parsed;
    parsed.command = QString::fromLatin1(c.name);
    const QString mistake =
        parseArguments(rest, c.valueOptions, c.flags + QStringList{QStringLiteral("--quiet")}, parsed);
    if (!mistake.isEmpty())
        return usageError(env, parsed.command, mistake);
    if (const QString wrong = applySets(parsed, *env.settings); !wrong.isEmpty())
        return usageError(env, parsed.command, wrong);
    replaceUnacceptedStoredValues(parsed, c.readsSettings, *env.settings, env);
    return c.run(parsed, env);
}

int dispatch(const QStringList& arguments, Environment& env)
{
    if (arguments.size() < 2) {
        printOverview(env.err);
        return ExitUsage;
    }
    const QString first = arguments.at(1);
    if (first == QStringLiteral("--version") || first == QStringLiteral("-V")
        || first == QStringLiteral("version")) {
        env.out << versionText() << '\n';
        env.out.flush();
        return ExitDone;
    }
    if (first == QStringLiteral("--help") || first == QStringLiteral("-h")) {
        printOverview(env.out);
        return ExitDone;
    }
    if (first == QStringLiteral("help")) {
        if (arguments.size() < 3) {
            printOverview(env.out);
            return ExitDone;
        }
        const QString topic = arguments.at(2);
        if (topic == QStringLiteral("settings")) {
            printSettingsHelp(env.out);
            return ExitDone;
        }
        if (const Command* c = findCommand(topic)) {
            printCommandHelp(env.out, *c);
            return ExitDone;
        }
        env.err << "corvane-cli help: no command \"" << topic
                << "\" (the commands: scan, report, export, post, import, changes, history, schedule; or settings)\n";
        env.err.flush();
        return ExitUsage;
    }
    if (const Command* c = findCommand(first))
        return runCommand(*c, arguments.mid(2), env);
    if (first.startsWith(u'-')) {
        env.err << "corvane-cli: unknown option \"" << first
                << "\" (options follow the command)\nTry \"corvane-cli --help\".\n";
        env.err.flush();
        return ExitUsage;
    }
    env.err << "corvane-cli: unknown command \"" << first
            << "\" (the commands: scan, report, export, post, import, changes, history, schedule)\n"
               "Try \"corvane-cli --help\".\n";
    env.err.flush();
    return ExitUsage;
}

} // namespace

SigintWatcher::SigintWatcher(QObject* parent) : Interrupt(parent)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SigintWatcher::onSignal);
    struct sigaction action = {};
    action.sa_handler = cli::onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, &g_previousInt);
    ::sigaction(SIGTERM, &action, &g_previousTerm);
}

SigintWatcher::~SigintWatcher()
{
    if (g_signalPipe[0] < 0)
        return;
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
    for (int& fd : g_signalPipe) {
        ::close(fd);
        fd = -1;
    }
}

void SigintWatcher::onSignal()
{
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(g_signalPipe[0], &byte, 1);
    // A second signal ends the program at once.
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    Q_EMIT interrupted(byte == 'T' ? Kind::Terminate : Kind::CtrlC);
}

QString versionText()
{
    return QStringLiteral("corvane-cli ") + Branding::version() + QStringLiteral(" (")
           + Branding::productName() + QStringLiteral("; Qt ") + QString::fromLatin1(qVersion()) + u')';
}

QString parseArguments(const QStringList& arguments, const QStringList& valueOptions,
                       const QStringList& flagOptions, ParsedArguments& parsed)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString name = arguments.at(i);
        if (!name.startsWith(QStringLiteral("--")) || name == QStringLiteral("--")) {
            if (name.startsWith(u'-') && name.size() > 1 && name != QStringLiteral("--"))
                return QStringLiteral("unknown option \"") + name + u'"';
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

void warn(Environment& env, const QString& command, const QString& text)
{
    env.err << "corvane-cli " << command << ": " << text << '\n';
    env.err.flush();
}

int usageError(Environment& env, const QString& command, const QString& text)
{
    env.err << "corvane-cli " << command << ": " << text << '\n';
    if (const Command* c = findCommand(command))
        env.err << "Usage: " << synopsisLines(*c, QStringLiteral("corvane-cli "))
                       .replace(u'\n' + QStringLiteral("corvane-cli "),
                                QStringLiteral("\n       corvane-cli "));
    env.err << "Try \"corvane-cli help " << command << "\".\n";
    env.err.flush();
    return ExitUsage;
}

int failure(Environment& env, const QString& command, const QString& text, int status)
{
    warn(env, command, text);
    return status;
}

int run(const QStringList& arguments, Environment& env)
{
    std::unique_ptr<SigintWatcher> watcher;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<NetworkContext> network;
    Environment filled = env;
    if (!filled.interrupt) {
        watcher = std::make_unique<SigintWatcher>();
        filled.interrupt = watcher.get();
    }
    if (!filled.settings) {
        settings = std::make_unique<SettingsStore>();
        filled.settings = settings.get();
    }
    if (!filled.network) {
        network = std::make_unique<NetworkContext>();
        filled.network = network.get();
    }
    // The "UserAgent" setting, --set included, names the client; empty, the program's own.
    UserAgentSetting::follow(*filled.network, *filled.settings,
                             NetworkContext::userAgentFor(Branding::productName(),
                                                          Branding::version(),
                                                          Branding::website()));
    filled.network->setSettings(filled.settings);
    const int status = dispatch(arguments, filled);
    filled.out.flush();
    filled.err.flush();
    return status;
}

int run(const QStringList& arguments)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    const QByteArray term = qgetenv("TERM");
    const bool colour = terminal && qEnvironmentVariableIsEmpty("NO_COLOR") && !term.isEmpty()
                        && term != "dumb";
    Environment env{out, err, terminal, colour};
    return run(arguments, env);
}

} // namespace corvane::cli
