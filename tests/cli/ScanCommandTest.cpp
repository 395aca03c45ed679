#include "branding/Branding.h"
#include "cli/CliHarness.h"
#include "model/Project.h"
#include "model/ProjectFormat.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QDateTime>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <csignal>

using namespace corvane;
using test::CliHarness;
using test::CliRun;

namespace {

// Two Main Sites; partner a links back, b has no link, c answers 404.
const QByteArray kProject = "mine.test\r\n"
                            "a.test|1|||\r\n"
                            "b.test|1|||\r\n"
                            "NEXTSITE:www.shop.test\r\n"
                            "c.test|1|||\r\n";

void servePartners(test::TestWebServer& server)
{
    server.setPage(QStringLiteral("a.test"), QStringLiteral("/"), "<a href=\"http://mine.test/\">me</a>");
    server.setPage(QStringLiteral("b.test"), QStringLiteral("/"), "<p>no links here</p>");
    server.setPage(QStringLiteral("c.test"), QStringLiteral("/"), "gone", "404 Not Found");
}

// Durations vary from run to run.
QString withoutTimes(QString text)
{
    return text.replace(QRegularExpression(QStringLiteral("\\d+(\\.\\d)? s\\b")), QStringLiteral("T s"));
}

QJsonObject readJson(const QString& path)
{
    return QJsonDocument::fromJson(test::readAll(path)).object();
}

} // namespace

class ScanCommandTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // A partner whose only link is nofollow links back; --strict says so in the exit status.
    void strictCountsLinksThatPassNoValue()
    {
        test::TestWebServer server;
        server.setPage(QStringLiteral("a.test"), QStringLiteral("/"),
                       "<a rel=\"nofollow\" href=\"http://mine.test/\">me</a>");
        server.setPage(QStringLiteral("b.test"), QStringLiteral("/"),
                       "<a href=\"http://mine.test/\">me</a>");
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project
            = cli.writeFile(QStringLiteral("p.prj"), "mine.test\r\na.test|1|||\r\nb.test|1|||\r\n");
        for (const bool strict : {false, true}) {
            QStringList args{QStringLiteral("scan"), project, QStringLiteral("--quiet")};
            if (strict)
                args << QStringLiteral("--strict");
            const CliRun r = cli.run(args);
            QCOMPARE(r.status, strict ? 1 : 0);
            // The second scan counts its changes against the first.
            QCOMPARE(withoutTimes(r.err),
                     QStringLiteral("2 partners: 2 link back, 0 missing, 0 errors; 1 link passes no "
                                    "value (nofollow, sponsored, ugc, noindex, robots.txt, "
                                    "canonical); 2 pages in T s")
                         + (strict ? QStringLiteral("; no changes since ")
                                         + QDate::currentDate().toString(Qt::ISODate)
                                   : QString())
                         + u'\n');
        }
    }

    // A partner behind a bot wall is counted apart: not missing, with --strict neither; the name
    // the user sets for the client is the one sent.
    void blockedPartnersAreCountedApart()
    {
        test::TestWebServer server;
        server.setPage(QStringLiteral("a.test"), QStringLiteral("/"),
                       "<a href=\"http://mine.test/\">me</a>");
        for (const char* walled : {"b.test", "c.test"})
            server.setPage(QString::fromLatin1(walled), QStringLiteral("/"),
                           "<title>Attention Required! | Shield</title>", "403 Forbidden");
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = cli.writeFile(QStringLiteral("p.prj"),
                                              "mine.test\r\na.test|1|||\r\nb.test|1|||\r\n"
                                              "c.test|1|||\r\n");
        const QString json = cli.file(QStringLiteral("out.json"));
        for (const bool strict : {false, true}) {
            QStringList args{QStringLiteral("scan"), project, QStringLiteral("--json"), json,
                             QStringLiteral("--set"), QStringLiteral("UserAgent=Mozilla/5.0 (X11)")};
            if (strict)
                args << QStringLiteral("--strict");
            const CliRun r = cli.run(args);
            QCOMPARE(r.status, 0);
            // The changes since the last scan follow on the same line.
            QVERIFY2(withoutTimes(r.err).contains(
                         QStringLiteral("[3/3] c.test: None Found (Blocked by bot protection) (1 "
                                        "page, T s)\n3 partners: 1 link back, 0 missing, 0 "
                                        "errors, 2 blocked; 3 pages in T s")),
                     qPrintable(r.err));
            QVERIFY(r.out.contains(QStringLiteral("Errors (2):\nBlocked by bot protection\tb.test/\n"
                                                  "Blocked by bot protection\tc.test/\n")));
            const QJsonObject doc = readJson(json);
            QCOMPARE(doc["summary"].toObject()["blocked"].toInt(), 2);
            QCOMPARE(doc["linkingSites"].toArray().at(1).toObject()["blocked"].toBool(), true);
        }
        for (const test::TestWebServer::Request& request : server.requests())
            QVERIFY2(request.raw.contains("\r\nUser-Agent: Mozilla/5.0 (X11)\r\n"),
                     request.raw.constData());
    }

    void scanTellsEachPartnerAndWritesWhatWasAsked()
    {
        test::TestWebServer server;
        servePartners(server);
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = cli.writeFile(QStringLiteral("p.prj"), kProject);
        const QString tab = cli.file(QStringLiteral("results"));
        const QString json = cli.file(QStringLiteral("out.json"));
        const QString report = cli.file(QStringLiteral("report.html"));
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        const CliRun r = cli.run({QStringLiteral("scan"), project, QStringLiteral("--tab"), tab,
                                  QStringLiteral("--json"), json, QStringLiteral("--report"), report,
                                  QStringLiteral("--save")});

        QCOMPARE(r.status, 1);
        QCOMPARE(withoutTimes(r.err),
                 QStringLiteral("Main Site 1 of 2: mine.test\n"
                                "[1/3] a.test: Direct Link (1 page, T s)\n"
                                "[2/3] b.test: None Found (1 page, T s)\n"
                                "Main Site 2 of 2: www.shop.test\n"
                                "[3/3] c.test: None Found (404 Not found) (1 page, T s)\n"
                                "3 partners: 1 link back, 1 missing, 1 error; 3 pages in T s\n"));
        QVERIFY2(r.out.startsWith(QStringLiteral("Results (3):\nmine.test\ta.test\tDirect Link\t001\ta.test\ttext \"me\"\n")),
                 qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("Errors (1):\n404 Not found\tc.test/\n")));
        QVERIFY(r.out.endsWith(QStringLiteral("Saved ") + project + u'\n'));

        // The JSON holds the rows of the tab-delimited file of the same scan, field for field.
        const QJsonObject doc = readJson(json);
        const QList<QByteArray> tabLines = test::readAll(tab + QStringLiteral(".tab")).split('\n');
        QCOMPARE(tabLines.at(0), QByteArray("Main\tRemote\tStatus\tNo.\tURL\tNotes\tChange\r"));
        const QJsonArray results = doc.value(QStringLiteral("results")).toArray();
        QCOMPARE(results.size(), 3);
        QCOMPARE(tabLines.size(), 2 + results.size() + 2);
        for (int i = 0; i < results.size(); ++i) {
            const QJsonObject row = results.at(i).toObject();
            QStringList fields;
            for (const char* key : {"main", "remote", "status", "number", "url", "notes", "change"})
                fields << row.value(QLatin1String(key)).toString();
            QCOMPARE(fields.join(u'\t') + u'\r', QString::fromLatin1(tabLines.at(2 + i)));
        }
        QCOMPARE(results.at(0).toObject().value(QStringLiteral("found")).toBool(), true);
        QCOMPARE(results.at(2).toObject().value(QStringLiteral("reason")).toString(), QStringLiteral("404 Not found"));
        QCOMPARE(doc.value(QStringLiteral("errors")).toArray().at(0).toObject().value(QStringLiteral("url")).toString(),
                 QStringLiteral("c.test/"));

        const QJsonObject summary = doc.value(QStringLiteral("summary")).toObject();
        QCOMPARE(summary, (QJsonObject{{"total", 3}, {"linksBack", 1}, {"missing", 1}, {"errors", 1}, {"blocked", 0}, {"notChecked", 0}}));
        const QJsonArray partners = doc.value(QStringLiteral("linkingSites")).toArray();
        QCOMPARE(partners.size(), 3);
        QStringList verdicts;
        for (const QJsonValue& p : partners)
            verdicts << p.toObject().value(QStringLiteral("verdict")).toString();
        QCOMPARE(verdicts, (QStringList{"linksBack", "missing", "error"}));
        const QJsonObject c = partners.at(2).toObject();
        QCOMPARE(c.value(QStringLiteral("main")).toString(), QStringLiteral("shop.test"));
        QCOMPARE(c.value(QStringLiteral("mainSitePosition")).toInt(), 2);
        QCOMPARE(c.value(QStringLiteral("pages")).toInt(), 1);
        QCOMPARE(doc.value(QStringLiteral("statistics")).toObject().value(QStringLiteral("linkingSitesScanned")).toInt(), 3);
        QCOMPARE(doc.value(QStringLiteral("complete")).toBool(), true);
        QVERIFY(doc.value(QStringLiteral("stopped")).isNull());
        QCOMPARE(doc.value(QStringLiteral("version")).toString(), Branding::version());
        const QDateTime started = QDateTime::fromString(doc.value(QStringLiteral("started")).toString(), Qt::ISODate);
        const QDateTime finished = QDateTime::fromString(doc.value(QStringLiteral("finished")).toString(), Qt::ISODate);
        QVERIFY(started >= before && started <= finished && finished <= QDateTime::currentDateTime());

        QVERIFY(!test::readAll(report).contains("Scan stopped"));
        Project saved;
        QVERIFY(ProjectFormat::deserialize(saved, test::readAll(project)).complete);
        QCOMPARE(saved.results().count(), 3);

        // For cron: the summary alone, and the same exit status.
        CliHarness quiet;
        quiet.network.setRoute(server.route());
        const CliRun q = quiet.run({QStringLiteral("scan"), quiet.writeFile(QStringLiteral("p.prj"), kProject),
                                    QStringLiteral("--quiet"), QStringLiteral("--json"), json});
        QCOMPARE(q.status, 1);
        QVERIFY(q.out.isEmpty());
        QCOMPARE(withoutTimes(q.err), QStringLiteral("3 partners: 1 link back, 1 missing, 1 error; 3 pages in T s\n"));
    }

    void everyPartnerLinkingBackEndsWithZero()
    {
        test::TestWebServer server;
        servePartners(server);
        server.setPage(QStringLiteral("c.test"), QStringLiteral("/"), "<a href=\"http://www.shop.test/\">shop</a>");
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = cli.writeFile(QStringLiteral("p.prj"), "mine.test\r\na.test|1|||\r\nNEXTSITE:shop.test\r\nc.test|1|||\r\n");
        const CliRun r = cli.run({QStringLiteral("scan"), project, QStringLiteral("--quiet")});
        QCOMPARE(r.status, 0);
        QCOMPARE(withoutTimes(r.err), QStringLiteral("2 partners: 2 link back, 0 missing, 0 errors; 2 pages in T s\n"));
    }

    // On a terminal the verdicts are coloured and a live line shows the Linking Site in
    // progress; it is gone when the summary comes.
    void terminalGetsALiveLineAndColour()
    {
        test::TestWebServer server;
        servePartners(server);
        for (const bool colour : {true, false}) {
            CliHarness cli;
            cli.terminal = true;
            cli.colour = colour;
            cli.network.setRoute(server.route());
            const CliRun r = cli.run({QStringLiteral("scan"), cli.writeFile(QStringLiteral("p.prj"), kProject)});
            QCOMPARE(r.status, 1);
            const QString err = withoutTimes(r.err);
            if (colour) {
                QVERIFY2(err.contains(QStringLiteral("\r\x1b[K\x1b[2m[1/3] a.test  page 1 of 1  1 page so far, T s\x1b[0m")), qPrintable(err));
                QVERIFY(err.contains(QStringLiteral("\r\x1b[K[1/3] a.test: \x1b[32mDirect Link\x1b[0m (1 page, T s)\n")));
                QVERIFY(err.contains(QStringLiteral("[2/3] b.test: \x1b[33mNone Found\x1b[0m")));
                QVERIFY(err.contains(QStringLiteral("[3/3] c.test: \x1b[31mNone Found (404 Not found)\x1b[0m")));
            } else {
                QVERIFY2(err.contains(QStringLiteral("\r\x1b[K[1/3] a.test  page 1 of 1  1 page so far, T s")), qPrintable(err));
                QVERIFY(!err.contains(QStringLiteral("\x1b[3")));
            }
            QVERIFY2(err.endsWith(QStringLiteral("\n3 partners: 1 link back, 1 missing, 1 error; 3 pages in T s\n")), qPrintable(err));
        }
    }

    // A scan fetches many pages a second: the live line is redrawn at most ten times a second,
    // and a page that keeps the scan waiting is on the screen while it does.
    void liveLineKeepsUpWithoutFlooding()
    {
        constexpr int kPages = 40;
        test::TestWebServer server;
        QByteArray index;
        for (int i = 1; i < kPages; ++i) {
            index += "<a href=\"p" + QByteArray::number(i) + ".htm\">" + QByteArray::number(i) + "</a>\n";
            server.setPage(QStringLiteral("partner.test"), QStringLiteral("/p%1.htm").arg(i), "no links here");
        }
        index += "<a href=\"slow.htm\">s</a>";
        server.setPage(QStringLiteral("partner.test"), QStringLiteral("/"), index);
        server.setSilent(QStringLiteral("partner.test"), QStringLiteral("/slow.htm"));
        CliHarness cli;
        cli.terminal = true;
        cli.network.setRoute(server.route());
        QString shownWhileWaiting;
        QString err;
        QTextStream errStream(&err);
        QString out;
        QTextStream outStream(&out);
        cli::Environment env{outStream, errStream, true, false, nullptr, cli.box.settings.get(), &cli.network};
        // Looked at while the last page waits, between its first and second silent second: timed
        // from its request, so a slow machine that takes longer over the 40 pages does not matter.
        QObject::connect(&server, &test::TestWebServer::requestReceived, &server,
                         [&](const test::TestWebServer::Request& request) {
                             if (request.path != "/slow.htm")
                                 return;
                             QTimer::singleShot(1400, &server, [&] {
                                 errStream.flush();
                                 shownWhileWaiting = err;
                             });
                         });
        const int status = cli::run({QStringLiteral("corvane-cli"), QStringLiteral("scan"),
                                     cli.writeFile(QStringLiteral("p.prj"), "mine.test\r\npartner.test/|1|||\r\n"),
                                     QStringLiteral("--set"), QStringLiteral("txtTimeout=3"), QStringLiteral("--set"),
                                     QStringLiteral("chkAuto=0"), QStringLiteral("--app-dir"), cli.box.app.path()},
                                    env);
        QCOMPARE(status, 1);
        QVERIFY2(withoutTimes(shownWhileWaiting).endsWith(QStringLiteral("\r\x1b[K[1/1] partner.test/  page 41 of 41  41 pages so far, T s  no answer: 1 of 3 seconds")),
                 qPrintable(shownWhileWaiting));
        QVERIFY2(err.count(QStringLiteral("\x1b[K")) < kPages / 2, qPrintable(err));
        QVERIFY(err.contains(QStringLiteral("[1/1] partner.test/: None Found (Timeout) (41 pages, ")));
    }

    // Ctrl+C and a request to end go through the program's own signal handling: the scan stops,
    // the files are still written and say so, and the exit status tells which it was.
    void signalsStopTheScanAndTheFilesSaySo_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stopped");
        QTest::addColumn<QString>("message");
        QTest::newRow("Ctrl+C") << SIGINT << 130 << "interrupted" << "the scan was interrupted by Ctrl+C";
        QTest::newRow("SIGTERM") << SIGTERM << 1 << "terminated"
                                 << "the scan was stopped by a request to end (SIGTERM)";
    }
    void signalsStopTheScanAndTheFilesSaySo()
    {
        QFETCH(int, signal);
        QFETCH(int, status);
        QFETCH(QString, stopped);
        QFETCH(QString, message);
        test::TestWebServer server;
        server.setSilent(QStringLiteral("silent.test"), QStringLiteral("/"));
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = cli.writeFile(
            QStringLiteral("p.prj"), "mine.test\r\nmy site.test|1|||\r\nsilent.test|1|||\r\nthird.test|1|||\r\n");
        const QString tab = cli.file(QStringLiteral("out.tab"));
        const QString report = cli.file(QStringLiteral("out.htm"));
        const QString json = cli.file(QStringLiteral("out.json"));
        // The request is on its way when the signal comes; the watcher is the program's own.
        QObject::connect(&server, &test::TestWebServer::requestReceived, &server, [signal] { ::raise(signal); });
        const CliRun r = cli.run({QStringLiteral("scan"), project, QStringLiteral("--tab"), tab, QStringLiteral("--report"),
                                  report, QStringLiteral("--json"), json, QStringLiteral("--save"), QStringLiteral("--quiet")});

        QCOMPARE(r.status, status);
        // The three were asked for at once: three pages, whatever came of them.
        QCOMPARE(withoutTimes(r.err),
                 QStringLiteral("corvane-cli scan: ") + message
                     + QStringLiteral("; 2 of 3 Linking Sites not checked\n"
                                      "3 partners: 0 link back, 0 missing, 1 error, 2 not checked; 3 pages in T s\n"));
        const QByteArray note = "Scan stopped before the end (" + stopped.toLatin1() + "): 1 of 3 Linking Sites checked.";
        QCOMPARE(test::readAll(tab), "Main\tRemote\tStatus\tNo.\tURL\tNotes\tChange\r\n\r\n"
                                     "mine.test\tmy site.test\tNone Found (Invalid Host)\t000\tmy site.test\t"
                                     "\t\r\n" // the project's first scan: no change to tell
                                     + note + "\r\n\r\n");
        QVERIFY(test::readAll(report).contains(QByteArray("<BR><BR>\r\n<b>" + note + "</b><BR><BR>\r\n<hr>")));
        const QJsonObject doc = readJson(json);
        QCOMPARE(doc.value(QStringLiteral("complete")).toBool(true), false);
        QCOMPARE(doc.value(QStringLiteral("stopped")).toString(), stopped);
        const QJsonArray partners = doc.value(QStringLiteral("linkingSites")).toArray();
        QCOMPARE(partners.size(), 3);
        QCOMPARE(partners.at(1).toObject().value(QStringLiteral("verdict")).toString(), QStringLiteral("notChecked"));
        QCOMPARE(partners.at(1).toObject().value(QStringLiteral("pages")).toInt(), 1);
        QCOMPARE(partners.at(2).toObject().value(QStringLiteral("linkingSite")).toString(), QStringLiteral("third.test"));
        Project saved;
        QVERIFY(ProjectFormat::deserialize(saved, test::readAll(project)).complete);
        QCOMPARE(saved.results().count(), 1);
    }

    void appDirIsCreatedAndSeeded()
    {
        CliHarness cli;
        const QString appDir = cli.file(QStringLiteral("elsewhere/app"));
        QString out;
        QString err;
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        cli::Environment env{outStream, errStream, false, false, nullptr, cli.box.settings.get(), &cli.network};
        const int status = cli::run({QStringLiteral("corvane-cli"), QStringLiteral("scan"),
                                     cli.writeFile(QStringLiteral("p.prj"), "mine.test\r\nmy site.test|1|||\r\n"),
                                     QStringLiteral("--app-dir=") + appDir},
                                    env);
        QCOMPARE(status, 1);
        QVERIFY(QFileInfo::exists(appDir + QStringLiteral("/filetypes.txt")));
    }
};

CORVANE_TEST_CLASS(ScanCommandTest);
#include "ScanCommandTest.moc"
