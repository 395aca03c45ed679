#include "model/SettingsStore.h"
#include "net/NetworkContext.h"
#include "net/UserAgentSetting.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QTest>

using namespace corvane;

class UserAgentSettingTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void chosenAgent_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QByteArray>("agent");
        QTest::newRow("empty: the program's own") << "" << QByteArray("Own/1");
        QTest::newRow("blanks only: the program's own") << " \t " << QByteArray("Own/1");
        QTest::newRow("a browser's name")
            << "  Mozilla/5.0 (X11; Linux x86_64) Firefox/115.0 "
            << QByteArray("Mozilla/5.0 (X11; Linux x86_64) Firefox/115.0");
        QTest::newRow("a line end cannot add a header")
            << "Bot/1\r\nX-Injected: 1" << QByteArray("Bot/1X-Injected: 1");
        QTest::newRow("no characters beyond ASCII") << QString::fromUtf8("B\u00f6t/1") << QByteArray("Bt/1");
    }
    void chosenAgent()
    {
        QFETCH(QString, setting);
        QFETCH(QByteArray, agent);
        QCOMPARE(UserAgentSetting::choose(setting, "Own/1"), agent);
    }

    // A change made while the program runs, or a value set for one run, counts from the next
    // request.
    void followsTheSetting()
    {
        test::Sandbox box;
        NetworkContext network;
        UserAgentSetting::follow(network, *box.settings, "Own/1");
        QCOMPARE(network.userAgent(), QByteArray("Own/1"));
        box.settings->WriteSetting(QStringLiteral("useragent"), QStringLiteral("Other/2"));
        QCOMPARE(network.userAgent(), QByteArray("Other/2"));
        box.settings->setOverride(QStringLiteral("UserAgent"), QStringLiteral("Run/3"));
        QCOMPARE(network.userAgent(), QByteArray("Run/3"));
        box.settings->setOverride(QStringLiteral("UserAgent"), QString());
        QCOMPARE(network.userAgent(), QByteArray("Own/1"));
    }
};

CORVANE_TEST_CLASS(UserAgentSettingTest);

#include "UserAgentSettingTest.moc"
