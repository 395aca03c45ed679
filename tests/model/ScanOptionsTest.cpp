#include "model/FileTypeList.h"
#include "model/ScanOptions.h"
#include "model/SettingsStore.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QTest>

using namespace corvane;

class ScanOptionsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void fileTypeEntry_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("entry");
        QTest::newRow("no dot gets one") << "htm" << ".htm";
        QTest::newRow("double dot") << "..php" << ".php";
        QTest::newRow("dot inside kept") << "x.asp" << "x.asp";
        QTest::newRow("already an extension") << ".html" << ".html";
        QTest::newRow("three dots, one pass") << "...cgi" << "..cgi";
        QTest::newRow("blank made an extension") << " " << ". ";
    }
    void fileTypeEntry()
    {
        QFETCH(QString, typed);
        QFETCH(QString, entry);
        QCOMPARE(FileTypeList::entryFor(typed), entry);
    }

    // Each change rewrites the whole file, CR LF after every entry, equal entries kept; the last
    // one deleted leaves an empty file. Lines that are empty or a single space are not entries.
    void fileTypesWrittenAtEveryChange()
    {
        test::Sandbox box;
        const QString path = box.file(QStringLiteral("filetypes.txt"));
        QVERIFY(test::writeAll(path, "\r\n.htm\r\n \r\n.php\n\r\n  \r\n"));
        FileTypeList list(path);
        list.load();
        QCOMPARE(list.entries(), (QStringList{".htm", ".php", "  "}));

        QVERIFY(list.add(QStringLiteral("htm")).saved);
        QVERIFY(list.add(QStringLiteral("caf\u00e9")).saved);
        QCOMPARE(test::readAll(path), QByteArray(".htm\r\n.php\r\n  \r\n.htm\r\n.caf\xe9\r\n"));
        QVERIFY(list.remove(0).saved);
        QVERIFY(!list.remove(7).saved);
        QCOMPARE(list.entries(), (QStringList{".php", "  ", ".htm", ".caf\u00e9"}));
        while (!list.entries().isEmpty())
            QVERIFY(list.remove(0).saved);
        QVERIFY(QFile::exists(path));
        QCOMPARE(test::readAll(path), QByteArray());

        const FileTypeChange empty = list.add(QString());
        QVERIFY(!empty.saved);
        QCOMPARE(empty.message, QStringLiteral("Please enter a file extension first."));
    }

    // A list that cannot be written is reported, and the change is not made.
    void failedSaveChangesNothing()
    {
        test::Sandbox box;
        QVERIFY(test::writeAll(box.file(QStringLiteral("blocker")), "a file, not a folder"));
        FileTypeList list(box.file(QStringLiteral("blocker/filetypes.txt")));
        list.load();
        const FileTypeChange change = list.add(QStringLiteral("htm"));
        QVERIFY(!change.saved);
        QVERIFY2(change.message.contains(QStringLiteral("could not be saved")),
                 qPrintable(change.message));
        QVERIFY(list.entries().isEmpty());
    }

    // A number field writes what the setting accepts, writes nothing when emptied, and asks for
    // its replacement otherwise (a timeout of no seconds would end every Linking Site at once).
    void numberField_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("replacement");
        QTest::newRow("timeout") << "txtTimeout" << "30" << "30" << "";
        QTest::newRow("timeout with blanks") << "txtTimeout" << " 45 " << "45" << "";
        QTest::newRow("letters") << "txtTimeout" << "abc" << "" << "60";
        QTest::newRow("digits then letters") << "txtTimeout" << "12s" << "" << "60";
        QTest::newRow("beyond 16 bits") << "txtTimeout" << "40000" << "" << "60";
        QTest::newRow("largest 16-bit") << "txtTimeout" << "32767" << "32767" << "";
        QTest::newRow("no seconds") << "txtTimeout" << "0" << "" << "60";
        QTest::newRow("negative timeout") << "txtTimeout" << "-5" << "" << "60";
        QTest::newRow("emptied") << "txtTimeout" << "" << "" << "";
        QTest::newRow("minutes") << "txtAutoSave" << "15" << "15" << "";
        QTest::newRow("negative minutes") << "txtAutoSave" << "-3" << "-3" << "";
        QTest::newRow("minutes letters") << "txtAutoSave" << "ten" << "" << "5";
    }
    void numberField()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QString, stored);
        QFETCH(QString, replacement);
        test::Sandbox box;
        ScanOptions options(*box.settings);
        const QString fallback = key == QStringLiteral("txtTimeout") ? QStringLiteral("60")
                                                                     : QStringLiteral("5");
        QCOMPARE(options.numberFieldChanged(key, text, fallback), replacement);
        QCOMPARE(box.settings->ReadSetting(key, QStringLiteral("unset")),
                 stored.isEmpty() ? QStringLiteral("unset") : stored);
    }

    void pageLimitOnOpening_data()
    {
        QTest::addColumn<QString>("stored"); // empty: never written
        QTest::addColumn<int>("index");
        QTest::newRow("fresh user: 500 pages") << "" << 4;
        QTest::newRow("first") << "0" << 0;
        QTest::newRow("last") << "12" << 12;
        QTest::newRow("past the list") << "13" << 4;
        QTest::newRow("negative") << "-1" << 4;
        QTest::newRow("not a number") << "many" << 4;
    }
    void pageLimitOnOpening()
    {
        QFETCH(QString, stored);
        QFETCH(int, index);
        test::Sandbox box;
        if (!stored.isEmpty())
            box.settings->WriteSetting(QStringLiteral("cmbAdvance"), stored);
        ScanOptions options(*box.settings);
        QCOMPARE(options.openPageLimit(), index);
        QCOMPARE(box.settings->ReadSetting(QStringLiteral("cmbAdvance"), {}),
                 QString::number(index));
        QCOMPARE(ScanOptions::pageLimitCaptions().size(), 13);
        QCOMPARE(QString(ScanOptions::pageLimitCaptions().at(index)).remove(u',').toInt(),
                 (QList<int>{1, 10, 50, 100, 500, 1000, 5000, 10000, 20000, 50000, 100000,
                             200000, 500000})
                     .at(index));
    }
};

CORVANE_TEST_CLASS(ScanOptionsTest);

#include "ScanOptionsTest.moc"
