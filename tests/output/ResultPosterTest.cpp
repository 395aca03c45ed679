#include "output/ResultPoster.h"

#include "OutputTestData.h"
#include "net/NetworkContext.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QSignalSpy>
#include <QTest>

using namespace corvane;

namespace {

// "main|remote|status|url" per result row.
void addRows(Project& project, const QStringList& rows)
{
    for (const QString& row : rows) {
        const QStringList f = row.split(u'|');
        project.results().appendEntry(test::result(f.value(0), f.value(1), f.value(2), f.value(3)));
    }
}

QStringList urls(const QList<ResultPoster::Request>& requests)
{
    QStringList list;
    for (const ResultPoster::Request& r : requests)
        list << r.url;
    return list;
}

} // namespace

class ResultPosterTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void valueEncoding_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("encoded");
        QTest::newRow("http kept in front, slash and space encoded") << "http://a/b c-d.e_f"
                                                                     << "http://a%2Fb+c-d.e_f";
        QTest::newRow("https is encoded like any text") << "https://x"
                                                        << "https%3A%2F%2Fx";
        QTest::newRow("http:// in any case, every one removed") << "HTTP://x.example?u=http://y"
                                                                << "http://x.example%3Fu%3Dy";
        QTest::newRow("asterisk stays, tilde and dollar encoded") << "a*b~c$"
                                                                  << "a*b%7Ec%24";
        QTest::newRow("code page bytes")
            << QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac") << "caf%E9+%80";
        QTest::newRow("no equivalent in the code page")
            << QString::fromUtf8("\xe4\xb8\xad") << "%3F";
        QTest::newRow("control character") << "a\tb"
                                           << "a%09b";
        QTest::newRow("empty") << ""
                               << "";
    }
    void valueEncoding()
    {
        QFETCH(QString, value);
        QFETCH(QString, encoded);
        QCOMPARE(ResultPoster::encodeValue(value), encoded);
    }

    void statusValue_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("value"); // "skip" when the row is not posted
        QTest::newRow("direct") << "Direct Link"
                                << "True";
        QTest::newRow("indirect") << "Indirect Link"
                                  << "True";
        QTest::newRow("redirect") << "Redirect Link"
                                  << "True";
        QTest::newRow("any case") << "DIRECT"
                                  << "True";
        QTest::newRow("none found with reason") << "None Found (Timeout)"
                                                << "False";
        QTest::newRow("domain") << "Domain Link"
                                << "False";
        QTest::newRow("missing") << "Missing 002"
                                 << "skip";
        QTest::newRow("missing in any case") << "MISSING 001"
                                             << "skip";
    }
    void statusValue()
    {
        QFETCH(QString, status);
        QFETCH(QString, value);
        const std::optional<QString> v = ResultPoster::statusValue(status);
        QCOMPARE(v.value_or(QStringLiteral("skip")), value);
    }

    void variablesAreReplacedInAnyLetterCase()
    {
        QCOMPARE(ResultPoster::fillTemplate(
                     QStringLiteral("?a=$mainsite&b=$FOUNDON&c=$LinkingSite&d=$sTaTuS&e=$MainSite"),
                     QStringLiteral("M"), QStringLiteral("F"), QStringLiteral("L"),
                     QStringLiteral("True")),
                 QStringLiteral("?a=M&b=F&c=L&d=True&e=M"));
    }

    void plannedRequests_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("single");
        QTest::addColumn<QStringList>("targets"); // "main|script"
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QStringList>("urls");
        const QStringList rows = {"m.example|a.example|Direct Link|a.example/links.htm",
                                  "m.example|b.example|Missing 002|b.example/",
                                  "m.example|c.example|None Found (Timeout)|"};
        QTest::newRow("template without variables, once per posted row")
            << 0 << "http://s.example/hit.asp" << QStringList() << rows
            << QStringList({"http://s.example/hit.asp", "http://s.example/hit.asp"});
        QTest::newRow("values filled in, http:// put in front")
            << 0 << "s.example/p?m=$MainSite&l=$LinkingSite&s=$Status&f=$FoundOn" << QStringList()
            << rows
            << QStringList(
                   {"http://s.example/p?m=m.example&l=a.example&s=True&f=a.example%2Flinks.htm",
                    "http://s.example/p?m=m.example&l=c.example&s=False&f="});
        QTest::newRow("empty template is still requested")
            << 0 << "" << QStringList() << QStringList({rows.at(0)}) << QStringList({"http://"});
        QTest::newRow("https script requested as entered")
            << 0 << "https://s.example/p?s=$Status" << QStringList() << QStringList({rows.at(0)})
            << QStringList({"https://s.example/p?s=True"});
        QTest::newRow("per Main Site: first matching entry, trimmed, exact case")
            << 1 << "http://unused.example"
            << QStringList({"M.example|http://wrong-case.example/",
                            " m.example |http://first.example/?$LinkingSite",
                            "m.example|http://second.example/"})
            << rows
            << QStringList({"http://first.example/?a.example", "http://first.example/?c.example"});
        QTest::newRow("per Main Site: no entry, or an empty or blank one, skips the row")
            << 1 << "" << QStringList({"n.example|", "o.example| "})
            << QStringList({"n.example|a.example|Direct Link|", "o.example|b.example|Direct Link|",
                            "p.example|c.example|Direct Link|"})
            << QStringList();
        QTest::newRow("per Main Site: entered with scheme never matches the Main column")
            << 1 << "" << QStringList({"http://www.m.example|http://s.example/"}) << rows
            << QStringList();
    }
    void plannedRequests()
    {
        QFETCH(int, option);
        QFETCH(QString, single);
        QFETCH(QStringList, targets);
        QFETCH(QStringList, rows);
        QFETCH(QStringList, urls);
        Project project;
        project.setPostSingle(single);
        for (const QString& t : targets) {
            const qsizetype bar = t.indexOf(u'|');
            project.postTargets().appendTarget({t.left(bar), t.mid(bar + 1)});
        }
        addRows(project, rows);
        QCOMPARE(::urls(ResultPoster::plan(project, option)), urls);
    }

    // $Notes is the row's notes, encoded as a value (a link text that holds "http://" is no URL);
    // a row without notes gives an empty value.
    void notesAreTheFifthVariable()
    {
        Project project;
        project.setPostSingle(QStringLiteral("s.example/?n=$notes&s=$Status"));
        addRows(project, {"m.example|a.example|Direct Link|a.example/", "m.example|b.example|Direct Link|b.example/"});
        ResultList& results = project.results();
        results.setCell(0, ResultList::Notes, QStringLiteral("nofollow; text \"see http://x\""));
        QCOMPARE(::urls(ResultPoster::plan(project, 0)),
                 QStringList({"http://s.example/?n=nofollow%3B+text+%22see+http%3A%2F%2Fx%22&s=True",
                              "http://s.example/?n=&s=True"}));
        QVERIFY(ResultPoster::variablesText().contains(QStringLiteral("$Notes - ")));
    }

    void emptyResultsSendNothing()
    {
        test::Sandbox box;
        NetworkContext network;
        Project project;
        project.setPostSingle(QStringLiteral("http://s.example/"));
        ResultPoster poster(project, *box.settings, network);
        QSignalSpy shown(&poster, &ResultPoster::logShown);
        QSignalSpy status(&poster, &ResultPoster::statusChanged);
        QVERIFY(!poster.post());
        QCOMPARE(shown.count(), 1);
        QCOMPARE(status.count(), 1);
        QCOMPARE(status.at(0).at(0).toString(),
                 QStringLiteral("You must perform a scan for reciprocal links first"));
        QVERIFY(!poster.isRunning());
        QVERIFY(poster.log().isEmpty());
    }

    // The whole run against a web server: one request after another, in results-list order,
    // without holding up the event loop; each URL and each non-empty answer logged.
    void postsEachRowToTheScriptAndLogsTheAnswers()
    {
        test::Sandbox box;
        test::TestWebServer server;
        NetworkContext network;
        network.setRoute(server.route());
        server.setPage(QStringLiteral("scripts.example"),
                       QStringLiteral("/links.asp?m=mysite.example&l=partner-one.example&s=True"
                                      "&f=http://www.partner-one.example%2Flinks.htm"),
                       "stored");
        test::TestWebServer::Reply empty;
        empty.response = test::TestWebServer::response("200 OK", "");
        server.setFallback(empty);

        Project project;
        project.setPostSingle(QStringLiteral("scripts.example/links.asp?m=$MainSite&l=$LinkingSite"
                                             "&s=$Status&f=$FoundOn"));
        addRows(project,
                {"mysite.example|partner-one.example|Direct Link|"
                 "http://www.partner-one.example/links.htm",
                 "mysite.example|partner-two.example|Missing 001|partner-two.example/",
                 "mysite.example|partner-three.example|None Found (404 Not found)|"});
        box.settings->WriteSetting(QStringLiteral("optScript"), QStringLiteral("0"));
        ResultPoster poster(project, *box.settings, network);
        QSignalSpy status(&poster, &ResultPoster::statusChanged);
        QSignalSpy appended(&poster, &ResultPoster::logAppended);
        QSignalSpy finished(&poster, &ResultPoster::postFinished);

        QVERIFY(poster.post());
        QVERIFY(poster.isRunning());
        QVERIFY(!poster.post());              // one run at a time
        QVERIFY(server.requests().isEmpty()); // nothing was waited for inside post()
        QVERIFY(finished.wait(10000));
        QVERIFY(!poster.isRunning());

        QCOMPARE(server.requests().size(), 2);
        QCOMPARE(server.requests().at(0).host, QStringLiteral("scripts.example"));
        QCOMPARE(server.requests().at(0).path,
                 QByteArray("/links.asp?m=mysite.example&l=partner-one.example&s=True"
                            "&f=http://www.partner-one.example%2Flinks.htm"));
        QCOMPARE(server.requests().at(1).path,
                 QByteArray("/links.asp?m=mysite.example&l=partner-three.example&s=False&f="));

        QCOMPARE(status.count(), 2);
        QCOMPARE(status.at(0).at(0).toString(),
                 QStringLiteral("Sending Site 1: partner-one.example"));
        QCOMPARE(status.at(1).at(0).toString(),
                 QStringLiteral("Sending Site 3: partner-three.example"));
        QCOMPARE(appended.count(), 2);
        QCOMPARE(poster.log(),
                 QStringLiteral("\r\nURL: http://scripts.example/links.asp?m=mysite.example"
                                "&l=partner-one.example&s=True&f=http://www.partner-one.example"
                                "%2Flinks.htm\r\n"
                                "\r\nReturned: stored\r\n"
                                "\r\nURL: http://scripts.example/links.asp?m=mysite.example"
                                "&l=partner-three.example&s=False&f=\r\n"));
    }

    void optionIsKeptInTheSettings()
    {
        test::Sandbox box;
        NetworkContext network;
        Project project;
        ResultPoster poster(project, *box.settings, network);
        QCOMPARE(poster.option(), 0);
        poster.setOption(1);
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("optScript")), QStringLiteral("1"));
        QCOMPARE(poster.option(), 1);
        const ResultPoster::ControlStates perSite = ResultPoster::controlStates(1);
        QVERIFY(!perSite.txtPost && perSite.lstMulti && perSite.cmdScriptAdd
                && !perSite.cmdScriptDel);
        const ResultPoster::ControlStates single = ResultPoster::controlStates(0);
        QVERIFY(single.txtPost && !single.lstMulti && !single.cmbSites && !single.txtPost2);
    }

    void perSiteEntriesNeedAChosenMainSite()
    {
        PostTargetList targets;
        QVERIFY(!ResultPoster::addTarget(targets, QStringLiteral("Select"),
                                         QStringLiteral("http://x/")));
        QVERIFY(!ResultPoster::addTarget(targets, QString(), QStringLiteral("http://x/")));
        QVERIFY(ResultPoster::addTarget(targets, QStringLiteral("m.example"),
                                        QStringLiteral("http://")));
        QVERIFY(ResultPoster::addTarget(targets, QStringLiteral("m.example"),
                                        QStringLiteral("http://")));
        QCOMPARE(targets.count(), 2);
        ResultPoster::removeTarget(targets, -1);
        QCOMPARE(targets.count(), 2);
        ResultPoster::removeTarget(targets, 0);
        QCOMPARE(targets.count(), 1);
    }

    void exampleShowsTheHintUntilATemplateIsEntered_data()
    {
        QTest::addColumn<QString>("txtPost");
        QTest::newRow("empty") << "";
        QTest::newRow("just the scheme") << "http://";
    }
    void exampleShowsTheHintUntilATemplateIsEntered()
    {
        QFETCH(QString, txtPost);
        QCOMPARE(ResultPoster::exampleTest(txtPost),
                 QStringLiteral("Enter a test URL in the first \"Script URL\" field and click this "
                                "button again to see it's variables replaced."));
    }

    void exampleFillsTheUsersTemplate()
    {
        QCOMPARE(ResultPoster::exampleTest(
                     QStringLiteral("http://me.example/a.asp?s=$Status&m=$MAINSITE&f=$foundon")),
                 QStringLiteral("If the same site existed in your results list, the URL you entered"
                                "\r\n\r\nhttp://me.example/a.asp?s=$Status&&m=$MAINSITE&&f=$foundon"
                                "\r\nwould become\r\n\r\n"
                                "http://me.example/a.asp?\r\ns=True&&\r\nm=yoursite.example&&\r\n"
                                "f=www.partnersite.example%2Flinks.htm"
                                "\r\n\r\nAfter replacing all variables in your URL."));
        const QString example = ResultPoster::exampleText();
        QVERIFY(example.contains(QStringLiteral(
            "\r\n\r\nhttp://www.yoursite.example/getlinks.asp?mySite=$MainSite&&myURL=$LinkingSite"
            "&&myStatus=$Status&&myLinkPage=$FoundOn\r\nwould become\r\n"
            "http://www.yoursite.example/getlinks.asp?mySite=yoursite.example&&"
            "myURL=partnersite.example&&myStatus=True&&"
            "myLinkPage=www.partnersite.example%2Flinks.htm\r\n\r\n")));
        QVERIFY(
            ResultPoster::exampleMessage(QString()).startsWith(example + "\r\n\r\nEnter a test"));
        QVERIFY(ResultPoster::variablesText().contains(
            QStringLiteral("\r\n\r\n$MainSite - Inserts the Domain/URL of your Main Site \r\n"
                           "$LinkingSite - ")));
    }
};

CORVANE_TEST_CLASS(ResultPosterTest);
#include "ResultPosterTest.moc"
