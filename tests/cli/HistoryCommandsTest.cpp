#include "cli/CliHarness.h"
#include "history/HistoryStore.h"
#include "support/FullDisk.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include <sys/mount.h>

using namespace corvane;
using test::CliHarness;
using test::CliRun;

namespace {

// Five partners of mine.test: a keeps its link, b drops it, c adds one, d turns nofollow, e
// stops answering.
const QByteArray kProject = "mine.test\r\n"
                            "a.test|1|||\r\n"
                            "b.test|1|||\r\n"
                            "c.test|1|||\r\n"
                            "d.test|1|||\r\n"
                            "e.test|1|||\r\n";
const QByteArray kLink = "<a href=\"http://mine.test/\">me</a>";

void serveFirstWeek(test::TestWebServer& server)
{
    for (const char* host : {"a.test", "b.test", "d.test", "e.test"})
        server.setPage(QLatin1String(host), QStringLiteral("/"), kLink);
    server.setPage(QStringLiteral("c.test"), QStringLiteral("/"), "<p>soon</p>");
}

void serveSecondWeek(test::TestWebServer& server)
{
    server.setPage(QStringLiteral("a.test"), QStringLiteral("/"), kLink);
    server.setPage(QStringLiteral("b.test"), QStringLiteral("/"), "<p>gone</p>");
    server.setPage(QStringLiteral("c.test"), QStringLiteral("/"), kLink);
    server.setPage(QStringLiteral("d.test"), QStringLiteral("/"),
                   "<a rel=\"nofollow\" href=\"http://mine.test/\">me</a>");
    server.setSilent(QStringLiteral("e.test"), QStringLiteral("/"));
}

QStringList scanArgs(const QString& project)
{
    return {QStringLiteral("scan"), project, QStringLiteral("--quiet"), QStringLiteral("--set"),
            QStringLiteral("txtTimeout=1"), QStringLiteral("--set"), QStringLiteral("chkUpdate=0")};
}

// Runs SQL on a history file with a connection of the test's own.
void runSql(const QString& file, const QStringList& statements)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("damage"));
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        for (const QString& sql : statements)
            QVERIFY2(q.exec(sql), qPrintable(sql));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("damage"));
}

// The ways a history file goes bad: each is refused by name and never written to.
enum class Damage { RandomPages, DroppedTable, OtherColumns, OtherProgram };

void damage(const QString& file, Damage how)
{
    switch (how) {
    case Damage::RandomPages: {
        // The header and the first page (the schema) intact, every other page noise.
        QByteArray bytes = test::readAll(file);
        QVERIFY(bytes.size() > 2 * 4096);
        QRandomGenerator random(7);
        for (qsizetype i = 4096; i < bytes.size(); ++i)
            bytes[i] = char(random.bounded(256));
        QVERIFY(test::writeAll(file, bytes));
        break;
    }
    case Damage::DroppedTable:
        runSql(file, {QStringLiteral("DROP TABLE names")});
        break;
    case Damage::OtherColumns:
        runSql(file, {QStringLiteral("ALTER TABLE scans RENAME COLUMN version TO program")});
        break;
    case Damage::OtherProgram:
        QFile::remove(file);
        runSql(file, {QStringLiteral("CREATE TABLE notes(id INTEGER PRIMARY KEY, text TEXT)"),
                      QStringLiteral("INSERT INTO notes(text) VALUES('mine')")});
        break;
    }
}

// A file system of the test's own made read-only, or writable again.
bool remount(const QString& folder, bool readOnly)
{
    return ::mount(nullptr, QFile::encodeName(folder).constData(), nullptr,
                   (readOnly ? MS_REMOUNT | MS_RDONLY : MS_REMOUNT), nullptr)
           == 0;
}

} // namespace

class HistoryCommandsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two cron-style scans: the second one's summary, exit status, tab file and JSON say what
    // changed; "changes" and "history" read the same from the database.
    void secondScanTellsWhatChanged()
    {
        test::TestWebServer server;
        serveFirstWeek(server);
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = cli.writeFile(QStringLiteral("links.prj"), kProject);

        const QString firstTab = cli.file(QStringLiteral("week1.tab"));
        const QString firstJson = cli.file(QStringLiteral("week1.json"));
        CliRun r = cli.run(scanArgs(project) << QStringLiteral("--fail-on") << QStringLiteral("lost")
                                             << QStringLiteral("--tab") << firstTab
                                             << QStringLiteral("--json") << firstJson);
        QCOMPARE(r.status, 1); // c has no link yet; nothing was lost
        QVERIFY2(!r.err.contains(QStringLiteral(" since ")), qPrintable(r.err));
        QVERIFY(QFileInfo::exists(cli.file(QStringLiteral("links.history.db"))));
        // Once the program has ended, the history is one file: its journal files are gone.
        for (const char* journal : {"links.history.db-wal", "links.history.db-shm"})
            QVERIFY2(!QFileInfo::exists(cli.file(QLatin1String(journal))), journal);

        // The first scan has nothing to compare with: no change in the files, and "changes"
        // says what it found rather than calling every partner new.
        int firstRows = 0;
        for (QByteArray line : test::readAll(firstTab).split('\n').mid(2)) {
            if (line.endsWith('\r'))
                line.chop(1);
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() != 7)
                continue;
            ++firstRows;
            QVERIFY2(fields.at(6).isEmpty(), line.constData());
        }
        QCOMPARE(firstRows, 5);
        for (const QJsonValue& p : QJsonDocument::fromJson(test::readAll(firstJson))
                                       .object().value(QStringLiteral("linkingSites")).toArray())
            QVERIFY(p.toObject().value(QStringLiteral("change")).isNull());
        r = cli.run({QStringLiteral("changes"), project});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("First scan: 4 partners link back (scan of ")),
                 qPrintable(r.out));
        QVERIFY2(!r.out.contains(QStringLiteral("new")), qPrintable(r.out));
        r = cli.run({QStringLiteral("history"), project});
        QCOMPARE(r.status, 0);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
        QVERIFY2(r.out.contains(QStringLiteral("c.test (mine.test): never linked; last checked ")
                                + today + QStringLiteral("; 1 scan\n")),
                 qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("a.test (mine.test): links back; Linked since ")
                                + today + QStringLiteral(", last confirmed ") + today),
                 qPrintable(r.out));
        QVERIFY2(!r.out.contains(QStringLiteral("since never")), qPrintable(r.out));

        serveSecondWeek(server);
        const QString tab = cli.file(QStringLiteral("week2.tab"));
        const QString json = cli.file(QStringLiteral("week2.json"));
        r = cli.run(scanArgs(project) << QStringLiteral("--fail-on") << QStringLiteral("lost")
                                      << QStringLiteral("--tab") << tab << QStringLiteral("--json")
                                      << json);
        QCOMPARE(r.status, 3);
        QVERIFY2(r.err.endsWith(QStringLiteral("; 1 lost, 1 new, 1 changed, 1 unreachable since ")
                                + today + u'\n'),
                 qPrintable(r.err));

        QStringList changeColumn;
        const QList<QByteArray> lines = test::readAll(tab).split('\n');
        for (const QByteArray& line : lines.mid(2)) {
            const QList<QByteArray> fields = line.trimmed().split('\t');
            if (fields.size() == 7)
                changeColumn << QString::fromLatin1(fields.at(1) + '=' + fields.at(6));
        }
        QCOMPARE(changeColumn, (QStringList{"a.test=unchanged", "b.test=lost", "c.test=new",
                                            "d.test=changed: now nofollow",
                                            "e.test=unreachable: Timeout"}));
        const QJsonArray partners = QJsonDocument::fromJson(test::readAll(json))
                                        .object().value(QStringLiteral("linkingSites")).toArray();
        QCOMPARE(partners.at(3).toObject().value(QStringLiteral("change")).toString(),
                 QStringLiteral("changed"));
        QCOMPARE(partners.at(3).toObject().value(QStringLiteral("changeDetail")).toString(),
                 QStringLiteral("now nofollow"));

        r = cli.run({QStringLiteral("changes"), project});
        QCOMPARE(r.status, 0);
        const QStringList shown = r.out.split(u'\n', Qt::SkipEmptyParts).mid(1);
        QCOMPARE(shown.size(), 4);
        // A lost link is no longer linked since any date: it was last found on one.
        QCOMPARE(shown.at(0), QStringLiteral("  lost        b.test (mine.test): Last found ") + today);

        r = cli.run({QStringLiteral("changes"), project, QStringLiteral("--since"), today,
                     QStringLiteral("--json")});
        QCOMPARE(r.status, 0);
        const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(doc.value(QStringLiteral("scans")).toArray().size(), 2);
        QStringList kinds;
        for (const QJsonValue& c : doc.value(QStringLiteral("changes")).toArray())
            kinds << c.toObject().value(QStringLiteral("linkingSite")).toString() + u'='
                         + c.toObject().value(QStringLiteral("change")).toString();
        // The second scan's changes: the first one told none.
        QCOMPARE(kinds, (QStringList{"b.test=lost", "c.test=new", "d.test=changed",
                                     "e.test=unreachable"}));

        r = cli.run({QStringLiteral("history"), project, QStringLiteral("--partner"),
                     QStringLiteral("http://d.test/")});
        QCOMPARE(r.status, 0);
        const QStringList history = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(history.size(), 3);
        QVERIFY2(history.at(2).endsWith(QStringLiteral("Direct Link  on d.test  [nofollow; text \"me\"]  changed: now nofollow")),
                 qPrintable(r.out));
        // The first scan's row tells no change.
        QVERIFY2(history.at(1).endsWith(QStringLiteral("Direct Link  on d.test  [text \"me\"]")),
                 qPrintable(r.out));

        r = cli.run({QStringLiteral("history"), project, QStringLiteral("--partner"),
                     QStringLiteral("b.test")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("b.test (mine.test): lost; Last found ") + today
                                  + QStringLiteral(", last checked ") + today
                                  + QStringLiteral("; 2 scans\n")),
                 qPrintable(r.out));
        QVERIFY2(!r.out.contains(QStringLiteral("inked since")), qPrintable(r.out));
        for (const char* journal : {"links.history.db-wal", "links.history.db-shm"})
            QVERIFY2(!QFileInfo::exists(cli.file(QLatin1String(journal))), journal);
    }

    // A partner deleted from the project keeps its rows and shows as removed; a partner the user
    // renamed is still found under its old name.
    void deletedPartnerShowsAsRemoved()
    {
        test::TestWebServer server;
        serveFirstWeek(server);
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = cli.writeFile(QStringLiteral("links.prj"), kProject);
        QCOMPARE(cli.run(scanArgs(project)).status, 1);
        test::writeAll(project, "mine.test\r\na.test|1|||\r\n");
        const CliRun r = cli.run({QStringLiteral("history"), project});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("a.test (mine.test): links back")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("b.test (mine.test) [removed]: links back")),
                 qPrintable(r.out));
    }

    // A damaged history (or another program's database under its name) is an error that names
    // the file, for the commands that read it and for a scan, which never writes to it.
    void damagedHistoryIsRefusedAndLeftAlone_data()
    {
        QTest::addColumn<Damage>("how");
        QTest::addColumn<QString>("what");
        QTest::newRow("random pages under an intact header") << Damage::RandomPages << QString();
        QTest::newRow("dropped table") << Damage::DroppedTable
                                       << QStringLiteral("the table \"names\" is missing");
        QTest::newRow("other columns")
            << Damage::OtherColumns
            << QStringLiteral("the table \"scans\" has other columns than a history's");
        QTest::newRow("another program's database")
            << Damage::OtherProgram << QStringLiteral("it holds another program's tables");
    }
    void damagedHistoryIsRefusedAndLeftAlone()
    {
        QFETCH(Damage, how);
        QFETCH(QString, what);
        test::TestWebServer server;
        serveFirstWeek(server);
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = cli.writeFile(QStringLiteral("links.prj"), kProject);
        QCOMPARE(cli.run(scanArgs(project)).status, 1);
        QCOMPARE(cli.run(scanArgs(project)).status, 1);
        const QString file = cli.file(QStringLiteral("links.history.db"));
        QVERIFY(!QFileInfo::exists(file + QStringLiteral("-wal")));
        damage(file, how);
        const QByteArray damaged = test::readAll(file);
        const QString named = QStringLiteral("the history \"") + file + QStringLiteral("\" is damaged (");

        for (const QStringList& args : {QStringList{QStringLiteral("changes"), project},
                                        QStringList{QStringLiteral("history"), project},
                                        scanArgs(project)}) {
            const CliRun r = cli.run(args);
            QCOMPARE(r.status, 2);
            QVERIFY2(r.err.contains(QStringLiteral("corvane-cli ") + args.first() + QStringLiteral(": ")
                                    + named + what),
                     qPrintable(r.err));
            QVERIFY2(!r.out.contains(QStringLiteral("No scan kept yet")), qPrintable(r.out));
            QCOMPARE(test::readAll(file), damaged);
        }
    }

    // An intact history on a read-only file system is read as ever, and a scan says why it
    // cannot keep its results in it.
    void readOnlyFolderIsReadAndNamed()
    {
        test::SmallFileSystem disk(1024);
        if (!disk.problem().isEmpty())
            QSKIP(qPrintable(disk.problem()));
        test::TestWebServer server;
        serveFirstWeek(server);
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = disk.file(QStringLiteral("links.prj"));
        QVERIFY(test::writeAll(project, kProject));
        QCOMPARE(cli.run(scanArgs(project)).status, 1);
        serveSecondWeek(server);
        QCOMPARE(cli.run(scanArgs(project)).status, 1);
        const CliRun changes = cli.run({QStringLiteral("changes"), project});
        const CliRun history = cli.run({QStringLiteral("history"), project});
        QCOMPARE(changes.status, 0);
        const QString folder = QFileInfo(project).absolutePath();
        QVERIFY(remount(folder, true));

        CliRun r = cli.run({QStringLiteral("changes"), project});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, changes.out);
        r = cli.run({QStringLiteral("history"), project});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, history.out);
        r = cli.run(scanArgs(project));
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("cannot write the history \"")
                                + disk.file(QStringLiteral("links.history.db"))
                                + QStringLiteral("\": the folder is read-only")),
                 qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("not a history file")), qPrintable(r.err));
        QVERIFY(remount(folder, false));
    }

    // On a full disk the scan says so, and the history is whole once there is room again.
    void fullDiskIsNamed()
    {
        test::SmallFileSystem disk(1024);
        if (!disk.problem().isEmpty())
            QSKIP(qPrintable(disk.problem()));
        test::TestWebServer server;
        serveFirstWeek(server);
        CliHarness cli;
        cli.network.setRoute(server.route());
        const QString project = disk.file(QStringLiteral("links.prj"));
        QVERIFY(test::writeAll(project, kProject));
        QCOMPARE(cli.run(scanArgs(project)).status, 1);
        const CliRun before = cli.run({QStringLiteral("history"), project});
        QCOMPARE(before.status, 0);

        disk.fill();
        serveSecondWeek(server);
        const QString history = QStringLiteral("the history \"")
                                + disk.file(QStringLiteral("links.history.db")) + u'"';
        CliRun r = cli.run(scanArgs(project));
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains(QStringLiteral("cannot write ") + history
                                + QStringLiteral(": the disk is full")),
                 qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("not a history file")), qPrintable(r.err));
        r = cli.run({QStringLiteral("history"), project});
        QVERIFY2(r.status == 0 || r.err.contains(QStringLiteral("the disk is full")), qPrintable(r.err));

        QVERIFY(QFile::remove(disk.file(QStringLiteral("filler"))));
        r = cli.run({QStringLiteral("history"), project});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, before.out);
    }

    // A project opened through a symbolic link is the project itself: its lock and its history
    // are those of the real file, so a program that opens it by the other path is refused while
    // one is at work, and what both did is kept.
    void symbolicLinkSharesLockAndHistory()
    {
        test::TestWebServer server;
        serveFirstWeek(server);
        CliHarness cli;
        cli.network.setRoute(server.route());
        QVERIFY(QDir().mkpath(cli.file(QStringLiteral("real"))));
        const QString project = cli.writeFile(QStringLiteral("real/links.prj"), kProject);
        const QString link = cli.file(QStringLiteral("link.prj"));
        QVERIFY(QFile::link(project, link));
        const QString sites = cli.writeFile(QStringLiteral("sites.txt"), "new.test\r\n");
        const QStringList import = {QStringLiteral("import"), project, QStringLiteral("--linking-sites"),
                                    sites, QStringLiteral("--main"), QStringLiteral("1")};

        // Each path held by another program keeps a writer by the other path out.
        for (const auto& [held, args] : {std::pair{link, import},
                                         std::pair{project, scanArgs(link) << QStringLiteral("--save")}}) {
            QProcess holder;
            holder.start(QStringLiteral(CORVANE_HISTORY_WRITER), {QStringLiteral("lock"), held});
            QVERIFY(holder.waitForStarted());
            QVERIFY(holder.waitForReadyRead(10000));
            const CliRun r = cli.run(args);
            QCOMPARE(r.status, 2);
            QVERIFY2(r.firstErrorLine().contains(QStringLiteral(" is being changed by ")), qPrintable(r.err));
            QCOMPARE(test::readAll(project), kProject);
            holder.kill();
            holder.waitForFinished();
        }

        QCOMPARE(cli.run(scanArgs(link) << QStringLiteral("--save")).status, 1);
        QCOMPARE(cli.run(import).status, 0);
        const QByteArray saved = test::readAll(project);
        QVERIFY2(saved.contains("new.test|") && saved.contains("RESULT:"), saved.constData());
        QVERIFY(QFileInfo(link).isSymLink());
        QVERIFY(QFileInfo::exists(cli.file(QStringLiteral("real/links.history.db"))));
        QVERIFY(!QFileInfo::exists(cli.file(QStringLiteral("link.history.db"))));
        const CliRun byLink = cli.run({QStringLiteral("history"), link});
        QCOMPARE(byLink.status, 0);
        QCOMPARE(byLink.out, cli.run({QStringLiteral("history"), project}).out);
        QVERIFY2(byLink.out.startsWith(QStringLiteral("a.test (mine.test): links back")), qPrintable(byLink.out));
    }

    // The fault of two writers: an import into a project while a scan of it runs. The second
    // program is refused and told which one holds the project, and changes nothing.
    void secondWriterIsRefused()
    {
        CliHarness cli;
        const QString project = cli.writeFile(QStringLiteral("links.prj"), kProject);
        const QString sites = cli.writeFile(QStringLiteral("sites.txt"), "new.test\r\n");
        QProcess holder;
        holder.start(QStringLiteral(CORVANE_HISTORY_WRITER), {QStringLiteral("lock"), project});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        for (const QStringList& args :
             {QStringList{QStringLiteral("import"), project, QStringLiteral("--linking-sites"), sites,
                          QStringLiteral("--main"), QStringLiteral("1")},
              QStringList{QStringLiteral("scan"), project}}) {
            const CliRun r = cli.run(args);
            QCOMPARE(r.status, 2);
            QCOMPARE(r.firstErrorLine(),
                     QStringLiteral("corvane-cli ") + args.first()
                         + QStringLiteral(": links.prj is being changed by ")
                         + QCoreApplication::applicationName() + QStringLiteral(", process ")
                         + QString::number(holder.processId()));
        }
        QCOMPARE(test::readAll(project), kProject);
        holder.kill();
        holder.waitForFinished();
    }
};

CORVANE_TEST_CLASS(HistoryCommandsTest);
#include "HistoryCommandsTest.moc"
