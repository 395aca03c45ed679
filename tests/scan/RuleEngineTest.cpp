#include "analysis/LinkClassifier.h"
#include "analysis/RuleEngine.h"
#include "model/Project.h"
#include "model/ProjectLists.h"
#include "net/PageFetcher.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace corvane;

namespace {

const QString kMain = QStringLiteral("www.example.com");
const QString kSite = QStringLiteral("www.partner.com");

CrawlRule globalRule(const QString& type, const QString& value)
{
    return {RuleType::Global, RuleType::Global, type, value};
}

QByteArray record(const char* url, const char* type, const char* value)
{
    return QByteArray("Excluded Site: ") + url + "\r\nRule Type: " + type
        + "\r\nRule Value: " + value + "\r\n\r\n\r\n";
}

} // namespace

class RuleEngineTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row holds for every type listed: the Root types test exactly as the String types.
    void ruleTypes_data()
    {
        QTest::addColumn<QStringList>("types");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("passes");
        const QStringList limitDir{RuleType::LimitDirectory};
        const QStringList excludeDir{RuleType::ExcludeDirectory};
        const QStringList limit{RuleType::LimitString, RuleType::LimitRoot};
        const QStringList exclude{RuleType::ExcludeString, RuleType::ExcludeRoot};

        QTest::newRow("limit dir: inside") << limitDir << "blog"
                                           << "www.example.com/blog/x.htm" << true;
        QTest::newRow("limit dir: longer name") << limitDir << "blog"
                                                << "www.example.com/blogs/x.htm" << false;
        QTest::newRow("limit dir: outside") << limitDir << "blog"
                                            << "www.example.com/x.htm" << false;
        QTest::newRow("limit dir: leading slash folded") << limitDir << "/blog"
                                                         << "www.example.com/blog/x.htm" << true;
        QTest::newRow("limit dir: both slashes folded") << limitDir << "/blog/"
                                                        << "www.example.com/blog/x.htm" << true;
        QTest::newRow("limit dir: both slashes, longer name") << limitDir << "/blog/"
                                                              << "www.example.com/blogs/" << false;
        QTest::newRow("limit dir: ignores case") << limitDir << "Blog"
                                                 << "www.example.com/BLOG/x.htm" << true;
        QTest::newRow("exclude dir: inside") << excludeDir << "blog"
                                             << "www.example.com/blog/x.htm" << false;
        QTest::newRow("exclude dir: longer name") << excludeDir << "blog"
                                                  << "www.example.com/blogs/x.htm" << true;
        QTest::newRow("exclude dir: empty refuses every page URL") << excludeDir << ""
                                                                   << "www.example.com/" << false;
        QTest::newRow("limit: contains") << limit << "shop"
                                         << "www.example.com/SHOP.htm" << true;
        QTest::newRow("limit: lacks") << limit << "shop"
                                      << "www.example.com/x.htm" << false;
        QTest::newRow("limit: empty refuses none") << limit << ""
                                                   << "www.example.com/x.htm" << true;
        QTest::newRow("exclude: contains") << exclude << "print"
                                           << "www.example.com/print/x" << false;
        QTest::newRow("exclude: lacks") << exclude << "print"
                                        << "www.example.com/x.htm" << true;
        QTest::newRow("exclude: empty refuses every URL") << exclude << ""
                                                          << "www.example.com/x.htm" << false;
        QTest::newRow("unknown type applies to nothing")
            << QStringList{QStringLiteral("limitstring"), QString(), QStringLiteral("Other")}
            << "zzz"
            << "www.example.com/x.htm" << true;
    }
    void ruleTypes()
    {
        QFETCH(QStringList, types);
        QFETCH(QString, value);
        QFETCH(QString, url);
        QFETCH(bool, passes);
        for (const QString& type : types) {
            const CrawlRule rule = globalRule(type, value);
            QVERIFY2(RuleEngine::passesRule(rule, url) == passes, qPrintable(type));
        }
    }

    void scope_data()
    {
        QTest::addColumn<QString>("ruleMain");
        QTest::addColumn<QString>("ruleSite");
        QTest::addColumn<QString>("currentMain");
        QTest::addColumn<QString>("currentSite");
        QTest::addColumn<bool>("applies");
        QTest::newRow("global") << "Global"
                                << "Global" << kMain << kSite << true;
        QTest::newRow("main site") << kMain << "Global" << kMain << kSite << true;
        QTest::newRow("other main site") << "www.other.com"
                                         << "Global" << kMain << kSite << false;
        QTest::newRow("main site shown with scheme") << kMain << "Global"
                                                     << "http://www.example.com" << kSite << false;
        QTest::newRow("main site in other case") << "WWW.EXAMPLE.COM"
                                                 << "Global" << kMain << kSite << false;
        QTest::newRow("linking site") << kMain << kSite << kMain << kSite << true;
        QTest::newRow("linking site of other main site")
            << "www.other.com" << kSite << kMain << kSite << false;
        QTest::newRow("linking site url replaced by found page")
            << kMain << kSite << kMain << "www.partner.com/links.htm" << false;
        QTest::newRow("linking site under any main site")
            << "Global" << kSite << "www.any.org" << kSite << true;
        QTest::newRow("lower-case global is a site name") << "global"
                                                          << "Global" << kMain << kSite << false;
    }
    void scope()
    {
        QFETCH(QString, ruleMain);
        QFETCH(QString, ruleSite);
        QFETCH(QString, currentMain);
        QFETCH(QString, currentSite);
        QFETCH(bool, applies);
        const CrawlRule rule{ruleMain, ruleSite, RuleType::ExcludeString, QStringLiteral("x")};
        QCOMPARE(RuleEngine::ruleApplies(rule, currentMain, currentSite), applies);

        RuleList rules;
        rules.appendRule(rule);
        test::Sandbox box;
        const RuleEngine engine(*box.settings, box.app);
        QCOMPARE(engine.PassesRules(QStringLiteral("www.partner.com/x.htm"), currentMain,
                                    currentSite, rules),
                 !applies);
    }

    void everyApplicableRuleMustPass_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("passes");
        QTest::addColumn<int>("refusingRow");
        QTest::newRow("both") << "www.partner.com/a/b.htm" << true << -1;
        QTest::newRow("only a") << "www.partner.com/a/x.htm" << false << 3;
        QTest::newRow("only b") << "www.partner.com/b.htm" << false << 1;
        QTest::newRow("neither: first failing row decides")
            << "www.partner.com/x.htm" << false << 1;
    }
    void everyApplicableRuleMustPass()
    {
        QFETCH(QString, url);
        QFETCH(bool, passes);
        QFETCH(int, refusingRow);
        RuleList rules;
        // Rows of other scopes sit between the two that apply and must not decide anything.
        rules.appendRule({QStringLiteral("www.other.com"), RuleType::Global, RuleType::LimitString,
                          QStringLiteral("zzz")});
        rules.appendRule({kMain, RuleType::Global, RuleType::LimitString, QStringLiteral("a/")});
        rules.appendRule(
            {kMain, QStringLiteral("www.elsewhere.com"), RuleType::ExcludeString, QString()});
        rules.appendRule({kMain, kSite, RuleType::LimitString, QStringLiteral("b.")});
        QCOMPARE(RuleEngine::firstRefusingRule(url, kMain, kSite, rules), refusingRow);

        test::Sandbox box;
        const RuleEngine engine(*box.settings, box.app);
        QCOMPARE(engine.PassesRules(url, kMain, kSite, rules), passes);
    }

    void noRulesPassEverything()
    {
        RuleList rules;
        test::Sandbox box;
        const RuleEngine engine(*box.settings, box.app);
        QVERIFY(engine.PassesRules(QStringLiteral("www.partner.com/x.htm"), kMain, kSite, rules));
    }

    void refusalsAreLoggedOnlyWhileLoggingIsOn()
    {
        test::Sandbox box;
        const QString logPath = box.file(QStringLiteral("rules.log"));
        RuleList rules;
        rules.appendRule(globalRule(RuleType::ExcludeDirectory, QStringLiteral("/private/")));
        rules.appendRule(globalRule(RuleType::LimitString, QStringLiteral("partner")));
        const RuleEngine engine(*box.settings, box.app);

        // Off by default: the refusal leaves no file behind.
        QVERIFY(!engine.PassesRules(QStringLiteral("www.partner.com/private/a.htm"), kMain, kSite,
                                    rules));
        QVERIFY(!QFile::exists(logPath));

        // Switched on while the engine lives: the very next refusal is written.
        box.settings->WriteSetting(QStringLiteral("chkLog"), QStringLiteral("1"));
        QVERIFY(engine.PassesRules(QStringLiteral("www.partner.com/a.htm"), kMain, kSite, rules));
        QVERIFY(!QFile::exists(logPath));
        QVERIFY(!engine.PassesRules(QStringLiteral("www.partner.com/private/b.htm"), kMain, kSite,
                                    rules));
        QVERIFY(!engine.PassesRules(QStringLiteral("www.other.com/c.htm"), kMain, kSite, rules));
        QCOMPARE(test::readAll(logPath),
                 record("www.partner.com/private/b.htm", "ExcludeDirectory", "/private/")
                     + record("www.other.com/c.htm", "LimitString", "partner"));

        box.settings->WriteSetting(QStringLiteral("chkLog"), QStringLiteral("0"));
        QVERIFY(!engine.PassesRules(QStringLiteral("www.partner.com/private/d.htm"), kMain, kSite,
                                    rules));
        QCOMPARE(test::readAll(logPath).count("Excluded Site: "), 2);
    }

    void logIsAppendedInCodePage()
    {
        test::Sandbox box;
        const QString logPath = box.file(QStringLiteral("rules.log"));
        QVERIFY(test::writeAll(logPath, "earlier\r\n"));
        const RuleEngine engine(*box.settings, box.app);
        engine.LogExcludedSite(RuleType::ExcludeString, QStringLiteral("caf\u00e9"),
                               QStringLiteral("www.partner.com/caf\u00e9/\u4e2d.htm"));
        QCOMPARE(test::readAll(logPath),
                 QByteArray("earlier\r\n")
                     + record("www.partner.com/caf\xe9/?.htm", "ExcludeString", "caf\xe9"));
    }

    // A log that cannot be written (here a folder in its place) does not stop the scan: the
    // refusal still counts, and the error list says so once a scan, not once a link.
    void unwritableLogIsSaidOnceAScan()
    {
        test::Sandbox box;
        QVERIFY(QDir().mkpath(box.file(QStringLiteral("rules.log"))));
        box.settings->WriteSetting(QStringLiteral("chkLog"), QStringLiteral("1"));
        Project project;
        project.mainSites().appendUrl(kMain);
        project.addList();
        project.linkingSites(1)->appendSite({kSite, QStringLiteral("1"), {}, {}, {}});
        project.rules().appendRule(globalRule(RuleType::ExcludeDirectory, QStringLiteral("private")));
        project.state().iCurrentMain = 1;
        project.state().iCurrentSite = 1;
        const LinkClassifier classifier(project, *box.settings, box.app);
        FetchedPage page;
        page.strHost = kSite;
        page.strCurDir = kSite + u'/';
        const auto refuse = [&](const QString& href) {
            return classifier.classify(href, href, page, true).kind == LinkClassifier::Kind::Refused;
        };

        QVERIFY(refuse(QStringLiteral("/private/a.htm")));
        QVERIFY(refuse(QStringLiteral("/private/b.htm")));
        QCOMPARE(project.errors().count(), 1);
        const ErrorEntry said = project.errors().entry(0);
        QVERIFY2(said.error.startsWith(QStringLiteral("rules.log not written: ")), qPrintable(said.error));
        QCOMPARE(said.url, QStringLiteral("www.partner.com/private/a.htm"));

        project.errors().clear(); // a new scan
        project.errors().appendEntry({QStringLiteral("Timeout"), QStringLiteral("x.example")});
        QVERIFY(refuse(QStringLiteral("/private/c.htm")));
        QVERIFY(refuse(QStringLiteral("/private/d.htm")));
        QCOMPARE(project.errors().count(), 2);
        QCOMPARE(project.errors().entry(1).error, said.error);
    }
};

CORVANE_TEST_CLASS(RuleEngineTest);
#include "RuleEngineTest.moc"
