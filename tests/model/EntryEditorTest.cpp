#include "model/EntryEditor.h"
#include "model/Project.h"
#include "support/TestRegistry.h"
#include "ProjectSnapshot.h"

#include <QTest>

#include <functional>

using namespace corvane;

namespace {

using Kind = EntryEditor::Kind;

LinkingSite siteAt(const QString& url)
{
    LinkingSite s;
    s.url = url;
    return s;
}

// Main Sites a.com and b.com, a.com with Linking Sites a1.org and a2.org, and a rule of every
// scope in between rules of others (one differs from a scope only by letter case).
struct Rules {
    Project project;

    Rules()
    {
        project.mainSites().appendUrl(QStringLiteral("a.com"));
        project.mainSites().appendUrl(QStringLiteral("b.com"));
        project.addList();
        project.addList();
        project.linkingSites(1)->appendSite({QStringLiteral("a1.org"), QStringLiteral("2"),
                                             QStringLiteral("a1.org/links.htm"),
                                             QStringLiteral("A one"), QStringLiteral("first")});
        project.linkingSites(1)->appendSite(siteAt(QStringLiteral("a2.org")));
        for (const auto& [main, remote, value] : std::initializer_list<std::array<const char*, 3>>{
                 {"a.com", "a1.org", "site1"},
                 {"Global", "Global", "global1"},
                 {"a.com", "Global", "main1"},
                 {"A.com", "Global", "other-case"},
                 {"a.com", "a2.org", "other-site"},
                 {"a.com", "a1.org", "site2"},
                 {"Global", "a1.org", "any-main"},
                 {"b.com", "Global", "other-main"},
                 {"Global", "Global", "global2"},
                 {"a.com", "Global", "main2"},
             })
            project.rules().appendRule({QString::fromLatin1(main), QString::fromLatin1(remote),
                                        QStringLiteral("ExcludeString"),
                                        QString::fromLatin1(value)});
        // The Edit buttons: Main Site a.com current, its Linking Site row 1 or list entry 0.
        project.state().iCurrentMain = 1;
        project.state().iEditIndex = 1;
    }

    QStringList ruleValues() const
    {
        QStringList out;
        for (int row = 0; row < project.rules().count(); ++row)
            out << project.rules().cell(row, RuleList::RuleValue);
        return out;
    }
};

QStringList column(const RecordTableModel& model, int column)
{
    QStringList out;
    for (int row = 0; row < model.count(); ++row)
        out << model.cell(row, column);
    return out;
}

} // namespace

class EntryEditorTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Opening copies the rows of the editor's scope alone, in list order, compared exactly; OK
    // takes them out of the list and appends the copy at the end, other rows keeping their order.
    void scopeOpenedAndSaved_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("opened");
        QTest::addColumn<QStringList>("afterSave");
        QTest::newRow("Linking Site")
            << Kind::LinkingSite << QStringList{"site1", "site2"}
            << QStringList{"global1", "main1", "other-case", "other-site", "any-main",
                           "other-main", "global2", "main2", "site1", "site2", "new"};
        QTest::newRow("Main Site")
            << Kind::MainSite << QStringList{"main1", "main2"}
            << QStringList{"site1", "global1", "other-case", "other-site", "site2", "any-main",
                           "other-main", "global2", "main1", "main2", "new"};
        QTest::newRow("global") << Kind::Global << QStringList{"global1", "global2"}
                                << QStringList{"site1", "main1", "other-case", "other-site",
                                               "site2", "any-main", "other-main", "main2",
                                               "global1", "global2", "new"};
    }
    void scopeOpenedAndSaved()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, opened);
        QFETCH(QStringList, afterSave);
        Rules r;
        if (kind == Kind::MainSite)
            r.project.state().iEditIndex = 0;
        EntryEditor editor(r.project, kind);
        QVERIFY(editor.isBound());
        QCOMPARE(column(editor.rules(), 3), opened);
        QVERIFY(editor.addRule(3, QStringLiteral("new"), QStringLiteral("a1.org")).done);
        QVERIFY(editor.save(editor.fields()).done);
        QCOMPARE(r.ruleValues(), afterSave);
        QVERIFY(!r.project.state().bProjectSaved);
    }

    // The two site columns of an added rule: the Linking Site editor takes its URL field as it
    // stands, the Main Site editor the current Main Site's URL whatever its field holds.
    void addedRuleScope_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("row");
        QTest::newRow("Linking Site") << Kind::LinkingSite
                                      << QStringList{"a.com", "renamed.org", "LimitRoot", " x"};
        QTest::newRow("Main Site") << Kind::MainSite
                                   << QStringList{"a.com", "Global", "LimitRoot", " x"};
        QTest::newRow("global") << Kind::Global
                                << QStringList{"Global", "Global", "LimitRoot", " x"};
    }
    void addedRuleScope()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, row);
        Rules r;
        r.project.state().iEditIndex = kind == Kind::MainSite ? 0 : 1;
        EntryEditor editor(r.project, kind);
        const int before = editor.rules().count();
        QVERIFY(editor.addRule(4, QStringLiteral(" x"), QStringLiteral("renamed.org")).done);
        QCOMPARE(editor.rules().record(before).cells, row);
    }

    void addRuleRefusals_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("message"); // empty: added
        QTest::addColumn<QString>("title");
        const QString enter = QStringLiteral("Please enter a rule to add.");
        const QString select = QStringLiteral("Please select a rule type before adding a rule.");
        QTest::newRow("empty") << 0 << "" << enter << "Error";
        QTest::newRow("one space") << 0 << " " << enter << "Error";
        QTest::newRow("two spaces are a value") << 0 << "  " << "" << "";
        QTest::newRow("no type chosen") << -1 << "blog" << select << "";
        QTest::newRow("no type and no value") << -1 << "" << enter << "Error";
        QTest::newRow("last type") << 5 << "cgi-bin" << "" << "";
    }
    void addRuleRefusals()
    {
        QFETCH(int, type);
        QFETCH(QString, value);
        QFETCH(QString, message);
        QFETCH(QString, title);
        Rules r;
        EntryEditor editor(r.project, Kind::Global);
        const EntryEditOutcome outcome = editor.addRule(type, value, {});
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.title, title);
        QCOMPARE(outcome.done, message.isEmpty());
        QCOMPARE(editor.rules().count(), message.isEmpty() ? 3 : 2);
        if (outcome.done)
            QCOMPARE(editor.rules().cell(2, 2), EntryEditor::ruleTypes().at(type));
    }

    // OK writes the fields as typed, without checks, into the row the editor was opened for,
    // even when another row has been selected since.
    void savesFieldsOfItsOwnEntry()
    {
        Rules r;
        EntryEditor site(r.project, Kind::LinkingSite);
        QCOMPARE(site.fields().description, QStringLiteral("first"));
        r.project.state().iEditIndex = 2;
        const LinkingSite typed{QStringLiteral("new.org"), QStringLiteral("many"),
                                QStringLiteral("l"), QStringLiteral("t"), QStringLiteral("d")};
        QVERIFY(site.save(typed).done);
        QCOMPARE(r.project.linkingSites(1)->record(0).cells,
                 (QStringList{"new.org", "many", "l", "t", "d"}));
        QCOMPARE(r.project.linkingSites(1)->url(1), QStringLiteral("a2.org"));

        r.project.state().iEditIndex = 1;
        EntryEditor main(r.project, Kind::MainSite);
        QCOMPARE(main.fields().url, QStringLiteral("b.com"));
        QVERIFY(main.save(siteAt(QStringLiteral("www.b.com"))).done);
        QCOMPARE(r.project.mainSiteUrl(2), QStringLiteral("www.b.com"));
        QCOMPARE(r.project.mainSiteUrl(1), QStringLiteral("a.com"));
    }

    // An entry deleted, renamed or moved after the editor opened, or a site edited while a scan
    // runs, is not saved: the project stays exactly as it was.
    void refusedSaves_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<std::function<void(Project&)>>("meanwhile");
        QTest::addColumn<QString>("message"); // empty: saved
        const QString gone = EntryEditor::kEntryGone;
        const QString scanning = EntryEditor::kScanRunning;
        using Change = std::function<void(Project&)>;
        QTest::newRow("Linking Site deleted")
            << Kind::LinkingSite << Change([](Project& p) { p.linkingSites(1)->removeAt(0); })
            << gone;
        QTest::newRow("Linking Site renamed by another editor")
            << Kind::LinkingSite
            << Change([](Project& p) { p.linkingSites(1)->setCell(0, 0, QStringLiteral("x.org")); })
            << gone;
        QTest::newRow("Linking Site list sorted")
            << Kind::LinkingSite << Change([](Project& p) {
                   // Sorted by URL, whichever way puts a2.org first.
                   while (p.linkingSites(1)->url(0) != QStringLiteral("a2.org"))
                       p.linkingSites(1)->sortByColumn(1);
               })
            << gone;
        QTest::newRow("its Main Site deleted") << Kind::LinkingSite << Change([](Project& p) {
            p.mainSites().removeAt(0);
            p.removeList(1);
        }) << gone;
        QTest::newRow("its Main Site renamed") << Kind::LinkingSite << Change([](Project& p) {
            p.mainSites().setCell(0, 0, QStringLiteral("www.a.com"));
        }) << gone;
        QTest::newRow("Main Site deleted") << Kind::MainSite << Change([](Project& p) {
            p.mainSites().removeAt(0);
            p.removeList(1);
        }) << gone;
        QTest::newRow("Linking Site during a scan")
            << Kind::LinkingSite << Change([](Project& p) { p.state().bScanRunning = true; })
            << scanning;
        QTest::newRow("Main Site during a scan")
            << Kind::MainSite << Change([](Project& p) { p.state().bScanRunning = true; })
            << scanning;
        QTest::newRow("global rules during a scan")
            << Kind::Global << Change([](Project& p) { p.state().bScanRunning = true; })
            << QString();
        QTest::newRow("another Linking Site deleted")
            << Kind::LinkingSite << Change([](Project& p) { p.linkingSites(1)->removeAt(1); })
            << QString();
    }
    void refusedSaves()
    {
        QFETCH(Kind, kind);
        QFETCH(std::function<void(Project&)>, meanwhile);
        QFETCH(QString, message);
        Rules r;
        if (kind == Kind::MainSite)
            r.project.state().iEditIndex = 0;
        EntryEditor editor(r.project, kind);
        QVERIFY(editor.addRule(1, QStringLiteral("tmp"), QStringLiteral("a1.org")).done);
        meanwhile(r.project);
        r.project.state().bProjectSaved = true;
        const QStringList before = test::snapshot(r.project);

        LinkingSite fields = editor.fields();
        fields.url += QStringLiteral(".changed");
        const EntryEditOutcome outcome = editor.save(fields);
        QCOMPARE(outcome.message, message);
        QCOMPARE(outcome.done, message.isEmpty());
        if (message.isEmpty())
            return;
        QCOMPARE(test::snapshot(r.project), before);
        QVERIFY(r.project.state().bProjectSaved);
    }

    // An Edit press that named no entry gives an editor with nothing to edit.
    void unboundWithoutEntry_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("currentMain");
        QTest::addColumn<int>("editIndex");
        QTest::newRow("row 0") << Kind::LinkingSite << 1 << 0;
        QTest::newRow("row past the list") << Kind::LinkingSite << 1 << 3;
        QTest::newRow("no current Main Site") << Kind::LinkingSite << 0 << 1;
        QTest::newRow("Main Site index past the list") << Kind::MainSite << 1 << 2;
        QTest::newRow("Main Site index -1") << Kind::MainSite << 1 << -1;
    }
    void unboundWithoutEntry()
    {
        QFETCH(Kind, kind);
        QFETCH(int, currentMain);
        QFETCH(int, editIndex);
        Rules r;
        r.project.state().iCurrentMain = qint16(currentMain);
        r.project.state().iEditIndex = qint16(editIndex);
        EntryEditor editor(r.project, kind);
        QVERIFY(!editor.isBound());
        QCOMPARE(editor.save({}).message, EntryEditor::kEntryGone);
    }

    void deleteRule()
    {
        Rules r;
        EntryEditor editor(r.project, Kind::Global);
        editor.deleteRule(-1);
        editor.deleteRule(2);
        QCOMPARE(editor.rules().count(), 2);
        editor.deleteRule(0);
        QCOMPARE(column(editor.rules(), 3), QStringList{"global2"});
        QCOMPARE(r.project.rules().count(), 10);
    }
};

CORVANE_TEST_CLASS(EntryEditorTest);

#include "EntryEditorTest.moc"
