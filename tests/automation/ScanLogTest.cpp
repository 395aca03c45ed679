#include "automation/ScanLog.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

// An old log line of exactly 50 bytes, its "\n" included: "... scan: old 007 ...".
QByteArray oldLine(int n)
{
    QByteArray line = "2026-03-01 06:00:00  scan: old " + QByteArray::number(n).rightJustified(3, '0');
    return line.leftJustified(49, ' ') + '\n';
}

} // namespace

// The project's scan log: appended to by every run, and kept to a size a daily schedule can live
// with.
class ScanLogTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void trimmedToItsNewestLines_data()
    {
        QTest::addColumn<int>("oldLines");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("appended");
        QTest::addColumn<int>("oldKept");
        QTest::addColumn<QString>("lastRun");
        // The appended line is 21 bytes of time, the text and "\n": "scan: newest" takes 34.
        QTest::newRow("under the limit") << 5 << 10000 << "scan: newest" << 5 << "newest";
        QTest::newRow("up to the limit exactly") << 19 << 19 * 50 + 34 << "scan: newest" << 19 << "newest";
        // 2034 bytes past 1000: the newest 500 are cut at the next whole line, old 031 on.
        QTest::newRow("past the limit: the newest half") << 40 << 1000 << "scan: newest" << 9 << "newest";
        // The last run is read from the lines kept.
        QTest::newRow("past it with a line that is no scan")
            << 40 << 1000 << "notification: shown" << 9 << "old 039";
        QTest::newRow("one line longer than the half: kept alone")
            << 40 << 1000 << "alert command: | " + QString(600, u'x') << 0 << "";
    }
    void trimmedToItsNewestLines()
    {
        QFETCH(int, oldLines);
        QFETCH(int, limit);
        QFETCH(QString, appended);
        QFETCH(int, oldKept);
        QFETCH(QString, lastRun);
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("links.prj"));
        QByteArray old;
        for (int i = 0; i < oldLines; ++i)
            old += oldLine(i);
        QVERIFY(test::writeAll(ScanLog::pathFor(project), old));

        QVERIFY(ScanLog::append(project, {appended}, limit));

        QFile log(ScanLog::pathFor(project));
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QByteArray text = log.readAll();
        QVERIFY(text.size() <= limit);
        QList<QByteArray> lines = text.split('\n');
        QCOMPARE(lines.takeLast(), QByteArray());
        // Whole lines only, the newest of the old ones in their order, then the one appended.
        QCOMPARE(lines.size(), oldKept + 1);
        for (int i = 0; i < oldKept; ++i)
            QCOMPARE(lines.at(i) + '\n', oldLine(oldLines - oldKept + i));
        static const QRegularExpression stamp(QStringLiteral("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d  "));
        QVERIFY(QString::fromUtf8(lines.last()).contains(stamp));
        QVERIFY(lines.last().endsWith(appended.toUtf8()));
        // Replaced through a file beside it that is gone once renamed.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("links.scan.log")});

        const std::optional<ScanLog::Run> last = ScanLog::lastRun(project);
        QCOMPARE(last ? last->outcome.trimmed() : QString(), lastRun);
    }
};

CORVANE_TEST_CLASS(ScanLogTest);
#include "ScanLogTest.moc"
