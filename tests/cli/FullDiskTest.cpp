#include "cli/CliHarness.h"
#include "support/FullDisk.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QTest>

using namespace corvane;
using test::CliHarness;
using test::CliRun;

namespace {

// One partner that links back, one saved result, a script URL to post it to.
const QByteArray kProject = "mine.test\r\n"
                            "a.test|1|||\r\n"
                            "HTML01:\r\nHTML02:\r\nHTML03:\r\n"
                            "RESULT:2|mine.test|a.test|Direct Link|001|a.test\r\n"
                            "POSTSINGLE:http://db.test/add?s=$Status\r\n";

} // namespace

// Every command that writes a file, run as a user runs it onto a full disk: it says why the file
// could not be written, exits with an error, and leaves the files that were there as they were.
class FullDiskTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void commandsFailAndKeepTheOldFiles_data()
    {
        QTest::addColumn<QStringList>("arguments"); // P: the project, F: a file on the full disk
        QTest::addColumn<QString>("error");         // the message before the system's reason
        const QString cannotSave = QStringLiteral("cannot save \"P\": ");
        const QString cannotWrite = QStringLiteral("cannot write \"F\": Error: 4 - ");
        QTest::newRow("scan --save") << QStringList{"scan", "P", "--save"} << cannotSave;
        QTest::newRow("scan --tab") << QStringList{"scan", "P", "--tab", "F.tab"} << cannotWrite;
        QTest::newRow("scan --report") << QStringList{"scan", "P", "--report", "F.htm"} << cannotWrite;
        QTest::newRow("scan --json") << QStringList{"scan", "P", "--json", "F.json"} << cannotWrite;
        QTest::newRow("export --tab") << QStringList{"export", "P", "--tab", "F.tab"} << cannotWrite;
        QTest::newRow("export --json") << QStringList{"export", "P", "--json", "F.json"} << cannotWrite;
        QTest::newRow("report --report") << QStringList{"report", "P", "--report", "F.htm"} << cannotWrite;
        QTest::newRow("import") << QStringList{"import", "P", "--linking-sites", "SITES", "--main", "1"}
                                << cannotSave;
        QTest::newRow("post --save") << QStringList{"post", "P", "--script", "http://db.test/new?s=$Status", "--save"}
                                     << cannotSave;
    }
    void commandsFailAndKeepTheOldFiles()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, error);
        test::SmallFileSystem disk;
        if (!disk.problem().isEmpty())
            QSKIP(qPrintable(QStringLiteral("no small file system to fill: ") + disk.problem()));
        test::TestWebServer server;
        server.setPage(QStringLiteral("a.test"), QStringLiteral("/"), "<a href=\"http://mine.test/\">me</a>");
        test::TestWebServer::Reply ok;
        ok.response = test::TestWebServer::response("200 OK", "ok");
        server.setFallback(ok);
        CliHarness cli;
        cli.network.setRoute(server.route());

        const QString project = disk.file(QStringLiteral("p.prj"));
        QVERIFY(test::writeAll(project, kProject));
        const QStringList old = {"F.tab", "F.htm", "F.json"};
        for (const QString& name : old)
            QVERIFY(test::writeAll(disk.file(name), "old " + name.toLatin1()));
        const QString sites = cli.writeFile(QStringLiteral("sites.txt"), "new.test\r\n");
        disk.fill();

        const QString target = arguments.value(3).startsWith(u'F') ? disk.file(arguments.value(3)) : project;
        for (QString& a : arguments)
            a = a == u"P" ? project : a == u"SITES" ? sites : a.startsWith(u"F.") ? disk.file(a) : a;
        const CliRun r = cli.run(arguments);

        QVERIFY2(r.status != 0, qPrintable(r.out + r.err));
        const QString expected = QStringLiteral("corvane-cli ") + arguments.first() + QStringLiteral(": ")
            + QString(error).replace(QStringLiteral("\"P\""), u'"' + project + u'"')
                  .replace(QStringLiteral("\"F\""), u'"' + target + u'"')
            + QStringLiteral("No space left on device");
        QVERIFY2(r.err.contains(expected), qPrintable(r.err));
        QVERIFY2(!r.out.contains(QStringLiteral("Saved ")) && !r.out.contains(QStringLiteral("Wrote ")),
                 qPrintable(r.out));
        QCOMPARE(test::readAll(project), kProject);
        for (const QString& name : old)
            QCOMPARE(test::readAll(disk.file(name)), "old " + name.toLatin1());
    }
};

CORVANE_TEST_CLASS(FullDiskTest);

#include "FullDiskTest.moc"
