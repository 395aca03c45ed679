#include "branding/Branding.h"
#include "cli/CliHarness.h"
#include "model/SettingsStore.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QRegularExpression>
#include <QTest>

using namespace corvane;
using test::CliHarness;
using test::CliRun;

namespace {

// A Linking Site whose host name cannot be asked for ends at once, without the network.
const QByteArray kOffline = "mine.test\r\nmy site.test|1|||\r\n";

} // namespace

class CommandLineTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every mistake ends with exit status 2 and a first line that names the command and the
    // mistake; what is sound ends with 0 and nothing on the error stream.
    void argumentsAndTheirOutcome_data()
    {
        QTest::addColumn<QStringList>("arguments"); // PRJ, EMPTY, BARE, NOLINKS: project files
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("firstErrorLine"); // contained in it; empty: no error output

        QTest::newRow("nothing") << QStringList{} << 2 << "Usage: corvane-cli COMMAND PROJECT.prj";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "";
        QTest::newRow("help") << QStringList{"help"} << 0 << "";
        QTest::newRow("help scan") << QStringList{"help", "scan"} << 0 << "";
        QTest::newRow("help settings") << QStringList{"help", "settings"} << 0 << "";
        QTest::newRow("export -h") << QStringList{"export", "-h"} << 0 << "";
        QTest::newRow("unknown command") << QStringList{"crawl"} << 2
                                         << "corvane-cli: unknown command \"crawl\"";
        QTest::newRow("option before the command") << QStringList{"--quiet", "scan"} << 2
                                                   << "corvane-cli: unknown option \"--quiet\" (options follow the command)";
        QTest::newRow("help on no command") << QStringList{"help", "crawl"} << 2
                                            << "corvane-cli help: no command \"crawl\"";

        QTest::newRow("no project") << QStringList{"scan"} << 2
                                    << "corvane-cli scan: no project file given";
        QTest::newRow("two projects") << QStringList{"scan", "a.prj", "b.prj"} << 2
                                      << "corvane-cli scan: one project file only (\"";
        QTest::newRow("unknown option") << QStringList{"scan", "PRJ", "--fast"} << 2
                                        << "corvane-cli scan: unknown option \"--fast\"";
        QTest::newRow("unknown short option") << QStringList{"scan", "PRJ", "-q"} << 2
                                              << "corvane-cli scan: unknown option \"-q\"";
        QTest::newRow("--tab without a file") << QStringList{"scan", "PRJ", "--tab"} << 2
                                              << "corvane-cli scan: --tab needs a value";
        QTest::newRow("--save with a value") << QStringList{"scan", "PRJ", "--save=yes"} << 2
                                             << "corvane-cli scan: --save takes no value";
        QTest::newRow("--json twice") << QStringList{"scan", "PRJ", "--json", "a", "--json=b"} << 2
                                      << "corvane-cli scan: --json given twice";
        QTest::newRow("--set without =") << QStringList{"scan", "PRJ", "--set", "txtTimeout"} << 2
                                         << "corvane-cli scan: --set takes KEY=VALUE (got \"txtTimeout\")";

        QTest::newRow("unknown setting")
            << QStringList{"scan", "PRJ", "--set", "nosuchkey=1"} << 2
            << "corvane-cli scan: --set nosuchkey=1: no setting \"nosuchkey\" (\"corvane-cli help settings\" lists them)";
        QTest::newRow("page limit index too high")
            << QStringList{"scan", "PRJ", "--set", "cmbAdvance=99"} << 2
            << "corvane-cli scan: --set cmbAdvance=99: cmbAdvance takes a whole number from 0 to 12";
        QTest::newRow("page limit index negative")
            << QStringList{"scan", "PRJ", "--set=cmbAdvance=-1"} << 2
            << "--set cmbAdvance=-1: cmbAdvance takes a whole number from 0 to 12";
        QTest::newRow("timeout not a number")
            << QStringList{"scan", "PRJ", "--set", "txtTimeout=abc"} << 2
            << "--set txtTimeout=abc: txtTimeout takes a whole number from 1 to 32767";
        QTest::newRow("timeout of no seconds")
            << QStringList{"scan", "PRJ", "--set", "txtTimeout=0"} << 2
            << "--set txtTimeout=0: txtTimeout takes a whole number from 1 to 32767";
        QTest::newRow("more Linking Sites at once than allowed")
            << QStringList{"scan", "PRJ", "--set", "parallelsites=33"} << 2
            << "--set parallelsites=33: ParallelSites takes a whole number from 1 to 32";
        QTest::newRow("no Linking Site at once")
            << QStringList{"scan", "PRJ", "--set", "ParallelSites=0"} << 2
            << "--set ParallelSites=0: ParallelSites takes a whole number from 1 to 32";
        QTest::newRow("check box, key in other letters")
            << QStringList{"scan", "PRJ", "--set", "CHKAUTO=2"} << 2
            << "--set CHKAUTO=2: chkAuto takes 0 or 1";
        QTest::newRow("a setting on a command that reads none")
            << QStringList{"export", "PRJ", "--set", "nosuchkey=1", "--tab", "x"} << 2
            << "corvane-cli export: --set nosuchkey=1: no setting";

        QTest::newRow("export without an output") << QStringList{"export", "PRJ"} << 2
            << "corvane-cli export: nothing to write: give --tab FILE or --json FILE";
        QTest::newRow("report without an output") << QStringList{"report", "PRJ"} << 2
            << "corvane-cli report: nothing to write: give --report FILE or --json FILE";
        QTest::newRow("option of another command") << QStringList{"report", "PRJ", "--tab", "x"} << 2
            << "corvane-cli report: unknown option \"--tab\"";
        QTest::newRow("post --save without --script") << QStringList{"post", "PRJ", "--save"} << 2
            << "corvane-cli post: --save stores the --script URL; give --script URL";
        QTest::newRow("import without a source") << QStringList{"import", "PRJ", "--main", "1"} << 2
            << "corvane-cli import: give exactly one of --linking-sites, --main-sites and --from-link-page";

        QTest::newRow("missing project file") << QStringList{"scan", "none.prj"} << 2
                                              << "corvane-cli scan: cannot open \"";
        QTest::newRow("project without Main Site") << QStringList{"scan", "EMPTY"} << 2
                                                   << "\": the project has no Main Site";
        QTest::newRow("project without Linking Site") << QStringList{"scan", "NOLINKS"} << 2
                                                      << "\": the project has no Linking Site";
        QTest::newRow("first Main Site without Linking Site")
            << QStringList{"scan", "BARE"} << 2
            << "\": Main Site 1 (first.test) has no Linking Site; the scan begins with the first Main Site";
    }
    void argumentsAndTheirOutcome()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, firstErrorLine);
        CliHarness cli;
        const QHash<QString, QByteArray> projects = {
            {QStringLiteral("PRJ"), kOffline},
            {QStringLiteral("EMPTY"), QByteArray()},
            {QStringLiteral("NOLINKS"), "first.test\r\nNEXTSITE:second.test\r\n"},
            {QStringLiteral("BARE"), "first.test\r\nNEXTSITE:second.test\r\npartner.test|1|||\r\n"}};
        for (QString& argument : arguments) {
            if (projects.contains(argument))
                argument = cli.writeFile(argument + QStringLiteral(".prj"), projects.value(argument));
            else if (argument.endsWith(QStringLiteral(".prj")))
                argument = cli.file(argument);
        }
        const CliRun r = cli.run(arguments);
        QCOMPARE(r.status, status);
        if (firstErrorLine.isEmpty()) {
            QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
            QVERIFY(!r.out.isEmpty());
        } else {
            QVERIFY2(r.firstErrorLine().contains(firstErrorLine), qPrintable(r.err));
            QVERIFY(r.firstErrorLine().startsWith(
                arguments.isEmpty() || arguments.first() == QStringLiteral("crawl")
                        || arguments.first() == QStringLiteral("--quiet")
                        || arguments.first() == QStringLiteral("help")
                    ? QStringLiteral("")
                    : QStringLiteral("corvane-cli ") + arguments.first() + QStringLiteral(": ")));
        }
    }

    void versionAndHelpSayWhatTheyShould()
    {
        CliHarness cli;
        const CliRun version = cli.run({QStringLiteral("--version")});
        QCOMPARE(version.out, QStringLiteral("corvane-cli ") + Branding::version() + QStringLiteral(" (")
                                  + Branding::productName() + QStringLiteral("; Qt ")
                                  + QString::fromLatin1(qVersion()) + QStringLiteral(")\n"));

        // Each command's help is its own, and the usage error points at it.
        for (const char* command : {"scan", "report", "export", "post", "import"}) {
            const QString name = QLatin1String(command);
            for (const QStringList& asked : {QStringList{name, QStringLiteral("--help")},
                                             QStringList{QStringLiteral("help"), name}}) {
                const CliRun help = cli.run(asked);
                QCOMPARE(help.status, 0);
                QVERIFY2(help.out.startsWith(QStringLiteral("Usage:\n  corvane-cli ") + name + u' '),
                         qPrintable(help.out));
                QVERIFY(help.out.contains(QLatin1String("Exit status:\n  0 ")));
            }
            const CliRun wrong = cli.run({name, QStringLiteral("--nonsense")});
            QVERIFY2(wrong.err.endsWith(QStringLiteral("Try \"corvane-cli help ") + name + QStringLiteral("\".\n")),
                     qPrintable(wrong.err));
        }
        const CliRun overview = cli.run({QStringLiteral("--help")});
        for (const char* part : {"  scan    ", "  import  ", "--set KEY=VALUE", "130  interrupted by Ctrl+C"})
            QVERIFY2(overview.out.contains(QLatin1String(part)), part);
        const CliRun post = cli.run({QStringLiteral("help"), QStringLiteral("post")});
        for (const char* part : {"$MainSite", "$LinkingSite", "$Status", "$FoundOn", "--dry-run",
                                 "ok=True&page=partner.example%2Flinks.html"})
            QVERIFY2(post.out.contains(QLatin1String(part)), part);
        const CliRun settings = cli.run({QStringLiteral("help"), QStringLiteral("settings")});
        QVERIFY(settings.out.contains(QRegularExpression(QStringLiteral("\n  cmbAdvance +\"4\" +a whole number from 0 to 12\n"))));
    }

    // A stored value its readers would misread is reported once and the default used for the
    // run; the store keeps what the user stored.
    void storedValuesOutOfRangeAreReplacedForTheRun()
    {
        test::TestWebServer server;
        server.setPage(QStringLiteral("partner.test"), QStringLiteral("/"),
                       "<a href=\"http://mine.test/\">mine</a>");
        CliHarness cli;
        cli.network.setRoute(server.route());
        cli.box.settings->WriteSetting(QStringLiteral("cmbAdvance"), QStringLiteral("99"));
        cli.box.settings->WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("abc"));
        cli.box.settings->sync();
        const QString project = cli.writeFile(QStringLiteral("p.prj"), "mine.test\r\npartner.test|1|||\r\n");

        const CliRun r = cli.run({QStringLiteral("scan"), project, QStringLiteral("--quiet")});
        QCOMPARE(r.status, 0); // with the page limit 99 the site would end before its request
        const QStringList lines = r.err.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.at(0), QStringLiteral("corvane-cli scan: the setting txtTimeout=\"abc\" in ")
                                  + cli.box.settings->fileName()
                                  + QStringLiteral(" is not a whole number from 1 to 32767; this run uses \"60\""));
        QVERIFY(lines.at(1).startsWith(QStringLiteral("corvane-cli scan: the setting cmbAdvance=\"99\" in ")));
        QVERIFY(lines.at(2).startsWith(QStringLiteral("1 partner: 1 link back")));
        // A command that does not read it does not hear of it.
        const CliRun post = cli.run({QStringLiteral("post"), project});
        QVERIFY2(!post.err.contains(QLatin1String("cmbAdvance")), qPrintable(post.err));
        SettingsStore stored(cli.box.settings->fileName());
        QCOMPARE(stored.ReadSetting(QStringLiteral("cmbAdvance")), QStringLiteral("99"));

        // A value given for the run takes the place of the stored one without a word about it.
        CliHarness again;
        again.box.settings->WriteSetting(QStringLiteral("cmbAdvance"), QStringLiteral("99"));
        const QString offline = again.writeFile(QStringLiteral("p.prj"), kOffline);
        const CliRun set = again.run({QStringLiteral("scan"), offline, QStringLiteral("--quiet"),
                                      QStringLiteral("--set"), QStringLiteral("cmbAdvance=0")});
        QVERIFY2(!set.err.contains(QLatin1String("cmbAdvance")), qPrintable(set.err));
    }
};

CORVANE_TEST_CLASS(CommandLineTest);
#include "CommandLineTest.moc"
