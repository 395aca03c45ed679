#include "cli/CliHarness.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "net/NetworkContext.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTemporaryDir>

#include <csignal>
#include <QTest>

using namespace corvane;

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(CORVANE_TEST_DATA "/import/") + name;
}

using test::CliRun;

CliRun runImport(const QStringList& arguments, NetworkContext& network)
{
    test::Sandbox box;
    CliRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    cli::Environment env{out, err, false, false, nullptr, box.settings.get(), &network};
    r.status = cli::run(QStringList{QStringLiteral("corvane-cli"), QStringLiteral("import")} + arguments, env);
    out.flush();
    err.flush();
    return r;
}

// Reads a project file the way the program does; false when it is not read completely.
bool load(Project& project, const QString& path)
{
    ProjectFile::clearProject(project);
    return ProjectFormat::deserialize(project, test::readAll(path)).complete;
}

} // namespace

class ImportCommandTest final : public QObject
{
    Q_OBJECT

    // import PROJECT --from-link-page http://www.mysite.com/links.htm --main 1
    CliRun importLinkPage(NetworkContext& network) const
    {
        return runImport({m_project, QStringLiteral("--from-link-page"),
                          QStringLiteral("http://www.mysite.com/links.htm"), QStringLiteral("--main"),
                          QStringLiteral("1")},
                         network);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_project = m_dir.filePath(QStringLiteral("sites.prj"));
        Project p;
        p.mainSites().appendUrl(QStringLiteral("http://www.mysite.com"));
        p.addList();
        p.linkingSites(1)->appendSite({QStringLiteral("old.example"), QStringLiteral("2"), {}, {},
                                       {}});
        p.mainSites().appendUrl(QStringLiteral("second.example"));
        p.addList();
        QVERIFY(test::writeAll(m_project, ProjectFormat::serialize(p)));
    }

    void importsLinkingSitesIntoMainSiteK()
    {
        const CliRun r = runImport({m_project, QStringLiteral("--linking-sites"),
                                    fixture(QStringLiteral("linking_sites.txt")),
                                    QStringLiteral("--main"), QStringLiteral("2")},
                                   m_network);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("Added 8 link(s)")), qPrintable(r.out));
        Project p;
        QVERIFY(load(p, m_project));
        QCOMPARE(p.linkingSites(1)->count(), 1);
        QCOMPARE(p.linkingSites(2)->count(), 8);
        QCOMPARE(p.linkingSites(2)->url(2), QStringLiteral("gamma.example.net"));
        QCOMPARE(p.linkingSites(2)->site(2).expected, QStringLiteral("3"));
    }

    void importsMainSites()
    {
        const CliRun r = runImport({m_project, QStringLiteral("--main-sites=")
                                                   + fixture(QStringLiteral("main_sites.txt"))},
                                   m_network);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("Added 3 site(s)")), qPrintable(r.out));
        Project p;
        QVERIFY(load(p, m_project));
        QCOMPARE(p.mainSiteCount(), 5);
        QCOMPARE(p.mainSiteUrl(3), QStringLiteral("http://www.first.example.com"));
        QCOMPARE(p.linkingSiteListCount(), 6);
        QCOMPARE(p.linkingSites(1)->url(0), QStringLiteral("old.example"));
    }

    // http and https links alike; links to the own site are left out.
    void appendsWhatTheLinkPageOffers()
    {
        test::TestWebServer server;
        m_network.setRoute(server.route());
        server.setPage(QStringLiteral("www.mysite.com"), QStringLiteral("/links.htm"),
                       "<a href=\"http://partner.com/\">P</a> <a href=\"/home.htm\">H</a>\r\n"
                       "<a href=\"https://www.other.org/links.htm\">O</a>\r\n"
                       "<a href=\"https://www.mysite.com/about.htm\">A</a>\r\n");
        const CliRun r = importLinkPage(m_network);
        m_network.setRoute({});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QCOMPARE(r.out, QStringLiteral("Found 2 link(s) on the link page; added 2 to Main Site 1\nSaved ")
                            + m_project + u'\n');
        Project p;
        QVERIFY(load(p, m_project));
        QCOMPARE(p.linkingSites(1)->count(), 3);
        QCOMPARE(p.linkingSites(1)->url(1), QStringLiteral("partner.com/"));
        QCOMPARE(p.linkingSites(1)->url(2), QStringLiteral("www.other.org/links.htm"));
        QCOMPARE(p.linkingSites(1)->site(2).expected, QStringLiteral("1"));
    }

    // A "|" in an imported address must not split the saved Linking Site line.
    void aBarInAnImportedAddressKeepsItsLineWhole()
    {
        test::TestWebServer server;
        m_network.setRoute(server.route());
        server.setPage(QStringLiteral("www.mysite.com"), QStringLiteral("/links.htm"),
                       "<a href=\"http://fonts.example/css?family=Roboto|Open+Sans\">F</a>\r\n");
        const CliRun r = importLinkPage(m_network);
        m_network.setRoute({});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        Project p;
        QVERIFY(load(p, m_project));
        QCOMPARE(p.linkingSites(1)->count(), 2);
        const LinkingSite site = p.linkingSites(1)->site(1);
        QCOMPARE(site.url, QStringLiteral("fonts.example/css?family=Roboto%7COpen+Sans"));
        QCOMPARE(site.expected, QStringLiteral("1"));
    }

    // A link page that gives nothing to read is a failure with its reason, not "0 links".
    void aLinkPageWithoutAPageFails_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("reason");
        QTest::newRow("404") << QByteArray("404 Not Found") << QByteArray("<h1>Not here</h1>")
                             << "the server answered with status 404";
        QTest::newRow("empty page") << QByteArray("200 OK") << QByteArray() << "the page is empty";
        QTest::newRow("no answer") << QByteArray() << QByteArray() << "no answer (";
    }
    void aLinkPageWithoutAPageFails()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, reason);
        test::TestWebServer server;
        m_network.setRoute(server.route());
        if (status.isEmpty())
            server.setRaw(QStringLiteral("www.mysite.com"), QStringLiteral("/links.htm"), QByteArray());
        else
            server.setPage(QStringLiteral("www.mysite.com"), QStringLiteral("/links.htm"), body, status);
        const QByteArray before = test::readAll(m_project);
        const CliRun r = importLinkPage(m_network);
        m_network.setRoute({});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.firstErrorLine().startsWith(QStringLiteral(
                     "corvane-cli import: cannot read the link page \"http://www.mysite.com/links.htm\": ") + reason),
                 qPrintable(r.err));
        QVERIFY(r.firstErrorLine().endsWith(QStringLiteral("; nothing added")));
        QCOMPARE(test::readAll(m_project), before);
    }

    // A public link page may not lead the import to a private address.
    void aLinkPageRedirectingToAPrivateAddressIsNotFollowed()
    {
        test::TestWebServer server;
        NetworkContext network;
        network.setRoute(server.route());
        network.poseHost(QStringLiteral("www.mysite.com"), QHostAddress(QStringLiteral("203.0.113.9")));
        server.setRaw(QStringLiteral("www.mysite.com"), QStringLiteral("/links.htm"),
                      test::TestWebServer::response("302 Found", "moved",
                                                    {"Location: http://192.168.1.1/links.htm"}));
        const QByteArray before = test::readAll(m_project);
        const CliRun r = importLinkPage(network);
        QCOMPARE(r.status, 1);
        QCOMPARE(r.firstErrorLine(),
                 QStringLiteral("corvane-cli import: cannot read the link page "
                                "\"http://www.mysite.com/links.htm\": no answer (Refused redirect "
                                "to a private address); nothing added"));
        QCOMPARE(server.requests().size(), 1);
        QCOMPARE(test::readAll(m_project), before);
    }

    // The first Ctrl+C ends an import that waits for its link page; nothing is added.
    void ctrlCEndsTheImportAtOnce()
    {
        test::TestWebServer server;
        NetworkContext network;
        network.setRoute(server.route());
        server.setSilent(QStringLiteral("www.mysite.com"), QStringLiteral("/links.htm"));
        // The request is on its way when the signal comes; the watcher is the program's own.
        QObject::connect(&server, &test::TestWebServer::requestReceived, &server,
                         [] { ::raise(SIGINT); });
        const QByteArray before = test::readAll(m_project);
        QElapsedTimer clock;
        clock.start();
        const CliRun r = importLinkPage(network);
        QCOMPARE(r.status, 130);
        QCOMPARE(r.firstErrorLine(),
                 QStringLiteral("corvane-cli import: interrupted by Ctrl+C while reading the link "
                                "page; nothing added"));
        QCOMPARE(test::readAll(m_project), before);
        // Not after the idle timeout of a minute.
        QVERIFY(clock.elapsed() < 30000);
    }

    // Whatever goes wrong, the project file is left exactly as it was.
    void failuresLeaveTheProjectFileAlone_data()
    {
        QTest::addColumn<QStringList>("arguments"); // "PRJ" stands for the project file
        QTest::addColumn<int>("status");
        const QString links = fixture(QStringLiteral("linking_sites.txt"));
        QTest::newRow("import file missing")
            << QStringList{"PRJ", "--linking-sites", "/no/such/file.txt", "--main", "1"} << 2;
        QTest::newRow("no such Main Site") << QStringList{"PRJ", "--linking-sites", links,
                                                          "--main", "3"}
                                           << 2;
        QTest::newRow("Main Site not a number") << QStringList{"PRJ", "--linking-sites", links,
                                                               "--main", "one"}
                                                << 2;
        QTest::newRow("download refused")
            << QStringList{"PRJ", "--from-link-page", "ftp://www.mysite.com/", "--main", "1"}
            << 1;
        QTest::newRow("no source") << QStringList{"PRJ", "--main", "1"} << 2;
        QTest::newRow("two sources") << QStringList{"PRJ", "--linking-sites", links,
                                                    "--main-sites", links, "--main", "1"}
                                     << 2;
        QTest::newRow("--main missing") << QStringList{"PRJ", "--linking-sites", links} << 2;
        QTest::newRow("--main with --main-sites")
            << QStringList{"PRJ", "--main-sites", links, "--main", "1"} << 2;
        QTest::newRow("unknown option") << QStringList{"PRJ", "--linking", links} << 2;
        QTest::newRow("value missing") << QStringList{"PRJ", "--main-sites"} << 2;
        QTest::newRow("no project") << QStringList{"--main-sites", links} << 2;
    }
    void failuresLeaveTheProjectFileAlone()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        arguments.replaceInStrings(QStringLiteral("PRJ"), m_project);
        const QByteArray before = test::readAll(m_project);
        const CliRun r = runImport(arguments, m_network);
        QCOMPARE(r.status, status);
        QVERIFY(!r.err.isEmpty());
        QCOMPARE(test::readAll(m_project), before);
    }

    void unreadableProjectIsNotOverwritten()
    {
        const QByteArray broken = "http://www.mysite.com\r\nRESULT:x|a|b|c|d|e\r\nsite.example|1|||\r\n";
        QVERIFY(test::writeAll(m_project, broken));
        const CliRun r = runImport({m_project, QStringLiteral("--main-sites"),
                                    fixture(QStringLiteral("main_sites.txt"))},
                                   m_network);
        QCOMPARE(r.status, 2);
        QCOMPARE(test::readAll(m_project), broken);
        const CliRun missing = runImport({m_dir.filePath(QStringLiteral("none.prj")),
                                          QStringLiteral("--main-sites"),
                                          fixture(QStringLiteral("main_sites.txt"))},
                                         m_network);
        QCOMPARE(missing.status, 2);
        QVERIFY(missing.err.contains(QStringLiteral("none.prj")));
    }

private:
    QTemporaryDir m_dir;
    QString m_project;
    NetworkContext m_network;
};

CORVANE_TEST_CLASS(ImportCommandTest);
#include "ImportCommandTest.moc"
