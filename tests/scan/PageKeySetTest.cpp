#include "scan/PageKeySet.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;

// The known-page set of the analysis: exact texts, found again after it has grown many times.
class PageKeySetTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysAreFoundExactly()
    {
        PageKeySet set;
        const QString page = QStringLiteral("partner.test/links/p1.htm");
        QVERIFY(!set.contains(page, PageKeySet::hashOf(page)));
        set.insert(page, PageKeySet::hashOf(page));
        set.insert(page, PageKeySet::hashOf(page));
        QCOMPARE(set.size(), std::size_t(1));
        QVERIFY(set.contains(page, PageKeySet::hashOf(page)));
        // Letter case, a prefix and the empty text are other keys.
        for (const QString& other : {QStringLiteral("partner.test/links/P1.htm"),
                                     QStringLiteral("partner.test/links/p1.ht"), QString()}) {
            QVERIFY2(!set.contains(other, PageKeySet::hashOf(other)), qPrintable(other));
        }
        set.insert(QString(), PageKeySet::hashOf(QString()));
        QVERIFY(set.contains(QStringLiteral(""), PageKeySet::hashOf(QStringLiteral(""))));
        set.clear();
        QCOMPARE(set.size(), std::size_t(0));
        QVERIFY(!set.contains(page, PageKeySet::hashOf(page)));
    }

    // Room is made by growing key by key, or at once (a links page reserves for all its links,
    // also when the set already holds keys, and a smaller reservation changes nothing).
    void growingKeepsEveryKey_data()
    {
        QTest::addColumn<QList<int>>("reservations"); // before the first key, after the 100th
        QTest::newRow("key by key") << QList<int>{0, 0};
        QTest::newRow("all at once") << QList<int>{5000, 0};
        QTest::newRow("more later") << QList<int>{10, 5000};
        QTest::newRow("smaller later") << QList<int>{5000, 3};
    }
    void growingKeepsEveryKey()
    {
        QFETCH(QList<int>, reservations);
        PageKeySet set;
        const auto key = [](int i) {
            return QStringLiteral("partner.test/dir%1/page%2.htm").arg(i % 7).arg(i);
        };
        set.reserve(std::size_t(reservations.at(0)));
        for (int i = 0; i < 5000; ++i) {
            if (i == 100)
                set.reserve(std::size_t(reservations.at(1)));
            set.insert(key(i), PageKeySet::hashOf(key(i)));
        }
        QCOMPARE(set.size(), std::size_t(5000));
        for (int i = 0; i < 5000; ++i)
            QVERIFY(set.contains(key(i), PageKeySet::hashOf(key(i))));
        QVERIFY(!set.contains(key(5000), PageKeySet::hashOf(key(5000))));
    }

    void keysWithOneHashStayApart()
    {
        // Keys whose hashes collide (forced here) are told apart by their text.
        PageKeySet set;
        for (int i = 0; i < 100; ++i)
            set.insert(QString::number(i), 42);
        for (int i = 0; i < 100; ++i)
            QVERIFY(set.contains(QString::number(i), 42));
        QVERIFY(!set.contains(QStringLiteral("100"), 42));
        QCOMPARE(set.size(), std::size_t(100));
    }
};

CORVANE_TEST_CLASS(PageKeySetTest);
#include "PageKeySetTest.moc"
