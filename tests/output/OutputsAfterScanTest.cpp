#include "OutputTestData.h"
#include "model/ScanStatistics.h"
#include "net/NetworkContext.h"
#include "output/LinkPageBuilder.h"
#include "output/ReportWriter.h"
#include "output/ResultPoster.h"
#include "output/TabExport.h"
#include "scan/ScanController.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QSignalSpy>
#include <QTest>

using namespace corvane;
using test::TestWebServer;

// A real scan over the test web server, then every output made from what it found.
class OutputsAfterScanTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void scanResultsFlowIntoEveryOutput()
    {
        test::Sandbox box;
        box.settings->WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("1"));
        box.settings->WriteSetting(QStringLiteral("chkNewWin"), QStringLiteral("0"));
        Project project;
        ScanStatistics statistics(*box.settings);
        NetworkContext network;
        TestWebServer server;
        network.setRoute(server.route());
        server.setPage(QStringLiteral("good.test"), QStringLiteral("/"),
                       "<html><body><a href=\"http://www.mine.test/\">Mine</a></body></html>");
        server.setPage(QStringLiteral("bad.test"), QStringLiteral("/"),
                       "<html><body>none</body></html>");

        project.mainSites().appendUrl(QStringLiteral("http://www.mine.test"));
        project.addList();
        LinkingSite good = test::site(QStringLiteral("good.test"));
        good.linkPageText = QStringLiteral("Good & Co");
        project.linkingSites(1)->appendSite(good);
        project.linkingSites(1)->appendSite(test::site(QStringLiteral("bad.test")));
        project.setPostSingle(QStringLiteral("http://db.test/add?l=$LinkingSite&s=$Status"));

        ScanController scan(project, *box.settings, statistics, box.app, network);
        ReportWriter writer(project, box.app, *box.settings);
        writer.setStatistics(&statistics);
        QObject::connect(&scan, &ScanController::scanStopped, &writer, &ReportWriter::regenerate);
        QSignalSpy generated(&writer, &ReportWriter::reportGenerated);
        QVERIFY(scan.StartScan());
        QTRY_VERIFY_WITH_TIMEOUT(!project.state().bScanRunning, 10000);
        QCOMPARE(generated.count(), 1);

        QCOMPARE(project.results().count(), 2);
        const QByteArray report = test::readAll(writer.tempReportPath());
        QVERIFY(report.contains("<tr><td>Total Pages Scanned:</td><td> 2</td></tr>"));
        QVERIFY(report.contains("<tr><td>Sites with Reciprocal Links:</td><td>50.00%</td></tr>"));
        QVERIFY(
            report.contains("<h3>http://www.mine.test</h3>\r\n<div class=\"partner found\">"
                            "Site: <a href='http://good.test'>good.test</a><BR>Status: Direct Link<BR>"));
        QVERIFY(report.contains("<div class=\"partner none\">Site: <a href='http://bad.test'>bad.test</a>"
                                "<BR>Status: None Found<BR><BR>"));

        const WriteOutcome tab
            = TabExport::save(project.results(), box.file(QStringLiteral("scan")), {});
        QVERIFY(tab.written());
        QVERIFY(
            test::readAll(tab.path).contains("\r\n\r\nmine.test\tgood.test\tDirect Link\t001\t"));

        LinkPageBuilder builder(project, *box.settings);
        QCOMPARE(builder.generateLinks(QString()).links,
                 QStringLiteral("<a href=\"http://good.test\">Good & Co</a><br><br>\r\n"));

        ResultPoster poster(project, *box.settings, network);
        QSignalSpy finished(&poster, &ResultPoster::postFinished);
        const qsizetype before = server.requests().size();
        QVERIFY(poster.post());
        QVERIFY(finished.wait(10000));
        const QList<TestWebServer::Request> posted = server.requests().mid(before);
        QCOMPARE(posted.size(), 2);
        QCOMPARE(posted.at(0).host, QStringLiteral("db.test"));
        QCOMPARE(posted.at(0).path, QByteArray("/add?l=good.test&s=True"));
        QCOMPARE(posted.at(1).path, QByteArray("/add?l=bad.test&s=False"));
    }
};

CORVANE_TEST_CLASS(OutputsAfterScanTest);
#include "OutputsAfterScanTest.moc"
