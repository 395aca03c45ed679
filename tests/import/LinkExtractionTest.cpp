#include "import/LinkExtraction.h"
#include "support/TestRegistry.h"

#include <QTest>

#include <random>

using namespace corvane;

namespace {

const QString kLinkPage = QStringLiteral("http://www.mysite.com/links/partners.htm");

// The markup rule run literally, one whole-text removal per round: the oracle for the removal.
QString removeMarkupLiterally(QString text)
{
    for (;;) {
        const qsizetype open = text.indexOf(u'<');
        const qsizetype close = text.indexOf(u'>');
        if (open < 0 || close < 0 || open > close)
            return text;
        text.remove(text.mid(open, close - open + 1), Qt::CaseSensitive);
    }
}

} // namespace

class LinkExtractionTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void ownSiteKey_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("key");
        QTest::newRow("page under a path") << kLinkPage << "mysite.com/";
        QTest::newRow("bare site") << "http://www.mysite.com"
                                   << "mysite.com";
        QTest::newRow("https, no www") << "https://mysite.com/a/b/"
                                       << "mysite.com/";
        QTest::newRow("no scheme") << "www.mysite.com/links.htm"
                                   << "mysite.com/";
        // The removals are exact: an upper-case scheme or "WWW." stays part of the key.
        QTest::newRow("letter case kept") << "HTTP://WWW.mysite.com/x"
                                          << "HTTP:/";
    }
    void ownSiteKey()
    {
        QFETCH(QString, url);
        QFETCH(QString, key);
        QCOMPARE(LinkExtraction::ownSiteKey(url), key);
    }

    void extractsHrefValues_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("value"); // "<none>" for no candidate
        QTest::newRow("apostrophes") << "href='page.htm'>Page</a>"
                                     << "page.htm";
        QTest::newRow("double quotes") << "HREF=\"page.htm\">Page</a>"
                                       << "page.htm";
        QTest::newRow("text before href") << "<a class=x href=\"a.htm\" >"
                                          << "a.htm";
        QTest::newRow("no closer: last two characters go") << "href=page.html"
                                                           << "page.ht";
        QTest::newRow("closer ends the line: one more goes") << "href=page.html>"
                                                             << "page.htm";
        QTest::newRow("empty value") << "href=''>x"
                                     << "";
        QTest::newRow("nothing to cut") << "href=>"
                                        << "<none>";
        QTest::newRow("one character, no closer") << "href=a"
                                                  << "<none>";
        QTest::newRow("no href") << "<a name=top>"
                                 << "<none>";
    }
    void extractsHrefValues()
    {
        QFETCH(QString, line);
        QFETCH(QString, value);
        const std::optional<QString> candidate = LinkExtraction::extractCandidate(line);
        QCOMPARE(candidate.value_or(QStringLiteral("<none>")), value);
    }

    void resolvesCandidates_data()
    {
        QTest::addColumn<QString>("candidate");
        QTest::addColumn<QString>("resolved");
        QTest::newRow("absolute http") << "http://www.partner.org/links.htm"
                                       << "www.partner.org/links.htm";
        QTest::newRow("host only gets a slash") << "http://partner.org"
                                                << "partner.org/";
        QTest::newRow("https to .com") << "https://secure.partner.com/x"
                                       << "secure.partner.com/x";
        // An https link names its host like an http link does, whatever the host's ending.
        QTest::newRow("https to .org") << "https://secure.partner.org/x"
                                       << "secure.partner.org/x";
        QTest::newRow("https in capitals") << "HTTPS://partner.info"
                                           << "partner.info/";
        QTest::newRow("scheme-less .org is relative") << "partner.org/a.htm"
                                                      << "mysite.com/partner.org/a.htm";
        QTest::newRow("root-relative") << "/contact.htm"
                                       << "mysite.com/contact.htm";
        QTest::newRow("same directory") << "contact.htm"
                                        << "mysite.com/contact.htm";
        QTest::newRow("./ against the page directory") << "./x.htm"
                                                       << "mysite.com/links/x.htm";
        QTest::newRow("../ one up") << "../x.htm"
                                    << "mysite.com/x.htm";
        QTest::newRow("../ never above the host") << "../../../x.htm"
                                                  << "mysite.com/x.htm";
        QTest::newRow("bare ..") << ".."
                                 << "mysite.com/";
        QTest::newRow(".ht repaired") << "http://partner.com/page.ht"
                                      << "partner.com/page.htm";
        QTest::newRow(".as repaired everywhere") << "http://www.aspen.com/p.as"
                                                 << "www.asppen.com/p.asp";
        QTest::newRow(".ph repaired") << "http://partner.com/i.ph"
                                      << "partner.com/i.php";
        QTest::newRow("/href dropped") << "http://partner.com/href"
                                       << "partner.com";
        QTest::newRow("/http: dropped") << "http://partner.com/http:"
                                        << "partner.com";
        QTest::newRow("doubled slashes") << "http://partner.com//a///b"
                                         << "partner.com/a/b";
    }
    // Hostile values of a megabyte resolve as short ones do.
    void resolvesLongCandidates()
    {
        const qsizetype n = 1024 * 1024 / 3;
        const QString key = QStringLiteral("mysite.com/");
        const QString dir = QStringLiteral("mysite.com/links/");
        using LinkExtraction::resolveCandidate;
        QCOMPARE(resolveCandidate(QStringLiteral("../").repeated(n) + QStringLiteral("x.htm"), key,
                                  dir),
                 QStringLiteral("mysite.com/x.htm"));
        QCOMPARE(resolveCandidate(QString(n, u'/') + QStringLiteral("x.htm"), key, dir).size(),
                 QStringLiteral("mysite.com").size() + (n + 1 + 31) / 32 + 5);
        QCOMPARE(resolveCandidate(QStringLiteral("http://partner.com/a")
                                      + QStringLiteral(".ht").repeated(n),
                                  key, dir),
                 QStringLiteral("partner.com/a") + QStringLiteral(".htm").repeated(n));
    }

    void resolvesCandidates()
    {
        QFETCH(QString, candidate);
        QFETCH(QString, resolved);
        QCOMPARE(LinkExtraction::resolveCandidate(candidate, QStringLiteral("mysite.com/"),
                                                  QStringLiteral("mysite.com/links/")),
                 resolved);
    }

    // The whole option 0 pass over one page: what the user is offered.
    void offersOutgoingLinksOfTheLinkPage_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("absolute links, two on one line")
            << "<p><a href=\"http://www.partner.org/links.htm\">P</a> "
               "<A HREF='http://other.net/'>O</a></p>"
            << QStringList{"www.partner.org/links.htm", "other.net/"};
        QTest::newRow("link ending a line at > loses a character, .ht repaired")
            << "<a href=http://partner.com/page.htm>\r\n<a href=http://partner.com/dir/>\n"
            << QStringList{"partner.com/page.htm", "partner.com/dir"};
        QTest::newRow(".ra and .rm hosts are dropped")
            << "<a href=\"http://www.radio.com/\">R</a><a href=\"http://shop.rmx.com/\">M</a>"
               "<a href=\"http://kept.com/\">K</a>"
            << QStringList{"kept.com/"};
        QTest::newRow("drop list")
            << "<a href=\"mailto:me@partner.com\">m</a><a href=\"javascript:go()\">j</a>"
               "<a href=\"http://partner.com/p.JPG\">i</a><a href=\"http://partner.com/#top\">t</a>"
               "<a href=\"http://partner.com/f.pdf\">d</a>"
            << QStringList{};
        QTest::newRow("relative links are own-site links")
            << "<a href=\"contact.htm\">c</a><a href=\"/about.htm\">a</a>"
               "<a href=\"../index.htm\">i</a><a href=\"./more.htm\">m</a>"
            << QStringList{};
        QTest::newRow("absolute link to the own site")
            << "<a href=\"http://www.mysite.com/about.htm\">a</a>"
               "<a href=\"http://MYSITE.COM/x.htm\">b</a>"
            << QStringList{};
        QTest::newRow("scheme-less .org host resolves to the own site")
            << "<a href=\"partner.org/links.htm\">p</a>" << QStringList{};
        QTest::newRow("https links offered without scheme, the own site's dropped")
            << "<a href=\"https://secure.partner.com/x.htm\">s</a>"
               "<a href=\"https://secure.partner.org/x.htm\">o</a>"
               "<a href=\"https://www.mysite.com/about.htm\">m</a>"
            << QStringList{"secure.partner.com/x.htm", "secure.partner.org/x.htm"};
        QTest::newRow("a partner named again is offered once")
            << "<a href=\"http://partner.com/\">P</a><a href=\"http://other.net/\">O</a>"
               "<a href=\"http://PARTNER.com/\">P</a><a href=\" http://partner.com/ \">P</a>"
            << QStringList{"partner.com/", "other.net/"};
        QTest::newRow("no links") << "<html><body>Nothing here</body></html>" << QStringList{};
        QTest::newRow("empty page") << "" << QStringList{};
    }
    void offersOutgoingLinksOfTheLinkPage()
    {
        QFETCH(QString, page);
        QFETCH(QStringList, entries);
        QCOMPARE(LinkExtraction::linkPageEntries(page, kLinkPage), entries);
    }

    void choosesTheDelimiter_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("delimiter"); // "<none>" when none is chosen
        QTest::newRow("Vertical Bar Symbol") << 0 << "Vertical Bar Symbol"
                                             << "|";
        QTest::newRow("Percent Symbol") << 1 << "Percent Symbol"
                                        << "%";
        QTest::newRow("Comma") << 2 << "Comma"
                               << ",";
        QTest::newRow("Exclamation Point") << 3 << "Exclamation Point"
                                           << "!";
        QTest::newRow("typed") << -1 << ";"
                               << ";";
        QTest::newRow("typed word") << -1 << "<br>"
                                    << "<br>";
        QTest::newRow("prompt still shown") << -1 << "Select or Type a Delimiter"
                                            << "<none>";
        QTest::newRow("box emptied") << -1 << ""
                                     << "<none>";
    }
    void choosesTheDelimiter()
    {
        QFETCH(int, index);
        QFETCH(QString, text);
        QFETCH(QString, delimiter);
        QCOMPARE(LinkExtraction::delimiterFor(index, text).value_or(QStringLiteral("<none>")),
                 delimiter);
        QCOMPARE(LinkExtraction::delimiterCaptions().size(), 4);
    }

    void removesMarkup_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("plain");
        QTest::newRow("wrapper tags") << "<html><body>a.com,b.com</body></html>"
                                      << "a.com,b.com";
        QTest::newRow("every occurrence of a tag") << "<br>a.com<br>b.com<br>"
                                                   << "a.comb.com";
        QTest::newRow("> before the first < stops") << "a>b<i>c</i>"
                                                    << "a>b<i>c</i>";
        QTest::newRow("exact letter case") << "<b>x>y<B>"
                                           << "x>y<B>";
        QTest::newRow("nested opener") << "<<a>b>"
                                       << "b>";
        QTest::newRow("unclosed") << "a<b"
                                  << "a<b";
    }
    void removesMarkup()
    {
        QFETCH(QString, text);
        QFETCH(QString, plain);
        QCOMPARE(LinkExtraction::removeMarkup(text), plain);
    }

    // Random texts over a tiny alphabet hit the odd cases: stray ">", "<" without ">", tags that
    // hold several "<", tags formed only once a removal joins the text around it.
    void markupRemovalMatchesTheLiteralRule_data()
    {
        QTest::addColumn<QString>("alphabet");
        QTest::addColumn<int>("maxLength");
        QTest::newRow("<>a") << "<>a" << 16;
        QTest::newRow("<>ab") << "<>ab" << 24;
        QTest::newRow("<>ab, long") << "<>ab" << 80;
        QTest::newRow("mostly text") << "<>abcdefgh" << 60;
    }
    void markupRemovalMatchesTheLiteralRule()
    {
        QFETCH(QString, alphabet);
        QFETCH(int, maxLength);
        std::mt19937 random(20240611);
        std::uniform_int_distribution<int> length(0, maxLength);
        std::uniform_int_distribution<int> pick(0, int(alphabet.size()) - 1);
        for (int i = 0; i < 20000; ++i) {
            QString text;
            for (int n = length(random); n > 0; --n)
                text += alphabet.at(pick(random));
            const QString expected = removeMarkupLiterally(text);
            const QString actual = LinkExtraction::removeMarkup(text);
            if (actual != expected)
                QFAIL(qPrintable(
                    QStringLiteral("\"%1\" gave \"%2\", not \"%3\"").arg(text, actual, expected)));
        }
    }

    void markupRemovalOfAPageWithManyTags()
    {
        QString page = QStringLiteral("<html><body>\r\n<script>if (a < b && c > d) go();</script>");
        for (int i = 0; i < 1500; ++i)
            page += QStringLiteral("<li><a href=\"http://p%1.com/\">p%1.com</a>,</li><!-- %2 -->")
                        .arg(i)
                        .arg(i % 7 == 0 ? QStringLiteral("a > b") : QStringLiteral("<x"));
        page += QStringLiteral("</body></html>");
        QCOMPARE(LinkExtraction::removeMarkup(page), removeMarkupLiterally(page));
    }

    void cutsScriptOutput_data()
    {
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("delimiter");
        QTest::addColumn<QStringList>("entries");
        QTest::newRow("comma") << "a.com,b.com"
                               << "," << QStringList{"a.com", "b.com"};
        QTest::newRow("spaces with any delimiter") << "a.com b.com c.com"
                                                   << "%" << QStringList{"a.com", "b.com", "c.com"};
        QTest::newRow("vertical bar") << "a.com|b.com"
                                      << "|" << QStringList{"a.com", "b.com"};
        QTest::newRow("comma separates with any delimiter")
            << "a.com,b.com!c.com"
            << "!" << QStringList{"a.com", "b.com", "c.com"};
        QTest::newRow("typed letter, any case") << "a.comxb.comXc.com"
                                                << "x" << QStringList{"a.com", "b.com", "c.com"};
        QTest::newRow("empty pieces kept") << "|a.com||b.com|"
                                           << "|" << QStringList{"", "a.com", "", "b.com", ""};
        QTest::newRow("double space") << "a.com  b.com"
                                      << "|" << QStringList{"a.com", "", "b.com"};
        QTest::newRow("CR LF pairs removed") << "a.com,\r\nb.com\r\n"
                                             << "," << QStringList{"a.com", "b.com"};
        QTest::newRow("LF of a Linux server removed") << "a.com,b.com\n"
                                                      << "," << QStringList{"a.com", "b.com"};
        QTest::newRow("markup removed") << "<html><body><p>a.com!b.com</p></body></html>"
                                        << "!" << QStringList{"a.com", "b.com"};
        QTest::newRow("empty output") << ""
                                      << "," << QStringList{};
        QTest::newRow("only a line break") << "\r\n"
                                           << "," << QStringList{};
    }
    void cutsScriptOutput()
    {
        QFETCH(QString, output);
        QFETCH(QString, delimiter);
        QFETCH(QStringList, entries);
        QCOMPARE(LinkExtraction::scriptEntries(output, delimiter), entries);
    }
};

CORVANE_TEST_CLASS(LinkExtractionTest);
#include "LinkExtractionTest.moc"
