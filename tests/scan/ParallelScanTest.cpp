#include "model/Project.h"
#include "model/ScanStatistics.h"
#include "net/HostGate.h"
#include "net/NetworkContext.h"
#include "output/ReportWriter.h"
#include "scan/ScanController.h"
#include "scan/SiteScan.h"
#include "support/ScanRig.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QDateTime>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace corvane;
using test::TestWebServer;

namespace {

// One scan of a project of partners through the test web server, with ParallelSites set. The
// servers answer late in different measures, so several at once finish out of project order.
struct Run : test::ScanRig {
    int mostInProgress = 0;

    // Ten watchdog "seconds" of 100 ms: a silent partner is given up after one real second,
    // later than any other partner needs.
    explicit Run(int parallel) : ScanRig(100)
    {
        set("txtTimeout", "10");
        set("ParallelSites", QByteArray::number(parallel));
        set("chkAudioNext", "0");
        test::writeAll(box.file(QStringLiteral("filetypes.txt")), ".htm\r\n.html\r\n.php\r\n");
        QObject::connect(&scan, &ScanController::sitesInProgressChanged, &scan,
                         [this](const QStringList& sites) {
                             mostInProgress = std::max(mostInProgress, int(sites.size()));
                         });
    }

    void set(const char* key, const QByteArray& value)
    {
        box.settings->WriteSetting(QString::fromLatin1(key), QString::fromLatin1(value));
    }
    void page(const char* host, const char* path, const QByteArray& body, int delayMs = 0,
              const QByteArray& status = "200 OK")
    {
        TestWebServer::Reply reply;
        reply.response = TestWebServer::response(status, body);
        reply.delayMs = delayMs;
        server.setReply(QString::fromLatin1(host), QString::fromLatin1(path), reply);
    }
    void site(int k, const char* url, const char* expected = "1")
    {
        project.linkingSites(k)->appendSite(
            {QString::fromLatin1(url), QString::fromLatin1(expected), {}, {}, {}});
    }

    // Everything a scan leaves behind, as text: result rows, error rows, the Linking Sites with
    // their colours, the run's statistics and the report.
    QStringList snapshot()
    {
        QStringList lines;
        const auto record = [](const Record& r) -> QString {
            return r.cells.join(QStringLiteral(" | ")) + QStringLiteral(" | colour ")
                   + QString::number(int(r.colour)) + QStringLiteral(" | icon ")
                   + QString::number(r.icon);
        };
        for (const Record& r : project.results().records())
            lines.append(QStringLiteral("result: ") + record(r));
        for (const Record& r : project.errors().records())
            lines.append(QStringLiteral("error: ") + record(r));
        for (int k = 1; k <= project.mainSiteCount(); ++k) {
            for (const Record& r : project.linkingSites(k)->records())
                lines.append(QStringLiteral("site %1: ").arg(k) + record(r));
        }
        lines.append(QStringLiteral("statistics: %1 main, %2 linking, %3 pages, %4 found, %5 links")
                         .arg(statistics.lMainSitesScanned)
                         .arg(statistics.lLinkingSitesScanned)
                         .arg(statistics.lPagesScanned)
                         .arg(statistics.lPagesFound)
                         .arg(statistics.lLinksFound));
        lines.append(QStringLiteral("historical: %1 pages, %2 links")
                         .arg(box.settings->ReadSetting(QStringLiteral("lHistWebScanned")),
                              box.settings->ReadSetting(QStringLiteral("lHistEmailFound"))));
        ReportWriter report(project, box.app, *box.settings);
        const QString document
            = report
                  .generate(statistics.lPagesScanned,
                            QDateTime(QDate(2026, 12, 11), QTime(1, 0), Qt::UTC), QLocale::c())
                  .document;
        lines.append(document.split(QStringLiteral("\r\n")));
        return lines;
    }
};

// Two Main Sites and their partners: links on later pages, one of three links, an error status,
// a silent server, two partners on one host, a mention only (a redirect outcome), a partner
// expecting nothing, and a partner whose crawl reaches a page on another partner's host.
void buildPartners(Run& r)
{
    r.project.mainSites().appendUrl(QStringLiteral("http://www.mine.test"));
    r.project.addList();
    r.site(1, "a.test");
    r.site(1, "b.test", "3");
    r.site(1, "c.test");
    r.site(1, "d.test");
    r.site(1, "shared.test/one.htm");
    r.site(1, "shared.test/two.htm");
    r.site(1, "e.test");
    r.site(1, "f.test", "0");
    r.site(1, "g.test");
    r.site(1, "h.test");
    r.project.mainSites().appendUrl(QStringLiteral("other.test"));
    r.project.addList();
    r.site(2, "i.test");
    r.site(2, "j.test");
    r.site(2, "k.test");

    // The first partner is the slowest: everything after it waits for its outcome.
    r.page("a.test", "/", "<a href=\"links.htm\">Links</a>\n", 150);
    r.page("a.test", "/links.htm", "<a href=\"more.htm\">More</a>\n", 150);
    r.page("a.test", "/more.htm", "<a href=\"http://www.mine.test/\">Mine</a>\n", 150);
    r.page("b.test", "/", "<a href=\"p2.htm\">2</a> <a href=\"http://mine.test/\">Mine</a>\n", 20);
    r.page("b.test", "/p2.htm", "<p>nothing</p>\n", 10);
    r.page("c.test", "/", "<p>gone</p>\n", 0, "404 Not Found");
    r.server.setSilent(QStringLiteral("d.test"), QStringLiteral("/"));
    r.page("shared.test", "/one.htm",
           "<a href=\"two.htm\">Two</a> <a href=\"http://www.mine.test/\">Mine</a>\n", 40);
    r.page("shared.test", "/two.htm", "<a href=\"one.htm\">One</a>\n", 40);
    r.page("e.test", "/", "<p>Sponsored by www.mine.test</p>\n");
    r.page("g.test", "/", "<a href=\"p2.htm\">2</a>\n", 30);
    r.page("g.test", "/p2.htm", "<a href=\"p3.htm\">3</a>\n", 30);
    r.page("g.test", "/p3.htm", "<a href=\"http://www.mine.test/\">Mine</a>\n", 30);
    r.page("h.test", "/", "<a href=\"http://a.test/out.htm?h.test\">Out</a>\n");
    r.page("a.test", "/out.htm?h.test", "<a href=\"http://www.mine.test/\">Mine</a>\n", 100);
    r.page("i.test", "/", "<a href=\"http://other.test/\">Other</a>\n", 60);
    r.page("j.test", "/", "<p>nothing</p>\n");
    r.page("k.test", "/", "<a href=\"http://other.test/x.htm\">Other</a>\n", 5);
}

} // namespace

class ParallelScanTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The same project scanned one Linking Site at a time and eight at once leaves the same
    // rows, colours, URLs, statistics and report, also when Skip or Stop comes in the middle.
    void sameOutcomeAsOneAtATime_data()
    {
        QTest::addColumn<QString>("chkUpdate");
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("skipType");
        QTest::newRow("whole scan") << "1" << "" << 0;
        QTest::newRow("whole scan, URLs kept") << "0" << "" << 0;
        QTest::newRow("Skip the silent partner") << "1" << "skip" << 0;
        QTest::newRow("Skip its Main Site") << "1" << "skip" << 1;
        QTest::newRow("Stop at the silent partner") << "1" << "stop" << 0;
    }
    void sameOutcomeAsOneAtATime()
    {
        QFETCH(QString, chkUpdate);
        QFETCH(QString, action);
        QFETCH(int, skipType);
        QList<QStringList> snapshots;
        for (const int parallel : {1, 8}) {
            Run r(parallel);
            buildPartners(r);
            r.set("chkUpdate", chkUpdate.toLatin1());
            r.scan.setSkipType(skipType);
            // The button is pressed once the silent partner is the one in progress whose
            // outcome comes next and its request is out, however many run beside it.
            bool acted = false;
            const auto act = [&] {
                const SiteScan* front = r.scan.front();
                bool asked = false;
                for (const TestWebServer::Request& q : r.server.requests())
                    asked = asked || q.host == QStringLiteral("d.test");
                if (acted || action.isEmpty() || !front || front->mainSite() != 1
                    || front->row() != 4 || !asked)
                    return;
                acted = true;
                QTimer::singleShot(0, &r.scan, [&r, action] {
                    if (action == QStringLiteral("skip"))
                        r.scan.Skip();
                    else
                        r.scan.Stop();
                });
            };
            QObject::connect(&r.scan, &ScanController::linkingSiteSelected, &r.scan, act);
            QObject::connect(&r.server, &TestWebServer::requestReceived, &r.scan, act);
            QVERIFY(r.scan.StartScan());
            QTRY_VERIFY_WITH_TIMEOUT(!r.scan.isRunning(), 20000);
            QCOMPARE(acted, !action.isEmpty());
            QVERIFY2(r.server.mostAtOnce() <= 1, qPrintable(r.server.busiestHost()));
            if (parallel > 1)
                QVERIFY(r.mostInProgress > 1);
            snapshots.append(r.snapshot());
        }
        QCOMPARE(snapshots.at(1), snapshots.at(0));
    }

    // One connection per host: a second Linking Site waits, holding nothing meanwhile (two
    // waiting for each other's host would wait for ever), and is told when a host is given up.
    void hostGateLetsOneAtATime()
    {
        HostGate gate;
        int a = 0;
        int b = 0;
        QSignalSpy released(&gate, &HostGate::released);
        QVERIFY(gate.take(QStringLiteral("a.test"), &a));
        QVERIFY(gate.take(QStringLiteral("WWW.A.test"), &a)); // the same host, again
        QVERIFY(gate.take(QStringLiteral("b.test"), &b));
        QVERIFY(!gate.take(QStringLiteral("www.a.test"), &b)); // b waits and gives up b.test
        QVERIFY(gate.take(QStringLiteral("b.test"), &a));      // a moves on to it, leaving a.test
        QVERIFY(!gate.take(QStringLiteral("b.test"), &b));
        QVERIFY(gate.take(QString(), &b)); // no host, nothing to wait for
        const int before = int(released.size());
        gate.release(&a);
        QCOMPARE(int(released.size()), before + 1);
        QVERIFY(gate.take(QStringLiteral("b.test"), &b));
        QVERIFY(gate.take(QStringLiteral("a.test"), &a));
    }
};

CORVANE_TEST_CLASS(ParallelScanTest);
#include "ParallelScanTest.moc"
