#include "import/GetLinks.h"
#include "model/Project.h"
#include "model/SettingsStore.h"
#include "net/NetworkContext.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"
#include "support/TestWebServer.h"

#include <QSignalSpy>
#include <QTest>

using namespace corvane;

namespace {

const QString kHost = QStringLiteral("www.mysite.com");

// The user's link page: partners under .com, .net and .org, own-site and relative links, links
// the drop list takes out, and a link ending its line at ">".
const QByteArray kLinkPage
    = "<html><head><link href=\"/style.css\" rel=stylesheet></head><body>\r\n"
      "<h1>Our partners</h1>\r\n"
      "<a href=\"http://www.partner-one.com/links.htm\">One</a>\r\n"
      "<a href='http://partner-two.net'>Two</a> <a href=\"https://secure.partner-three.com/x\">3</a>\n"
      "<a href=\"http://www.partner-four.org/\">Four</a>\r\n"
      "<a href=\"partner-five.org/links.htm\">Five, scheme-less: taken as our own</a>\r\n"
      "<a href=\"/index.htm\">Home</a> <a href=\"../about.htm\">About</a>"
      " <a href=\"http://www.mysite.com/contact.htm\">Contact</a>\r\n"
      "<a href=\"mailto:me@mysite.com\">Mail</a> <a href=\"#top\">Top</a>"
      " <a href=\"http://www.radio-partner.com/\">Radio</a>\r\n"
      "<a href=http://partner-six.com/page.htm>\r\n"
      "</body></html>\r\n";

const QStringList kOffered = {"www.partner-one.com/links.htm", "partner-two.net/",
                              "secure.partner-three.com/x", "www.partner-four.org/",
                              "partner-six.com/page.htm"};

GetLinksRequest linkPageRequest(const QString& url)
{
    GetLinksRequest r;
    r.option = GetLinksRequest::LinkPage;
    r.linkPageUrl = url;
    return r;
}

GetLinksRequest scriptRequest(const QString& url, int index, const QString& text)
{
    GetLinksRequest r;
    r.option = GetLinksRequest::Script;
    r.scriptUrl = url;
    r.delimiterIndex = index;
    r.delimiterText = text;
    return r;
}

} // namespace

class GetLinksTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        m_server = std::make_unique<test::TestWebServer>();
        m_network = std::make_unique<NetworkContext>();
        m_network->setRoute(m_server->route());
        m_server->setPage(kHost, QStringLiteral("/links/partners.htm"), kLinkPage);
    }
    void cleanup()
    {
        m_network.reset();
        m_server.reset();
    }

    void linkPageOffersOutgoingLinks_data()
    {
        QTest::addColumn<QString>("url");
        QTest::newRow("with scheme") << "http://www.mysite.com/links/partners.htm";
        QTest::newRow("without scheme") << "www.mysite.com/links/partners.htm";
    }
    void linkPageOffersOutgoingLinks()
    {
        QFETCH(QString, url);
        GetLinks getLinks(*m_network);
        QSignalSpy status(&getLinks, &GetLinks::statusChanged);
        QSignalSpy finished(&getLinks, &GetLinks::finished);
        getLinks.start(linkPageRequest(url));
        QVERIFY(getLinks.isRunning());
        QVERIFY(finished.wait(5000));

        QCOMPARE(getLinks.rows(), kOffered);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(finished.at(0).at(0).toInt(), kOffered.size());
        QCOMPARE(getLinks.results().headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Link URL"));

        QStringList texts;
        for (const QList<QVariant>& args : std::as_const(status))
            texts.append(args.at(0).toString());
        QStringList expected = {QStringLiteral("Conecting to ") + url};
        for (int n = 1; n <= kOffered.size(); ++n)
            expected.append(QStringLiteral("Extracted %1 link(s)").arg(n));
        for (int n = 1; n <= kOffered.size(); ++n)
            expected.append(QStringLiteral("Added %1 link(s)").arg(n));
        expected.append(QStringLiteral("Finished Downloading - 5 links found."));
        QCOMPARE(texts, expected);
        QCOMPARE(getLinks.statusText(), expected.last());

        QCOMPARE(m_server->requests().size(), 1);
        QCOMPARE(m_server->requests().at(0).host, kHost);
        QCOMPARE(m_server->requests().at(0).path, QByteArray("/links/partners.htm"));
    }

    void scriptOutputGivesOneRowPerPiece_data()
    {
        QTest::addColumn<QByteArray>("output");
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("Comma") << QByteArray("a.com,b.net") << 2 << "Comma"
                               << QStringList{"a.com", "b.net"};
        QTest::newRow("spaces with any delimiter")
            << QByteArray("a.com b.net c.org") << 0 << "Vertical Bar Symbol"
            << QStringList{"a.com", "b.net", "c.org"};
        QTest::newRow("markup and CR LF removed")
            << QByteArray("<html><body>\r\na.com%b.net%\r\n</body></html>\r\n") << 1
            << "Percent Symbol" << QStringList{"a.com", "b.net", ""};
        QTest::newRow("typed delimiter, empty pieces")
            << QByteArray(";a.com;;b.net") << -1 << ";" << QStringList{"", "a.com", "", "b.net"};
        QTest::newRow("empty output") << QByteArray() << 3 << "Exclamation Point" << QStringList{};
    }
    void scriptOutputGivesOneRowPerPiece()
    {
        QFETCH(QByteArray, output);
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QStringList, rows);
        m_server->setPage(kHost, QStringLiteral("/domains.php"), output);
        GetLinks getLinks(*m_network);
        QSignalSpy status(&getLinks, &GetLinks::statusChanged);
        QSignalSpy finished(&getLinks, &GetLinks::finished);
        const QString url = QStringLiteral("http://www.mysite.com/domains.php");
        getLinks.start(scriptRequest(url, index, typed));
        QCOMPARE(status.at(0).at(0).toString(), QStringLiteral("Conecting to ") + url);
        QVERIFY(finished.wait(5000));
        QCOMPARE(getLinks.rows(), rows);
        QCOMPARE(getLinks.statusText(),
                 QStringLiteral("Finished Downloading - %1 links found.").arg(rows.size()));
        // One "Added" text per row, empty rows counted.
        QCOMPARE(status.size(), 1 + rows.size() + 1);
        QVERIFY(getLinks.downloadError().isEmpty());
    }

    void missingDelimiterStopsBeforeDownloading()
    {
        m_server->setPage(kHost, QStringLiteral("/domains.php"), "a.com,b.net");
        GetLinks getLinks(*m_network);
        QSignalSpy finished(&getLinks, &GetLinks::finished);
        getLinks.start(scriptRequest(QStringLiteral("http://www.mysite.com/domains.php"), 2,
                                     QStringLiteral("Comma")));
        QVERIFY(finished.wait(5000));
        QCOMPARE(getLinks.results().count(), 2);

        QSignalSpy status(&getLinks, &GetLinks::statusChanged);
        QSignalSpy message(&getLinks, &GetLinks::messageRaised);
        getLinks.start(scriptRequest(QStringLiteral("http://www.mysite.com/domains.php"), -1,
                                     QStringLiteral("Select or Type a Delimiter")));
        QCOMPARE(message.size(), 1);
        QCOMPARE(message.at(0).at(0).toString(),
                 QStringLiteral("You must select a delimiter first"));
        QVERIFY(!getLinks.isRunning());
        QCOMPARE(getLinks.results().count(), 0);
        QCOMPARE(status.size(), 0);
        QTest::qWait(50);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(m_server->requests().size(), 1);
    }

    void failedDownloadFindsNothing()
    {
        GetLinks getLinks(*m_network);
        QSignalSpy finished(&getLinks, &GetLinks::finished);
        getLinks.start(linkPageRequest(QStringLiteral("ftp://www.mysite.com/links/partners.htm")));
        QVERIFY(finished.wait(5000));
        QCOMPARE(finished.at(0).at(0).toInt(), 0);
        QCOMPARE(getLinks.results().count(), 0);
        QCOMPARE(getLinks.statusText(), QStringLiteral("Finished Downloading - 0 links found."));
        QVERIFY(!getLinks.downloadError().isEmpty());
    }

    // A second click on Get Links while the first download runs: only the second one's rows.
    void secondStartAbandonsTheFirst()
    {
        test::TestWebServer::Reply slow;
        slow.response = test::TestWebServer::response("200 OK", "old.com,older.com");
        slow.delayMs = 300;
        m_server->setReply(kHost, QStringLiteral("/slow.php"), slow);
        m_server->setPage(kHost, QStringLiteral("/fast.php"), "new.com");
        GetLinks getLinks(*m_network);
        QSignalSpy finished(&getLinks, &GetLinks::finished);
        getLinks.start(
            scriptRequest(QStringLiteral("www.mysite.com/slow.php"), 2, QStringLiteral("Comma")));
        getLinks.start(
            scriptRequest(QStringLiteral("www.mysite.com/fast.php"), 2, QStringLiteral("Comma")));
        QVERIFY(finished.wait(5000));
        QTest::qWait(500);
        QCOMPARE(finished.size(), 1);
        QCOMPARE(getLinks.rows(), QStringList{QStringLiteral("new.com")});
    }

    void addSelectedAppendsChosenRowsInListOrder()
    {
        m_server->setPage(kHost, QStringLiteral("/domains.php"), "a.com,,b.net, ,c.org");
        GetLinks getLinks(*m_network);
        QSignalSpy finished(&getLinks, &GetLinks::finished);
        getLinks.start(scriptRequest(QStringLiteral("www.mysite.com/domains.php"), 2,
                                     QStringLiteral("Comma")));
        QVERIFY(finished.wait(5000));
        // " " became a delimiter, so row 3 and 4 are empty.
        QCOMPARE(getLinks.rows(), (QStringList{"a.com", "", "b.net", "", "", "c.org"}));

        Project project;
        project.mainSites().appendUrl(QStringLiteral("mysite.com"));
        project.addList();
        project.state().iCurrentMain = 1;
        QCOMPARE(getLinks.addSelected(project, {5, 1, 0, 5}), 2);
        QCOMPARE(project.linkingSites(1)->url(0), QStringLiteral("a.com"));
        QCOMPARE(project.linkingSites(1)->url(1), QStringLiteral("c.org"));
        QCOMPARE(project.linkingSites(1)->site(1).expected, QStringLiteral("1"));
        QCOMPARE(getLinks.results().count(), 6);
        QCOMPARE(getLinks.addSelected(project, {}), 0);
        QCOMPARE(project.linkingSites(1)->count(), 2);
    }

    void settingsDefaultsAndStoredChoices()
    {
        test::Sandbox box;
        SettingsStore& s = *box.settings;
        GetLinksRequest r = GetLinksRequest::fromSettings(s);
        QCOMPARE(r.option, int(GetLinksRequest::LinkPage));
        QCOMPARE(r.linkPageUrl, QStringLiteral("http://"));
        QCOMPARE(r.scriptUrl, QStringLiteral("http://"));
        QCOMPARE(r.delimiterIndex, -1);
        QCOMPARE(r.delimiterText, QStringLiteral("Select or Type a Delimiter"));

        GetLinksSettings::storeOption(s, 1);
        GetLinksSettings::storeLinkPageUrl(s, QStringLiteral("http://www.mysite.com/links.htm"));
        GetLinksSettings::storeScriptUrl(s, QStringLiteral("http://www.mysite.com/d.php"));
        GetLinksSettings::storeDelimiterIndex(s, 2);
        QCOMPARE(s.ReadSetting(QStringLiteral("getURLCombo")), QStringLiteral("2"));
        r = GetLinksRequest::fromSettings(s);
        QCOMPARE(r.option, int(GetLinksRequest::Script));
        QCOMPARE(r.linkPageUrl, QStringLiteral("http://www.mysite.com/links.htm"));
        QCOMPARE(r.scriptUrl, QStringLiteral("http://www.mysite.com/d.php"));
        QCOMPARE(r.delimiterIndex, 2);
        QCOMPARE(r.delimiterText, QStringLiteral("Comma"));

        // A typed delimiter is stored as -1 and not kept; values the window has no control for
        // select nothing.
        GetLinksSettings::storeDelimiterIndex(s, -1);
        QCOMPARE(GetLinksRequest::fromSettings(s).delimiterText,
                 QStringLiteral("Select or Type a Delimiter"));
        s.WriteSetting(QStringLiteral("getURLCombo"), QStringLiteral("9"));
        s.WriteSetting(QStringLiteral("getUrlOption"), QStringLiteral("7"));
        r = GetLinksRequest::fromSettings(s);
        QCOMPARE(r.delimiterIndex, -1);
        QCOMPARE(r.option, int(GetLinksRequest::LinkPage));
    }

private:
    std::unique_ptr<test::TestWebServer> m_server;
    std::unique_ptr<NetworkContext> m_network;
};

CORVANE_TEST_CLASS(GetLinksTest);
#include "GetLinksTest.moc"
