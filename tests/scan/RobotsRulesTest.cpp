#include "net/DownloadText.h"
#include "net/NetworkContext.h"
#include "net/RobotsCache.h"
#include "support/TestRegistry.h"
#include "web/RobotsRules.h"

#include <QTest>

using namespace corvane;

namespace {

// RFC 9309, section 5.1.
const char* const kSimpleExample = "User-Agent: *\n"
                                   "Disallow: *.gif$\n"
                                   "Disallow: /example/\n"
                                   "Allow: /publications/\n"
                                   "\n"
                                   "User-Agent: foobot\n"
                                   "Disallow:/\n"
                                   "Allow:/example/page.html\n"
                                   "Allow:/example/allowed.gif\n"
                                   "\n"
                                   "User-Agent: barbot\n"
                                   "User-Agent: bazbot\n"
                                   "Disallow: /example/page.html\n"
                                   "\n"
                                   "User-Agent: quxbot\n";

// RFC 9309, section 5.2.
const char* const kLongestMatch = "User-Agent: foobot\n"
                                  "Allow: /example/page/\n"
                                  "Disallow: /example/page/disallowed.gif\n";

} // namespace

class RobotsRulesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void matching_data()
    {
        QTest::addColumn<QString>("robots");
        QTest::addColumn<QString>("crawler");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("allowed");

        const QString simple = QString::fromLatin1(kSimpleExample);
        // "*": every crawler without a group of its own.
        QTest::newRow("5.1 *: /example/ disallowed") << simple << "otherbot" << "/example/x.html" << false;
        QTest::newRow("5.1 *: /publications/ allowed") << simple << "otherbot" << "/publications/a" << true;
        QTest::newRow("5.1 *: a .gif anywhere") << simple << "otherbot" << "/images/logo.gif" << false;
        QTest::newRow("5.1 *: $ ends the pattern") << simple << "otherbot" << "/images/logo.gif?v=2" << true;
        QTest::newRow("5.1 *: anything else") << simple << "otherbot" << "/index.html" << true;
        // foobot: its own group only, the "*" rules do not add to it.
        QTest::newRow("5.1 foobot: its allowed page") << simple << "foobot" << "/example/page.html" << true;
        QTest::newRow("5.1 foobot: its allowed gif") << simple << "foobot" << "/example/allowed.gif" << true;
        QTest::newRow("5.1 foobot: the rest") << simple << "foobot" << "/publications/a" << false;
        QTest::newRow("5.1 FooBot: letter case ignored") << simple << "FooBot" << "/index.html" << false;
        // barbot and bazbot share a group.
        QTest::newRow("5.1 barbot: the page") << simple << "barbot" << "/example/page.html" << false;
        QTest::newRow("5.1 bazbot: the page") << simple << "bazbot" << "/example/page.html" << false;
        QTest::newRow("5.1 bazbot: not the * rules") << simple << "bazbot" << "/example/x.gif" << true;
        // quxbot: an empty group at the end.
        QTest::newRow("5.1 quxbot: unrestricted") << simple << "quxbot" << "/example/page.html" << true;

        const QString longest = QString::fromLatin1(kLongestMatch);
        QTest::newRow("5.2 the longer disallow wins")
            << longest << "foobot" << "/example/page/disallowed.gif" << false;
        QTest::newRow("5.2 the allow where it is longest")
            << longest << "foobot" << "/example/page/other.gif" << true;

        // Section 2.2.3: "*" and "$".
        const QString special = "User-Agent: *\nDisallow: /\nAllow: /this/*/exactly\n"
                                "Allow: /that/path/exactly$\n";
        QTest::newRow("* stands for a segment") << special << "x" << "/this/a/exactly" << true;
        QTest::newRow("* stands for several") << special << "x" << "/this/a/b/exactly" << true;
        QTest::newRow("* and what follows") << special << "x" << "/this/a/exactly/more" << true;
        QTest::newRow("* needs the rest") << special << "x" << "/this/a/approx" << false;
        QTest::newRow("$ matches the end") << special << "x" << "/that/path/exactly" << true;
        QTest::newRow("$ refuses more") << special << "x" << "/that/path/exactly/more" << false;

        // Section 2.2.2: octets compared percent-encoded, unreserved ones decoded.
        QTest::newRow("UTF-8 pattern, encoded path")
            << QString::fromUtf8("User-Agent: *\nDisallow: /foo/bar/\xE3\x83\x84\n") << "x"
            << "/foo/bar/%E3%83%84" << false;
        QTest::newRow("encoded pattern, encoded path")
            << "User-Agent: *\nDisallow: /foo/bar/%E3%83%84\n" << "x" << "/foo/bar/%e3%83%84" << false;
        QTest::newRow("encoded unreserved letters")
            << "User-Agent: *\nDisallow: /foo/bar/%62%61%7A\n" << "x" << "/foo/bar/baz" << false;
        QTest::newRow("a URL in the query")
            << "User-Agent: *\nDisallow: /foo/bar?baz=https://foo.bar\n" << "x"
            << "/foo/bar?baz=https%3A%2F%2Ffoo.bar" << false;
        QTest::newRow("an escaped slash is no slash")
            << "User-Agent: *\nDisallow: /a/b.html\n" << "x" << "/a%2fb.html" << true;

        // Section 2.2.2: Allow wins a tie.
        QTest::newRow("tie: allow wins")
            << "User-Agent: *\nDisallow: /page\nAllow: /page\n" << "x" << "/page.html" << true;

        // The search engine's own group, else "*", as the scan reads it.
        const QString engines = "User-agent: *\nDisallow: /\n\nUser-agent: Googlebot/2.1\n"
                                "Disallow: /drafts/\n";
        QTest::newRow("Googlebot's group over *") << engines << "Googlebot" << "/links.htm" << true;
        QTest::newRow("Googlebot's own rule") << engines << "Googlebot" << "/drafts/a" << false;
        QTest::newRow("groups of one crawler add up")
            << "User-agent: a\nDisallow: /x\n\nUser-agent: b\nDisallow: /\n\nUser-agent: a\n"
               "Disallow: /y\n"
            << "a" << "/y/1" << false;

        // How the file is written.
        QTest::newRow("comments, blanks, CR LF, key case")
            << "# site rules\r\nUSER-AGENT : * # all\r\n  disallow :  /tmp/ # temp\r\n" << "x"
            << "/tmp/a" << false;
        QTest::newRow("a pattern without its slash")
            << "User-agent: *\nDisallow: private\n" << "x" << "/private/a" << false;
        QTest::newRow("an empty disallow allows")
            << "User-agent: *\nDisallow:\n" << "x" << "/anything" << true;
        QTest::newRow("rules before any user-agent belong to none")
            << "Disallow: /\nUser-agent: *\nDisallow: /x\n" << "x" << "/y" << true;
        QTest::newRow("no group at all") << "Sitemap: /map.xml\n" << "x" << "/" << true;
        QTest::newRow("an empty file") << "" << "x" << "/" << true;
        QTest::newRow("the root itself")
            << "User-agent: *\nDisallow: /$\n" << "x" << "/" << false;
    }
    void matching()
    {
        QFETCH(QString, robots);
        QFETCH(QString, crawler);
        QFETCH(QString, path);
        QFETCH(bool, allowed);
        QCOMPARE(RobotsRules::parse(robots, crawler).allows(path), allowed);
    }

    // What a download of robots.txt gives: a 4xx answer (or a redirect chain that leads nowhere)
    // allows everything, a 5xx answer or none at all disallows everything.
    void rulesOfAnAnswer_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("truncated");
        QTest::addColumn<bool>("allowed"); // "/private/page.htm" for Googlebot

        const QByteArray rules = "User-agent: *\nDisallow: /private/\n";
        QTest::newRow("200: its rules") << 200 << "" << rules << false << false;
        QTest::newRow("404: allow all") << 404 << "" << rules << false << true;
        QTest::newRow("401: allow all") << 401 << "" << QByteArray() << false << true;
        QTest::newRow("503: disallow all") << 503 << "" << QByteArray() << false << false;
        QTest::newRow("500: disallow all") << 500 << "" << QByteArray() << false << false;
        // A file that was not read says nothing: no page is kept from search engines.
        QTest::newRow("no answer: not read")
            << 0 << DownloadText::kTimeout << QByteArray() << false << true;
        QTest::newRow("proxy refused: not read")
            << 0 << NetworkContext::kProxyRefused << QByteArray() << false << true;
        QTest::newRow("proxy needs authentication: not read")
            << 0 << NetworkContext::kProxyNeedsAuthentication << QByteArray() << false << true;
        QTest::newRow("too many redirects: allow all")
            << 0 << DownloadText::kTooManyRedirects << QByteArray() << false << true;
        // The last line of a file cut at the cap may be cut too: it is left out.
        QTest::newRow("cut at the cap")
            << 200 << "" << QByteArray("User-agent: *\nAllow: /\nDisallow: /private/") << true << true;
    }
    void rulesOfAnAnswer()
    {
        QFETCH(int, status);
        QFETCH(QString, error);
        QFETCH(QByteArray, body);
        QFETCH(bool, truncated);
        QFETCH(bool, allowed);
        DownloadResult result;
        result.httpStatus = status;
        result.error = error;
        result.body = body;
        result.truncated = truncated;
        QCOMPARE(RobotsCache::rulesFrom(result).allows(u"/private/page.htm"), allowed);
    }
};

CORVANE_TEST_CLASS(RobotsRulesTest);

#include "RobotsRulesTest.moc"
