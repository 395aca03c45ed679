#include "output/TabExport.h"

#include "OutputTestData.h"
#include "support/TestRegistry.h"

#include <QFile>
#include <QTest>

using namespace corvane;

class TabExportTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyListIsTheHeaderAndThreeLineEnds()
    {
        test::Sandbox box;
        ResultList results;
        const WriteOutcome o = TabExport::save(results, box.file(QStringLiteral("e.tab")), {});
        QVERIFY(o.written());
        QCOMPARE(test::readAll(o.path), QByteArray("Main\tRemote\tStatus\tNo.\tURL\tNotes\tChange\r\n\r\n\r\n"));
    }

    void rowsAreWrittenAsTheyStandInListOrder()
    {
        test::Sandbox box;
        Project project;
        QVERIFY(test::loadOutputFixture(project, QStringLiteral("mixed.prj")));
        // Sorting (the first click sorts descending) reorders the list itself, and a later row
        // lands at its sorted place; the export follows what the list shows.
        project.results().sortByColumn(ResultList::Status + 1);
        project.results().appendEntry(test::result(QStringLiteral("m\xe9.example"),
                                                   QStringLiteral("tab\there"),
                                                   QStringLiteral("None Found (Timeout)")));
        const WriteOutcome o
            = TabExport::save(project.results(), box.file(QStringLiteral("r.tab")), {});
        QVERIFY(o.written());
        QCOMPARE(
            test::readAll(o.path),
            QByteArray("Main\tRemote\tStatus\tNo.\tURL\tNotes\tChange\r\n\r\n"
                       "mysite.example\tpartner-two.example\tNone Found (Timeout)\t000\t\t\t\r\n"
                       "m\xe9.example\ttab\there\tNone Found (Timeout)\t001\t\t\t\r\n"
                       "mysite.example\tpartner-three.example\tNone Found (404 Not found)\t000\t"
                       "partner-three.example/\t\t\r\n"
                       "mysite.example\tpartner-four.example\tMissing 002\t001\t"
                       "www.partner-four.example/\t\t\r\n"
                       "mysite.example\tpartner-one.example\tDirect Link\t001\t"
                       "www.partner-one.example/links.htm\t\t\r\n"
                       "\r\n"));
    }

    void nameGetsTabUnlessItContainsIt_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain name") << "results"
                                    << "results.tab";
        QTest::newRow("upper case kept") << "results.TAB"
                                         << "results.TAB";
        QTest::newRow(".tab inside") << "my.tab.txt"
                                     << "my.tab.txt";
    }
    void nameGetsTabUnlessItContainsIt()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, written);
        test::Sandbox box;
        ResultList results;
        const WriteOutcome o = TabExport::save(results, box.file(chosen), {});
        QVERIFY(o.written());
        QCOMPARE(o.path, box.file(written));
        QVERIFY(QFile::exists(o.path));
    }

    void existingFileIsReplacedOnlyAfterOk()
    {
        test::Sandbox box;
        ResultList results;
        const QString path = box.file(QStringLiteral("results.tab"));
        QVERIFY(test::writeAll(path, "old"));
        int asked = 0;
        WriteOutcome o = TabExport::save(results, path, [&](const QString& q) {
            ++asked;
            return q != OutputFile::kOverwriteQuestion;
        });
        QCOMPARE(asked, 1);
        QCOMPARE(o.status, WriteOutcome::Status::Cancelled);
        QCOMPARE(test::readAll(path), QByteArray("old"));

        o = TabExport::save(results, path, [&](const QString&) {
            ++asked;
            return true;
        });
        QCOMPARE(asked, 2);
        QVERIFY(o.written());
        QVERIFY(test::readAll(path).startsWith("Main\t"));

        // The bare name does not exist, so replacing results.tab needs no question.
        QVERIFY(test::writeAll(path, "old"));
        o = TabExport::save(results, box.file(QStringLiteral("results")), [&](const QString&) {
            ++asked;
            return false;
        });
        QCOMPARE(asked, 2);
        QVERIFY(o.written());
        QVERIFY(test::readAll(path).startsWith("Main\t"));
    }

    void cancelledDialogDoesNothing()
    {
        ResultList results;
        QCOMPARE(TabExport::save(results, QString(), {}).status, WriteOutcome::Status::Cancelled);
        QCOMPARE(TabExport::save(results, QStringLiteral(" "), {}).status,
                 WriteOutcome::Status::Cancelled);
    }

    void unwritableFileIsReportedWithNumberAndDescription()
    {
        test::Sandbox box;
        ResultList results;
        // A regular file where the folder should be.
        QVERIFY(test::writeAll(box.file(QStringLiteral("blocker")), "x"));
        const WriteOutcome o
            = TabExport::save(results, box.file(QStringLiteral("blocker/results.tab")), {});
        QCOMPARE(o.status, WriteOutcome::Status::Failed);
        QVERIFY2(o.message.startsWith(QStringLiteral("Error: ")), qPrintable(o.message));
        const QString rest = o.message.mid(7);
        const qsizetype dash = rest.indexOf(QStringLiteral(" - "));
        QVERIFY(dash > 0);
        bool numeric = false;
        QVERIFY(rest.left(dash).toInt(&numeric) > 0 && numeric);
        QVERIFY(!rest.mid(dash + 3).isEmpty());
    }
};

CORVANE_TEST_CLASS(TabExportTest);
#include "TabExportTest.moc"
