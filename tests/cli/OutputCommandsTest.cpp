#include "app/cli/OutputCommands.h"

#include "model/Project.h"
#include "model/ProjectFile.h"
#include "scan/NetworkContext.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QFile>
#include <QTest>

using namespace corvane;

namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

template <typename Command> CliRun run(Command command)
{
    CliRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = command(out, err);
    out.flush();
    err.flush();
    return r;
}

QString outputFixture(const QString& name)
{
    return QStringLiteral(CORVANE_TEST_DATA "/output/") + name;
}

} // namespace

class OutputCommandsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void reportIsWrittenFromTheSavedProject()
    {
        test::Sandbox box;
        const QString file = box.file(QStringLiteral("links-report"));
        const CliRun r = run([&](QTextStream& out, QTextStream& err) {
            return cli::runReport({outputFixture(QStringLiteral("mixed.prj")),
                                   QStringLiteral("--report"), file},
                                  out, err);
        });
        QCOMPARE(r.status, 0);
        QVERIFY(r.err.isEmpty());
        QVERIFY(r.out.contains(QStringLiteral("links-report.htm")));
        const QByteArray report = test::readAll(file + QStringLiteral(".htm"));
        QVERIFY(report.startsWith("<html>\r\n"));
        QVERIFY(report.contains("<tr><td>Total Pages Scanned:</td><td> 0</td></tr>"));
        QVERIFY(report.contains("<tr><td>Sites with Reciprocal Links:</td><td>33.33%</td></tr>"));
        QVERIFY(report.contains("<h3>othersite.example</h3>\r\nSite: <a href='partner-one.example'>"));
        QVERIFY(report.endsWith("<BR><BR>\r\n"));
    }

    void scanReportCarriesThePagesScanned()
    {
        test::Sandbox box;
        Project project;
        QVERIFY(ProjectFile::deserialize(project, test::readAll(outputFixture(QStringLiteral("mixed.prj"))))
                    .complete);
        const QString file = box.file(QStringLiteral("scan.html"));
        QVERIFY(test::writeAll(file, "old"));
        const CliRun r = run([&](QTextStream& out, QTextStream& err) {
            return cli::writeReportFile(project, 9, file, out, err);
        });
        QCOMPARE(r.status, 0);
        const QByteArray report = test::readAll(file);
        QVERIFY(report.contains("<tr><td>Total Pages Scanned:</td><td> 9</td></tr>"));
        QVERIFY(report.contains("<tr><td>Average Pages Scanned Per Site:</td><td>3.00</td>"));
    }

    void exportWritesTheSavedResults()
    {
        test::Sandbox box;
        const QString file = box.file(QStringLiteral("results"));
        const CliRun r = run([&](QTextStream& out, QTextStream& err) {
            return cli::runExport({outputFixture(QStringLiteral("domain_only.prj")),
                                   QStringLiteral("--tab=") + file},
                                  out, err);
        });
        QCOMPARE(r.status, 0);
        QCOMPARE(test::readAll(file + QStringLiteral(".tab")),
                 QByteArray("Main\tRemote\tStatus\tNo.\tURL\r\n\r\n"
                            "mysite.example\tpartner-one.example\tDomain Link\t001\t"
                            "partner-one.example/links.htm\r\n"
                            "mysite.example\tpartner-two.example\tDomain Link\t001\t"
                            "partner-two.example/\r\n\r\n"));
    }

    // The bare name exists but the file would go to name.tab: the command line did not name
    // that file, so it is not deleted and nothing is written.
    void aFileTheCommandWouldNotWriteIsLeftAlone()
    {
        test::Sandbox box;
        const QString file = box.file(QStringLiteral("notes"));
        QVERIFY(test::writeAll(file, "mine"));
        const CliRun r = run([&](QTextStream& out, QTextStream& err) {
            return cli::runExport({outputFixture(QStringLiteral("empty.prj")), QStringLiteral("--tab"),
                                   file},
                                  out, err);
        });
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("nothing written")));
        QCOMPARE(test::readAll(file), QByteArray("mine"));
        QVERIFY(!QFile::exists(file + QStringLiteral(".tab")));
    }

    void failuresAndMistakes_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString mixed = outputFixture(QStringLiteral("mixed.prj"));
        QTest::newRow("report without --report") << "report" << QStringList({mixed}) << 2
                                                 << "--report FILE is needed";
        QTest::newRow("export without project") << "export" << QStringList({"--tab", "x.tab"}) << 2
                                                << "no project file given";
        QTest::newRow("unknown option") << "report" << QStringList({mixed, "--tab", "x"}) << 2
                                        << "unknown option \"--tab\"";
        QTest::newRow("missing project file")
            << "export" << QStringList({"/no/such/project.prj", "--tab", "x.tab"}) << 1
            << "cannot open";
        QTest::newRow("unwritable report")
            << "report" << QStringList({mixed, "--report", "/no/such/folder/r.htm"}) << 1
            << "Error: ";
    }
    void failuresAndMistakes()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        const CliRun r = run([&](QTextStream& out, QTextStream& err) {
            return command == QStringLiteral("report") ? cli::runReport(arguments, out, err)
                                                       : cli::runExport(arguments, out, err);
        });
        QCOMPARE(r.status, status);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
    }

    void postSendsTheSavedResultsAndPrintsTheLog()
    {
        test::Sandbox box;
        test::TestWebServer server;
        NetworkContext network;
        network.setRoute(server.route());
        server.setPage(QStringLiteral("db.example"), QStringLiteral("/add?site=partner-one.example&ok=True"),
                       "added");
        Project project;
        project.mainSites().appendUrl(QStringLiteral("mysite.example"));
        project.addList();
        project.setPostSingle(QStringLiteral("http://db.example/add?site=$LinkingSite&ok=$Status"));
        project.postTargets().appendTarget({QStringLiteral("mysite.example"),
                                            QStringLiteral("http://other.example/$Status")});
        ResultEntry row;
        row.main = QStringLiteral("mysite.example");
        row.remote = QStringLiteral("partner-one.example");
        row.status = QStringLiteral("Direct Link");
        project.results().appendEntry(row);
        const QString prj = box.file(QStringLiteral("post.prj"));
        QVERIFY(test::writeAll(prj, ProjectFile::serialize(project)));

        CliRun r = run([&](QTextStream& out, QTextStream& err) {
            return cli::runPost({prj}, network, *box.settings, out, err);
        });
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("\r\nURL: http://db.example/add?site=partner-one.example&ok=True"
                                       "\r\n\r\nReturned: added\r\n\n"));

        // The per-Main-Site choice for this run only.
        r = run([&](QTextStream& out, QTextStream& err) {
            return cli::runPost({prj, QStringLiteral("--set"), QStringLiteral("optScript=1")},
                                network, *box.settings, out, err);
        });
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains(QStringLiteral("URL: http://other.example/True")));
        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(1).host, QStringLiteral("other.example"));
    }

    void postWithoutResultsSaysSo()
    {
        test::Sandbox box;
        NetworkContext network;
        const CliRun r = run([&](QTextStream& out, QTextStream& err) {
            return cli::runPost({outputFixture(QStringLiteral("empty.prj"))}, network, *box.settings,
                                out, err);
        });
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QStringLiteral("You must perform a scan for reciprocal links first")));
    }
};

CORVANE_TEST_CLASS(OutputCommandsTest);
#include "OutputCommandsTest.moc"
