#include "model/ProjectEditor.h"
#include "ProjectSnapshot.h"
#include "model/Project.h"
#include "model/ProjectFile.h"
#include "model/SettingsStore.h"
#include "support/TestRegistry.h"
#include "support/TestSupport.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>

using namespace corvane;

namespace {

struct Workspace {
    test::Sandbox box;
    Project project;
    ProjectFile files{project, *box.settings, box.app};
    ProjectEditor editor{project, files};

    ScanState& state() { return project.state(); }

    // Main Sites A, B, C with two, two and one Linking Sites, rules of every scope, a result
    // and a post target; the project counts as saved.
    void buildThree()
    {
        ProjectFile::clearProject(project);
        const QStringList mains
            = {QStringLiteral("a.com"), QStringLiteral("b.com"), QStringLiteral("c.com")};
        const QList<QStringList> sites = {{QStringLiteral("a1.org"), QStringLiteral("a2.org")},
                                          {QStringLiteral("b1.org"), QStringLiteral("b2.org")},
                                          {QStringLiteral("c1.org")}};
        for (int i = 0; i < 3; ++i) {
            QVERIFY(editor.addMainSite(mains[i]).changed);
            for (const QString& s : sites[i])
                QVERIFY(editor.addLinkingSite(s).changed);
        }
        project.linkingSites(3)->setCell(0, LinkingSiteList::Description, QStringLiteral("third"));
        rule(QStringLiteral("Global"), QStringLiteral("Global"));
        rule(QStringLiteral("a.com"), QStringLiteral("Global"));
        rule(QStringLiteral("b.com"), QStringLiteral("Global"));
        rule(QStringLiteral("b.com"), QStringLiteral("b1.org"));
        rule(QStringLiteral("c.com"), QStringLiteral("c1.org"));
        project.results().appendEntry({2, QStringLiteral("b.com"), QStringLiteral("b1.org"),
                                       QStringLiteral("Direct Link"), QStringLiteral("001"),
                                       QStringLiteral("b1.org/l.htm"), SiteColour::Blue});
        project.postTargets().appendTarget({QStringLiteral("b.com"), QStringLiteral("http://s/")});
        state().bProjectSaved = true;
    }

    void rule(const QString& main, const QString& remote)
    {
        project.rules().appendRule(
            {main, remote, QStringLiteral("ExcludeString"), main + u'/' + remote});
    }

    QStringList ruleScopes() const
    {
        QStringList out;
        for (int row = 0; row < project.rules().count(); ++row)
            out << project.rules().cell(row, 0) + u'|' + project.rules().cell(row, 1);
        return out;
    }

    QStringList sitesOf(int k) const
    {
        QStringList out;
        if (const LinkingSiteList* list = project.linkingSites(k)) {
            for (int row = 0; row < list->count(); ++row)
                out << list->url(row);
        }
        return out;
    }
};

} // namespace

class ProjectEditorTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addLinkingSite_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("stored"); // empty: refused
        QTest::addColumn<QString>("entryAfter");
        QTest::newRow("upper-case scheme, blanks, path") << " HTTP://www.Partner.org/links.html "
                                                         << "www.Partner.org/links.html"
                                                         << "";
        QTest::newRow("https") << "https://a.com"
                               << "a.com"
                               << "";
        QTest::newRow("mixed-case scheme") << "hTtPs://b.com"
                                           << "b.com"
                                           << "";
        QTest::newRow("every occurrence") << "http://x.org/go?u=http://y.org"
                                          << "x.org/go?u=y.org"
                                          << "";
        QTest::newRow("empty") << ""
                               << ""
                               << "";
        QTest::newRow("single blank") << " "
                                      << ""
                                      << " ";
        QTest::newRow("blanks only") << "   "
                                     << ""
                                     << "   ";
        QTest::newRow("scheme only") << "HTTP://"
                                     << ""
                                     << "";
        QTest::newRow("scheme and a blank") << "http:// "
                                            << ""
                                            << " ";
    }
    void addLinkingSite()
    {
        QFETCH(QString, typed);
        QFETCH(QString, stored);
        QFETCH(QString, entryAfter);
        Workspace w;
        QVERIFY(w.editor.addMainSite(QStringLiteral("main.com")).changed);
        w.state().bProjectSaved = true;
        const EditOutcome outcome = w.editor.addLinkingSite(typed);
        QCOMPARE(outcome.entryText, entryAfter);
        if (stored.isEmpty()) {
            QVERIFY(!outcome.changed);
            QCOMPARE(outcome.message, QStringLiteral("Please enter the Website URL first."));
            QCOMPARE(w.project.linkingSites(1)->count(), 0);
            QVERIFY(w.state().bProjectSaved);
            return;
        }
        QVERIFY(outcome.changed);
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(w.project.linkingSites(1)->record(0).cells,
                 (QStringList{stored, QStringLiteral("1"), {}, {}, {}}));
        QVERIFY(!w.state().bProjectSaved);
    }

    void addLinkingSiteWithoutAMainSiteDoesNothing()
    {
        Workspace w;
        w.files.cmdNew_Click(); // iCurrentMain is 1, but there is no list 1
        const EditOutcome outcome = w.editor.addLinkingSite(QStringLiteral("a.org"));
        QVERIFY(!outcome.changed);
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(w.project.linkingSiteListCount(), 1);
        QCOMPARE(w.project.linkingSites(0)->count(), 0); // never the template
    }

    void addMainSite_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("added");
        QTest::newRow("stored unchanged") << "http://www.Example.com/ " << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("single blank") << " " << false;
        QTest::newRow("blanks only") << "  " << false;
    }
    void addMainSite()
    {
        QFETCH(QString, typed);
        QFETCH(bool, added);
        Workspace w;
        QVERIFY(w.editor.addMainSite(QStringLiteral("first.com")).changed);
        w.state().bProjectSaved = true;
        QSignalSpy selected(&w.editor, &ProjectEditor::mainSiteSelected);
        const EditOutcome outcome = w.editor.addMainSite(typed);
        QVERIFY(outcome.message.isEmpty());
        if (!added) {
            QCOMPARE(outcome.statusText,
                     QStringLiteral("Error: Please enter a Remote Site first!"));
            QCOMPARE(outcome.entryText, typed);
            QCOMPARE(w.project.mainSiteCount(), 1);
            QCOMPARE(selected.count(), 0);
            QVERIFY(w.state().bProjectSaved);
            return;
        }
        QVERIFY(outcome.statusText.isEmpty());
        QCOMPARE(outcome.entryText, QString());
        QCOMPARE(w.project.mainSiteUrl(2), typed);
        QCOMPARE(w.project.linkingSiteListCount(), 3);
        QCOMPARE(w.state().iCurrentMain, qint16(2));
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toInt(), 2);
        QCOMPARE(selected.at(0).at(1).toString(), QStringLiteral("Enter linking sites: ") + typed);
        QVERIFY(!w.state().bProjectSaved);
    }

    void deletingMainSiteTwoOfThreeRebuildsTheProject()
    {
        Workspace w;
        w.buildThree();
        QSignalSpy regenerate(&w.files, &ProjectFile::reportRegenerationRequested);
        QSignalSpy selected(&w.editor, &ProjectEditor::mainSiteSelected);
        QSignalSpy hidden(&w.editor, &ProjectEditor::linkingSitePanelHidden);
        QAbstractItemModelTester mainTester(&w.project.mainSites(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);
        QAbstractItemModelTester ruleTester(&w.project.rules(),
                                            QAbstractItemModelTester::FailureReportingMode::QtTest);

        const EditOutcome outcome = w.editor.deleteMainSite(1);
        QVERIFY(outcome.changed);
        QVERIFY(outcome.message.isEmpty());
        QCOMPARE(w.project.mainSiteCount(), 2);
        QCOMPARE(w.project.mainSiteUrl(2), QStringLiteral("c.com"));
        QCOMPARE(w.project.linkingSiteListCount(), 3);
        QCOMPARE(w.sitesOf(1), (QStringList{"a1.org", "a2.org"}));
        QCOMPARE(w.sitesOf(2), QStringList{"c1.org"});
        QCOMPARE(w.project.linkingSites(2)->site(0).description, QStringLiteral("third"));
        QCOMPARE(w.ruleScopes(), (QStringList{"Global|Global", "a.com|Global", "c.com|c1.org"}));
        QCOMPARE(w.project.results().count(), 1); // results stay
        QCOMPARE(w.project.postTargets().count(), 1);
        QVERIFY(!w.state().bProjectSaved);
        QCOMPARE(w.state().iCurrentMain, qint16(1));
        QCOMPARE(regenerate.count(), 1);
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(1).toString(), QStringLiteral("Enter linking sites: a.com"));
        QCOMPARE(hidden.count(), 0);
    }

    void deletingAMainSiteRemovesTheRulesOfItsDuplicates()
    {
        Workspace w;
        w.buildThree();
        w.project.mainSites().setCell(0, 0, QStringLiteral("b.com")); // Main Sites b, b, c
        w.editor.deleteMainSite(0);
        QCOMPARE(w.project.mainSiteCount(), 2);
        QCOMPARE(w.project.mainSiteUrl(1), QStringLiteral("b.com"));
        QCOMPARE(w.sitesOf(1), (QStringList{"b1.org", "b2.org"}));
        QCOMPARE(w.ruleScopes(), (QStringList{"Global|Global", "a.com|Global", "c.com|c1.org"}));
    }

    void deletingTheOnlyMainSite()
    {
        Workspace w;
        ProjectFile::clearProject(w.project);
        w.editor.addMainSite(QStringLiteral("a.com"));
        w.editor.addLinkingSite(QStringLiteral("a1.org"));
        w.rule(QStringLiteral("a.com"), QStringLiteral("a1.org"));
        w.rule(QStringLiteral("Global"), QStringLiteral("Global"));
        w.project.results().appendEntry({1, QStringLiteral("a.com"), QStringLiteral("a1.org"),
                                         QStringLiteral("None Found"), QStringLiteral("000"),
                                         QStringLiteral("a1.org"), SiteColour::Red});
        w.state().bProjectSaved = true;
        QSignalSpy hidden(&w.editor, &ProjectEditor::linkingSitePanelHidden);
        QSignalSpy regenerate(&w.files, &ProjectFile::reportRegenerationRequested);

        QVERIFY(w.editor.deleteMainSite(0).changed);
        QCOMPARE(w.project.mainSiteCount(), 0);
        QCOMPARE(w.project.linkingSiteListCount(), 1);
        QCOMPARE(w.ruleScopes(), QStringList{"Global|Global"});
        QCOMPARE(w.project.results().count(), 1);
        QCOMPARE(hidden.count(), 1);
        QCOMPARE(regenerate.count(), 0);
        QVERIFY(!w.state().bProjectSaved);
    }

    void deletingWithoutASelectionDoesNothing()
    {
        Workspace w;
        w.buildThree();
        const QStringList before = test::snapshot(w.project);
        for (const int index : {-1, 3}) {
            const EditOutcome outcome = w.editor.deleteMainSite(index);
            QVERIFY(!outcome.changed);
            QVERIFY(outcome.message.isEmpty());
        }
        QCOMPARE(test::snapshot(w.project), before);
        QVERIFY(w.state().bProjectSaved);
    }

    void deleteLinkingSite_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<bool>("scanning");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("sitesAfter"); // of list 2 (b.com)
        QTest::addColumn<QStringList>("rulesAfter");
        const QStringList allRules = {"Global|Global", "a.com|Global", "b.com|Global",
                                      "b.com|b1.org",  "c.com|c1.org", "a.com|b1.org"};
        const QStringList bothSites = {"b1.org", "b2.org"};
        QTest::newRow("no row selected")
            << 0 << false << "You must select a site to delete." << bothSites << allRules;
        QTest::newRow("row 2 keeps its rules")
            << 2 << false << "" << QStringList{"b1.org"} << allRules;
        QTest::newRow("row 2 while scanning")
            << 2 << true << "" << QStringList{"b1.org"} << allRules;
        QTest::newRow("row 1 takes its rules under every Main Site")
            << 1 << false << "" << QStringList{"b2.org"}
            << QStringList{"Global|Global", "a.com|Global", "b.com|Global", "c.com|c1.org"};
        QTest::newRow("row 1 while scanning")
            << 1 << true << "You cannot delete the current site while the search is running."
            << bothSites << allRules;
        QTest::newRow("row past the end") << 3 << false << "" << bothSites << allRules;
    }
    void deleteLinkingSite()
    {
        QFETCH(int, row);
        QFETCH(bool, scanning);
        QFETCH(QString, message);
        QFETCH(QStringList, sitesAfter);
        QFETCH(QStringList, rulesAfter);
        Workspace w;
        w.buildThree();
        w.rule(QStringLiteral("a.com"), QStringLiteral("b1.org"));
        w.editor.selectMainSite(2);
        w.state().bScanRunning = scanning;
        QAbstractItemModelTester tester(w.project.linkingSites(2),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);

        const EditOutcome outcome = w.editor.deleteLinkingSite(row);
        QCOMPARE(outcome.message, message);
        QCOMPARE(w.sitesOf(2), sitesAfter);
        QCOMPARE(w.ruleScopes(), rulesAfter);
        QCOMPARE(w.state().bProjectSaved, !outcome.changed);
        QCOMPARE(outcome.changed, sitesAfter != QStringList({"b1.org", "b2.org"}));
        QCOMPARE(w.sitesOf(1), (QStringList{"a1.org", "a2.org"}));
    }

    void selectingAMainSite()
    {
        Workspace w;
        w.buildThree();
        QSignalSpy selected(&w.editor, &ProjectEditor::mainSiteSelected);
        QCOMPARE(w.editor.selectMainSite(3), QStringLiteral("Enter linking sites: c.com"));
        QCOMPARE(w.state().iCurrentMain, qint16(3));
        QCOMPARE(selected.count(), 1);
        QCOMPARE(w.editor.selectMainSite(4), QString());
        QCOMPARE(w.editor.selectMainSite(0), QString());
        QCOMPARE(w.state().iCurrentMain, qint16(3));
        QCOMPARE(selected.count(), 1);
        QVERIFY(w.state().bProjectSaved); // selecting is not an edit
    }

    void editorsGetTheirIndex()
    {
        Workspace w;
        w.buildThree();
        w.editor.selectMainSite(2);
        QVERIFY(w.editor.editLinkingSite(2));
        QCOMPARE(w.state().iEditIndex, qint16(2));
        QVERIFY(!w.editor.editLinkingSite(0));
        QCOMPARE(w.state().iEditIndex, qint16(0));
        QVERIFY(!w.editor.editLinkingSite(3));
        QVERIFY(w.editor.editMainSite(0));
        QCOMPARE(w.state().iEditIndex, qint16(0)); // 0-based for the Main Site editor
        QVERIFY(w.editor.editMainSite(2));
        QCOMPARE(w.state().iEditIndex, qint16(2));
        QVERIFY(!w.editor.editMainSite(-1));
        QVERIFY(!w.editor.editMainSite(3));
        QVERIFY(w.state().bProjectSaved);
    }

    void addListNeverReusesTheTemplate()
    {
        Workspace w;
        w.buildThree();
        QCOMPARE(w.editor.addList(), 4);
        QCOMPARE(w.project.linkingSites(4)->count(), 0);
        ProjectFile::clearProject(w.project);
        QCOMPARE(w.editor.addList(), 1);
    }

    void mainSiteEntryChangeAfterALoad()
    {
        Workspace w;
        w.buildThree();
        const QString path = w.box.file(QStringLiteral("Project Files/three.prj"));
        QVERIFY(w.files.SaveProjectFile(path));
        QVERIFY(w.files.LoadProjectFile(path));
        QCOMPARE(w.state().iCurrentMain, qint16(1));
        w.editor.mainSiteEntryChanged(); // the load filling the box
        QVERIFY(w.state().bProjectSaved);
        QVERIFY(!w.state().bSkipDomainChange);
        w.editor.mainSiteEntryChanged();
        QVERIFY(!w.state().bProjectSaved);
    }

    void linkingSiteListStaysAValidModel()
    {
        Workspace w;
        ProjectFile::clearProject(w.project);
        w.editor.addMainSite(QStringLiteral("a.com"));
        LinkingSiteList* list = w.project.linkingSites(1);
        QAbstractItemModelTester tester(list,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 5; ++i)
            w.editor.addLinkingSite(QStringLiteral("s%1.org").arg(i));
        list->sortByColumn(1);
        w.editor.addLinkingSite(QStringLiteral("m.org"));
        w.editor.deleteLinkingSite(3);
        w.editor.deleteLinkingSite(1);
        QCOMPARE(list->count(), 4);
        list->clear();
        QCOMPARE(list->rowCount(), 0);
    }
};

CORVANE_TEST_CLASS(ProjectEditorTest);
#include "ProjectEditorTest.moc"
