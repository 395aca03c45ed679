#include "import/SiteImporter.h"
#include "model/Project.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace corvane;

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(CORVANE_TEST_DATA "/import/") + name;
}

// A project with Main Sites "one.example" and "two.example", each with its list, and the first
// selected.
void addMainSites(Project& project, int n)
{
    for (int i = 1; i <= n; ++i) {
        project.mainSites().appendUrl(QStringLiteral("main%1.example").arg(i));
        project.addList();
    }
    project.state().iCurrentMain = 1;
}

QList<QStringList> linkingRows(const Project& project, int k)
{
    QList<QStringList> rows;
    const LinkingSiteList* list = project.linkingSites(k);
    for (int r = 0; r < list->count(); ++r)
        rows.append(list->record(r).cells);
    return rows;
}

} // namespace

class SiteImporterTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitsLinesAtEveryLineEnd_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF") << "a\r\nb" << QStringList{"a", "b"};
        QTest::newRow("CR alone") << "a\rb" << QStringList{"a", "b"};
        QTest::newRow("LF alone (Linux)") << "a\nb" << QStringList{"a", "b"};
        QTest::newRow("empty line kept") << "a\n\nb" << QStringList{"a", "", "b"};
        QTest::newRow("LF CR is two line ends") << "a\n\rb" << QStringList{"a", "", "b"};
        QTest::newRow("final break adds no line") << "a\r\n" << QStringList{"a"};
        QTest::newRow("only a break") << "\r\n" << QStringList{""};
        QTest::newRow("empty text") << "" << QStringList{};
        QTest::newRow("spaces kept") << " a \r b " << QStringList{" a ", " b "};
    }
    void splitsLinesAtEveryLineEnd()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, lines);
        QCOMPARE(SiteImporter::splitLines(text), lines);
    }

    void readsLinkingSiteLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("expected");
        QTest::newRow("URL|3") << "partner.example.com|3"
                               << "partner.example.com"
                               << "3";
        QTest::newRow("spaces trimmed, # defaults to 1") << "  partner.example.com/links.htm  "
                                                         << "partner.example.com/links.htm"
                                                         << "1";
        QTest::newRow("# field kept as written, third field ignored")
            << " partner.example.com | 2 |9"
            << "partner.example.com"
            << " 2 ";
        QTest::newRow("empty # field") << "partner.example.com|"
                                       << "partner.example.com"
                                       << "";
        QTest::newRow("two spaces give an empty URL") << "  "
                                                      << ""
                                                      << "1";
        QTest::newRow("scheme kept") << "http://partner.example.com"
                                     << "http://partner.example.com"
                                     << "1";
        QTest::newRow("tab is not trimmed") << "\tpartner.example.com"
                                            << "\tpartner.example.com"
                                            << "1";
    }
    void readsLinkingSiteLines()
    {
        QFETCH(QString, line);
        QFETCH(QString, url);
        QFETCH(QString, expected);
        const LinkingSite site = SiteImporter::linkingSiteFromLine(line);
        QCOMPARE(site.url, url);
        QCOMPARE(site.expected, expected);
        QVERIFY(site.linkPageUrl.isEmpty() && site.linkPageText.isEmpty()
                && site.description.isEmpty());
    }

    // The fixture mixes CR LF, CR and LF line ends, "|" lines, skipped empty and single-space
    // lines, a two-space line, a Windows-1252 letter and no final line break.
    void importsLinkingSitesFromFileIntoCurrentMainSite()
    {
        Project project;
        addMainSites(project, 2);
        project.state().iCurrentMain = 2;
        const ImportOutcome outcome = SiteImporter::importLinkingSites(
            project, fixture(QStringLiteral("linking_sites.txt")));
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(outcome.added, 8);
        QCOMPARE(outcome.status, QStringLiteral("Added 8 link(s)"));

        const QList<QStringList> expected = {
            {"alpha.example.com", "1", "", "", ""},
            {"beta.example.org/links.htm", "1", "", "", ""},
            {"gamma.example.net", "3", "", "", ""},
            {"delta.example.com", " 2 ", "", "", ""},
            {"", "1", "", "", ""},
            {QStringLiteral("caf\u00e9.example.com"), "1", "", "", ""},
            {"\tepsilon.example.com", "1", "", "", ""},
            {"last.example.com", "1", "", "", ""},
        };
        QCOMPARE(linkingRows(project, 2), expected);
        QVERIFY(project.linkingSites(1)->isEmpty());
        QVERIFY(project.linkingSites(0)->isEmpty());
        QVERIFY(!project.state().bProjectSaved);
    }

    void appendsAfterExistingSitesWithoutDuplicateCheck()
    {
        test::Sandbox box;
        const QString path = box.dir.filePath(QStringLiteral("twice.txt"));
        // A UTF-8 editor's byte-order mark is no part of the first site.
        QVERIFY(test::writeAll(path, "\xEF\xBB\xBF" "a.example\r\na.example\r\n"));
        Project project;
        addMainSites(project, 1);
        project.linkingSites(1)->appendSite(
            {QStringLiteral("a.example"), QStringLiteral("2"), {}, {}, {}});
        QCOMPARE(SiteImporter::importLinkingSites(project, path).added, 2);
        QCOMPARE(project.linkingSites(1)->count(), 3);
        QCOMPARE(project.linkingSites(1)->url(1), QStringLiteral("a.example"));
        QCOMPARE(project.linkingSites(1)->url(2), QStringLiteral("a.example"));
    }

    void importsMainSitesExactlyAsRead()
    {
        Project project;
        addMainSites(project, 1);
        project.linkingSites(1)->appendSite({QStringLiteral("kept.example"), {}, {}, {}, {}});
        const ImportOutcome outcome
            = SiteImporter::importMainSites(project, fixture(QStringLiteral("main_sites.txt")));
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(outcome.status, QStringLiteral("Added 3 site(s)"));
        QCOMPARE(project.mainSiteCount(), 4);
        QCOMPARE(project.mainSiteUrl(2), QStringLiteral("http://www.first.example.com"));
        QCOMPARE(project.mainSiteUrl(3), QStringLiteral(" second.example.org "));
        QCOMPARE(project.mainSiteUrl(4), QStringLiteral("third.example.net|5"));
        // One new, empty list per new Main Site; the existing list keeps its sites.
        QCOMPARE(project.linkingSiteListCount(), 5);
        for (int k = 2; k <= 4; ++k)
            QVERIFY(project.linkingSites(k)->isEmpty());
        QCOMPARE(project.linkingSites(1)->count(), 1);
        QVERIFY(!project.state().bProjectSaved);
    }

    void emptyFileAddsNothingAndLeavesProjectSaved()
    {
        test::Sandbox box;
        const QString path = box.dir.filePath(QStringLiteral("blank.txt"));
        QVERIFY(test::writeAll(path, "\r\n \r\n\n"));
        Project project;
        addMainSites(project, 1);
        const ImportOutcome links = SiteImporter::importLinkingSites(project, path);
        QCOMPARE(links.status, QStringLiteral("Added 0 link(s)"));
        const ImportOutcome sites = SiteImporter::importMainSites(project, path);
        QCOMPARE(sites.status, QStringLiteral("Added 0 site(s)"));
        QCOMPARE(project.mainSiteCount(), 1);
        QVERIFY(project.linkingSites(1)->isEmpty());
        QVERIFY(project.state().bProjectSaved);
    }

    void unreadableFileIsReportedAndImportsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("mainSites");
        QTest::newRow("missing, Linking Sites") << "missing.txt" << false;
        QTest::newRow("missing, Main Sites") << "missing.txt" << true;
        QTest::newRow("a folder, Linking Sites") << "folder" << false;
        QTest::newRow("a folder, Main Sites") << "folder" << true;
    }
    void unreadableFileIsReportedAndImportsNothing()
    {
        QFETCH(QString, name);
        QFETCH(bool, mainSites);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
        const QString path = dir.filePath(name);
        Project project;
        addMainSites(project, 1);
        const ImportOutcome outcome = mainSites ? SiteImporter::importMainSites(project, path)
                                                : SiteImporter::importLinkingSites(project, path);
        QVERIFY(!outcome.ok);
        QCOMPARE(outcome.added, 0);
        QVERIFY2(outcome.error.contains(path), qPrintable(outcome.error));
        // The reason follows the name.
        QVERIFY2(outcome.error.size() > path.size() + 10, qPrintable(outcome.error));
        QCOMPARE(project.mainSiteCount(), 1);
        QCOMPARE(project.linkingSiteListCount(), 2);
        QVERIFY(project.linkingSites(1)->isEmpty());
        QVERIFY(project.state().bProjectSaved);
    }

    // The template list 0 never receives records, even when no Main Site is selected.
    void linkingSiteImportNeedsAMainSite()
    {
        Project project;
        addMainSites(project, 1);
        project.state().iCurrentMain = 0;
        const ImportOutcome outcome = SiteImporter::importLinkingSites(
            project, fixture(QStringLiteral("linking_sites.txt")));
        QVERIFY(!outcome.ok);
        QVERIFY(!outcome.error.isEmpty());
        QVERIFY(project.linkingSites(0)->isEmpty());
        QVERIFY(project.linkingSites(1)->isEmpty());
        QCOMPARE(SiteImporter::addLinkingSites(project, {QStringLiteral("a.example")}), 0);
        QVERIFY(project.linkingSites(0)->isEmpty());
    }

    void addSelectedAppendsRowsAsTheyStand()
    {
        Project project;
        addMainSites(project, 2);
        const QStringList rows = {QStringLiteral("a.example"), QString(), QStringLiteral(" "),
                                  QStringLiteral("  b.example "), QStringLiteral("a.example")};
        QCOMPARE(SiteImporter::addLinkingSites(project, rows), 3);
        const QList<QStringList> expected = {{"a.example", "1", "", "", ""},
                                             {"  b.example ", "1", "", "", ""},
                                             {"a.example", "1", "", "", ""}};
        QCOMPARE(linkingRows(project, 1), expected);
        QVERIFY(!project.state().bProjectSaved);

        // The Main Site current at the moment of the append receives the rows.
        project.state().iCurrentMain = 2;
        QCOMPARE(SiteImporter::addLinkingSites(project, {QStringLiteral("c.example")}), 1);
        QCOMPARE(project.linkingSites(1)->count(), 3);
        QCOMPARE(project.linkingSites(2)->url(0), QStringLiteral("c.example"));
    }

    void addSelectedWithNothingSelectedAddsNothing()
    {
        Project project;
        addMainSites(project, 1);
        QCOMPARE(SiteImporter::addLinkingSites(project, {}), 0);
        QVERIFY(project.linkingSites(1)->isEmpty());
        QVERIFY(project.state().bProjectSaved);
    }
};

CORVANE_TEST_CLASS(SiteImporterTest);
#include "SiteImporterTest.moc"
