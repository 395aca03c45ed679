#include "support/TestRegistry.h"
#include "web/TextSearch.h"
#include "web/UrlTools.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <random>
#include <string>

using namespace corvane;

namespace {
const QString kHost = QStringLiteral("www.example.com");
const QString kCurDir = QStringLiteral("www.example.com/a/b/");
} // namespace

class UrlToolsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalizeMainSite_data()
    {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << "example.com"
                               << "example.com";
        QTest::newRow("scheme and www in capitals") << "HTTP://WWW.Example.com"
                                                    << "Example.com";
        QTest::newRow("https and www") << "https://www.example.com/dir"
                                       << "example.com/dir";
        QTest::newRow("www without dot kept") << "wwwexample.com"
                                              << "wwwexample.com";
        QTest::newRow("bare www. kept (not longer than 4)") << "www."
                                                            << "www.";
        QTest::newRow("only the leading www goes") << "www.www.example.com"
                                                   << "www.example.com";
        QTest::newRow("every scheme occurrence goes") << "http://example.com/http://x"
                                                      << "example.com/x";
        QTest::newRow("trailing slash, as copied from the address bar") << "http://www.example.com/"
                                                                        << "example.com";
        QTest::newRow("only one trailing slash goes") << "example.com/shop//"
                                                      << "example.com/shop/";
    }
    void normalizeMainSite()
    {
        QFETCH(QString, site);
        QFETCH(QString, expected);
        QCOMPARE(UrlTools::NormalizeMainSite(site), expected);
    }

    void parentDirectory_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        QTest::newRow("page") << "example.com/a/b.htm"
                              << "example.com/a/";
        QTest::newRow("directory") << "example.com/a/"
                                   << "example.com/";
        QTest::newRow("root with slash") << "example.com/"
                                         << "example.com/";
        QTest::newRow("host only is its own directory") << "example.com"
                                                        << "example.com/";
        QTest::newRow("scheme kept") << "http://example.com/a/"
                                     << "http://example.com/";
        QTest::newRow("scheme dropped when no directory") << "http://example.com"
                                                          << "example.com/";
        QTest::newRow("https kept") << "https://example.com/a/b/"
                                    << "https://example.com/a/";
        // The scheme is noticed in any letter case but removed only in lower case, so a capital
        // one stays in the path and a lower-case one is put in front as well.
        QTest::newRow("capital scheme stays in the path") << "HTTP://example.com/a/"
                                                          << "http://HTTP://example.com/";
        QTest::newRow("empty") << ""
                               << "/";
    }
    void parentDirectory()
    {
        QFETCH(QString, url);
        QFETCH(QString, expected);
        QCOMPARE(UrlTools::ParentDirectory(url), expected);
    }

    void resolveLink_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("curDir");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const char* value, const char* expected) {
            QTest::newRow(name) << QString::fromLatin1(value) << kHost << kCurDir
                                << QString::fromLatin1(expected);
        };
        row("absolute http", "http://www.example.org/x.htm", "www.example.org/x.htm");
        row("root relative", "/x.htm", "www.example.com/x.htm");
        row("parent", "../x.htm", "www.example.com/a/x.htm");
        row("grandparent", "../../x.htm", "www.example.com/x.htm");
        row("above the root stays at the root", "../../../x.htm", "www.example.com/x.htm");
        row("far above the root", "../../../../x.htm", "www.example.com/x.htm");
        row("relative", "x.htm", "www.example.com/a/b/x.htm");
        row("host alone gets a slash", "www.example.org", "www.example.org/");
        row("host without marker is relative", "other.example.org/links.htm",
            "www.example.com/a/b/other.example.org/links.htm");
        row("cut htm repaired", "page.ht", "www.example.com/a/b/page.htm");
        row("cut asp repaired everywhere", "http://www.aspen.example.com/p.as",
            "www.asppen.example.com/p.asp");
        row("cut php repaired", "http://www.example.com/index.ph", "www.example.com/index.php");
        row("https with marker", "https://secure.example.com/x", "secure.example.com/x");
        row("capital scheme removed", "HTTP://www.example.org/x.htm", "www.example.org/x.htm");
        row("marker ignores case", "WWW.EXAMPLE.ORG/x", "WWW.EXAMPLE.ORG/x");
        row("doubled slashes folded", "http://www.example.net//a///b.htm",
            "www.example.net/a/b.htm");
        row("trailing href dropped", "http://www.example.com/dir/href", "www.example.com/dir");
        row("trailing hre dropped", "http://www.example.com/dir/hre", "www.example.com/dir");
        row("trailing http: dropped", "http://www.example.com/dir/http:", "www.example.com/dir");
        row("short value not repaired", "http://a/b.ht", "a/b.ht");
        row("query kept", "page.php?id=3", "www.example.com/a/b/page.php?id=3");
        // Relative values as a browser resolves them.
        row("dot slash from the directory", "./x.htm", "www.example.com/a/b/x.htm");
        row("dot segments inside", "a/./b/../c.htm", "www.example.com/a/b/a/c.htm");
        row("dot segments after dot dot", "../c/./d/../x.htm", "www.example.com/a/c/x.htm");
        row("dot dot alone names the parent directory", "..", "www.example.com/a/");
        row("dot alone names the directory", ".", "www.example.com/a/b/");
        row("dot dot pair", "../..", "www.example.com/");
        row("absolute trailing dot dot", "http://www.example.com/a/..", "www.example.com/");
        row("dot segments of the query stay", "../s.php?p=../x", "www.example.com/a/s.php?p=../x");
        // Only the start of a value makes it absolute.
        row("https without marker", "https://partner.org/x.htm", "partner.org/x.htm");
        row("https in capitals", "HTTPS://Partner.org/", "Partner.org/");
        row("protocol relative", "//cdn.partner.org/x.htm", "cdn.partner.org/x.htm");
        row("scheme inside the value is no host", "page.htm?u=http://www.example.com",
            "www.example.com/a/b/page.htm?u=www.example.com");
        row("marker in the query is no host", "page.php?u=www.example.com",
            "www.example.com/a/b/page.php?u=www.example.com");
        // A fragment names no page of its own.
        row("fragment dropped", "x.htm#top", "www.example.com/a/b/x.htm");
        row("fragment alone", "#top", "");
        row("other scheme", "ftp://files.example.com/x.htm", "");
        row("telephone", "tel:+1-555-0100", "");
        row("data", "data:text/html,x", "");
        row("a colon after the first slash is no scheme", "a/b:c.htm",
            "www.example.com/a/b/a/b:c.htm");
        QTest::newRow("dot slash on unmarked host") << "./x.htm"
                                                    << "example.org"
                                                    << "example.org/a/"
                                                    << "example.org/a/x.htm";
    }
    void resolveLink()
    {
        QFETCH(QString, value);
        QFETCH(QString, host);
        QFETCH(QString, curDir);
        QFETCH(QString, expected);
        QCOMPARE(UrlTools::ResolveLink(value, host, curDir), expected);
    }

    // Hostile values of a megabyte: the result is still the browser's.
    void resolveLinkOfLongValues_data()
    {
        const qsizetype n = 1024 * 1024 / 3;
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("\"../\" far above the root") << QStringLiteral("../").repeated(n)
                + QStringLiteral("x.htm") << "www.example.com/x.htm";
        QTest::newRow("\"../\" then a run of slashes")
            << QStringLiteral("../").repeated(n) + QString(64, u'/') + QStringLiteral("x.htm")
            << "www.example.com/////x.htm"; // 64 slashes, every "//" made "/" four times
        QTest::newRow("cut ending repaired everywhere")
            << QStringLiteral("http://www.example.com/a") + QStringLiteral(".ht").repeated(n)
            << QStringLiteral("www.example.com/a") + QStringLiteral(".htm").repeated(n);
    }
    void resolveLinkOfLongValues()
    {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(UrlTools::ResolveLink(value, kHost, kCurDir), expected);
    }

    // The one-pass replacement gives what QString::replace gives, on texts over a tiny alphabet
    // where occurrences overlap and abut.
    void replaceAllMatchesQString()
    {
        std::mt19937 random(20261211);
        const QString alphabet = QStringLiteral("/.aAh");
        const QStringList befores{"//", ".a", "aA", "/", "a/a"};
        const QStringList afters{"/", ".ab", "", "xyz"};
        std::uniform_int_distribution<int> length(0, 40);
        std::uniform_int_distribution<int> pick(0, int(alphabet.size()) - 1);
        for (int i = 0; i < 5000; ++i) {
            QString text;
            for (int k = length(random); k > 0; --k)
                text += alphabet.at(pick(random));
            const QString& before = befores.at(i % befores.size());
            const QString& after = afters.at(i % afters.size());
            for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
                QString expected = text;
                expected.replace(before, after, cs);
                QCOMPARE(TextSearch::replaceAll(text, before, after, cs), expected);
            }
        }
    }

    void bareHost_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        QTest::newRow("full url") << "http://www.example.com/links.htm"
                                  << "example.com";
        QTest::newRow("https") << "https://shop.example.com/x"
                               << "shop.example.com";
        QTest::newRow("capital www kept") << "WWW.example.com"
                                          << "WWW.example.com";
        QTest::newRow("capital scheme removed") << "HTTP://www.example.com"
                                                << "example.com";
        QTest::newRow("bare www. kept") << "www."
                                        << "www.";
        QTest::newRow("empty") << ""
                               << "";
    }
    void bareHost()
    {
        QFETCH(QString, url);
        QFETCH(QString, expected);
        QCOMPARE(UrlTools::BareHost(url), expected);
    }

    void directLink_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("mainSite");
        QTest::addColumn<bool>("expected");
        QTest::newRow("page on the site") << "www.example.com/x.htm"
                                          << "example.com" << true;
        QTest::newRow("look-alike host before the name") << "www.notexample.com"
                                                         << "example.com" << false;
        QTest::newRow("look-alike host with a hyphen") << "my-example.com/"
                                                       << "example.com" << false;
        QTest::newRow("look-alike host after the name") << "example.com.evil.org/x.htm"
                                                        << "example.com" << false;
        QTest::newRow("name going on after it") << "example.community/"
                                                << "example.com" << false;
        QTest::newRow("look-alike first, the real one later") << "notexample.com/out?to=example.com"
                                                              << "example.com" << true;
        QTest::newRow("through a redirect script") << "other.example.org/out?to=example.com"
                                                   << "example.com" << true;
        QTest::newRow("subdomain") << "blog.example.com/x.htm"
                                   << "example.com" << true;
        QTest::newRow("name at the end") << "www.example.com"
                                         << "example.com" << true;
        QTest::newRow("Main Site with a path") << "www.example.com/shop/item.htm"
                                               << "example.com/shop" << true;
        QTest::newRow("Main Site with a path, longer directory") << "www.example.com/shopping/"
                                                                 << "example.com/shop" << false;
        QTest::newRow("ignores case") << "WWW.EXAMPLE.COM/x"
                                      << "example.com" << true;
        QTest::newRow("other site") << "www.example.org/"
                                    << "example.com" << false;
        QTest::newRow("directory site needs the directory") << "www.example.com/other/"
                                                            << "example.com/shop" << false;
    }
    void directLink()
    {
        QFETCH(QString, url);
        QFETCH(QString, mainSite);
        QFETCH(bool, expected);
        QCOMPARE(UrlTools::IsDirectLink(url, mainSite), expected);
    }

    void domainLink_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("mainSite");
        QTest::addColumn<bool>("expected");
        QTest::newRow("sub-domain main site") << "www.example.com/contact.htm"
                                              << "blog.example.com" << true;
        QTest::newRow("directory main site") << "http://www.example.com/index.htm"
                                             << "example.com/shop" << true;
        QTest::newRow("exact comparison") << "WWW.EXAMPLE.COM/x"
                                          << "example.com" << false;
        QTest::newRow("other domain") << "www.example.org/"
                                      << "example.com" << false;
        QTest::newRow("longer host is not the domain") << "www.notexample.com/"
                                                       << "example.com" << false;
        QTest::newRow("country suffix folds to its two labels") << "www.other.co.uk/"
                                                                << "www.mine.co.uk" << true;
    }
    void domainLink()
    {
        QFETCH(QString, url);
        QFETCH(QString, mainSite);
        QFETCH(bool, expected);
        QCOMPARE(UrlTools::IsDomainLink(url, mainSite), expected);
    }

    void otherHostForm_data()
    {
        QTest::addColumn<QString>("mainSite");
        QTest::addColumn<QString>("other");
        QTest::newRow("Unicode") << QStringLiteral("b\u00fccher.test/shop")
                                 << "xn--bcher-kva.test/shop";
        QTest::newRow("punycode") << "XN--BCHER-KVA.test" << QStringLiteral("b\u00fccher.test");
        QTest::newRow("plain ASCII: none") << "mine.test/shop"
                                           << "";
    }
    void otherHostForm()
    {
        QFETCH(QString, mainSite);
        QFETCH(QString, other);
        QCOMPARE(UrlTools::OtherHostForm(mainSite), other);
    }

    void inLinkingSite_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("linkingSite");
        QTest::addColumn<bool>("expected");
        const auto row = [](const char* name, const char* url, const char* site, bool in) {
            QTest::newRow(name) << QString::fromUtf8(url) << QString::fromUtf8(site) << in;
        };
        row("page of the site", "www.partner.com/a/x.htm", "www.partner.com/links.htm", true);
        row("other subdomain", "shop.partner.com/", "http://www.partner.com", true);
        row("the bare domain", "partner.com/x", "https://blog.partner.com/", true);
        row("ignores case", "WWW.PARTNER.COM/x", "partner.com", true);
        row("with scheme", "https://partner.com/x", "partner.com", true);
        row("trailing dot", "www.partner.com./x", "partner.com", true);
        row("port", "partner.com:8080/x", "partner.com", true);
        row("other site", "www.example.com/", "www.partner.com", false);
        row("a site containing the name", "www.bignews.test/", "news.test", false);
        row("a site ending in the name", "bignews.test/", "www.news.test", false);
        row("the name as a subdomain elsewhere", "partner.test.evil.test/", "partner.test", false);
        row("the name in the path", "evil.test/partner.test/", "partner.test", false);
        row("the name as user info", "partner.test@evil.test/x", "partner.test", false);
        row("user info before the site", "someone@www.partner.test/x", "partner.test", true);
        row("an address with the name in the path", "169.254.169.254/partner.test/x.html",
            "partner.test", false);
        row("a part of the name", "partner", "www.partner.com", false);
        row("country suffix: same site", "www.partner.co.uk/x", "blog.partner.co.uk", true);
        row("country suffix: shop", "shop.partner.co.uk/", "blog.partner.co.uk", true);
        row("country suffix: other site", "bbc.co.uk/", "blog.partner.co.uk", false);
        row("country suffix itself", "co.uk/", "blog.partner.co.uk", false);
        row("private suffix: other user", "other.github.io/", "partner.github.io", false);
        row("private suffix: same user", "www.partner.github.io/", "partner.github.io", true);
        // A public suffix as the partner stands for itself alone, as an address does.
        row("public suffix partner: itself", "github.io/x.htm", "https://github.io/", true);
        row("public suffix partner: www. of it", "www.github.io/x.htm", "github.io", true);
        row("public suffix partner: a site below it", "octocat.github.io/", "github.io", false);
        row("public suffix partner: deeper below it", "www.octocat.github.io/", "github.io", false);
        row("public suffix partner typed with www.", "github.io/x.htm", "www.github.io/", true);
        row("public suffix partner typed with www.: a site below it", "octocat.github.io/",
            "www.github.io", false);
        row("country suffix partner: a site below it", "bbc.co.uk/", "co.uk", false);
        row("address: same", "10.0.0.5/x", "http://10.0.0.5/links.htm", true);
        row("address: other", "10.0.0.6/x", "10.0.0.5", false);
        row("address: no subdomains", "a.10.0.0.5/x", "10.0.0.5", false);
        row("one label: same", "intranet/x", "http://intranet/", true);
        row("one label: no subdomains", "www.intranet/x", "intranet", false);
        row("IDN in Unicode, site in punycode", "www.bücher.example/x", "xn--bcher-kva.example",
            true);
        row("IDN in punycode, site in Unicode", "xn--bcher-kva.example/x", "bücher.example", true);
        row("IDN look-alike", "xn--bcher-kva.example.evil.test/", "bücher.example", false);
        row("empty site", "partner.com/", "", false);
    }
    void inLinkingSite()
    {
        QFETCH(QString, url);
        QFETCH(QString, linkingSite);
        QFETCH(bool, expected);
        QCOMPARE(UrlTools::IsInLinkingSite(url, linkingSite), expected);
    }

    void fileNamePart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("slash path") << "/home/u/app/rules.log"
                                    << "rules.log";
        QTest::newRow("backslash path") << "C:\\app\\sounds\\finished.wav"
                                        << "finished.wav";
        QTest::newRow("mixed") << "app\\sounds/next.wav"
                               << "next.wav";
        QTest::newRow("bare name") << "filetypes.txt"
                                   << "filetypes.txt";
        QTest::newRow("folder") << "/home/u/"
                                << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void fileNamePart()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(UrlTools::FileNamePart(path), expected);
    }

    void fileExists_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("expected");
        QTest::newRow("normal file") << "html0.txt" << true;
        QTest::newRow("missing file") << "html20.txt" << false;
        QTest::newRow("folder") << "sounds" << false;
        QTest::newRow("hidden file") << ".hidden" << false;
        QTest::newRow("wildcard is no listing") << "*.txt" << false;
        QTest::newRow("empty") << "" << false;
    }
    void fileExists()
    {
        QFETCH(QString, relative);
        QFETCH(bool, expected);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sounds")));
        for (const char* name : {"html0.txt", ".hidden"}) {
            QFile f(dir.filePath(QString::fromLatin1(name)));
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        const QString path = relative.isEmpty() ? QString() : dir.filePath(relative);
        QCOMPARE(UrlTools::xfileExists(path), expected);
    }
};

CORVANE_TEST_CLASS(UrlToolsTest);
#include "UrlToolsTest.moc"
