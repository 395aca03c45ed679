#include "model/ProjectFile.h"
#include "ProjectSnapshot.h"
#include "model/Project.h"
#include "model/ProjectFormat.h"
#include "model/SettingsStore.h"
#include "support/FullDisk.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>


using namespace corvane;

using Builder = std::function<void(corvane::Project&)>;
Q_DECLARE_METATYPE(Builder)

namespace {

const QString kLast = QStringLiteral("LastProject");

QString fixturePath()
{
    return QStringLiteral(CORVANE_TEST_DATA "/model/sample.prj");
}

// The project of tests/data/model/sample.prj: three Main Sites (the last without Linking Sites),
// all five Linking Site fields, Windows-1252 characters, multi-line and empty page texts, results,
// rules of every scope and both kinds of post targets.
void buildSample(Project& p)
{
    ProjectFile::clearProject(p);
    const QStringList mains = {QStringLiteral("www.example.com"),
                               QStringLiteral("http://second.example.org"),
                               QStringLiteral("shop.example.net")};
    for (const QString& m : mains) {
        p.mainSites().appendUrl(m);
        p.addList();
    }
    p.linkingSites(1)->appendSite({QStringLiteral("partner-one.org"), QStringLiteral("1"),
                                   QStringLiteral("http://partner-one.org/"),
                                   QStringLiteral("Partner One"),
                                   QStringLiteral("Caf\u00e9 links")});
    p.linkingSites(1)->appendSite(
        {QStringLiteral("partner-two.net/links.html"), QStringLiteral("2"), {}, {}, {}});
    p.linkingSites(2)->appendSite({QStringLiteral("third.com"),
                                   QStringLiteral("1"),
                                   {},
                                   {},
                                   QStringLiteral("R\u00e9sum\u00e9 \u20ac list")});
    p.setPageText(1, QStringLiteral("<html>\r\n<body>"));
    p.setPageText(2, QString());
    p.setPageText(3, QStringLiteral("</body>\r\n</html>"));
    p.results().appendEntry({2, QStringLiteral("example.com"), QStringLiteral("partner-one.org"),
                             QStringLiteral("Direct Link"), QStringLiteral("001"),
                             QStringLiteral("partner-one.org/index.html"), SiteColour::Blue});
    p.results().appendEntry({1, QStringLiteral("second.example.org"), QStringLiteral("third.com"),
                             QStringLiteral("None Found (Timeout)"), QStringLiteral("000"),
                             QStringLiteral("third.com"), SiteColour::Red});
    p.results().appendEntry({1, QStringLiteral("example.com"), QStringLiteral("partner-two.net"),
                             QStringLiteral("Missing 001"), QStringLiteral("000"),
                             QStringLiteral("partner-two.net/links.html"), SiteColour::Red});
    p.rules().appendRule({QStringLiteral("Global"), QStringLiteral("Global"),
                          QStringLiteral("ExcludeString"), QStringLiteral("logout")});
    p.rules().appendRule({QStringLiteral("www.example.com"), QStringLiteral("partner-one.org"),
                          QStringLiteral("LimitDirectory"), QStringLiteral("blog")});
    p.rules().appendRule({QStringLiteral("http://second.example.org"), QStringLiteral("Global"),
                          QStringLiteral("ExcludeRoot"), QStringLiteral("/forum")});
    p.setPostSingle(QStringLiteral("http://me.example.com/post.php?m=$MainSite"));
    p.postTargets().appendTarget(
        {QStringLiteral("www.example.com"), QStringLiteral("http://me.example.com/a.php")});
    p.postTargets().appendTarget(
        {QStringLiteral("shop.example.net"), QStringLiteral("http://me.example.com/b.php")});
}

// The records of a snapshot that differ from a new, empty project.
QStringList changedRecords(const Project& p)
{
    QStringList out;
    for (const QString& r : test::snapshot(p)) {
        if (r.startsWith(QStringLiteral("lists:")) || r == QStringLiteral("S:http://"))
            continue;
        bool isDefault = false;
        for (int part = 1; part <= 3; ++part)
            isDefault |= r == QStringLiteral("P%1:").arg(part) + ProjectFile::kPageText[part - 1];
        if (!isDefault)
            out << r;
    }
    return out;
}

// A sandboxed application folder and settings with the program's project and its files.
struct Workspace {
    test::Sandbox box;
    Project project;
    ProjectFile files{project, *box.settings, box.app};

    QString lastProject() const { return box.settings->ReadSetting(kLast, QString()); }
};

} // namespace

class ProjectFileTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // --- The line format ---

    void writesTheFixtureByteForByte()
    {
        Workspace w;
        buildSample(w.project);
        w.project.state().bProjectSaved = false;
        const QString path = w.box.file(QStringLiteral("Project Files/sample.prj"));
        QVERIFY(w.files.SaveProjectFile(path));
        QCOMPARE(test::readAll(path), test::readAll(fixturePath()));
        QVERIFY(w.project.state().bProjectSaved);
        QCOMPARE(w.lastProject(), path);
    }

    void readsTheFixture()
    {
        Project expected;
        buildSample(expected);
        Project read;
        ProjectFile::clearProject(read);
        const ReadOutcome outcome = ProjectFormat::deserialize(read, test::readAll(fixturePath()));
        QVERIFY(outcome.complete);
        QCOMPARE(test::snapshot(read), test::snapshot(expected));
        // Colours follow the icon; they are not stored.
        QCOMPARE(read.results().record(0).colour, SiteColour::Blue);
        QCOMPARE(read.results().record(1).colour, SiteColour::Red);
    }

    void roundTrip_data()
    {
        QTest::addColumn<Builder>("build");
        QTest::newRow("several Main Sites, every record kind") << Builder(buildSample);
        QTest::newRow("no Main Sites") << Builder([](Project& p) {
            ProjectFile::clearProject(p);
            p.setPageText(1, QString());
            p.results().appendEntry({2, QStringLiteral("a"), QStringLiteral("b"),
                                     QStringLiteral("Direct Link"), QStringLiteral("001"),
                                     QStringLiteral("b/x.htm"), SiteColour::Blue});
        });
        QTest::newRow("empty first Main Site, duplicates") << Builder([](Project& p) {
            ProjectFile::clearProject(p);
            for (const QString& m : {QString(), QStringLiteral("a.com"), QStringLiteral("a.com")}) {
                p.mainSites().appendUrl(m);
                p.addList();
            }
            p.linkingSites(1)->appendSite(
                {QStringLiteral("x.org"), QStringLiteral("0"), {}, {}, {}});
            p.linkingSites(3)->appendSite({QStringLiteral("y.org"), QStringLiteral("3"),
                                           QStringLiteral("http://y.org"), QStringLiteral("Y"),
                                           QStringLiteral("d")});
            p.setPageText(2, QStringLiteral("\r\n\r\nline 3\r\n"));
        });
        // Values repeating from row to row are read once and shared; more distinct values than
        // the reader keeps at hand, and empty ones, must still come back each in its place.
        QTest::newRow("repeated values") << Builder([](Project& p) {
            ProjectFile::clearProject(p);
            p.mainSites().appendUrl(QStringLiteral("a.com"));
            p.addList();
            for (int i = 0; i < 40; ++i) {
                const QString v = QString::number(i % (3 + i % 11));
                p.linkingSites(1)->appendSite({QStringLiteral("s%1.org").arg(i), v, {}, v, {}});
                p.results().appendEntry({1 + i % 2, i % 5 ? QStringLiteral("a.com") : QString(),
                                         QStringLiteral("s%1.org").arg(i),
                                         QStringLiteral("Status ") + v, v,
                                         QStringLiteral("s%1.org/").arg(i),
                                         i % 2 ? SiteColour::Blue : SiteColour::Red});
            }
        });
    }
    void roundTrip()
    {
        QFETCH(Builder, build);
        Project original;
        build(original);
        const QByteArray bytes = ProjectFormat::serialize(original);
        QVERIFY(bytes.endsWith("\r\n\r\n"));
        QVERIFY(!bytes.contains("\n\n"));
        Project read;
        ProjectFile::clearProject(read);
        QVERIFY(ProjectFormat::deserialize(read, bytes).complete);
        QCOMPARE(test::snapshot(read), test::snapshot(original));
        QCOMPARE(ProjectFormat::serialize(read), bytes);
    }

    // A "|" inside a value would split its line and shift every later field ("a|b.html|1|||"
    // read back as the site "a" expecting "b.html" links). Each record comes back whole, with
    // "%7C" for the bar in an address, "\u00a6" in a text and "&#124;" in the page-builder HTML.
    void barsInValuesKeepEveryRecordWhole()
    {
        // Every field of every record holds a "|", written as u, t or h.
        const auto build = [](Project& p, const QString& u, const QString& t, const QString& h) {
            ProjectFile::clearProject(p);
            for (const QString& m : QStringList{"mine.example/a" + u + "b", "shop.example/" + u}) {
                p.mainSites().appendUrl(m);
                p.addList();
            }
            p.linkingSites(1)->appendSite({"partner.example/a" + u + "b.html", "1" + t,
                                           "partner.example/links" + u + ".htm", "Name " + t,
                                           "Fonts " + t + " colours " + t});
            p.linkingSites(2)->appendSite({u + "x.example", t, u, t, t});
            p.setPageText(1, "<link href='css?family=Roboto" + h + "Open+Sans'>" + h + "\r\n" + h);
            p.setPageText(2, h + h + h);
            p.setPageText(3, h + "\r\n\r\n" + h + h);
            p.results().appendEntry({2, "mine.example/a" + u + "b", "partner.example" + u,
                                     "Direct Link" + t, "001" + t, "partner.example/a" + u + "b.html",
                                     SiteColour::Blue, "text \"A " + t + " B\""});
            p.results().appendEntry({1, u, u, "None Found (" + t + ")", t, u, SiteColour::Red});
            p.rules().appendRule({"mine.example/a" + u + "b", "partner.example/a" + u + "b.html",
                                  "ExcludeString" + t, "a" + u + "b"});
            p.setPostSingle("http://me.example/post.php?s=$Status" + u);
            p.postTargets().appendTarget({"shop.example/" + u, "http://me.example/a.php?x=" + u});
        };
        const QString bar = QStringLiteral("|");
        Project original;
        build(original, bar, bar, bar);
        Project expected;
        build(expected, QStringLiteral("%7C"), QStringLiteral("\u00a6"), QStringLiteral("&#124;"));

        const QByteArray bytes = ProjectFormat::serialize(original);
        Project read;
        ProjectFile::clearProject(read);
        QVERIFY(ProjectFormat::deserialize(read, bytes).complete);
        QCOMPARE(test::snapshot(read), test::snapshot(expected));
        QVERIFY(bytes.contains("\r\npartner.example/a%7Cb.html|1\xa6|partner.example/links%7C.htm|"));
        // Read back and saved again, the file stays as it is.
        QCOMPARE(ProjectFormat::serialize(read), bytes);
    }

    void projectWithoutMainSitesBeginsWithItsPageTexts()
    {
        Project p;
        ProjectFile::clearProject(p);
        p.setPageText(1, QString());
        QVERIFY(ProjectFormat::serialize(p).startsWith("HTML01:\r\nHTML02:Your link HTML will be "
                                                     "generate here."));
        // New leaves "http://" as the single post URL, so it is written.
        QVERIFY(ProjectFormat::serialize(p).contains("\r\nPOSTSINGLE:http://\r\n"));
        p.setPostSingle(QString());
        QVERIFY(!ProjectFormat::serialize(p).contains("POSTSINGLE:"));
    }

    // A line break inside a value would end its record early and turn the rest into a record of
    // its own (a description could smuggle in a RULE: line).
    void lineBreaksInValuesCannotSplitRecords()
    {
        Project p;
        ProjectFile::clearProject(p);
        p.mainSites().appendUrl(QStringLiteral("a.com"));
        p.addList();
        p.linkingSites(1)->appendSite({QStringLiteral("b.org"),
                                       QStringLiteral("1"),
                                       {},
                                       {},
                                       QStringLiteral("one\nRULE:Global|Global|ExcludeString|")});
        p.setPageText(1, QStringLiteral("unix\nbreaks\rand\r\nwindows"));
        Project read;
        ProjectFile::clearProject(read);
        QVERIFY(ProjectFormat::deserialize(read, ProjectFormat::serialize(p)).complete);
        QCOMPARE(read.rules().count(), 0);
        QCOMPARE(read.linkingSites(1)->site(0).description,
                 QStringLiteral("one RULE:Global\u00a6Global\u00a6ExcludeString\u00a6"));
        QCOMPARE(read.pageText(1), QStringLiteral("unix\r\nbreaks\r\nand\r\nwindows"));
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected"); // records differing from a new project
        QTest::addColumn<int>("failedLine");       // 0: read to the end

        QTest::newRow("LF line ends")
            << QByteArray("a.com\nb.org|1\nHTML01:x|||y\nRULE:a.com|Global|LimitString|z\n")
            << QStringList{"M1:a.com", "L1:b.org|1|||", "P1:x\\ny", "U:a.com|Global|LimitString|z"}
            << 0;
        QTest::newRow("lone CR line ends, no final break")
            << QByteArray("a.com\rb.org|1\r\rc.org|2|u|t|d")
            << QStringList{"M1:a.com", "L1:b.org|1|||", "L1:c.org|2|u|t|d"} << 0;
        QTest::newRow("mixed line ends")
            << QByteArray("a.com\r\nb.org|1\nc.org|1\rd.org|1\r\n")
            << QStringList{"M1:a.com", "L1:b.org|1|||", "L1:c.org|1|||", "L1:d.org|1|||"} << 0;
        QTest::newRow("empty and single-blank lines skipped")
            << QByteArray("a.com\r\n\r\n \r\nb.org|1\r\n\r\n")
            << QStringList{"M1:a.com", "L1:b.org|1|||"} << 0;
        QTest::newRow("two-field Linking Site")
            << QByteArray("a.com\r\nb.org|3\r\n") << QStringList{"M1:a.com", "L1:b.org|3|||"} << 0;
        QTest::newRow("extra fields ignored, a result's seventh is its notes")
            << QByteArray("a.com\r\nb|1|2|3|4|5|6\r\nRESULT:2|m|r|s|001|u|notes|extra\r\n")
            << QStringList{"M1:a.com", "L1:b|1|2|3|4", "R:2|m|r|s|001|u|notes|"} << 0;
        QTest::newRow("five-field result has no Main")
            << QByteArray("HTML01:\r\nRESULT:1|r.org|None Found|000|r.org\r\n")
            << QStringList{"P1:", "R:1||r.org|None Found|000|r.org||"} << 0;
        QTest::newRow("prefix with nothing after it")
            << QByteArray("a.com\r\nNEXTSITE:\r\nb.org|1\r\nHTML03:\r\n")
            << QStringList{"M1:a.com", "M2:", "L2:b.org|1|||", "P3:"} << 0;
        QTest::newRow("prefixes are case-sensitive")
            << QByteArray("a.com\r\nhtml01:x|1\r\nNextSite:y|2\r\n")
            << QStringList{"M1:a.com", "L1:html01:x|1|||", "L1:NextSite:y|2|||"} << 0;
        QTest::newRow("unknown prefix is a Linking Site")
            << QByteArray("a.com\r\nFOO:x|2\r\n") << QStringList{"M1:a.com", "L1:FOO:x|2|||"} << 0;
        QTest::newRow("a Main Site twice is kept twice")
            << QByteArray("a.com\r\nNEXTSITE:a.com\r\nx|1\r\n")
            << QStringList{"M1:a.com", "M2:a.com", "L2:x|1|||"} << 0;
        QTest::newRow("first line with a prefix is not a Main Site")
            << QByteArray("POSTSINGLE:http://s/\r\nPOSTMULTI:a|b\r\n")
            << QStringList{"S:http://s/", "T:a|b"} << 0;
        QTest::newRow("Windows-1252 text")
            << QByteArray("caf\xe9.fr\r\nb.org|1|||\x80\x99\r\n")
            << QStringList{QStringLiteral("M1:caf\u00e9.fr"),
                           QStringLiteral("L1:b.org|1|||\u20ac\u2122")}
            << 0;
        QTest::newRow("one-field Linking Site stops the reading")
            << QByteArray("a.com\r\nb.org|1\r\nc.org\r\nRULE:a|b|c|d\r\n")
            << QStringList{"M1:a.com", "L1:b.org|1|||"} << 3;
        QTest::newRow("result icon not a number")
            << QByteArray("a.com\r\nRESULT:x|m|r|s|001|u\r\nb.org|1\r\n") << QStringList{"M1:a.com"}
            << 2;
        QTest::newRow("result with four fields")
            << QByteArray("a.com\r\nRESULT:1|r|s|001\r\n") << QStringList{"M1:a.com"} << 2;
        QTest::newRow("rule with three fields")
            << QByteArray("a.com\r\nRULE:a|b|c\r\nRULE:a|b|c|d\r\n") << QStringList{"M1:a.com"}
            << 2;
        QTest::newRow("post target with one field")
            << QByteArray("HTML01:t\r\nPOSTMULTI:a\r\n") << QStringList{"P1:t"} << 2;
        QTest::newRow("Linking Site before any Main Site")
            << QByteArray("HTML01:t\r\nb.org|1\r\nHTML02:u\r\n") << QStringList{"P1:t"} << 2;
        QTest::newRow("byte-order mark of a UTF-8 editor dropped")
            << QByteArray("\xEF\xBB\xBF" "a.com\r\nb.org|1\r\n")
            << QStringList{"M1:a.com", "L1:b.org|1|||"} << 0;
        QTest::newRow("empty text") << QByteArray() << QStringList{} << 0;
    }
    void reading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QFETCH(int, failedLine);
        Project p;
        ProjectFile::clearProject(p);
        const ReadOutcome outcome = ProjectFormat::deserialize(p, bytes);
        QCOMPARE(changedRecords(p), expected);
        QCOMPARE(outcome.complete, failedLine == 0);
        QCOMPARE(outcome.failedLine, failedLine);
        // The list invariant holds even where the reading stopped.
        QCOMPARE(p.linkingSiteListCount(), p.mainSiteCount() + 1);
    }

    // Hostile input: none of these may crash, hang or take more than linear time and memory.
    void hostileInput_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("binary garbage") << 0;
        QTest::newRow("50 MB first line") << 1;
        QTest::newRow("50 MB line after a Main Site") << 2;
        QTest::newRow("50 MB of bars after a Main Site") << 3;
        QTest::newRow("200000 lines of bars") << 4;
        QTest::newRow("50 MB of bars as a page text") << 5;
        QTest::newRow("50 MB of bars as a result") << 6;
    }
    void hostileInput()
    {
        QFETCH(int, kind);
        constexpr qsizetype big = 50 * 1024 * 1024;
        QByteArray bytes;
        switch (kind) {
        case 0: {
            QRandomGenerator random(20240601);
            bytes.resize(4 * 1024 * 1024);
            random.fillRange(reinterpret_cast<quint32*>(bytes.data()), bytes.size() / 4);
            break;
        }
        case 1:
            bytes = QByteArray(big, 'x');
            break;
        case 2:
            bytes = "a.com\r\n" + QByteArray(big, 'x');
            break;
        case 3:
        case 5:
        case 6:
            bytes = QByteArray(kind == 3       ? "a.com\r\n"
                                   : kind == 5 ? "HTML01:"
                                               : "RESULT:")
                + QByteArray(big, '|');
            break;
        case 4:
            for (int i = 0; i < 200000; ++i)
                bytes += "|\r\n";
            break;
        }
        Project p;
        ProjectFile::clearProject(p);
        const ReadOutcome outcome = ProjectFormat::deserialize(p, bytes);
        QCOMPARE(p.linkingSiteListCount(), p.mainSiteCount() + 1);
        switch (kind) {
        case 1:
            QVERIFY(outcome.complete);
            QCOMPARE(p.mainSiteUrl(1).size(), big);
            break;
        case 2:
            QCOMPARE(outcome.failedLine, 2);
            QCOMPARE(p.mainSiteCount(), 1);
            break;
        case 3:
            QVERIFY(outcome.complete);
            QCOMPARE(p.linkingSites(1)->count(), 1);
            QCOMPARE(p.linkingSites(1)->site(0).url, QString());
            break;
        case 4:
            QVERIFY(outcome.complete);
            QCOMPARE(p.mainSiteUrl(1), QStringLiteral("|"));
            QCOMPARE(p.linkingSites(1)->count(), 199999);
            break;
        case 5:
            QVERIFY(outcome.complete);
            QCOMPARE(p.pageText(1).size(), big / 3 * 2 + big % 3);
            break;
        case 6:
            QCOMPARE(outcome.failedLine, 1);
            QCOMPARE(p.results().count(), 0);
            break;
        default:
            break;
        }
    }

    void suggestedFileName_data()
    {
        QTest::addColumn<QString>("firstMainSite");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no Main Site") << ""
                                      << "Unnamed.prj";
        QTest::newRow("scheme and dots") << "http://www.example.com"
                                         << "wwwexamplecom.prj";
        QTest::newRow("upper-case https and a path") << "HTTPS://Shop.Example.co.uk/path/x.htm"
                                                     << "ShopExamplecouk.prj";
        QTest::newRow("trailing slash") << "www.example.com/"
                                        << "wwwexamplecom.prj";
        QTest::newRow("slash in first place is kept") << "/abs/x"
                                                      << "/abs/x.prj";
        QTest::newRow("plain word") << "example"
                                    << "example.prj";
    }
    void suggestedFileName()
    {
        QFETCH(QString, firstMainSite);
        QFETCH(QString, expected);
        QCOMPARE(ProjectFile::suggestedFileName(firstMainSite), expected);
    }

    void reportOfAProject_data()
    {
        QTest::addColumn<QString>("projectPath");
        QTest::addColumn<QString>("reportName");
        QTest::newRow("plain") << "/home/u/Project Files/Site.prj"
                               << "Site.html";
        QTest::newRow("upper-case extension, backslashes") << "C:\\Files\\My Links.PRJ"
                                                           << "My Links.html";
        QTest::newRow("every .prj replaced") << "a.prj.prj"
                                             << "a.html.html";
        QTest::newRow("no extension") << "/x/noext"
                                      << "noext";
    }
    void reportOfAProject()
    {
        QFETCH(QString, projectPath);
        QFETCH(QString, reportName);
        QCOMPARE(ProjectFile::reportFileName(projectPath), reportName);
        Workspace w;
        QCOMPARE(w.files.ShowProjectReport(projectPath), QStringLiteral("about:blank"));
        const QString report = w.box.file(QStringLiteral("Project Files/") + reportName);
        QVERIFY(test::writeAll(report, "<html></html>"));
        QCOMPARE(w.files.ShowProjectReport(projectPath), report);
    }

    // --- Open, New, Save ---

    void loadSelectsFirstMainSiteAndShowsTheReport()
    {
        Workspace w;
        const QString path = w.box.file(QStringLiteral("Project Files/sample.prj"));
        QVERIFY(QFile::copy(fixturePath(), path));
        const QString report = w.box.file(QStringLiteral("Project Files/sample.html"));
        QVERIFY(test::writeAll(report, "<html></html>"));
        w.project.state().bProjectSaved = false;
        w.project.errors().appendEntry({QStringLiteral("Timeout"), QStringLiteral("x.org")});
        QSignalSpy selected(&w.files, &ProjectFile::mainSiteSelected);
        QSignalSpy shown(&w.files, &ProjectFile::projectReportShown);
        QSignalSpy cleared(&w.files, &ProjectFile::projectCleared);

        QVERIFY(w.files.LoadProjectFile(path));
        Project expected;
        buildSample(expected);
        QCOMPARE(test::snapshot(w.project), test::snapshot(expected));
        QCOMPARE(w.project.errors().count(), 1); // not part of a project
        QCOMPARE(w.project.state().iCurrentMain, qint16(1));
        QVERIFY(w.project.state().bProjectSaved);
        QVERIFY(w.project.state().bSkipDomainChange);
        QCOMPARE(w.lastProject(), path);
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toInt(), 1);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(shown.at(0).at(0).toString(), report);
    }

    void unreadableFilesLeaveAnEmptyProject_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // empty with "missing": no file at all
        QTest::addColumn<bool>("missing");
        QTest::newRow("missing file") << QByteArray() << true;
        QTest::newRow("empty file") << QByteArray() << false;
        QTest::newRow("bad first record") << QByteArray("RULE:x\r\nNEXTSITE:a.com\r\n") << false;
    }
    void unreadableFilesLeaveAnEmptyProject()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, missing);
        Workspace w;
        buildSample(w.project);
        const QString path = w.box.file(QStringLiteral("Project Files/broken.prj"));
        if (!missing)
            QVERIFY(test::writeAll(path, bytes));
        QSignalSpy selected(&w.files, &ProjectFile::mainSiteSelected);
        QSignalSpy shown(&w.files, &ProjectFile::projectReportShown);

        const FileOutcome outcome = w.files.LoadProjectFile(path);
        QVERIFY(!outcome);
        QVERIFY(!outcome.error.isEmpty());
        QCOMPARE(changedRecords(w.project), QStringList());
        QCOMPARE(w.project.linkingSiteListCount(), 1);
        QCOMPARE(w.lastProject(), path); // remembered even when it could not be read
        QCOMPARE(selected.count(), 0);
        QCOMPARE(shown.count(), 0);
    }

    void readingStopsAtAnUnreadableLineAndKeepsTheRest()
    {
        Workspace w;
        const QString path = w.box.file(QStringLiteral("Project Files/partial.prj"));
        QVERIFY(
            test::writeAll(path, "a.com\r\nb.org|1\r\nNEXTSITE:c.com\r\nbroken\r\nd.org|1\r\n"));
        QSignalSpy selected(&w.files, &ProjectFile::mainSiteSelected);
        QSignalSpy shown(&w.files, &ProjectFile::projectReportShown);
        QVERIFY(!w.files.LoadProjectFile(path));
        QCOMPARE(changedRecords(w.project), (QStringList{"M1:a.com", "L1:b.org|1|||", "M2:c.com"}));
        QCOMPARE(selected.count(), 0);
        QCOMPARE(shown.count(), 0);
    }

    void newForgetsTheLastProject()
    {
        Workspace w;
        buildSample(w.project);
        w.project.errors().appendEntry({QStringLiteral("Timeout"), QStringLiteral("x.org")});
        const QString old = w.box.file(QStringLiteral("Project Files/old.prj"));
        QVERIFY(w.files.SaveProjectFile(old));
        QCOMPARE(w.lastProject(), old);
        w.project.state().bProjectSaved = false;
        QSignalSpy cleared(&w.files, &ProjectFile::projectCleared);

        w.files.cmdNew_Click();
        QCOMPARE(changedRecords(w.project), QStringList());
        QCOMPARE(w.project.linkingSiteListCount(), 1);
        QCOMPARE(w.project.errors().count(), 1);
        QCOMPARE(w.project.state().iCurrentMain, qint16(1));
        QCOMPARE(w.project.pageText(2),
                 QStringLiteral("Your link HTML will be generate here.  This will be the second "
                                "part of your generated webpage."));
        QVERIFY(!w.project.state().bProjectSaved); // New is not a save
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(w.lastProject(), QString());
        // So the autosave of the new project cannot overwrite the old file.
        QCOMPARE(w.files.autosavePath(), w.box.file(QStringLiteral("projects/AutoSaved.prj")));
        const QByteArray oldBytes = test::readAll(old);
        w.project.state().bScanRunning = true;
        w.box.settings->WriteSetting(QStringLiteral("chkAutoSave"), QStringLiteral("1"));
        for (int i = 0; i < 300; ++i)
            w.files.Timer1_Timer();
        QCOMPARE(test::readAll(old), oldBytes);
        QVERIFY(QFile::exists(w.box.file(QStringLiteral("projects/AutoSaved.prj"))));
    }

    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<bool>("diskFull"); // else: the folder does not exist
        QTest::newRow("folder missing") << false;
        QTest::newRow("write fails midway") << true;
    }
    void failedSaveKeepsTheOldFile()
    {
        QFETCH(bool, diskFull);
        Workspace w;
        buildSample(w.project);
        w.project.state().bProjectSaved = false;
        w.box.settings->WriteSetting(kLast, QStringLiteral("before.prj"));
        w.box.settings->sync();
        const QString path = diskFull ? w.box.file(QStringLiteral("Project Files/kept.prj"))
                                      : w.box.file(QStringLiteral("no such folder/kept.prj"));
        const QByteArray old("old project\r\n");
        if (diskFull)
            QVERIFY(test::writeAll(path, old));

        FileOutcome outcome;
        if (diskFull) {
            const test::FileSizeLimit limit(64);
            outcome = w.files.SaveProjectFile(path);
        } else {
            outcome = w.files.SaveProjectFile(path);
        }
        QVERIFY(!outcome);
        QVERIFY(!outcome.error.isEmpty());
        QCOMPARE(test::readAll(path), diskFull ? old : QByteArray());
        QVERIFY(!w.project.state().bProjectSaved);
        QCOMPARE(w.lastProject(), QStringLiteral("before.prj"));
        // No temporary file is left behind.
        QCOMPARE(QDir(QFileInfo(w.box.file(QStringLiteral("Project Files/x"))).path())
                     .entryList(QDir::Files | QDir::Hidden),
                 diskFull ? QStringList{QStringLiteral("kept.prj")} : QStringList{});
    }

    void saveCommandAsksAgainAfterAFailure()
    {
        Workspace w;
        buildSample(w.project);
        w.project.state().bProjectSaved = false;
        QStringList asked;
        QStringList answers;
        const ProjectFile::PathChooser chooser = [&](const QString& folder, const QString& name) {
            asked << folder + u'|' + name;
            return answers.isEmpty() ? QString() : answers.takeFirst();
        };
        const QString folder = w.box.file(QStringLiteral("Project Files"));
        const QString bad = w.box.file(QStringLiteral("missing/x.prj"));
        const QString good = w.box.file(QStringLiteral("Project Files/unnamed.prj"));

        // Cancelled at once: nothing written.
        SaveOutcome outcome = w.files.cmdSave_Click(chooser);
        QCOMPARE(outcome.status, SaveOutcome::Cancelled);
        QCOMPARE(asked, QStringList{folder + QStringLiteral("|wwwexamplecom.prj")});

        // Failed, then cancelled: the failure is reported.
        asked.clear();
        answers = QStringList{bad};
        outcome = w.files.cmdSave_Click(chooser);
        QCOMPARE(outcome.status, SaveOutcome::Failed);
        QVERIFY(!outcome.error.isEmpty());
        QCOMPARE(asked,
                 (QStringList{folder + QStringLiteral("|wwwexamplecom.prj"),
                              folder + QStringLiteral("|unnamed.prj")}));
        QVERIFY(!w.project.state().bProjectSaved);

        // Failed, then saved elsewhere.
        answers = QStringList{bad, good};
        outcome = w.files.cmdSave_Click(chooser);
        QCOMPARE(outcome.status, SaveOutcome::Saved);
        QCOMPARE(outcome.path, good);
        QCOMPARE(test::readAll(good), test::readAll(fixturePath()));
        QVERIFY(w.project.state().bProjectSaved);
        QCOMPARE(w.lastProject(), good);
    }

    // Save writes the project's own file without a question; a project without one, or whose
    // file holds more than was read, is asked for a file as Save As always asks.
    void saveWritesTheProjectsOwnFileInPlace_data()
    {
        QTest::addColumn<QString>("origin");
        QTest::addColumn<bool>("inPlace");
        QTest::newRow("read from its file") << "read" << true;
        QTest::newRow("saved before") << "saved" << true;
        QTest::newRow("new") << "new" << false;
        QTest::newRow("read only in part") << "partial" << false;
        QTest::newRow("only autosaved, never saved") << "autosaved" << false;
    }
    void saveWritesTheProjectsOwnFileInPlace()
    {
        QFETCH(QString, origin);
        QFETCH(bool, inPlace);
        Workspace w;
        const QString own = w.box.file(QStringLiteral("Project Files/own.prj"));
        const QString chosen = w.box.file(QStringLiteral("Project Files/chosen.prj"));
        const QString autosaved = w.box.file(QStringLiteral("projects/AutoSaved.prj"));
        QStringList asked;
        const ProjectFile::PathChooser chooser = [&](const QString&, const QString& name) {
            asked << name;
            return chosen;
        };
        if (origin == u"read") {
            QVERIFY(QFile::copy(fixturePath(), own));
            QVERIFY(w.files.LoadProjectFile(own));
        } else if (origin == u"saved") {
            buildSample(w.project);
            QVERIFY(w.files.SaveProjectFile(own));
        } else if (origin == u"partial") {
            QVERIFY(test::writeAll(own, "a.com\r\nb.org|1\r\nbroken\r\nRULE:a|b|c|d\r\n"));
            QVERIFY(!w.files.LoadProjectFile(own));
        } else if (origin == u"autosaved") {
            buildSample(w.project);
            w.project.state().bProjectSaved = false;
            w.project.state().bScanRunning = true;
            w.box.settings->WriteSetting(QStringLiteral("chkAutoSave"), QStringLiteral("1"));
            for (int tick = 0; tick < w.files.autosaveTicks(); ++tick)
                w.files.Timer1_Timer();
            w.project.state().bScanRunning = false;
            QVERIFY(QFile::exists(autosaved));
        } else {
            buildSample(w.project);
        }
        const QByteArray before = test::readAll(own);
        w.project.mainSites().appendUrl(QStringLiteral("added.example"));
        w.project.addList();
        w.project.state().bProjectSaved = false;

        const SaveOutcome outcome = w.files.cmdSave_Click(chooser);
        QCOMPARE(outcome.status, SaveOutcome::Saved);
        QCOMPARE(asked.isEmpty(), inPlace);
        QCOMPARE(outcome.path, inPlace ? own : chosen);
        QVERIFY(test::readAll(outcome.path).contains("NEXTSITE:added.example"));
        if (!inPlace)
            QCOMPARE(test::readAll(own), before); // a file only partly read keeps the rest
        QVERIFY(w.project.state().bProjectSaved);
        QCOMPARE(w.lastProject(), outcome.path);

        // Save As always asks, suggesting the name made from the first Main Site.
        asked.clear();
        QCOMPARE(w.files.cmdSaveAs_Click([&](const QString&, const QString& name) {
                     asked << name;
                     return QString();
                 }).status,
                 SaveOutcome::Cancelled);
        QCOMPARE(asked, QStringList{ProjectFile::suggestedFileName(w.project.mainSiteUrl(1))});
    }

    // A save in place that cannot write says why, asks nothing, and keeps the edits.
    void aFailedSaveInPlaceLosesNothing()
    {
        Workspace w;
        buildSample(w.project);
        const QString own = w.box.file(QStringLiteral("Project Files/own.prj"));
        QVERIFY(w.files.SaveProjectFile(own));
        // A folder in the file's place: it cannot be written.
        QVERIFY(QFile::remove(own) && QDir().mkpath(own));
        w.project.state().bProjectSaved = false;
        QStringList asked;
        const SaveOutcome outcome = w.files.cmdSave_Click([&](const QString&, const QString& name) {
            asked << name;
            return QString();
        });
        QCOMPARE(outcome.status, SaveOutcome::Failed);
        QCOMPARE(outcome.path, own);
        QVERIFY(!outcome.error.isEmpty());
        QCOMPARE(asked, QStringList());
        QVERIFY(!w.project.state().bProjectSaved);
        QCOMPARE(w.project.mainSiteCount(), 3);
    }

    void openCommand()
    {
        Workspace w;
        QString askedFolder;
        QString answer;
        const ProjectFile::PathChooser chooser = [&](const QString& folder, const QString&) {
            askedFolder = folder;
            return answer;
        };
        buildSample(w.project);
        QVERIFY(!w.files.cmdOpen_Click(chooser).has_value()); // cancelled: nothing happens
        QCOMPARE(w.project.mainSiteCount(), 3);
        QCOMPARE(askedFolder, w.box.file(QStringLiteral("Project Files")));
        answer = fixturePath();
        const auto outcome = w.files.cmdOpen_Click(chooser);
        QVERIFY(outcome.has_value() && outcome->ok);
        QCOMPARE(w.lastProject(), fixturePath());
    }

    void exitQuestion_data()
    {
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("saveStatus");
        QTest::addColumn<bool>("exits");
        using A = ProjectFile::ExitAnswer;
        QTest::newRow("nothing to save")
            << true << int(A::NotAsked) << int(SaveOutcome::Cancelled) << true;
        QTest::newRow("edited, not asked yet")
            << false << int(A::NotAsked) << int(SaveOutcome::Cancelled) << false;
        QTest::newRow("No") << false << int(A::No) << int(SaveOutcome::Cancelled) << true;
        QTest::newRow("Yes, saved") << false << int(A::Yes) << int(SaveOutcome::Saved) << true;
        QTest::newRow("Yes, dialog cancelled")
            << false << int(A::Yes) << int(SaveOutcome::Cancelled) << false;
        QTest::newRow("Yes, save failed")
            << false << int(A::Yes) << int(SaveOutcome::Failed) << false;
    }
    void exitQuestion()
    {
        QFETCH(bool, saved);
        QFETCH(int, answer);
        QFETCH(int, saveStatus);
        QFETCH(bool, exits);
        QCOMPARE(ProjectFile::exitNeedsQuestion(saved), !saved);
        QCOMPARE(ProjectFile::closeDecision(saved, ProjectFile::ExitAnswer(answer),
                                            SaveOutcome::Status(saveStatus))
                     == ProjectFile::CloseDecision::Exit,
                 exits);
    }

    // --- Autosave ---

    void autosave_data()
    {
        QTest::addColumn<QString>("chkAutoSave");
        QTest::addColumn<bool>("running");
        QTest::addColumn<QString>("lastProject");  // "@" stands for a file in the sandbox
        QTest::addColumn<QString>("expectedFile"); // relative to the app folder; empty: none
        QTest::newRow("to the last project") << "1" << true << "@"
                                             << "Project Files/mine.prj";
        QTest::newRow("no last project") << "1" << true << ""
                                         << "projects/AutoSaved.prj";
        QTest::newRow("blank last project") << "1" << true << " "
                                            << "projects/AutoSaved.prj";
        QTest::newRow("autosave off") << "0" << true << "@"
                                      << "";
        QTest::newRow("autosave not exactly 1") << "01" << true << "@"
                                                << "";
        QTest::newRow("no scan running") << "1" << false << "@"
                                         << "";
    }
    void autosave()
    {
        QFETCH(QString, chkAutoSave);
        QFETCH(bool, running);
        QFETCH(QString, lastProject);
        QFETCH(QString, expectedFile);
        Workspace w;
        // The projects folder may be missing: the autosave makes it.
        QDir(w.box.file(QStringLiteral("projects"))).removeRecursively();
        buildSample(w.project);
        w.project.state().bProjectSaved = false;
        w.project.state().bScanRunning = running;
        w.box.settings->WriteSetting(QStringLiteral("chkAutoSave"), chkAutoSave);
        w.box.settings->WriteSetting(kLast,
                                     lastProject == QStringLiteral("@")
                                         ? w.box.file(QStringLiteral("Project Files/mine.prj"))
                                         : lastProject);
        const QStringList candidates = {w.box.file(QStringLiteral("Project Files/mine.prj")),
                                        w.box.file(QStringLiteral("projects/AutoSaved.prj"))};

        for (int tick = 1; tick < 300; ++tick)
            QVERIFY(!w.files.Timer1_Timer().has_value());
        for (const QString& f : candidates)
            QVERIFY(!QFile::exists(f));
        const auto outcome = w.files.Timer1_Timer();
        if (expectedFile.isEmpty()) {
            QVERIFY(!outcome.has_value());
            for (const QString& f : candidates)
                QVERIFY(!QFile::exists(f));
            return;
        }
        QVERIFY(outcome.has_value() && outcome->ok);
        const QString written = w.box.file(expectedFile);
        QCOMPARE(test::readAll(written), test::readAll(fixturePath()));
        QVERIFY(w.project.state().bProjectSaved);
        QCOMPARE(w.lastProject(), written);
        QCOMPARE(w.files.iSecondsRunning(), 0);
        // The next save comes 300 ticks later.
        QVERIFY(QFile::remove(written));
        for (int tick = 1; tick < 300; ++tick)
            w.files.Timer1_Timer();
        QVERIFY(!QFile::exists(written));
        w.files.Timer1_Timer();
        QVERIFY(QFile::exists(written));
    }

    // The minutes box of the options sets the autosave's interval; no number there keeps five.
    void autosaveKeepsTheMinutesSet_data()
    {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<int>("ticks");
        QTest::newRow("one minute") << "1" << 60;
        QTest::newRow("two minutes") << "2" << 120;
        QTest::newRow("the default") << "5" << 300;
        QTest::newRow("zero: five") << "0" << 300;
        QTest::newRow("negative: five") << "-3" << 300;
        QTest::newRow("no number: five") << "soon" << 300;
    }
    void autosaveKeepsTheMinutesSet()
    {
        QFETCH(QString, minutes);
        QFETCH(int, ticks);
        Workspace w;
        buildSample(w.project);
        const QString path = w.box.file(QStringLiteral("Project Files/mine.prj"));
        w.box.settings->WriteSetting(kLast, path);
        w.box.settings->WriteSetting(QStringLiteral("chkAutoSave"), QStringLiteral("1"));
        w.box.settings->WriteSetting(QStringLiteral("txtAutoSave"), minutes);
        w.project.state().bScanRunning = true;
        w.project.state().bProjectSaved = false;
        for (int tick = 1; tick < ticks; ++tick)
            QVERIFY(!w.files.Timer1_Timer().has_value());
        QVERIFY(!QFile::exists(path));
        const auto outcome = w.files.Timer1_Timer();
        QVERIFY(outcome && outcome->ok);
        QVERIFY(QFile::exists(path));
    }

    void autosaveCountsEachScanAfresh()
    {
        Workspace w;
        w.box.settings->WriteSetting(QStringLiteral("chkAutoSave"), QStringLiteral("1"));
        w.project.state().bScanRunning = true;
        for (int tick = 0; tick < 200; ++tick)
            w.files.Timer1_Timer();
        QCOMPARE(w.files.iSecondsRunning(), 200);
        w.files.resetAutosaveCount(); // a new scan starts
        QCOMPARE(w.files.iSecondsRunning(), 0);
        for (int tick = 0; tick < 150; ++tick)
            w.files.Timer1_Timer();
        w.project.state().bScanRunning = false; // stopped
        w.files.Timer1_Timer();
        QCOMPARE(w.files.iSecondsRunning(), 0);
        w.project.state().bScanRunning = true;
        for (int tick = 0; tick < 299; ++tick)
            QVERIFY(!w.files.Timer1_Timer().has_value());
    }

    void failedAutosaveIsSignalled()
    {
        Workspace w;
        w.box.settings->WriteSetting(QStringLiteral("chkAutoSave"), QStringLiteral("1"));
        const QString target = w.box.file(QStringLiteral("gone/p.prj"));
        w.box.settings->WriteSetting(kLast, target);
        w.project.state().bScanRunning = true;
        w.project.state().bProjectSaved = false;
        QSignalSpy failed(&w.files, &ProjectFile::autosaveFailed);
        for (int tick = 0; tick < 300; ++tick)
            w.files.Timer1_Timer();
        QCOMPARE(failed.count(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), target);
        QVERIFY(!w.project.state().bProjectSaved);
        QVERIFY(w.project.state().bScanRunning);
    }

    // --- Quick-save ---

    void quickSaveLeavesOutOneMainSite()
    {
        Workspace w;
        buildSample(w.project);
        w.project.state().bProjectSaved = false;
        QVERIFY(w.files.QuickSave(0));
        const QByteArray bytes = test::readAll(w.files.quickSavePath());
        // The next Main Site becomes the first line, without its prefix.
        QVERIFY(
            bytes.startsWith("http://second.example.org\r\nthird.com|1|||R\xe9sum\xe9 \x80 list\r\n"
                             "NEXTSITE:shop.example.net\r\nHTML01:"));
        QVERIFY(!bytes.contains("\r\npartner-one.org|1|"));
        QVERIFY(!bytes.contains("www.example.com\r\n"));
        QVERIFY(!w.project.state().bProjectSaved);
        QCOMPARE(w.lastProject(), QString());

        QSignalSpy regenerate(&w.files, &ProjectFile::reportRegenerationRequested);
        QSignalSpy selected(&w.files, &ProjectFile::mainSiteSelected);
        w.box.settings->WriteSetting(kLast, QStringLiteral("/some/where.prj"));
        QVERIFY(w.files.QuickLoad());
        QCOMPARE(w.project.mainSiteCount(), 2);
        QCOMPARE(w.project.linkingSites(1)->url(0), QStringLiteral("third.com"));
        QCOMPARE(w.lastProject(), QStringLiteral("/some/where.prj"));
        QVERIFY(!w.project.state().bProjectSaved);
        QCOMPARE(regenerate.count(), 1);
        QCOMPARE(selected.count(), 1);
    }

    // --- Another program writes the file (a scheduled scan, an import from the command line) ---

    // What Save does with a file changed since it was read: with no edits here it reads the file
    // again; with edits the user's choice decides; the autosave never writes over it.
    void saveNeverWritesOverAnotherProgramsChangeUnasked_data()
    {
        using D = ProjectFile::DiskChange;
        QTest::addColumn<bool>("edited");
        QTest::addColumn<int>("choice");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("fileIsOurs"); // the file holds this program's version afterwards
        QTest::addColumn<bool>("projectIsTheirs");
        QTest::newRow("no edits: read again") << false << int(D::Keep) << int(SaveOutcome::ReadAgain)
                                              << false << true;
        QTest::newRow("edits, save over") << true << int(D::SaveOver) << int(SaveOutcome::Saved)
                                          << true << false;
        QTest::newRow("edits, read again") << true << int(D::ReadAgain)
                                           << int(SaveOutcome::ReadAgain) << false << true;
        QTest::newRow("edits, cancel") << true << int(D::Keep) << int(SaveOutcome::Cancelled)
                                       << false << false;
    }

    void saveNeverWritesOverAnotherProgramsChangeUnasked()
    {
        QFETCH(bool, edited);
        QFETCH(int, choice);
        QFETCH(int, status);
        QFETCH(bool, fileIsOurs);
        QFETCH(bool, projectIsTheirs);
        Workspace w;
        buildSample(w.project);
        const QString path = w.box.file(QStringLiteral("Project Files/sample.prj"));
        QVERIFY(w.files.SaveProjectFile(path));
        QVERIFY(!w.files.changedOnDisk());

        // The other program adds a Linking Site.
        const QByteArray theirs = test::readAll(path).replace(
            "third.com|", "added-by-cli.example|1|||\r\nthird.com|");
        test::writeAll(path, theirs);
        QVERIFY(w.files.changedOnDisk());
        if (edited) {
            w.project.linkingSites(1)->appendSite({QStringLiteral("mine.example"),
                                                   QStringLiteral("1"), {}, {}, {}});
            w.project.state().bProjectSaved = false;
        }
        const QByteArray ours = ProjectFormat::serialize(w.project);
        QStringList asked;
        w.files.setDiskChangeChooser([&](const QString& file) {
            asked << file;
            return ProjectFile::DiskChange(choice);
        });

        const SaveOutcome outcome = w.files.cmdSave_Click([&](const QString&, const QString&) {
            return path;
        });
        QCOMPARE(int(outcome.status), status);
        QCOMPARE(asked, edited ? QStringList{path} : QStringList{});
        QCOMPARE(test::readAll(path), fileIsOurs ? ours : theirs);
        QCOMPARE(ProjectFormat::serialize(w.project).contains("added-by-cli.example"),
                 projectIsTheirs);
        QCOMPARE(w.project.state().bProjectSaved, !edited || choice != int(ProjectFile::DiskChange::Keep));
        QVERIFY(!w.files.changedOnDisk() || choice == int(ProjectFile::DiskChange::Keep));
    }

    void autosaveKeepsAnotherProgramsChange()
    {
        Workspace w;
        buildSample(w.project);
        const QString path = w.box.file(QStringLiteral("Project Files/sample.prj"));
        QVERIFY(w.files.SaveProjectFile(path));
        const QByteArray theirs = test::readAll(path) + "extra.example|1|||\r\n";
        test::writeAll(path, theirs);
        w.files.setDiskChangeChooser([](const QString&) {
            qFatal("the autosave must not ask");
            return ProjectFile::DiskChange::SaveOver;
        });
        w.box.settings->WriteSetting(QStringLiteral("chkAutoSave"), QStringLiteral("1"));
        w.project.state().bScanRunning = true;
        w.project.state().bProjectSaved = false;
        QSignalSpy failed(&w.files, &ProjectFile::autosaveFailed);
        std::optional<FileOutcome> outcome;
        for (int tick = 0; tick < 300; ++tick)
            outcome = w.files.Timer1_Timer();
        QVERIFY(outcome && !*outcome);
        QCOMPARE(failed.count(), 1);
        QVERIFY(failed.at(0).at(1).toString().contains(QStringLiteral("changed by another program")));
        QCOMPARE(test::readAll(path), theirs);
    }

    // The change is seen as it happens, and this program's own saves are not taken for one.
    void aChangeByAnotherProgramIsSignalled()
    {
        Workspace w;
        buildSample(w.project);
        const QString path = w.box.file(QStringLiteral("Project Files/sample.prj"));
        QSignalSpy changed(&w.files, &ProjectFile::fileChangedOnDisk);
        QVERIFY(w.files.SaveProjectFile(path));
        QVERIFY(w.files.SaveProjectFile(path));
        QTest::qWait(600);
        QCOMPARE(changed.count(), 0);

        // Written the way programs save: a new file renamed over the old one.
        const QString temporary = path + QStringLiteral(".new");
        test::writeAll(temporary, test::readAll(path) + "extra.example|1|||\r\n");
        QVERIFY(QFile::remove(path) && QFile::rename(temporary, path));
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 1, 3000);
        QCOMPARE(changed.at(0).at(0).toString(), path);

        // Still watched after the rename.
        w.files.LoadProjectFile(path);
        test::writeAll(path, test::readAll(path) + "more.example|1|||\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, 3000);
    }

    void failedQuickSaveIsReported()
    {
        Workspace w;
        buildSample(w.project);
        // A folder in the way of the quick-save file.
        QVERIFY(QDir().mkpath(w.files.quickSavePath()));
        const FileOutcome outcome = w.files.QuickSave(1);
        QVERIFY(!outcome);
        QVERIFY(outcome.error.contains(u' '));
    }
};

CORVANE_TEST_CLASS(ProjectFileTest);
#include "ProjectFileTest.moc"
