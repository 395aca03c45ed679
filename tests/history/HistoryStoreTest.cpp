#include "history/HistoryStore.h"
#include "model/ProjectLock.h"
#include "support/FullDisk.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QDir>
#include <QTest>

#include <unistd.h>

using namespace corvane;

namespace {

const QString kMain = QStringLiteral("main.test");

PartnerCheck found(const QString& page, const QDateTime& when, const QString& notes = {})
{
    PartnerCheck c;
    c.outcome = PartnerCheck::Outcome::Found;
    c.status = QStringLiteral("Direct Link");
    c.foundOn = page;
    c.links = 1;
    c.notes = notes;
    c.checked = when;
    return c;
}

PartnerCheck noneFound(const QString& status, const QDateTime& when)
{
    ResultEntry row;
    row.status = status;
    return *PartnerCheck::fromRows({row}, when);
}

// Runs a scan into the store: each partner URL with its check; returns the changes' texts.
QStringList scanInto(HistoryStore& store, const QDateTime& when,
                     const QList<std::pair<QString, PartnerCheck>>& partners, bool complete = true)
{
    const qint64 scan = store.beginScan(when, QStringLiteral("0.1.0"));
    QStringList changes;
    for (const auto& [url, check] : partners) {
        const std::optional<PartnerChange> c = store.recordCheck(scan, kMain, url, {}, check, 3);
        changes.append(c ? c->text() : QStringLiteral("failed: ") + store.error());
    }
    store.endScan(scan, when.addSecs(60), complete);
    return changes;
}

// The first schema, as the program wrote it before partners kept their former names.
void writeFirstSchema(const QString& path)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("old"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const char* sql : {
                 "CREATE TABLE scans(id INTEGER PRIMARY KEY, started TEXT NOT NULL, finished TEXT, "
                 "state TEXT NOT NULL, version TEXT NOT NULL)",
                 "CREATE TABLE partners(id INTEGER PRIMARY KEY, main TEXT NOT NULL, url TEXT NOT "
                 "NULL, record TEXT NOT NULL, UNIQUE(main, url))",
                 "CREATE TABLE checks(partner INTEGER NOT NULL, scan INTEGER NOT NULL, checked "
                 "INTEGER NOT NULL, outcome INTEGER NOT NULL, status TEXT NOT NULL, found_on TEXT NOT "
                 "NULL, links INTEGER NOT NULL, missing INTEGER NOT NULL, notes TEXT NOT NULL, change "
                 "INTEGER NOT NULL, detail TEXT NOT NULL, PRIMARY KEY(partner, scan)) WITHOUT ROWID",
                 "CREATE INDEX checks_by_scan ON checks(scan)",
                 "INSERT INTO scans VALUES(1, '2026-01-05T03:00:00.000Z', "
                 "'2026-01-05T03:01:00.000Z', 'complete', '0.0.9')",
                 "INSERT INTO partners VALUES(1, 'main.test', 'p.test', "
                 "'{\"everFound\":true,\"lastFound\":{\"foundOn\":\"p.test/links.html\",\"links\":1}}')",
                 "INSERT INTO checks VALUES(1, 1, 1767582000, 0, 'Direct Link', 'p.test/links.html', "
                 "1, 0, '', 1, '')",
                 "PRAGMA user_version = 1"})
            QVERIFY2(q.exec(QString::fromLatin1(sql)), qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("old"));
}

} // namespace

class HistoryStoreTest final : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QDateTime m_monday = QDateTime(QDate(2026, 1, 5), QTime(3, 0));
    QString path(const QString& name) const { return m_dir.filePath(name); }

private Q_SLOTS:
    void historyFileSitsBesideTheProject_data()
    {
        QTest::addColumn<QString>("project");
        QTest::addColumn<QString>("history");
        QTest::newRow("prj") << "/p/links.prj" << "/p/links.history.db";
        QTest::newRow("upper case") << "/p/Links.PRJ" << "/p/Links.history.db";
        QTest::newRow("other name") << "/p/links.txt" << "/p/links.txt.history.db";
    }
    void historyFileSitsBesideTheProject()
    {
        QFETCH(QString, project);
        QFETCH(QString, history);
        QCOMPARE(HistoryStore::pathFor(project), history);
    }

    // Written, closed and opened again: the scans, the partners' rows, their changes and dates
    // are all there, and a renamed partner is found under both names.
    void roundTrip()
    {
        const QString file = path(QStringLiteral("round.history.db"));
        {
            HistoryStore store;
            QVERIFY2(store.open(file, HistoryStore::Mode::Write), qPrintable(store.error()));
            QCOMPARE(scanInto(store, m_monday,
                              {{"p.test", found("p.test/links.html", m_monday)},
                               {"q.test", noneFound("None Found", m_monday)}}),
                     (QStringList{"", ""})); // the first scan: nothing to compare with
            const qint64 scan = store.beginScan(m_monday.addDays(7), QStringLiteral("0.1.0"));
            // The scan rewrote p.test to the page that links (chkUpdate).
            const auto c = store.recordCheck(scan, kMain, QStringLiteral("p.test/links.html"),
                                             QStringLiteral("http://p.test/"),
                                             found("p.test/links.html", m_monday.addDays(7),
                                                   QStringLiteral("nofollow")),
                                             3);
            QVERIFY(c);
            QCOMPARE(c->text(), QStringLiteral("changed: now nofollow"));
            store.endScan(scan, m_monday.addDays(7), false);
        }
        HistoryStore store;
        QVERIFY(store.open(file, HistoryStore::Mode::Read));
        QCOMPARE(store.schemaVersion(), HistoryStore::kSchemaVersion);
        const QList<HistoryStore::Scan> scans = store.scans();
        QCOMPARE(scans.size(), 2);
        QCOMPARE(scans.at(0).state, QStringLiteral("complete"));
        QCOMPARE(scans.at(1).state, QStringLiteral("stopped"));
        QCOMPARE(scans.at(0).started, m_monday);
        QCOMPARE(store.lastScan()->id, scans.at(1).id);
        const std::optional<HistoryStore::Partner> p =
            store.partner(kMain, QStringLiteral("http://p.test"));
        QVERIFY(p);
        QCOMPARE(p->url, QStringLiteral("p.test/links.html"));
        QCOMPARE(p->formerUrls, QStringList{"p.test"});
        QCOMPARE(p->record.linkedSince, m_monday);
        QCOMPARE(p->record.lastConfirmed, m_monday.addDays(7));
        QCOMPARE(p->checks, 2);
        const QList<HistoryStore::PartnerRow> rows = store.partnerRows(p->id);
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows.at(0).change.firstScan);
        QCOMPARE(rows.at(0).change.name(), QString());
        QVERIFY(!rows.at(1).change.firstScan);
        QCOMPARE(rows.at(1).check.notes, QStringLiteral("nofollow"));
        QCOMPARE(rows.at(1).change.text(), QStringLiteral("changed: now nofollow"));
        QCOMPARE(store.changesSince(m_monday.addDays(1)).size(), 1);
        QCOMPARE(store.changesSince(m_monday).size(), 1);
        const QList<HistoryStore::ScanCount> counts = store.linkingPerScan(kMain);
        QCOMPARE(counts.size(), 2);
        QCOMPARE(counts.at(0).linking, 1);
        QCOMPARE(counts.at(0).checked, 2);
    }

    // A project never saved keeps its history in memory; its first save writes it out whole.
    void memoryHistoryIsWrittenAtTheFirstSave()
    {
        HistoryStore store;
        QVERIFY(store.openInMemory());
        scanInto(store, m_monday, {{"p.test", found("p.test/a.html", m_monday)}});
        const QString file = path(QStringLiteral("first.history.db"));
        QVERIFY2(store.saveTo(file), qPrintable(store.error()));
        QCOMPARE(store.path(), file);
        QCOMPARE(scanInto(store, m_monday.addDays(7),
                          {{"p.test", noneFound("None Found", m_monday.addDays(7))}}),
                 QStringList{"lost"});
        store.close();
        QVERIFY(store.open(file, HistoryStore::Mode::Read));
        QCOMPARE(store.scans().size(), 2);
    }

    // Closed, a history is one file: whoever closes last, writer or reader, takes SQLite's
    // journal files (-wal, -shm) with it, and reading changes none of the file's bytes.
    void closedHistoryLeavesNoJournalFiles()
    {
        const QString file = path(QStringLiteral("journal.history.db"));
        auto journals = [&file] {
            QStringList left;
            for (const char* suffix : {"-wal", "-shm"}) {
                if (QFileInfo::exists(file + QLatin1String(suffix)))
                    left << QLatin1String(suffix);
            }
            return left;
        };
        {
            HistoryStore writer;
            QVERIFY(writer.open(file, HistoryStore::Mode::Write));
            scanInto(writer, m_monday, {{"p.test", found("p.test/a.html", m_monday)}});
            HistoryStore reader;
            QVERIFY(reader.open(file, HistoryStore::Mode::Read));
            QCOMPARE(reader.scans().size(), 1);
            QVERIFY(!journals().isEmpty()); // the writer's journal, while both are open
            writer.close();
            QCOMPARE(reader.partners().size(), 1);
        } // the reader is the last one out
        QCOMPARE(journals(), QStringList());
        const QByteArray bytes = test::readAll(file);
        {
            HistoryStore reader;
            QVERIFY(reader.open(file, HistoryStore::Mode::Read));
            QCOMPARE(reader.rowsOfScan(reader.lastScan()->id).size(), 1);
        }
        QCOMPARE(journals(), QStringList());
        QCOMPARE(test::readAll(file), bytes);
    }

    // A file of the first schema is migrated when opened for writing: its rows stay, and its
    // partners are found by name.
    void olderSchemaIsMigrated()
    {
        const QString file = path(QStringLiteral("old.history.db"));
        writeFirstSchema(file);
        HistoryStore store;
        QVERIFY2(store.open(file, HistoryStore::Mode::Write), qPrintable(store.error()));
        QCOMPARE(store.schemaVersion(), HistoryStore::kSchemaVersion);
        // That program called every partner of the first scan new; it was only the first look.
        const std::optional<HistoryStore::Partner> before = store.partner(kMain, QStringLiteral("p.test"));
        QVERIFY(before);
        QVERIFY(before->lastChange.firstScan);
        QCOMPARE(store.rowsOfScan(1).value(0).change.text(), QString());
        QVERIFY(store.changesSince(m_monday.addDays(-1)).isEmpty());
        QCOMPARE(scanInto(store, m_monday.addDays(7),
                          {{"p.test", noneFound("None Found", m_monday.addDays(7))}}),
                 QStringList{"lost"});
    }

    // A newer program's file is read but never changed, and says so.
    void newerSchemaIsReadOnly()
    {
        const QString file = path(QStringLiteral("newer.history.db"));
        {
            HistoryStore store;
            QVERIFY(store.open(file, HistoryStore::Mode::Write));
            scanInto(store, m_monday, {{"p.test", found("p.test/a.html", m_monday)}});
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bump"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version = 99"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bump"));
        const QByteArray before = test::readAll(file);
        HistoryStore store;
        QVERIFY(store.open(file, HistoryStore::Mode::Write));
        QVERIFY(store.isReadOnly());
        QVERIFY2(store.notice().contains(QStringLiteral("newer version")), qPrintable(store.notice()));
        QCOMPARE(store.scans().size(), 1);
        QCOMPARE(store.beginScan(m_monday, QStringLiteral("0.1.0")), 0);
        store.close();
        QCOMPARE(test::readAll(file), before);
    }

    // A folder that cannot be written gives one clear error, and no file.
    void readOnlyFolderFailsLoudly()
    {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        const QString folder = path(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
        HistoryStore store;
        const bool opened = store.open(folder + QStringLiteral("/links.history.db"),
                                       HistoryStore::Mode::Write);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!opened);
        QVERIFY2(store.error().contains(QStringLiteral("links.history.db")), qPrintable(store.error()));
    }

    // A full disk fails the partner being written, loudly, and keeps every one written before.
    void fullDiskFailsOnePartnerAndKeepsTheRest()
    {
        test::SmallFileSystem disk(256);
        if (!disk.problem().isEmpty())
            QSKIP(qPrintable(disk.problem()));
        const QString file = disk.file(QStringLiteral("links.history.db"));
        HistoryStore store;
        QVERIFY2(store.open(file, HistoryStore::Mode::Write), qPrintable(store.error()));
        const qint64 scan = store.beginScan(m_monday, QStringLiteral("0.1.0"));
        QVERIFY(store.recordCheck(scan, kMain, QStringLiteral("p.test"), {},
                                  found(QStringLiteral("p.test/a.html"), m_monday), 3));
        disk.fill();
        bool failed = false;
        // The WAL file has room for a few pages; the disk runs out within a few partners.
        for (int n = 0; n < 200 && !failed; ++n) {
            failed = !store.recordCheck(scan, kMain, QStringLiteral("q%1.test").arg(n), {},
                                        found(QString(500, u'x'), m_monday),
                                        3);
        }
        QVERIFY(failed);
        QVERIFY2(store.error().startsWith(QStringLiteral("cannot write the history")),
                 qPrintable(store.error()));
        store.close();
        QVERIFY(store.open(file, HistoryStore::Mode::Read));
        QVERIFY(store.partner(kMain, QStringLiteral("p.test")));
    }

    // A writer killed in the middle of a scan leaves a file that opens, with every partner whose
    // transaction ended, and the scan marked stopped once a writer opens it again.
    void killedWriterLeavesCompletedPartners()
    {
        const QString project = path(QStringLiteral("killed.prj"));
        QProcess writer;
        writer.start(QStringLiteral(CORVANE_HISTORY_WRITER), {QStringLiteral("scan"), project});
        QVERIFY(writer.waitForStarted());
        int recorded = 0;
        while (recorded < 20 && writer.waitForReadyRead(10000)) {
            while (writer.canReadLine()) {
                const QByteArray line = writer.readLine().trimmed();
                QVERIFY2(line.startsWith("recorded "), line.constData());
                recorded = line.mid(9).toInt();
            }
        }
        QVERIFY(recorded >= 20);
        writer.kill(); // SIGKILL
        writer.waitForFinished();

        HistoryStore store;
        QVERIFY2(store.open(HistoryStore::pathFor(project), HistoryStore::Mode::Write),
                 qPrintable(store.error()));
        QVERIFY(store.rowsOfScan(store.lastScan()->id).size() >= recorded);
        QCOMPARE(store.scans().constLast().state, QStringLiteral("stopped"));
    }

    // One writer at a time: a second program is refused and told who holds the lock; once the
    // holder has gone (even killed), the lock can be taken.
    void lockKeepsASecondWriterOut()
    {
        const QString project = path(QStringLiteral("locked.prj"));
        QProcess holder;
        holder.start(QStringLiteral(CORVANE_HISTORY_WRITER), {QStringLiteral("lock"), project});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("locked"));

        ProjectLock lock(project);
        QVERIFY(!lock.tryLock());
        QCOMPARE(lock.error(), QStringLiteral("locked.prj is being changed by ")
                                   + QCoreApplication::applicationName() + QStringLiteral(", process ")
                                   + QString::number(holder.processId()));

        holder.kill();
        holder.waitForFinished();
        QVERIFY2(lock.tryLock(), qPrintable(lock.error()));
        // And this process's lock keeps the other program out in turn.
        QProcess second;
        second.start(QStringLiteral(CORVANE_HISTORY_WRITER), {QStringLiteral("lock"), project});
        QVERIFY(second.waitForFinished(10000));
        QVERIFY2(second.readAll().startsWith("refused locked.prj is being changed by"),
                 "the second program took a held lock");
    }

    // A lock that names no program (made, then the program ended before writing it; or made by
    // hand) is taken over once it is a moment old; a fresh one may be a writer's that is about
    // to write it, and is respected.
    void lockNamingNoProgram_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("ageSeconds");
        QTest::addColumn<bool>("taken");
        QTest::newRow("empty, left long ago") << QByteArray() << 3600 << true;
        QTest::newRow("unreadable, left long ago") << QByteArray("not a lock\n") << 3600 << true;
        QTest::newRow("empty, just made") << QByteArray() << 0 << false;
    }
    void lockNamingNoProgram()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, ageSeconds);
        QFETCH(bool, taken);
        QTemporaryDir dir;
        const QString project = dir.filePath(QStringLiteral("links.prj"));
        const QString lockFile = ProjectLock::lockPathFor(project);
        test::writeAll(lockFile, content);
        QFile f(lockFile);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.setFileTime(QDateTime::currentDateTime().addSecs(-ageSeconds),
                              QFileDevice::FileModificationTime));
        f.close();
        ProjectLock lock(project);
        QCOMPARE(lock.tryLock(), taken);
        if (!taken) {
            QVERIFY(lock.heldByOther());
            QCOMPARE(lock.error(), QStringLiteral("links.prj is being changed by another program"));
            return;
        }
        // It is this program's lock now: another one is kept out.
        QProcess second;
        second.start(QStringLiteral(CORVANE_HISTORY_WRITER), {QStringLiteral("lock"), project});
        QVERIFY(second.waitForFinished(10000));
        QVERIFY(second.readAll().startsWith("refused links.prj is being changed by"));
    }
};

CORVANE_TEST_CLASS(HistoryStoreTest);
#include "HistoryStoreTest.moc"
