#include "WindowFixture.h"

#include "model/EntryEditor.h"
#include "model/FileTypeList.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"
#include "ui/Dialogs.h"
#include "ui/EntryEditorWindow.h"
#include "ui/OptionsWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

using namespace corvane;
using test::WindowFixture;

namespace {

// A Main Site mine.test with Linking Sites a.test, b.test and c.test, and rules of every scope
// in between: the editors' scopes are the "site", "main" and "global" values.
void buildProject(WindowFixture& f)
{
    f.addSites(QStringLiteral("mine.test"),
               {QStringLiteral("a.test"), QStringLiteral("b.test"), QStringLiteral("c.test")});
    RuleList& rules = f.window->project().rules();
    for (const auto& [main, remote, value] : std::initializer_list<std::array<const char*, 3>>{
             {"mine.test", "b.test", "site1"},
             {"Global", "Global", "global1"},
             {"mine.test", "Global", "main1"},
             {"mine.test", "a.test", "other-site"},
             {"mine.test", "b.test", "site2"},
             {"Global", "b.test", "any-main"},
             {"Global", "Global", "global2"},
         })
        rules.appendRule({QString::fromLatin1(main), QString::fromLatin1(remote),
                          QStringLiteral("ExcludeString"), QString::fromLatin1(value)});
    f.window->project().state().bProjectSaved = true;
}

QStringList ruleRows(const QAbstractItemModel* model)
{
    QStringList out;
    for (int row = 0; row < model->rowCount(); ++row) {
        QStringList cells;
        for (int column = 0; column < model->columnCount(); ++column)
            cells << model->index(row, column).data().toString();
        out << cells.join(u'|');
    }
    return out;
}

template <typename T> T* child(QWidget* window, const QString& name)
{
    T* found = window->findChild<T*>(name);
    if (found == nullptr)
        qWarning("no control named %s in %s", qPrintable(name), qPrintable(window->objectName()));
    return found;
}

void clickIn(QWidget* window, const QString& button)
{
    QTest::mouseClick(child<QAbstractButton>(window, button), Qt::LeftButton);
}

void typeIn(QWidget* window, const QString& entry, const QString& text, bool enter = false)
{
    auto* box = child<QLineEdit>(window, entry);
    box->setFocus();
    QTest::keyClicks(box, text);
    if (enter)
        QTest::keyClick(box, Qt::Key_Return);
}

void clearIn(QWidget* window, const QString& entry)
{
    auto* box = child<QLineEdit>(window, entry);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
}

// Chooses a rule type, types the value and presses Enter in it, as a user adds a rule.
void addRule(QWidget* editor, int type, const QString& value)
{
    if (type >= 0)
        clickIn(editor, QStringLiteral("Option1_%1").arg(type));
    typeIn(editor, QStringLiteral("Text6"), value, true);
}

// Clicks a row of a list as a user does.
void clickRow(QAbstractItemView* list, int row)
{
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

QWidget* mainButtons(WindowFixture& f)
{
    return f.find<QWidget>(QStringLiteral("fraCommands"));
}

// The editor a Edit button opened: the last one of that name.
EntryEditorWindow* openedEditor(WindowFixture& f, const QString& name)
{
    const QList<EntryEditorWindow*> all = f.window->findChildren<EntryEditorWindow*>(name);
    return all.isEmpty() ? nullptr : all.last();
}

EntryEditorWindow* editLinkingSite(WindowFixture& f, int row)
{
    clickRow(f.find<QAbstractItemView>(QStringLiteral("List1")), row - 1);
    f.click(QStringLiteral("cmdEdit"));
    return openedEditor(f, QStringLiteral("Form2"));
}

EntryEditorWindow* editMainSite(WindowFixture& f, int index)
{
    clickRow(f.find<QAbstractItemView>(QStringLiteral("List4")), index);
    f.click(QStringLiteral("cmdEditMain"));
    return openedEditor(f, QStringLiteral("Form2a"));
}

OptionsWindow* openOptions(WindowFixture& f)
{
    clickIn(mainButtons(f), QStringLiteral("Command9"));
    return f.window->findChild<OptionsWindow*>(QStringLiteral("frmOptions"));
}

EntryEditorWindow* editGlobalRules(WindowFixture& f)
{
    clickIn(openOptions(f), QStringLiteral("Command1"));
    return openedEditor(f, QStringLiteral("Form2b"));
}

QStringList projectRules(WindowFixture& f)
{
    return ruleRows(&f.window->project().rules());
}

} // namespace

// The site and rule editors and the options window, opened from the main window and driven
// as a user drives them.
class EditorWindowsTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Dialogs::clearHooks(); }

    // The Linking Site editor shows the row it was opened for and the rules of that row only;
    // a rule added after the URL field changed carries the new URL, the rules shown at opening
    // keep the old one, and OK writes the fields and moves the scope's rules to the end.
    void linkingSiteEditorSavesFieldsAndRules()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        buildProject(f);
        w.project().linkingSites(1)->setCell(1, LinkingSiteList::Description,
                                             QStringLiteral("partner"));
        EntryEditorWindow* editor = editLinkingSite(f, 2);
        QVERIFY(editor != nullptr);
        QVERIFY(!editor->isModal());
        QCOMPARE(editor->windowTitle(), QStringLiteral("Edit an entry"));
        QCOMPARE(child<QGroupBox>(editor, QStringLiteral("fraRules"))->title(),
                 QStringLiteral("Edit rules for this remote site:"));
        QCOMPARE(child<QLineEdit>(editor, QStringLiteral("Text1"))->text(), QStringLiteral("b.test"));
        QCOMPARE(child<QLineEdit>(editor, QStringLiteral("Text2"))->text(), QStringLiteral("1"));
        QCOMPARE(child<QLineEdit>(editor, QStringLiteral("Text5"))->text(), QStringLiteral("partner"));
        auto* rules = child<QTreeView>(editor, QStringLiteral("ListView1"));
        QCOMPARE(ruleRows(rules->model()),
                 (QStringList{"mine.test|b.test|ExcludeString|site1",
                              "mine.test|b.test|ExcludeString|site2"}));
        QCOMPARE(rules->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("Linking Site"));

        clearIn(editor, QStringLiteral("Text1"));
        typeIn(editor, QStringLiteral("Text1"), QStringLiteral("www.b.test"));
        typeIn(editor, QStringLiteral("Text2"), QStringLiteral("x"));
        addRule(editor, 0, QStringLiteral("blog"));
        QVERIFY(child<QLineEdit>(editor, QStringLiteral("Text6"))->text().isEmpty());
        QCOMPARE(editor->focusWidget(), child<QWidget>(editor, QStringLiteral("Text6")));
        QCOMPARE(ruleRows(rules->model()).last(),
                 QStringLiteral("mine.test|www.b.test|LimitDirectory|blog"));
        QCOMPARE(projectRules(f).size(), 7); // nothing saved yet
        test::saveScreenshot(editor, QStringLiteral("Form2"));

        // Enter in a site field acts as OK.
        typeIn(editor, QStringLiteral("Text4"), QStringLiteral(" text"), true);
        QTRY_VERIFY(openedEditor(f, QStringLiteral("Form2")) == nullptr);
        QCOMPARE(w.project().linkingSites(1)->record(1).cells,
                 (QStringList{"www.b.test", "1x", "", " text", "partner"}));
        QCOMPARE(projectRules(f),
                 (QStringList{"Global|Global|ExcludeString|global1",
                              "mine.test|Global|ExcludeString|main1",
                              "mine.test|a.test|ExcludeString|other-site",
                              "Global|b.test|ExcludeString|any-main",
                              "Global|Global|ExcludeString|global2",
                              "mine.test|b.test|ExcludeString|site1",
                              "mine.test|b.test|ExcludeString|site2",
                              "mine.test|www.b.test|LimitDirectory|blog"}));
        QVERIFY(!w.project().state().bProjectSaved);
        QVERIFY(WindowFixture::answered().isEmpty());
    }

    // Every editor: its heading, the rules of its scope, the two messages of "Add Rule" (a
    // single space is no value, two spaces are), "Delete Rule", and the end its button gives:
    // Cancel leaves the project as it was, OK (even without a change) moves the scope's rules
    // to the end of the list and marks the project unsaved.
    void eachEditorAddsDeletesSavesAndCancels_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("heading");
        QTest::addColumn<QString>("note");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("added"); // the row "Add Rule" adds for "  " as ExcludeRoot
        QTest::addColumn<QStringList>("afterOk");
        const QStringList site{"mine.test|b.test|ExcludeString|site1",
                               "mine.test|b.test|ExcludeString|site2"};
        const QStringList main{"mine.test|Global|ExcludeString|main1"};
        const QStringList global{"Global|Global|ExcludeString|global1",
                                 "Global|Global|ExcludeString|global2"};
        for (const bool ok : {true, false}) {
            const char* end = ok ? "OK" : "Cancel";
            QTest::addRow("Linking Site, %s", end)
                << "Form2" << ok << "Edit rules for this remote site:" << "" << site
                << "mine.test|b.test|ExcludeRoot|  "
                << QStringList{"Global|Global|ExcludeString|global1",
                               "mine.test|Global|ExcludeString|main1",
                               "mine.test|a.test|ExcludeString|other-site",
                               "Global|b.test|ExcludeString|any-main",
                               "Global|Global|ExcludeString|global2",
                               "mine.test|b.test|ExcludeString|site2",
                               "mine.test|b.test|ExcludeRoot|  "};
            QTest::addRow("Main Site, %s", end)
                << "Form2a" << ok << "Edit rules for this main site:"
                << "These rules will apply to all Linking Sites grouped with this Main Site"
                << main << "mine.test|Global|ExcludeRoot|  "
                << QStringList{"mine.test|b.test|ExcludeString|site1",
                               "Global|Global|ExcludeString|global1",
                               "mine.test|a.test|ExcludeString|other-site",
                               "mine.test|b.test|ExcludeString|site2",
                               "Global|b.test|ExcludeString|any-main",
                               "Global|Global|ExcludeString|global2",
                               "mine.test|Global|ExcludeRoot|  "};
            QTest::addRow("global, %s", end)
                << "Form2b" << ok << "Edit Global Rules"
                << "These rules will apply globally to all sites" << global
                << "Global|Global|ExcludeRoot|  "
                << QStringList{"mine.test|b.test|ExcludeString|site1",
                               "mine.test|Global|ExcludeString|main1",
                               "mine.test|a.test|ExcludeString|other-site",
                               "mine.test|b.test|ExcludeString|site2",
                               "Global|b.test|ExcludeString|any-main",
                               "Global|Global|ExcludeString|global2",
                               "Global|Global|ExcludeRoot|  "};
        }
    }
    void eachEditorAddsDeletesSavesAndCancels()
    {
        QFETCH(QString, editor);
        QFETCH(bool, ok);
        QFETCH(QString, heading);
        QFETCH(QString, note);
        QFETCH(QStringList, shown);
        QFETCH(QString, added);
        QFETCH(QStringList, afterOk);
        WindowFixture f;
        MainWindow& w = f.start();
        buildProject(f);
        EntryEditorWindow* window = editor == QStringLiteral("Form2")    ? editLinkingSite(f, 2)
                                    : editor == QStringLiteral("Form2a") ? editMainSite(f, 0)
                                                                         : editGlobalRules(f);
        QVERIFY(window != nullptr);
        QCOMPARE(window->windowTitle(), editor == QStringLiteral("Form2b")
                                            ? QStringLiteral("Global Rules Editor")
                                            : QStringLiteral("Edit an entry"));
        QCOMPARE(child<QGroupBox>(window, QStringLiteral("fraRules"))->title(), heading);
        auto* noteLabel = window->findChild<QLabel*>(QStringLiteral("lblNote"));
        QCOMPARE(noteLabel ? noteLabel->text() : QString(), note);
        auto* rules = child<QTreeView>(window, QStringLiteral("ListView1"));
        QCOMPARE(ruleRows(rules->model()), shown);
        const QStringList before = projectRules(f);

        Dialogs::setNextAnswer(QMessageBox::Ok);
        addRule(window, 5, QStringLiteral(" "));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        clearIn(window, QStringLiteral("Text6"));
        addRule(window, -1, QStringLiteral("  ")); // still type 5 from above
        QCOMPARE(WindowFixture::answered(),
                 QStringList{QStringLiteral("Please enter a rule to add.")});
        QCOMPARE(ruleRows(rules->model()).last(), added);
        if (editor == QStringLiteral("Form2b") && ok)
            test::saveScreenshot(window, QStringLiteral("Form2b"));

        // Delete Rule without a selection does nothing, then deletes the clicked row.
        clickIn(window, QStringLiteral("Command2"));
        QCOMPARE(rules->model()->rowCount(), shown.size() + 1);
        clickRow(rules, 0);
        clickIn(window, QStringLiteral("Command2"));
        QCOMPARE(rules->model()->rowCount(), shown.size());
        QCOMPARE(projectRules(f), before);

        clickIn(window, ok ? QStringLiteral("cmdSave") : QStringLiteral("Command3"));
        QTRY_VERIFY(openedEditor(f, editor) == nullptr);
        QCOMPARE(projectRules(f), ok ? afterOk : before);
        QCOMPARE(w.project().state().bProjectSaved, !ok);
        QCOMPARE(WindowFixture::answered().size(), 1);
    }

    // With no rule type chosen the value stays for the user to choose one.
    void addRuleWithoutATypeKeepsTheValue()
    {
        WindowFixture f;
        f.start();
        buildProject(f);
        EntryEditorWindow* editor = editMainSite(f, 0);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        addRule(editor, -1, QStringLiteral("blog"));
        QCOMPARE(WindowFixture::answered(),
                 QStringList{QStringLiteral("Please select a rule type before adding a rule.")});
        QCOMPARE(child<QLineEdit>(editor, QStringLiteral("Text6"))->text(), QStringLiteral("blog"));
        QCOMPARE(child<QTreeView>(editor, QStringLiteral("ListView1"))->model()->rowCount(), 1);
    }

    // The Main Site editor renames the entry it was opened for; its rules, and a rule added
    // after the field changed, stay under the Main Site's former URL; the caption follows.
    void mainSiteEditorRenamesTheMainSite()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        buildProject(f);
        EntryEditorWindow* editor = editMainSite(f, 0);
        QVERIFY(child<QLineEdit>(editor, QStringLiteral("Text2")) == nullptr);
        QCOMPARE(child<QLineEdit>(editor, QStringLiteral("Text1"))->text(), QStringLiteral("mine.test"));
        clearIn(editor, QStringLiteral("Text1"));
        typeIn(editor, QStringLiteral("Text1"), QStringLiteral("www.mine.test"));
        addRule(editor, 2, QStringLiteral("links"));
        test::saveScreenshot(editor, QStringLiteral("Form2a"));
        QTest::keyClick(child<QLineEdit>(editor, QStringLiteral("Text1")), Qt::Key_Return);
        QTRY_VERIFY(openedEditor(f, QStringLiteral("Form2a")) == nullptr);
        QCOMPARE(w.project().mainSiteUrl(1), QStringLiteral("www.mine.test"));
        QCOMPARE(projectRules(f).last(), QStringLiteral("mine.test|Global|LimitString|links"));
        QCOMPARE(f.find<QLabel>(QStringLiteral("lblblah"))->text(),
                 QStringLiteral("Enter linking sites: www.mine.test"));
    }

    // Each editor keeps the entry it was opened for: selecting or editing another one meanwhile
    // changes nothing, OK on an entry deleted meanwhile, or during a scan, is refused with a
    // message and the window stays open with nothing changed.
    void editorsStayBoundToTheirEntry()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        buildProject(f);
        EntryEditorWindow* first = editLinkingSite(f, 2);
        EntryEditorWindow* second = editLinkingSite(f, 3);
        QVERIFY(first != second);
        QCOMPARE(child<QLineEdit>(first, QStringLiteral("Text1"))->text(), QStringLiteral("b.test"));
        QCOMPARE(child<QLineEdit>(second, QStringLiteral("Text1"))->text(), QStringLiteral("c.test"));

        // b.test is deleted through the main window while its editor is open.
        clickRow(f.find<QAbstractItemView>(QStringLiteral("List1")), 1);
        Dialogs::setNextAnswer(QMessageBox::Yes); // delete it
        f.click(QStringLiteral("cmbDel"));
        Dialogs::clearHooks();
        QCOMPARE(w.project().linkingSites(1)->url(1), QStringLiteral("c.test"));
        w.project().state().bProjectSaved = true;
        const QStringList rules = projectRules(f);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        clickIn(first, QStringLiteral("cmdSave"));
        QCOMPARE(WindowFixture::answered(), QStringList{EntryEditor::kEntryGone});
        QVERIFY(first->isVisible());
        QCOMPARE(w.project().linkingSites(1)->url(1), QStringLiteral("c.test"));
        QCOMPARE(projectRules(f), rules);
        QVERIFY(w.project().state().bProjectSaved);

        // c.test moved up a row: the row its editor was opened for holds no site now.
        Dialogs::setNextAnswer(QMessageBox::Ok);
        clickIn(second, QStringLiteral("cmdSave"));
        QCOMPARE(WindowFixture::answered().size(), 2);
        QCOMPARE(projectRules(f), rules);

        // During a scan a site is not changed; once it has ended the same OK saves.
        EntryEditorWindow* third = editLinkingSite(f, 1);
        typeIn(third, QStringLiteral("Text5"), QStringLiteral("checked"));
        w.project().state().bScanRunning = true;
        Dialogs::setNextAnswer(QMessageBox::Ok);
        clickIn(third, QStringLiteral("cmdSave"));
        w.project().state().bScanRunning = false;
        QCOMPARE(WindowFixture::answered().value(2), EntryEditor::kScanRunning);
        QVERIFY(w.project().linkingSites(1)->site(0).description.isEmpty());
        QVERIFY(w.project().state().bProjectSaved);
        clickIn(third, QStringLiteral("cmdSave"));
        QCOMPARE(w.project().linkingSites(1)->site(0).description, QStringLiteral("checked"));
        QVERIFY(first->isVisible());
        QVERIFY(second->isVisible());
    }
};

// The options window: every control writes its setting as it changes, the file types go to
// filetypes.txt at once, and the next scan works with what was chosen.
class OptionsWindowTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Dialogs::clearHooks(); }

    void aFreshUserSeesTheDefaults()
    {
        WindowFixture f;
        f.start();
        OptionsWindow* options = openOptions(f);
        QVERIFY(options != nullptr);
        QVERIFY(!options->isModal());
        QCOMPARE(options->windowTitle(), QStringLiteral("Scanning Options"));
        auto* pages = child<QComboBox>(options, QStringLiteral("cmbAdvance"));
        QCOMPARE(pages->count(), 13);
        QCOMPARE(pages->itemText(0), QStringLiteral("01"));
        QCOMPARE(pages->itemText(12), QStringLiteral("500,000"));
        QCOMPARE(pages->currentText(), QStringLiteral("500"));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("cmbAdvance"), {}), QStringLiteral("4"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtTimeout"))->text(), QStringLiteral("60"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtAutoSave"))->text(), QStringLiteral("5"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtHostInterval"))->text(),
                 QStringLiteral("0"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtParallelSites"))->text(),
                 QStringLiteral("4"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtUserAgent"))->text(), QString());
        for (const char* name : {"chkAuto2", "chkAuto", "chkRedirect", "chkAudioEmail",
                                 "chkAudioNext", "chkAudioFinished", "chkUpdate", "chkFileTypes"})
            QVERIFY2(child<QCheckBox>(options, QString::fromLatin1(name))->isChecked(), name);
        for (const char* name : {"chkLog", "chkAutoSave"})
            QVERIFY2(!child<QCheckBox>(options, QString::fromLatin1(name))->isChecked(), name);
        QVERIFY(!child<QPushButton>(options, QStringLiteral("cmdAdd2"))->isEnabled());
        QVERIFY(!child<QPushButton>(options, QStringLiteral("cmdDelete"))->isEnabled());
        FileTypeList shipped(f.box.file(QStringLiteral("filetypes.txt")));
        shipped.load();
        auto* types = child<QListWidget>(options, QStringLiteral("List1"));
        QCOMPARE(types->count(), shipped.entries().size());
        QCOMPARE(types->item(0)->text(), QStringLiteral(".htm"));
        test::saveScreenshot(options, QStringLiteral("frmOptions"));

        // Asked for again, the one options window comes to the front.
        QCOMPARE(openOptions(f), options);
    }

    void controlsWriteTheirSettingAtOnce()
    {
        WindowFixture f;
        f.start();
        OptionsWindow* options = openOptions(f);
        SettingsStore& settings = *f.box.settings;
        clickIn(options, QStringLiteral("chkLog"));
        clickIn(options, QStringLiteral("chkAudioNext"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("chkLog"), {}), QStringLiteral("1"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("chkAudioNext"), {}), QStringLiteral("0"));
        auto* pages = child<QComboBox>(options, QStringLiteral("cmbAdvance"));
        pages->setFocus();
        QTest::keyClick(pages, Qt::Key_Home);
        QCOMPARE(settings.ReadSetting(QStringLiteral("cmbAdvance"), {}), QStringLiteral("0"));

        clearIn(options, QStringLiteral("txtTimeout"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("txtTimeout"), {}), QStringLiteral("60"));
        typeIn(options, QStringLiteral("txtTimeout"), QStringLiteral("25"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("txtTimeout"), {}), QStringLiteral("25"));
        clearIn(options, QStringLiteral("txtTimeout")); // an empty field stores nothing
        QCOMPARE(settings.ReadSetting(QStringLiteral("txtTimeout"), {}), QStringLiteral("25"));
        typeIn(options, QStringLiteral("txtTimeout"), QStringLiteral("abc"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtTimeout"))->text(), QStringLiteral("60"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("txtTimeout"), {}), QStringLiteral("60"));

        // The pause between two requests to one host: milliseconds, 0 to 30000.
        clearIn(options, QStringLiteral("txtHostInterval"));
        typeIn(options, QStringLiteral("txtHostInterval"), QStringLiteral("250"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("HostInterval"), {}), QStringLiteral("250"));
        clearIn(options, QStringLiteral("txtHostInterval"));
        typeIn(options, QStringLiteral("txtHostInterval"), QStringLiteral("40000"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtHostInterval"))->text(),
                 QStringLiteral("0"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("HostInterval"), {}), QStringLiteral("0"));

        clearIn(options, QStringLiteral("txtAutoSave"));
        typeIn(options, QStringLiteral("txtAutoSave"), QStringLiteral("x"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtAutoSave"))->text(), QStringLiteral("5"));
        typeIn(options, QStringLiteral("txtAutoSave"), QStringLiteral("0"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("txtAutosave"), {}), QStringLiteral("50"));

        // "Identify as": any text; emptied, the program's own name again.
        typeIn(options, QStringLiteral("txtUserAgent"), QStringLiteral("Mozilla/5.0"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("UserAgent"), {}), QStringLiteral("Mozilla/5.0"));
        clearIn(options, QStringLiteral("txtUserAgent"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("UserAgent"), {}), QString());

        // Proxy: from the system at first; a proxy of one's own is kept once it is a whole
        // host:port; none.
        auto* proxy = child<QComboBox>(options, QStringLiteral("cmbProxy"));
        QCOMPARE(proxy->currentIndex(), 1);
        QVERIFY(!child<QLineEdit>(options, QStringLiteral("txtProxy"))->isEnabled());
        proxy->setCurrentIndex(2);
        typeIn(options, QStringLiteral("txtProxy"), QStringLiteral("proxy.office:"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("Proxy")), QStringLiteral("system"));
        typeIn(options, QStringLiteral("txtProxy"), QStringLiteral("3128"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("Proxy"), {}), QStringLiteral("proxy.office:3128"));
        proxy->setCurrentIndex(0);
        QCOMPARE(settings.ReadSetting(QStringLiteral("Proxy"), {}), QStringLiteral("none"));

        // Linking Sites at once: 1 to 32; anything else turns back into 4.
        clearIn(options, QStringLiteral("txtParallelSites"));
        typeIn(options, QStringLiteral("txtParallelSites"), QStringLiteral("12"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("ParallelSites"), {}), QStringLiteral("12"));
        typeIn(options, QStringLiteral("txtParallelSites"), QStringLiteral("3"));
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtParallelSites"))->text(), QStringLiteral("4"));
        QCOMPARE(settings.ReadSetting(QStringLiteral("ParallelSites"), {}), QStringLiteral("4"));

        // Closed and opened again, the window shows what was stored.
        options->close();
        QTRY_VERIFY(f.window->findChild<OptionsWindow*>(QStringLiteral("frmOptions")) == nullptr);
        options = openOptions(f);
        QCOMPARE(child<QComboBox>(options, QStringLiteral("cmbAdvance"))->currentText(),
                 QStringLiteral("01"));
        QVERIFY(child<QCheckBox>(options, QStringLiteral("chkLog"))->isChecked());
        QCOMPARE(child<QLineEdit>(options, QStringLiteral("txtAutoSave"))->text(), QStringLiteral("50"));
    }

    // A typed file type is made an extension and saved with the list at once; equal entries
    // are kept; deleting the last one leaves an empty file.
    void fileTypesAreSavedAsTheyChange()
    {
        WindowFixture f;
        f.start();
        const QString path = f.box.file(QStringLiteral("filetypes.txt"));
        QVERIFY(test::writeAll(path, ".cgi\r\n"));
        OptionsWindow* options = openOptions(f);
        auto* types = child<QListWidget>(options, QStringLiteral("List1"));
        auto* add = child<QPushButton>(options, QStringLiteral("cmdAdd2"));

        Dialogs::setNextAnswer(QMessageBox::Ok);
        typeIn(options, QStringLiteral("txtDomain"), {}, true);
        QCOMPARE(WindowFixture::answered(),
                 QStringList{QStringLiteral("Please enter a file extension first.")});
        QCOMPARE(options->focusWidget(), child<QWidget>(options, QStringLiteral("txtDomain")));

        const struct {
            const char* typed;
            bool enter;
        } additions[] = {{"htm", true}, {"..php", false}, {"x.asp", true}, {".htm", false}};
        for (const auto& addition : additions) {
            typeIn(options, QStringLiteral("txtDomain"), QString::fromLatin1(addition.typed),
                   addition.enter);
            if (!addition.enter) {
                QVERIFY(add->isEnabled());
                QTest::mouseClick(add, Qt::LeftButton);
            }
            QVERIFY(child<QLineEdit>(options, QStringLiteral("txtDomain"))->text().isEmpty());
        }
        QCOMPARE(test::readAll(path), QByteArray(".cgi\r\n.htm\r\n.php\r\nx.asp\r\n.htm\r\n"));
        QCOMPARE(types->count(), 5);
        QCOMPARE(types->item(4)->text(), QStringLiteral(".htm"));

        auto* remove = child<QPushButton>(options, QStringLiteral("cmdDelete"));
        clickRow(types, 2);
        QVERIFY(remove->isEnabled());
        QTest::mouseClick(remove, Qt::LeftButton);
        QCOMPARE(test::readAll(path), QByteArray(".cgi\r\n.htm\r\nx.asp\r\n.htm\r\n"));
        while (types->count() > 0) {
            clickRow(types, 0);
            QTest::mouseClick(remove, Qt::LeftButton);
        }
        QVERIFY(QFile::exists(path));
        QCOMPARE(test::readAll(path), QByteArray());
        QCOMPARE(WindowFixture::answered().size(), 1);
    }

    // A rule added in each editor keeps the next scan away from its pages, with rule logging
    // switched on in the options; a page limit chosen there holds for the scan after.
    void theNextScanFollowsTheRulesAndOptions()
    {
        test::TestWebServer server;
        server.setPage(QStringLiteral("partner.test"), QStringLiteral("/"),
                       "<html><body><a href=\"/blog/a.htm\">a</a> <a href=\"/private/b.htm\">b</a> "
                       "<a href=\"/shop/c.htm\">c</a> <a href=\"/other/d.htm\">d</a></body></html>");
        for (const char* path : {"/blog/a.htm", "/private/b.htm", "/shop/c.htm", "/other/d.htm"})
            server.setPage(QStringLiteral("partner.test"), QString::fromLatin1(path), "<html>page</html>");
        WindowFixture f;
        f.network.setRoute(server.route());
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("www.mine.test"), {QStringLiteral("partner.test")});

        EntryEditorWindow* site = editLinkingSite(f, 1);
        addRule(site, 1, QStringLiteral("private"));
        clickIn(site, QStringLiteral("cmdSave"));
        EntryEditorWindow* main = editMainSite(f, 0);
        addRule(main, 3, QStringLiteral("shop"));
        clickIn(main, QStringLiteral("cmdSave"));
        EntryEditorWindow* global = editGlobalRules(f);
        addRule(global, 5, QStringLiteral("partner.test/other"));
        clickIn(global, QStringLiteral("cmdSave"));
        OptionsWindow* options = openOptions(f);
        clickIn(options, QStringLiteral("chkLog"));
        clearIn(options, QStringLiteral("txtTimeout"));
        typeIn(options, QStringLiteral("txtTimeout"), QStringLiteral("5"));
        QCOMPARE(w.project().rules().count(), 3);

        QStringList paths;
        const auto scan = [&] {
            paths.clear();
            const qsizetype before = server.requests().size();
            clickIn(mainButtons(f), QStringLiteral("Command1"));
            QVERIFY(w.project().state().bScanRunning);
            QTRY_VERIFY_WITH_TIMEOUT(!w.project().state().bScanRunning, 20000);
            for (qsizetype i = before; i < server.requests().size(); ++i)
                paths << QString::fromLatin1(server.requests().at(i).path);
        };
        scan();
        QCOMPARE(paths, (QStringList{"/", "/blog/a.htm"}));
        const QByteArray log = test::readAll(f.box.file(QStringLiteral("rules.log")));
        for (const char* refused : {"Excluded Site: partner.test/private/b.htm\r\nRule Type: "
                                    "ExcludeDirectory\r\nRule Value: private\r\n",
                                    "Excluded Site: partner.test/shop/c.htm\r\n",
                                    "Excluded Site: partner.test/other/d.htm\r\nRule Type: "
                                    "ExcludeRoot\r\n"})
            QVERIFY2(log.contains(refused), log.constData());

        auto* pages = child<QComboBox>(options, QStringLiteral("cmbAdvance"));
        pages->setFocus();
        QTest::keyClick(pages, Qt::Key_Home); // "01"
        scan();
        QCOMPARE(paths, QStringList{"/"});
    }
};

CORVANE_TEST_CLASS(EditorWindowsTest);
CORVANE_TEST_CLASS(OptionsWindowTest);

#include "EditorWindowsTest.moc"
