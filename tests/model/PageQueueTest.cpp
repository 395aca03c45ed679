#include "model/ProjectLists.h"
#include "support/TestRegistry.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;

class PageQueueTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstInFirstOut()
    {
        PageQueue queue;
        QAbstractItemModelTester tester(&queue,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy inserted(&queue, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&queue, &QAbstractItemModel::rowsRemoved);

        queue.enqueue(QStringLiteral("a.test/"));
        // A links page hands over its pages in one go: one insertion for all of them.
        queue.enqueueAll({QStringLiteral("a.test/1.htm"), QStringLiteral("a.test/2.htm"),
                          QStringLiteral("a.test/3.htm")});
        queue.enqueueAll({});
        QCOMPARE(inserted.count(), 2);
        QCOMPARE(inserted.at(1).at(1).toInt(), 1);
        QCOMPARE(inserted.at(1).at(2).toInt(), 3);
        QCOMPARE(queue.rowCount(), 4);
        QCOMPARE(queue.columnCount(), 1);
        QCOMPARE(queue.data(queue.index(2, 0), Qt::DisplayRole).toString(),
                 QStringLiteral("a.test/2.htm"));
        QCOMPARE(queue.headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Page"));
        QCOMPARE(queue.page(4), QString());
        QCOMPARE(queue.page(-1), QString());

        QCOMPARE(queue.takeFirst(), QStringLiteral("a.test/"));
        QCOMPARE(queue.takeFirst(), QStringLiteral("a.test/1.htm"));
        QCOMPARE(removed.count(), 2);
        QCOMPARE(queue.page(0), QStringLiteral("a.test/2.htm"));

        QSignalSpy reset(&queue, &QAbstractItemModel::modelReset);
        queue.clear();
        QVERIFY(queue.isEmpty());
        QCOMPARE(queue.takeFirst(), QString());
        queue.clear();
        QCOMPARE(reset.count(), 1);
    }
};

CORVANE_TEST_CLASS(PageQueueTest);
#include "PageQueueTest.moc"
