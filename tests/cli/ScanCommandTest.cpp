#include "app/cli/Cli.h"
#include "app/cli/ScanCommand.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/SettingsStore.h"
#include "scan/NetworkContext.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QDir>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

using namespace corvane;

namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

// The scan command run in-process on a sandboxed settings store. None of these projects needs a
// web server: their Linking Sites end without a request, or the test interrupts the scan.
struct ScanCli {
    test::Sandbox box;
    NetworkContext network;
    cli::Interrupt interrupt;

    CliRun scan(const QStringList& arguments, bool terminal = false)
    {
        CliRun r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        cli::Environment env{out, err, terminal, &interrupt};
        QStringList all = arguments;
        all << QStringLiteral("--app-dir") << box.app.path();
        r.status = cli::runScan(all, *box.settings, network, env);
        out.flush();
        err.flush();
        return r;
    }

    QString writeProject(const QString& name, const QByteArray& lines)
    {
        const QString path = box.dir.filePath(name);
        test::writeAll(path, lines);
        return path;
    }
};

CliRun runCli(const QStringList& arguments)
{
    CliRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = cli::run(arguments, out, err);
    out.flush();
    err.flush();
    return r;
}

// A Linking Site whose host name cannot be asked for ends at once, and one with "#" 0 ends
// before its first request.
const QByteArray kOffline = "http://www.mine.test\r\n"
                            "my site.test|1|||\r\n"
                            "links.test|0|||\r\n"
                            "NEXTSITE:other.test\r\n";

} // namespace

class ScanCommandTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpAndCommands()
    {
        const CliRun help = runCli({QStringLiteral("corvane-cli"), QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        for (const char* part : {"scan PROJECT.prj", "report PROJECT.prj", "export PROJECT.prj",
                                 "post PROJECT.prj", "import PROJECT.prj", "--app-dir DIR",
                                 "--set KEY=VALUE"})
            QVERIFY2(help.out.contains(QLatin1String(part)), part);
        QCOMPARE(runCli({QStringLiteral("corvane-cli"), QStringLiteral("scan"),
                         QStringLiteral("--help")}).status, 0);

        const CliRun none = runCli({QStringLiteral("corvane-cli")});
        QCOMPARE(none.status, 2);
        QVERIFY(none.err.contains(QLatin1String("Usage:")));
        const CliRun unknown = runCli({QStringLiteral("corvane-cli"), QStringLiteral("crawl")});
        QCOMPARE(unknown.status, 2);
        QVERIFY(unknown.err.contains(QLatin1String("unknown command \"crawl\"")));
    }

    void usageMistakes_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("no project") << QStringList{} << "no project file given";
        QTest::newRow("two projects") << QStringList{"a.prj", "b.prj"} << "one project file only";
        QTest::newRow("unknown option") << QStringList{"a.prj", "--fast"} << "unknown option \"--fast\"";
        QTest::newRow("--set without =") << QStringList{"a.prj", "--set", "txtTimeout"} << "--set takes KEY=VALUE";
        QTest::newRow("--tab without file") << QStringList{"a.prj", "--tab"} << "--tab needs a value";
        QTest::newRow("--save with a value") << QStringList{"a.prj", "--save=yes"} << "--save takes no value";
        QTest::newRow("--tab twice") << QStringList{"a.prj", "--tab", "x", "--tab=y"} << "--tab given twice";
    }
    void usageMistakes()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        ScanCli cli;
        const CliRun r = cli.scan(arguments);
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(r.err.contains(QLatin1String("Usage:")));
        QVERIFY(r.out.isEmpty());
    }

    void fileProblems_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << "missing.prj" << QByteArray() << "cannot open";
        QTest::newRow("unreadable line") << "broken.prj"
                                         << QByteArray("mine.test\r\na.test|1|||\r\nRESULT:x|a|b\r\n")
                                         << "line 3";
        QTest::newRow("no Main Site") << "empty.prj" << QByteArray("")
                                      << "Please enter the Domain you want to find links to.";
        QTest::newRow("no Linking Site") << "bare.prj" << QByteArray("mine.test\r\n")
                                         << "Please enter at least one website to search for links.";
    }
    void fileProblems()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        ScanCli cli;
        const QString path = name == QStringLiteral("missing.prj")
                                 ? cli.box.dir.filePath(name)
                                 : cli.writeProject(name, content);
        const QByteArray before = test::readAll(path);
        const CliRun r = cli.scan({path, QStringLiteral("--save")});
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(r.err.contains(name), qPrintable(r.err));
        QCOMPARE(test::readAll(path), before);
    }

    void scanPrintsRowsAndWritesWhatWasAsked()
    {
        ScanCli cli;
        const QString project = cli.writeProject(QStringLiteral("sites.prj"), kOffline);
        const QString tab = cli.box.dir.filePath(QStringLiteral("results"));
        const CliRun r = cli.scan({project, QStringLiteral("--tab"), tab, QStringLiteral("--save")});

        QCOMPARE(r.status, 1);
        QVERIFY(r.out.contains(QLatin1String(
            "Results (2):\n"
            "mine.test\tmy site.test\tNone Found (Invalid Host)\t000\tmy site.test\n"
            "mine.test\tlinks.test\tNone Found\t000\tlinks.test\n"
            "Errors (0):\n")));
        // One plain progress line per page off a terminal.
        QCOMPARE(r.err, QStringLiteral("Main Site 1 of 2  my site.test  my site.test\n"));

        QCOMPARE(test::readAll(tab + QStringLiteral(".tab")),
                 QByteArray("Main\tRemote\tStatus\tNo.\tURL\r\n\r\n"
                            "mine.test\tmy site.test\tNone Found (Invalid Host)\t000\tmy site.test\r\n"
                            "mine.test\tlinks.test\tNone Found\t000\tlinks.test\r\n\r\n"));

        Project saved;
        QVERIFY(ProjectFile::deserialize(saved, test::readAll(project)).complete);
        QCOMPARE(saved.results().count(), 2);
        QCOMPARE(saved.results().entry(0).status, QStringLiteral("None Found (Invalid Host)"));
        QCOMPARE(saved.mainSiteCount(), 2);
        QCOMPARE(saved.linkingSites(1)->url(1), QStringLiteral("links.test"));
    }

    void progressRewritesOneLineOnATerminal()
    {
        ScanCli cli;
        const QString project = cli.writeProject(QStringLiteral("sites.prj"), kOffline);
        const CliRun r = cli.scan({project}, true);
        QCOMPARE(r.err, QStringLiteral("\r\x1b[KMain Site 1 of 2  my site.test  my site.test\n"));
    }

    // A scan fetches many pages a second: on a terminal the line is redrawn at most ten times a
    // second and ends on the last page; a log gets a line for every page.
    void progressOfAScanOfManyPages()
    {
        constexpr int kPages = 40;
        test::TestWebServer server;
        QByteArray index;
        for (int i = 1; i < kPages; ++i) {
            index += "<a href=\"p" + QByteArray::number(i) + ".htm\">" + QByteArray::number(i) + "</a>\n";
            server.setPage(QStringLiteral("partner.test"), QStringLiteral("/p%1.htm").arg(i), "no links here");
        }
        server.setPage(QStringLiteral("partner.test"), QStringLiteral("/"), index);
        for (const bool terminal : {true, false}) {
            ScanCli cli;
            cli.network.setRoute(server.route());
            const QString project = cli.writeProject(QStringLiteral("sites.prj"), "mine.test\r\npartner.test/|1|||\r\n");
            const CliRun r = cli.scan({project, QStringLiteral("--set"), QStringLiteral("chkAuto=0")}, terminal);
            QCOMPARE(r.status, 1);
            const QString last = QStringLiteral("Main Site 1 of 1  partner.test/  partner.test/p%1.htm").arg(kPages - 1);
            if (terminal) {
                QVERIFY2(r.err.startsWith(QStringLiteral("\r\x1b[KMain Site 1 of 1  partner.test/  partner.test/\r\x1b[K")), qPrintable(r.err));
                QVERIFY2(r.err.endsWith(QStringLiteral("\r\x1b[K") + last + u'\n'), qPrintable(r.err));
                QVERIFY2(r.err.count(QStringLiteral("\x1b[K")) < kPages / 2, qPrintable(r.err));
            } else {
                QCOMPARE(r.err.count(u'\n'), kPages);
                QVERIFY(r.err.endsWith(last + u'\n'));
            }
        }
    }

    // A page that keeps the scan waiting is shown while it does, though it came too soon after
    // the line before to be drawn at once.
    void aWaitingPageIsShownWhileItWaits()
    {
        test::TestWebServer server;
        server.setPage(QStringLiteral("partner.test"), QStringLiteral("/"),
                       "<a href=\"fast.htm\">f</a><a href=\"slow.htm\">s</a>");
        server.setPage(QStringLiteral("partner.test"), QStringLiteral("/fast.htm"), "quick");
        server.setSilent(QStringLiteral("partner.test"), QStringLiteral("/slow.htm"));
        ScanCli cli;
        cli.network.setRoute(server.route());
        const QString project = cli.writeProject(QStringLiteral("sites.prj"), "mine.test\r\npartner.test/|1|||\r\n");
        QString err;
        QString out;
        QTextStream errStream(&err);
        QTextStream outStream(&out);
        cli::Environment env{outStream, errStream, true, &cli.interrupt};
        QString shownWhileWaiting;
        QTimer::singleShot(500, &server, [&] { shownWhileWaiting = err; });
        cli::runScan({project, QStringLiteral("--set"), QStringLiteral("txtTimeout=1"), QStringLiteral("--set"),
                      QStringLiteral("chkAuto=0"), QStringLiteral("--app-dir"), cli.box.app.path()},
                     *cli.box.settings, cli.network, env);
        QVERIFY2(shownWhileWaiting.endsWith(QStringLiteral("\x1b[KMain Site 1 of 1  partner.test/  partner.test/slow.htm")),
                 qPrintable(shownWhileWaiting));
    }

    void setHoldsForThisRunOnly()
    {
        ScanCli cli;
        // Outside the page-limit table the limit stays 0: the site ends before any request.
        const QString project =
            cli.writeProject(QStringLiteral("sites.prj"), "mine.test\r\npartner.test|1|||\r\n");
        const CliRun r = cli.scan({project, QStringLiteral("--set"), QStringLiteral("cmbAdvance=13"),
                                   QStringLiteral("--set=chkAudioNext=0")});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.contains(QLatin1String("mine.test\tpartner.test\tNone Found\t000\tpartner.test\n")));
        QVERIFY(r.err.isEmpty());
        cli.box.settings->sync();
        SettingsStore stored(cli.box.dir.filePath(QStringLiteral("settings.ini")));
        QCOMPARE(stored.ReadSetting(QStringLiteral("cmbAdvance")), QStringLiteral("4"));
    }

    void appDirIsCreatedAndSeeded()
    {
        ScanCli cli;
        const QString project = cli.writeProject(QStringLiteral("sites.prj"), kOffline);
        const QString appDir = cli.box.dir.filePath(QStringLiteral("elsewhere/app"));
        CliRun r;
        QTextStream out(&r.out);
        QTextStream err(&r.err);
        cli::Environment env{out, err};
        r.status = cli::runScan({project, QStringLiteral("--app-dir=") + appDir}, *cli.box.settings,
                                cli.network, env);
        QCOMPARE(r.status, 1);
        QVERIFY(QFileInfo::exists(appDir + QStringLiteral("/filetypes.txt")));
    }

    void interruptStopsTheScanAndStillWrites()
    {
        ScanCli cli;
        // The second site is an address nothing answers from, so the scan waits on it until
        // interrupted.
        const QString project = cli.writeProject(
            QStringLiteral("sites.prj"), "mine.test\r\nmy site.test|1|||\r\n192.0.2.1|1|||\r\n");
        const QString tab = cli.box.dir.filePath(QStringLiteral("out.tab"));
        QTimer::singleShot(300, &cli.interrupt, [&cli] { Q_EMIT cli.interrupt.interrupted(); });
        const CliRun r = cli.scan({project, QStringLiteral("--tab"), tab, QStringLiteral("--save"),
                                   QStringLiteral("--set"), QStringLiteral("txtTimeout=60")});
        QCOMPARE(r.status, 1);
        QVERIFY(r.err.contains(QLatin1String("interrupted")));
        QVERIFY(r.out.contains(QLatin1String("Results (1):\n")));
        QVERIFY(test::readAll(tab).contains("my site.test\tNone Found (Invalid Host)"));
        Project saved;
        QVERIFY(ProjectFile::deserialize(saved, test::readAll(project)).complete);
        QCOMPARE(saved.results().count(), 1);
    }
};

CORVANE_TEST_CLASS(ScanCommandTest);
#include "ScanCommandTest.moc"
