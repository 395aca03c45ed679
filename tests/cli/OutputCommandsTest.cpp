#include "cli/CliHarness.h"
#include "model/Project.h"
#include "model/ProjectFormat.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

using namespace corvane;
using test::CliHarness;
using test::CliRun;

namespace {

QString outputFixture(const QString& name)
{
    return QStringLiteral(CORVANE_TEST_DATA "/output/") + name;
}

// A project with two saved results: a Direct Link and a Missing one (never posted).
QString writePostProject(CliHarness& cli, const QString& single)
{
    Project project;
    project.mainSites().appendUrl(QStringLiteral("mysite.example"));
    project.addList();
    project.setPostSingle(single);
    project.postTargets().appendTarget({QStringLiteral("mysite.example"),
                                        QStringLiteral("http://other.example/$Status")});
    ResultEntry row;
    row.main = QStringLiteral("mysite.example");
    row.remote = QStringLiteral("partner-one.example");
    row.status = QStringLiteral("Direct Link");
    row.url = QStringLiteral("partner-one.example/links.htm");
    project.results().appendEntry(row);
    row.remote = QStringLiteral("partner-two.example");
    project.results().appendEntry(row);
    row.status = QStringLiteral("Missing 001");
    project.results().appendEntry(row);
    const QString prj = cli.file(QStringLiteral("post.prj"));
    test::writeAll(prj, ProjectFormat::serialize(project));
    return prj;
}

} // namespace

class OutputCommandsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void reportIsWrittenFromTheSavedProject()
    {
        CliHarness cli;
        const QString file = cli.file(QStringLiteral("links-report"));
        const CliRun r = cli.run({QStringLiteral("report"), outputFixture(QStringLiteral("mixed.prj")),
                                  QStringLiteral("--report"), file});
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.isEmpty());
        QCOMPARE(r.out, QStringLiteral("Wrote ") + file + QStringLiteral(".htm\n"));
        const QByteArray report = test::readAll(file + QStringLiteral(".htm"));
        QVERIFY(report.startsWith("<html>\r\n"));
        QVERIFY(report.contains("<tr><td>Total Pages Scanned:</td><td> 0</td></tr>"));
        QVERIFY(report.contains("<tr><td>Sites with Reciprocal Links:</td><td>33.33%</td></tr>"));
        QVERIFY(report.endsWith("<BR><BR>\r\n"));
    }

    // The saved results as tab-delimited text and as JSON: no scan ran, so the JSON has no times
    // or statistics, and the Linking Sites are those the results name.
    void exportWritesTheSavedResults()
    {
        CliHarness cli;
        const QString file = cli.file(QStringLiteral("results"));
        const QString json = cli.file(QStringLiteral("results.json"));
        const CliRun r = cli.run({QStringLiteral("export"), outputFixture(QStringLiteral("mixed.prj")),
                                  QStringLiteral("--tab=") + file, QStringLiteral("--json"), json,
                                  QStringLiteral("--quiet")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.isEmpty() && r.err.isEmpty());
        QVERIFY(test::readAll(file + QStringLiteral(".tab")).startsWith(
            "Main\tRemote\tStatus\tNo.\tURL\tNotes\tChange\r\n\r\n"
            "mysite.example\tpartner-one.example\tDirect Link\t001\twww.partner-one.example/links.htm\t\t\r\n"));
        const QJsonObject doc = QJsonDocument::fromJson(test::readAll(json)).object();
        QCOMPARE(doc.value(QStringLiteral("command")).toString(), QStringLiteral("export"));
        for (const char* key : {"started", "finished", "seconds", "complete", "stopped", "statistics"})
            QVERIFY2(doc.value(QLatin1String(key)).isNull(), key);
        QStringList verdicts;
        for (const QJsonValue& p : doc.value(QStringLiteral("linkingSites")).toArray())
            verdicts << p.toObject().value(QStringLiteral("linkingSite")).toString() + u'='
                            + p.toObject().value(QStringLiteral("verdict")).toString();
        QCOMPARE(verdicts.mid(0, 4), (QStringList{"partner-one.example=linksBack", "partner-two.example=error",
                                                  "partner-three.example=error", "partner-four.example=missing"}));
    }

    void fileProblems_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("firstErrorLine");
        const QString mixed = outputFixture(QStringLiteral("mixed.prj"));
        QTest::newRow("missing project file")
            << QStringList{"export", "/no/such/project.prj", "--tab", "x.tab"}
            << "corvane-cli export: cannot open \"/no/such/project.prj\": ";
        QTest::newRow("unwritable report") << QStringList{"report", mixed, "--report", "/no/such/folder/r.htm"}
                                           << "corvane-cli report: cannot write \"/no/such/folder/r.htm\": Error: ";
        QTest::newRow("unwritable JSON") << QStringList{"export", mixed, "--json", "/no/such/folder/r.json"}
                                         << "corvane-cli export: cannot write \"/no/such/folder/r.json\": Error: ";
        // The bare name exists but the file would go to name.tab: the command line did not name
        // that file, so it is not deleted and nothing is written.
        QTest::newRow("a file the command would not write") << QStringList{"export", mixed, "--tab", "NOTES"}
                                                            << "\" exists and is not the file that would be written";
    }
    void fileProblems()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, firstErrorLine);
        CliHarness cli;
        const QString notes = cli.writeFile(QStringLiteral("notes"), "mine");
        arguments.replaceInStrings(QStringLiteral("NOTES"), notes);
        const CliRun r = cli.run(arguments);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.firstErrorLine().contains(firstErrorLine), qPrintable(r.err));
        QCOMPARE(test::readAll(notes), QByteArray("mine"));
        QVERIFY(!QFile::exists(notes + QStringLiteral(".tab")));
    }

    // Every request is shown with its HTTP status; a failed one makes the exit status 1. Missing
    // rows are never sent.
    void postShowsEachRequestAndFailsOnAFailedOne()
    {
        test::TestWebServer server;
        server.setPage(QStringLiteral("db.example"), QStringLiteral("/add?site=partner-one.example&ok=True"), "added");
        server.setPage(QStringLiteral("db.example"), QStringLiteral("/add?site=partner-two.example&ok=True"), "no such table",
                       "500 Internal Server Error");
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString prj = writePostProject(cli, QStringLiteral("http://db.example/add?site=$LinkingSite&ok=$Status"));

        CliRun r = cli.run({QStringLiteral("post"), prj});
        QCOMPARE(r.status, 1);
        QCOMPARE(r.out, QStringLiteral("[1/2] 200 http://db.example/add?site=partner-one.example&ok=True\n"
                                       "    Returned: added\n"));
        QCOMPARE(r.err, QStringLiteral("[2/2] 500 http://db.example/add?site=partner-two.example&ok=True\n"
                                       "    Returned: no such table\n"
                                       "corvane-cli post: 1 of 2 requests failed\n"));
        QCOMPARE(server.requests().size(), 2);

        // The per-Main-Site choice for this run only.
        r = cli.run({QStringLiteral("post"), prj, QStringLiteral("--set"), QStringLiteral("optScript=1")});
        QCOMPARE(r.status, 1); // other.example has no page here: 404
        QVERIFY2(r.err.startsWith(QStringLiteral("[1/2] 404 http://other.example/True\n")), qPrintable(r.err));
    }

    void postDryRunAndScriptOption()
    {
        test::TestWebServer server;
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString prj = writePostProject(cli, QStringLiteral("http://"));

        CliRun r = cli.run({QStringLiteral("post"), prj, QStringLiteral("--dry-run"), QStringLiteral("--script"),
                            QStringLiteral("links.example/in.php?s=$LinkingSite&p=$FoundOn")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("http://links.example/in.php?s=partner-one.example&p=partner-one.example%2Flinks.htm\n"
                                       "http://links.example/in.php?s=partner-two.example&p=partner-one.example%2Flinks.htm\n"));
        QVERIFY(server.requests().isEmpty());
        QVERIFY(!test::readAll(prj).contains("links.example"));

        test::TestWebServer::Reply ok;
        ok.response = test::TestWebServer::response("200 OK", "ok");
        server.setFallback(ok);
        r = cli.run({QStringLiteral("post"), prj, QStringLiteral("--script=http://links.example/in.php"),
                     QStringLiteral("--save"), QStringLiteral("--quiet")});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.isEmpty() && r.err.isEmpty());
        QCOMPARE(server.requests().size(), 2);
        QVERIFY(test::readAll(prj).contains("\r\nPOSTSINGLE:http://links.example/in.php\r\n"));
    }

    // A URL that names no script would "post" every row to nowhere.
    void postRefusesWhatCannotBePosted_data()
    {
        QTest::addColumn<QString>("single");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("firstErrorLine");
        QTest::newRow("a new project's URL") << "http://" << QStringList{}
                                             << "corvane-cli post: the project's script URL is \"http://\": give one with --script URL";
        QTest::newRow("scheme only, given") << "http://db.example/x" << QStringList{"--script", "HTTPS:// "}
                                            << "the project's script URL is \"HTTPS:// \"";
        QTest::newRow("no row has a Main Site URL") << "http://db.example/x" << QStringList{"--set", "optScript=1"}
                                                    << "corvane-cli post: no result row has a script URL for its Main Site";
    }
    void postRefusesWhatCannotBePosted()
    {
        QFETCH(QString, single);
        QFETCH(QStringList, options);
        QFETCH(QString, firstErrorLine);
        test::TestWebServer server;
        CliHarness cli;
        cli.network.setRoute(server.route());
        QString prj = writePostProject(cli, single);
        if (options.contains(QStringLiteral("optScript=1"))) {
            // The per-site entry names the Main Site as entered, with its scheme: no row matches.
            QByteArray bytes = test::readAll(prj);
            bytes.replace("POSTMULTI:mysite.example|", "POSTMULTI:http://mysite.example|");
            test::writeAll(prj, bytes);
        }
        const CliRun r = cli.run(QStringList{QStringLiteral("post"), prj} + options);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.firstErrorLine().contains(firstErrorLine), qPrintable(r.err));
        QVERIFY(server.requests().isEmpty());
    }

    void postWithoutResultsSaysSo()
    {
        CliHarness cli;
        const CliRun r = cli.run({QStringLiteral("post"), outputFixture(QStringLiteral("empty.prj"))});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.firstErrorLine().startsWith(QStringLiteral("corvane-cli post: the project has no saved results; run \"corvane-cli scan ")),
                 qPrintable(r.err));
    }
};

CORVANE_TEST_CLASS(OutputCommandsTest);
#include "OutputCommandsTest.moc"
