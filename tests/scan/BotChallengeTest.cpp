#include "net/BotChallenge.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;

class BotChallengeTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Only the documented markers on a 403 or 503 answer make a challenge; an ordinary refusal or
    // outage page keeps its own status.
    void challengeMarkers_data()
    {
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("challenge");

        const QString forbidden = "HTTP/1.1 403 Forbidden\r\nContent-Type: text/html\r\n\r\n";
        const QString unavailable = "HTTP/1.1 503 Service Unavailable\r\n\r\n";
        const auto titled = [](const QString& title) -> QString {
            return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + title
                + "</title></head><body><noscript>Enable JavaScript</noscript></body></html>";
        };

        QTest::newRow("403 with the challenge header")
            << "HTTP/1.1 403 Forbidden\r\ncf-mitigated: challenge\r\n\r\n" << QString() << true;
        QTest::newRow("503, header in other letter case")
            << "HTTP/1.1 503 Service Unavailable\r\nCF-Mitigated:  Challenge\r\n\r\n"
            << titled("Maintenance") << true;
        QTest::newRow("403 titled Just a moment...") << forbidden << titled("Just a moment...") << true;
        QTest::newRow("503 titled with the ellipsis entity")
            << unavailable << titled("  Just a moment&hellip;\n") << true;
        QTest::newRow("403 titled Attention Required! | a name")
            << forbidden << titled("Attention Required! | Example Shield") << true;
        QTest::newRow("title in capitals, attributes on the tag")
            << forbidden << "<TITLE lang=en>ATTENTION REQUIRED!</TITLE>" << true;

        QTest::newRow("ordinary 403 page") << forbidden << titled("403 Forbidden") << false;
        QTest::newRow("ordinary 503 page")
            << unavailable << titled("Service Unavailable - back soon") << false;
        QTest::newRow("403 without a body") << forbidden << QString() << false;
        QTest::newRow("a title that only begins like one")
            << forbidden << titled("Just a moment... while we log you in") << false;
        QTest::newRow("the words in the text, not the title")
            << forbidden << "<title>Forbidden</title><p>Just a moment...</p>" << false;
        QTest::newRow("another value of the header")
            << "HTTP/1.1 403 Forbidden\r\ncf-mitigated: block\r\n\r\n" << QString() << false;
        // A page served whole is read, whatever its title says.
        QTest::newRow("200 titled Just a moment...")
            << "HTTP/1.1 200 OK\r\n\r\n" << titled("Just a moment...") << false;
        QTest::newRow("200 with the header")
            << "HTTP/1.1 200 OK\r\ncf-mitigated: challenge\r\n\r\n" << QString() << false;
        QTest::newRow("429 with the header")
            << "HTTP/1.1 429 Too Many Requests\r\ncf-mitigated: challenge\r\n\r\n" << QString()
            << false;
    }
    void challengeMarkers()
    {
        QFETCH(QString, head);
        QFETCH(QString, body);
        QFETCH(bool, challenge);
        QCOMPARE(BotChallenge::isChallenge(head, body), challenge);
    }
};

CORVANE_TEST_CLASS(BotChallengeTest);

#include "BotChallengeTest.moc"
