#include "model/Project.h"
#include "net/NetworkContext.h"
#include "support/ScanRig.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QHostAddress>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

using namespace corvane;
using test::TestWebServer;

namespace {

// One address of each range the special-purpose address registries (and the multicast and
// address space registries) keep off the public internet, written as a page would name it.
const QList<std::pair<const char*, const char*>> kInternalRanges = {
    {"this network 0.0.0.0/8", "0.1.2.3"},
    {"private-use 10.0.0.0/8", "10.20.30.40"},
    {"shared address space 100.64.0.0/10", "100.64.0.1"},
    {"loopback 127.0.0.0/8", "127.0.0.2"},
    {"link local 169.254.0.0/16", "169.254.169.254"},
    {"private-use 172.16.0.0/12", "172.20.0.1"},
    {"IETF protocol assignments 192.0.0.0/24", "192.0.0.170"},
    {"private-use 192.168.0.0/16", "192.168.1.1"},
    {"benchmarking 198.18.0.0/15", "198.19.0.1"},
    {"multicast 224.0.0.0/4", "239.1.2.3"},
    {"reserved 240.0.0.0/4", "240.0.0.1"},
    {"limited broadcast", "255.255.255.255"},
    {"unspecified ::/128", "::"},
    {"loopback ::1/128", "::1"},
    {"IPv4-mapped ::ffff:0:0/96", "::ffff:100.64.0.1"},
    {"IPv4-translated ::ffff:0:0:0/96", "::ffff:0:10.0.0.1"},
    {"IPv4-compatible ::/96", "::192.168.0.1"},
    {"IPv4-IPv6 translation 64:ff9b::/96 of a private address", "64:ff9b::10.0.0.1"},
    {"IPv4-IPv6 translation, local use 64:ff9b:1::/48", "64:ff9b:1::1"},
    {"discard-only 100::/64", "100::1"},
    {"dummy prefix 100:0:0:1::/64", "100:0:0:1::1"},
    {"TEREDO 2001::/32", "2001::1"},
    {"benchmarking 2001:2::/48", "2001:2::1"},
    {"IETF protocol assignments 2001::/23", "2001:1ff::1"},
    {"6to4 2002::/16 of a private address", "2002:a9fe:a9fe::1"},
    {"segment routing 5f00::/16", "5f00::1"},
    {"unique-local fc00::/7", "fd12:3456::1"},
    {"link-local fe80::/10", "fe80::1"},
    {"site-local fec0::/10", "fec0::1"},
    {"multicast ff00::/8", "ff02::1"},
    {"reserved by the IETF", "4000::1"},
};

// How a public partner's page can lead the scan to an address.
enum class Road {
    SubdomainLink,  // a link to a subdomain of the partner standing on the address
    DocumentMoved,  // a "Document Moved" page naming the address itself
    Redirect,       // a "Document Moved" page naming a public host that answers 302 to it
    RobotsRedirect, // the partner's robots.txt answers 302 to a host standing on it
    BaseHref,       // a relative link read against a <base href> of a subdomain standing on it
};

constexpr int kTickMs = 100;

// A public partner, partner.example, of mine.test, and everything the roads need on the test
// server. Every page on the internal side links back to mine.test and forbids every page to
// search engines: a link credited from there, or a robots note, would show the road was taken.
struct GuardedScan : test::ScanRig {
    GuardedScan() : ScanRig(kTickMs)
    {
        box.settings->WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("1"));
        box.settings->WriteSetting(QStringLiteral("ParallelSites"), QStringLiteral("1"));
        network.poseHost(QStringLiteral("partner.example"),
                         QHostAddress(QStringLiteral("203.0.113.7")));
        network.poseHost(QStringLiteral("hop.example"),
                         QHostAddress(QStringLiteral("198.51.100.2")));
        TestWebServer::Reply inside;
        inside.response
            = TestWebServer::response("200 OK", "<a href=\"http://mine.test/\">Mine</a>");
        server.setFallback(inside);
        server.setPage(QStringLiteral("partner.example"), QStringLiteral("/robots.txt"),
                       "User-agent: *\nAllow: /\n");
        project.mainSites().appendUrl(QStringLiteral("mine.test"));
        const int k = project.addList();
        LinkingSite s;
        s.url = QStringLiteral("partner.example");
        s.expected = QStringLiteral("1");
        project.linkingSites(k)->appendSite(s);
    }

    // The internal host named by the road: posed on address, or the address as a URL host.
    QString lay(Road road, const QString& address)
    {
        const QHostAddress a(address);
        const QString literal
            = a.protocol() == QAbstractSocket::IPv6Protocol ? u'[' + address + u']' : address;
        // As a URL writes the address ("::ffff:0:10.0.0.1" is "[::ffff:0:a00:1]").
        const QString written = QUrl(QStringLiteral("http://") + literal).authority();
        switch (road) {
        case Road::SubdomainLink:
            network.poseHost(QStringLiteral("inside.partner.example"), a);
            server.setPage(QStringLiteral("partner.example"), QStringLiteral("/"),
                           "<a href=\"http://inside.partner.example/a.htm\">A</a>");
            return QStringLiteral("inside.partner.example/a.htm");
        case Road::DocumentMoved:
            server.setPage(QStringLiteral("partner.example"), QStringLiteral("/"),
                           "<title>Document Moved</title><a href=\"http://" + literal.toLatin1()
                               + "/a.htm\">here</a>");
            return written + QStringLiteral("/a.htm");
        case Road::Redirect:
            network.poseHost(QStringLiteral("inside.example"), a);
            server.setPage(QStringLiteral("partner.example"), QStringLiteral("/"),
                           "<title>Document Moved</title>"
                           "<a href=\"http://hop.example/next\">here</a>");
            server.setRaw(QStringLiteral("hop.example"), QStringLiteral("/next"),
                          TestWebServer::response("302 Found", "moved",
                                                  {"Location: http://inside.example/a.htm"}));
            return QStringLiteral("inside.example/a.htm");
        case Road::RobotsRedirect:
            network.poseHost(QStringLiteral("inside.example"), a);
            server.setPage(QStringLiteral("partner.example"), QStringLiteral("/"),
                           "<a href=\"http://mine.test/\">Mine</a>");
            server.setRaw(QStringLiteral("partner.example"), QStringLiteral("/robots.txt"),
                          TestWebServer::response("302 Found", "moved",
                                                  {"Location: http://inside.example/robots.txt"}));
            server.setPage(QStringLiteral("inside.example"), QStringLiteral("/robots.txt"),
                           "User-agent: *\nDisallow: /\n");
            return QStringLiteral("inside.example/robots.txt");
        case Road::BaseHref:
            network.poseHost(QStringLiteral("inside.partner.example"), a);
            server.setPage(QStringLiteral("partner.example"), QStringLiteral("/"),
                           "<base href=\"http://inside.partner.example/\"><a href=\"a.htm\">A</a>");
            return QStringLiteral("inside.partner.example/a.htm");
        }
        return {};
    }

    QStringList requested() const
    {
        QStringList pages;
        for (const TestWebServer::Request& r : server.requests())
            pages.append(r.host + QString::fromLatin1(r.path));
        return pages;
    }
};

} // namespace

Q_DECLARE_METATYPE(Road)

// A public partner's pages never reach an address that is not globally reachable, by any road,
// and nothing found there is credited to the partner.
class AddressGuardTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addressReach_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("internal");
        for (const auto& [range, address] : kInternalRanges)
            QTest::newRow(range) << QString::fromLatin1(address) << true;
        // The ends of the ranges, and what lies just beyond them.
        for (const char* a :
             {"0.255.255.255", "100.127.255.255", "127.255.255.255", "172.31.255.255", "192.0.0.0",
              "192.0.0.255", "198.18.0.0", "198.19.255.255", "224.0.0.0", "255.255.255.254",
              "::ffff:0.0.0.0", "::ffff:127.0.0.1", "fdff:ffff::1", "febf::1", "fe00::1",
              "2001:1ff:ffff::1", "1fff:ffff::1", "e000::1"})
            QTest::newRow(a) << QString::fromLatin1(a) << true;
        for (const char* a :
             {"1.0.0.0", "9.255.255.255", "100.63.255.255", "100.128.0.0", "126.255.255.255",
              "128.0.0.0", "169.253.255.255", "169.255.0.0", "172.15.255.255", "172.32.0.0",
              "191.255.255.255", "192.0.1.0", "192.167.255.255", "192.169.0.0", "198.17.255.255",
              "198.20.0.0", "223.255.255.255", "8.8.8.8",
              // The registries' exceptions inside a range that is not reachable.
              "192.0.0.9", "192.0.0.10", "2001:1::1", "2001:1::2", "2001:1::3", "2001:3::1",
              "2001:4:112::1", "2001:20::1", "2001:30::1",
              // Documentation ranges: the tests' public partners stand on them.
              "192.0.2.1", "198.51.100.1", "203.0.113.255", "2001:db8::1", "3fff::1",
              // Global unicast, and public IPv4 addresses carried in IPv6 ones.
              "2001:200::1", "2606:4700::1", "3fff:ffff::1" /* beyond 3fff::/20 */,
              "::ffff:93.184.216.34", "::ffff:0:8.8.8.8", "64:ff9b::8.8.8.8", "2002:808:808::1",
              "::8.8.8.8"})
            QTest::newRow(a) << QString::fromLatin1(a) << false;
    }
    void addressReach()
    {
        QFETCH(QString, address);
        QFETCH(bool, internal);
        const QHostAddress a(address);
        QVERIFY(!a.isNull());
        QCOMPARE(NetworkContext::isPrivateAddress(a), internal);
        // A partner standing on such addresses alone is an intranet, free to use them.
        QCOMPARE(NetworkContext::allPrivate({a}), internal);
        QVERIFY(!NetworkContext::allPrivate({a, QHostAddress(QStringLiteral("203.0.113.9"))}));
    }

    void everyRoadIsRefused_data()
    {
        QTest::addColumn<Road>("road");
        QTest::addColumn<QString>("address");
        const std::pair<const char*, Road> roads[] = {{"subdomain link", Road::SubdomainLink},
                                                      {"Document Moved", Road::DocumentMoved},
                                                      {"302", Road::Redirect},
                                                      {"robots.txt 302", Road::RobotsRedirect},
                                                      {"base href", Road::BaseHref}};
        for (const auto& [roadName, road] : roads) {
            for (const auto& [range, address] : kInternalRanges)
                QTest::addRow("%s, %s", roadName, range) << road << QString::fromLatin1(address);
        }
    }
    void everyRoadIsRefused()
    {
        QFETCH(Road, road);
        QFETCH(QString, address);
        GuardedScan f;
        const QString target = f.lay(road, address);
        QSignalSpy stopped(&f.scan, &ScanController::scanStopped);
        QVERIFY(f.scan.StartScan());
        QVERIFY(!stopped.isEmpty() || stopped.wait(10000));

        // Nothing was asked of the internal side.
        const QString host = target.section(u'/', 0, 0);
        for (const QString& page : f.requested())
            QVERIFY2(!page.startsWith(host + u'/'), qPrintable(page));
        switch (road) {
        case Road::SubdomainLink:
        case Road::BaseHref:
            QCOMPARE(f.errors(), QStringList{"Refused: private address | " + target});
            QCOMPARE(f.results(), QStringList{"None Found | 000 | partner.example | "});
            break;
        case Road::DocumentMoved:
        case Road::Redirect:
            QCOMPARE(f.errors(), QStringList{"Refused redirect to a private address | " + target});
            QVERIFY2(!f.results().join(u'\n').contains(QStringLiteral("Direct Link")),
                     qPrintable(f.results().join(u'\n')));
            break;
        case Road::RobotsRedirect:
            // The refused file is one that is not there: the link gets no robots note.
            QCOMPARE(f.errors(), QStringList{});
            QCOMPARE(f.results(),
                     QStringList{"Direct Link | 001 | partner.example | text \"Mine\""});
            break;
        }
    }
};

CORVANE_TEST_CLASS(AddressGuardTest);
#include "AddressGuardTest.moc"
