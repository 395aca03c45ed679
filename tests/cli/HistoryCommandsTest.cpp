#include "cli/CliHarness.h"
#include "history/HistoryStore.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QFileInfo>
#include <QProcess>
#include <QTest>

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

        CliRun r = cli.run(scanArgs(project) << QStringLiteral("--fail-on") << QStringLiteral("lost"));
        QCOMPARE(r.status, 1); // c has no link yet; nothing was lost
        QVERIFY2(!r.err.contains(QStringLiteral(" since ")), qPrintable(r.err));
        QVERIFY(QFileInfo::exists(cli.file(QStringLiteral("links.history.db"))));

        serveSecondWeek(server);
        const QString tab = cli.file(QStringLiteral("week2.tab"));
        const QString json = cli.file(QStringLiteral("week2.json"));
        r = cli.run(scanArgs(project) << QStringLiteral("--fail-on") << QStringLiteral("lost")
                                      << QStringLiteral("--tab") << tab << QStringLiteral("--json")
                                      << json);
        QCOMPARE(r.status, 3);
        const QString today = QDate::currentDate().toString(Qt::ISODate);
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
        QVERIFY2(shown.at(0).startsWith(QStringLiteral("  lost        b.test (mine.test): linked since ")
                                        + today + QStringLiteral(", last confirmed ") + today),
                 qPrintable(r.out));

        r = cli.run({QStringLiteral("changes"), project, QStringLiteral("--since"), today,
                     QStringLiteral("--json")});
        QCOMPARE(r.status, 0);
        const QJsonObject doc = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(doc.value(QStringLiteral("scans")).toArray().size(), 2);
        QStringList kinds;
        for (const QJsonValue& c : doc.value(QStringLiteral("changes")).toArray())
            kinds << c.toObject().value(QStringLiteral("linkingSite")).toString() + u'='
                         + c.toObject().value(QStringLiteral("change")).toString();
        // The first scan's news, then the second's changes.
        QCOMPARE(kinds, (QStringList{"a.test=new", "b.test=new", "d.test=new", "e.test=new",
                                     "b.test=lost", "c.test=new", "d.test=changed",
                                     "e.test=unreachable"}));

        r = cli.run({QStringLiteral("history"), project, QStringLiteral("--partner"),
                     QStringLiteral("http://d.test/")});
        QCOMPARE(r.status, 0);
        const QStringList history = r.out.split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(history.size(), 3);
        QVERIFY2(history.at(2).endsWith(QStringLiteral("Direct Link  on d.test  [nofollow; text \"me\"]  changed: now nofollow")),
                 qPrintable(r.out));
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
