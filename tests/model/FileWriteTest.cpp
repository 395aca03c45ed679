#include "model/FileTypeList.h"
#include "model/FileWrite.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "support/FullDisk.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;
using Kind = test::FullDisk::Kind;

Q_DECLARE_METATYPE(Kind)

namespace {

void addDiskRows(const char* name, const std::function<void(QTestData&)>& more = {})
{
    for (const auto& [kind, label] : {std::pair{Kind::SmallFileSystem, "64 KB tmpfs"},
                                      std::pair{Kind::FileSizeLimit, "size limit"}}) {
        QTestData& row = QTest::addRow("%s, %s", name, label) << kind;
        if (more)
            more(row);
    }
}

#define SKIP_WITHOUT(disk)                                                                         \
    if (!(disk).problem().isEmpty())                                                               \
    QSKIP(qPrintable(QStringLiteral("no small file system to fill: ") + (disk).problem()))

QStringList filesIn(const QString& folder)
{
    QStringList files = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    files.removeAll(QStringLiteral("filler"));
    return files;
}

} // namespace

// Every file the program writes goes through FileWrite: on a full disk the write fails with the
// system's reason, and the file that was there before is still there, unchanged.
class FileWriteTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Small files were the ones that came out empty: their bytes waited in a buffer until the
    // commit, whose failure went unnoticed. Large ones fail in the middle of the writing.
    void replaceKeepsTheOldFileOnAFullDisk_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QByteArray>("old"); // empty: no file before
        QTest::addColumn<int>("size");
        for (const int size : {100, 40000}) {
            for (const QByteArray& old : {QByteArray("old\r\n"), QByteArray()}) {
                const QByteArray name = QByteArray::number(size) + " bytes, "
                    + (old.isEmpty() ? "new file" : "old file");
                addDiskRows(name.constData(), [&](QTestData& row) { row << old << size; });
            }
        }
    }
    void replaceKeepsTheOldFileOnAFullDisk()
    {
        QFETCH(Kind, kind);
        QFETCH(QByteArray, old);
        QFETCH(int, size);
        test::FullDisk disk(kind);
        SKIP_WITHOUT(disk);
        const QString path = disk.file(QStringLiteral("file.txt"));
        if (!old.isEmpty())
            QVERIFY(test::writeAll(path, old));
        const QByteArray bytes(size, 'n');

        const std::optional<FileWriteError> error
            = disk.whileFull([&] { return FileWrite::replace(path, bytes); });
        QVERIFY(error.has_value());
        QCOMPARE(error->reason, disk.reason());
        QCOMPARE(test::readAll(path), old);
        QCOMPARE(QFile::exists(path), !old.isEmpty());
        // No temporary file stays behind.
        QCOMPARE(filesIn(disk.file({})), old.isEmpty() ? QStringList() : QStringList{"file.txt"});

        // With room again the same write goes through.
        QVERIFY(!FileWrite::replace(path, bytes));
        QCOMPARE(test::readAll(path), bytes);
    }

    // rules.log grows record by record: a record that does not fit is taken back whole.
    void appendLeavesNoHalfRecord_data()
    {
        QTest::addColumn<Kind>("kind");
        addDiskRows("append");
    }
    void appendLeavesNoHalfRecord()
    {
        QFETCH(Kind, kind);
        test::FullDisk disk(kind);
        SKIP_WITHOUT(disk);
        const QString path = disk.file(QStringLiteral("rules.log"));
        QVERIFY(!FileWrite::append(path, "first\r\n"));
        const QByteArray record(5000, 'r'); // more than the free part of the file's last block
        const std::optional<FileWriteError> error
            = disk.whileFull([&] { return FileWrite::append(path, record); });
        QVERIFY(error.has_value());
        QCOMPARE(error->reason, disk.reason());
        QCOMPARE(test::readAll(path), QByteArray("first\r\n"));
        QVERIFY(!FileWrite::append(path, "second\r\n"));
        QCOMPARE(test::readAll(path), QByteArray("first\r\nsecond\r\n"));
    }

    // A first start on a full disk: a shipped file is copied whole or not at all, so no empty
    // filetypes.txt is taken for the user's list at the next start.
    void seedingWritesWholeFilesOrNone_data()
    {
        QTest::addColumn<Kind>("kind");
        addDiskRows("seed");
    }
    void seedingWritesWholeFilesOrNone()
    {
        QFETCH(Kind, kind);
        test::FullDisk disk(kind);
        SKIP_WITHOUT(disk);
        const AppFolder app(disk.file(QStringLiteral("app")));
        QVERIFY(disk.whileFull([&] { return app.seed(); }));
        QVERIFY(!QFile::exists(app.file(QStringLiteral("filetypes.txt"))));
        // With room again, as much as fits (64 KB do not hold every file), each file whole.
        QVERIFY(app.seed());
        for (const char* name : {"filetypes.txt", "Help.html", "sounds/finished.wav",
                                 "sounds/foundemail.wav", "sounds/nextsearch.wav"}) {
            const QString copy = app.file(QString::fromLatin1(name));
            if (QFile::exists(copy))
                QCOMPARE(test::readAll(copy),
                         test::readAll(QStringLiteral(CORVANE_SHIPPED_DATA "/") + QString::fromLatin1(name)));
        }
    }

    // The project's own writes: Save, the quick-save of a rebuild, the autosave during a scan,
    // and the list of file types of the options.
    void projectWritersKeepTheOldFile_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("writer");
        for (const char* writer : {"save", "quick-save", "autosave", "file types"})
            addDiskRows(writer, [&](QTestData& row) { row << QString::fromLatin1(writer); });
    }
    void projectWritersKeepTheOldFile()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, writer);
        test::FullDisk disk(kind);
        SKIP_WITHOUT(disk);
        test::Sandbox box; // the settings
        QVERIFY(QDir().mkpath(disk.file(QStringLiteral("app"))));
        const AppFolder app(disk.file(QStringLiteral("app")));
        Project project;
        ProjectFile files(project, *box.settings, app);
        ProjectFile::clearProject(project);
        project.mainSites().appendUrl(QStringLiteral("mine.example"));
        project.addList();
        project.linkingSites(1)->appendSite({QStringLiteral("partner.example"),
                                             QStringLiteral("1"), {}, {}, {}});
        project.mainSites().appendUrl(QStringLiteral("shop.example"));
        project.addList();
        project.state().bProjectSaved = false;

        const QMap<QString, QString> target
            = {{"save", "app/mine.prj"}, {"quick-save", "app/quicksave.qsv"},
               {"autosave", "app/mine.prj"}, {"file types", "app/filetypes.txt"}};
        const QString path = disk.file(target.value(writer));
        const QByteArray old = ".htm\r\n";
        QVERIFY(test::writeAll(path, old));
        box.settings->WriteSetting(QStringLiteral("LastProject"), path);

        QString error;
        if (writer == u"save") {
            const FileOutcome outcome
                = disk.whileFull([&] { return files.SaveProjectFile(path); });
            QVERIFY(!outcome);
            error = outcome.error;
            QVERIFY(!project.state().bProjectSaved);
        } else if (writer == u"quick-save") {
            error = disk.whileFull([&] { return files.QuickSave(0); }).error;
        } else if (writer == u"autosave") {
            box.settings->WriteSetting(QStringLiteral("chkAutoSave"), QStringLiteral("1"));
            project.state().bScanRunning = true;
            for (int tick = 1; tick < 300; ++tick)
                QVERIFY(!files.Timer1_Timer());
            QSignalSpy failed(&files, &ProjectFile::autosaveFailed);
            const std::optional<FileOutcome> outcome
                = disk.whileFull([&] { return files.Timer1_Timer(); });
            QVERIFY(outcome && !*outcome);
            QCOMPARE(failed.count(), 1);
            error = failed.at(0).at(1).toString();
        } else {
            FileTypeList types(path);
            types.load();
            const FileTypeChange change = disk.whileFull([&] { return types.add(QString(80, u'x')); });
            QVERIFY(!change.saved);
            error = change.message;
            QCOMPARE(types.entries(), QStringList{QStringLiteral(".htm")});
        }
        QVERIFY2(error.contains(disk.reason()), qPrintable(error));
        QCOMPARE(test::readAll(path), old);
    }
};

CORVANE_TEST_CLASS(FileWriteTest);

#include "FileWriteTest.moc"
