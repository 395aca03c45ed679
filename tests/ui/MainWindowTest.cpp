#include "WindowFixture.h"

#include "branding/Branding.h"
#include "model/ProjectFile.h"
#include "output/ResultListActions.h"
#include "support/FullDisk.h"
#include "support/TestRegistry.h"
#include "ui/BrowserView.h"
#include "ui/Dialogs.h"
#include "ui/Presentation.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>

using namespace corvane;
using test::WindowFixture;

namespace {

QStringList column(const QAbstractItemModel* model, int column)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->index(row, column).data().toString();
    return texts;
}

} // namespace

// The main window without browser views: start-up, the Websites frame, tabs, lists, files and
// the exit question.
class MainWindowTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void firstStartShowsTheHelpOnceAndTheDocumentedState()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        QCOMPARE(f.opened, QList<QUrl>{QUrl::fromLocalFile(f.box.file(QStringLiteral("Help.html")))});
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("showHelp")), QStringLiteral("0"));
        QCOMPARE(w.windowTitle(), QStringLiteral("Untitled[*] - ") + Branding::productName());
        QCOMPARE(f.find<QPushButton>(QStringLiteral("cmdWebsite"))->text(),
                 QStringLiteral("Visit ") + Branding::website());
        QVERIFY(f.find<QAction>(QStringLiteral("mnuScanItem0"))->isChecked());
        QVERIFY(f.find<QAction>(QStringLiteral("mnuSkipItem0"))->isChecked());
        for (const char* name : {"cmdStop", "cmdSkip", "cmdAdd2", "cmdDelete", "cmdEditMain"})
            QVERIFY2(!f.find<QPushButton>(QString::fromLatin1(name))->isEnabled(), name);
        QVERIFY(f.find<QPushButton>(QStringLiteral("Command1"))->isEnabled());
        QVERIFY(!f.find<QWidget>(QStringLiteral("innerFrame2"))->isVisible());
        QCOMPARE(f.find<QLabel>(QStringLiteral("lblStats0"))->text(), QStringLiteral("0"));

        auto* tabs = f.find<QTabWidget>(QStringLiteral("TabStrip1"));
        const QStringList captions = {QStringLiteral("Links"), QStringLiteral("Web"),
                                      QStringLiteral("Pages"), QStringLiteral("Reports"),
                                      QStringLiteral("Post")};
        for (int i = 0; i < tabs->count(); ++i)
            QCOMPARE(tabs->tabText(i), captions.at(i));
        QCOMPARE(tabs->tabToolTip(1), QStringLiteral("Visit Linking Sites"));

        f.click(QStringLiteral("cmdWebsite"));
        QCOMPARE(f.opened.last(), QUrl::fromUserInput(Branding::website()));

        f.opened.clear();
        f.start();
        QVERIFY(f.opened.isEmpty());
    }

    void storedScanAndSkipTypesAreApplied()
    {
        WindowFixture f;
        f.box.settings->WriteSetting(QStringLiteral("ScanType"), QStringLiteral("2"));
        f.box.settings->WriteSetting(QStringLiteral("SkipType"), QStringLiteral("1"));
        MainWindow& w = f.start();
        QVERIFY(f.find<QAction>(QStringLiteral("mnuScanItem2"))->isChecked());
        QCOMPARE(w.scan().scanType(), int(ScanController::SelectedLinkingSite));
        QCOMPARE(w.scan().skipType(), int(ScanController::SkipMainSite));
        f.find<QAction>(QStringLiteral("mnuScanItem1"))->trigger();
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("ScanType")), QStringLiteral("1"));
    }

    void lastProjectReopensAndTheFirstKeystrokeIsNoEdit()
    {
        WindowFixture f;
        const QString path = f.box.file(QStringLiteral("Project Files/mine.prj"));
        QVERIFY(test::writeAll(path, "http://www.mine.test\r\npartner.test|1|||\r\n"
                                     "NEXTSITE:other.test\r\nHTML01:\r\nHTML02:\r\nHTML03:\r\n"));
        f.box.settings->WriteSetting(QStringLiteral("LastProject"), path);
        MainWindow& w = f.start();
        QCOMPARE(column(f.find<QListView>(QStringLiteral("List4"))->model(), 0),
                 (QStringList{QStringLiteral("http://www.mine.test"), QStringLiteral("other.test")}));
        QCOMPARE(f.find<QLabel>(QStringLiteral("lblblah"))->text(),
                 QStringLiteral("Enter linking sites: http://www.mine.test"));
        QCOMPARE(column(f.find<QAbstractItemView>(QStringLiteral("List1"))->model(), 0),
                 QStringList{QStringLiteral("partner.test")});
        QVERIFY(w.project().state().bProjectSaved);

        f.type(QStringLiteral("txtDomain"), QStringLiteral("a"));
        QVERIFY(w.project().state().bProjectSaved);
        f.type(QStringLiteral("txtDomain"), QStringLiteral("b"));
        QVERIFY(!w.project().state().bProjectSaved);
    }

    void anUnreadableLastProjectLeavesWhatWasReadAndSaysSo()
    {
        WindowFixture f;
        const QString path = f.box.file(QStringLiteral("Project Files/cut.prj"));
        // The second Linking Site line has one field only: reading ends there.
        QVERIFY(test::writeAll(path, "mine.test\r\ngood.test|1\r\ncut.test\r\nNEXTSITE:lost.test\r\n"));
        f.box.settings->WriteSetting(QStringLiteral("LastProject"), path);
        MainWindow& w = f.start();
        QCOMPARE(w.project().mainSiteCount(), 1);
        QCOMPARE(w.project().linkingSites(1)->count(), 1);
        QVERIFY(f.find<QListView>(QStringLiteral("List4"))->selectionModel()->selectedRows().isEmpty());
        QVERIFY2(w.statusText(1).startsWith(QStringLiteral("Could not read ")), qPrintable(w.statusText(1)));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("LastProject")), path);
    }

    void entryBoxesAddSitesAndEnableTheirButtons()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        auto* addMain = f.find<QPushButton>(QStringLiteral("cmdAdd2"));
        f.type(QStringLiteral("txtDomain"), QStringLiteral("x"));
        QVERIFY(addMain->isEnabled());
        f.clearEntry(QStringLiteral("txtDomain"));
        QVERIFY(addMain->isEnabled()); // stays enabled once enabled
        QCOMPARE(w.statusText(1),
                 QStringLiteral("Enter the website you want to find links to from remote sites"));

        f.type(QStringLiteral("txtDomain"), QStringLiteral("http://www.mine.test"), true);
        QCOMPARE(w.project().mainSiteCount(), 1);
        QVERIFY(f.find<QWidget>(QStringLiteral("innerFrame2"))->isVisible());
        QVERIFY(f.find<QLineEdit>(QStringLiteral("txtDomain"))->text().isEmpty());
        QVERIFY(!w.project().state().bProjectSaved);

        auto* addLinking = f.find<QPushButton>(QStringLiteral("cmdAdd"));
        QVERIFY(!addLinking->isEnabled());
        f.type(QStringLiteral("Text1"), QStringLiteral(" HTTP://Partner.test/links.html "));
        QVERIFY(addLinking->isEnabled());
        f.click(QStringLiteral("cmdAdd"));
        QCOMPARE(w.project().linkingSites(1)->site(0).url, QStringLiteral("Partner.test/links.html"));
        QCOMPARE(w.project().linkingSites(1)->site(0).expected, QStringLiteral("1"));
        QVERIFY(f.find<QLineEdit>(QStringLiteral("Text1"))->text().isEmpty());
        QVERIFY(!addLinking->isEnabled());

        // Enter in an empty box asks for a URL and adds nothing.
        Dialogs::setNextAnswer(QMessageBox::Ok);
        f.type(QStringLiteral("Text1"), QString(), true);
        QCOMPARE(WindowFixture::answered(), QStringList{ProjectEditor::kEnterWebsiteFirst});
        QCOMPARE(w.project().linkingSites(1)->count(), 1);

        // An empty Main Site is refused in the status bar.
        addMain->click();
        QCOMPARE(w.statusText(1), ProjectEditor::kEnterRemoteFirst);
        QCOMPARE(w.project().mainSiteCount(), 1);
    }

    void rowClicksSwitchTheDeleteAndEditButtonsAndPopup1Deletes()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"),
                   {QStringLiteral("a.test"), QStringLiteral("b.test"), QStringLiteral("c.test")});
        auto* list = f.find<QAbstractItemView>(QStringLiteral("List1"));
        const QRect row2 = list->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row2.center());
        QVERIFY(f.find<QPushButton>(QStringLiteral("cmbDel"))->isEnabled());
        QVERIFY(f.find<QPushButton>(QStringLiteral("cmdEdit"))->isEnabled());
        QVERIFY(!f.find<QPushButton>(QStringLiteral("cmdDelete"))->isEnabled());
        QVERIFY(!f.find<QPushButton>(QStringLiteral("cmdEditMain"))->isEnabled());

        Dialogs::setNextAnswer(QMessageBox::Yes); // delete it
        f.find<QAction>(QStringLiteral("mnuPopup1Item0"))->trigger();
        QCOMPARE(column(list->model(), 0), (QStringList{QStringLiteral("a.test"), QStringLiteral("c.test")}));

        // Edit opens the editor on c.test, now row 2, which stays selected.
        f.click(QStringLiteral("cmdEdit"));
        QCOMPARE(w.project().state().iEditIndex, qint16(2));
        auto* editor = w.findChild<QWidget*>(QStringLiteral("Form2"));
        QVERIFY(editor != nullptr && editor->isVisible());
        QCOMPARE(editor->findChild<QLineEdit*>(QStringLiteral("Text1"))->text(),
                 QStringLiteral("c.test"));
    }

    void deletingAMainSiteRebuildsTheProject()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("one.test"), {QStringLiteral("p1.test")});
        f.addSites(QStringLiteral("two.test"), {QStringLiteral("p2.test")});
        f.addSites(QStringLiteral("three.test"), {QStringLiteral("p3.test")});
        auto* mainList = f.find<QListView>(QStringLiteral("List4"));
        QTest::mouseClick(mainList->viewport(), Qt::LeftButton, {},
                          mainList->visualRect(mainList->model()->index(1, 0)).center());
        Dialogs::setNextAnswer(QMessageBox::Yes); // delete it
        f.click(QStringLiteral("cmdDelete"));
        QCOMPARE(column(mainList->model(), 0),
                 (QStringList{QStringLiteral("one.test"), QStringLiteral("three.test")}));
        QCOMPARE(w.project().linkingSites(2)->url(0), QStringLiteral("p3.test"));
        QCOMPARE(column(f.find<QAbstractItemView>(QStringLiteral("List1"))->model(), 0),
                 QStringList{QStringLiteral("p1.test")});
        QVERIFY(!w.project().state().bProjectSaved);
        // The rebuild's report is shown.
        QTRY_COMPARE(f.find<BrowserView>(QStringLiteral("WebBrowser2"))->url(),
                     QUrl::fromLocalFile(w.report().tempReportPath()));
    }

    void aFailedRebuildOrAutosaveIsReportedAndNothingIsLost()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("one.test"), {QStringLiteral("p1.test")});
        f.addSites(QStringLiteral("two.test"), {QStringLiteral("p2.test")});
        // A folder in the quick-save file's place: it cannot be written.
        QVERIFY(QDir().mkpath(f.box.file(QStringLiteral("quicksave.qsv"))));
        Dialogs::setNextAnswer(QMessageBox::Yes); // delete it
        f.click(QStringLiteral("cmdDelete"));
        QVERIFY2(w.statusText(1).startsWith(QStringLiteral("The project could not be rebuilt")),
                 qPrintable(w.statusText(1)));
        QCOMPARE(w.project().mainSiteCount(), 2);
        QCOMPARE(w.project().linkingSites(2)->url(0), QStringLiteral("p2.test"));

        const QString unwritable = f.box.file(QStringLiteral("no such folder/mine.prj"));
        f.box.settings->WriteSetting(QStringLiteral("LastProject"), unwritable);
        f.box.settings->WriteSetting(QStringLiteral("chkAutoSave"), QStringLiteral("1"));
        w.project().state().bScanRunning = true;
        for (int tick = 0; tick < 300; ++tick)
            w.files().Timer1_Timer();
        w.project().state().bScanRunning = false;
        QVERIFY2(w.statusText(1).startsWith(QStringLiteral("Autosave to ")), qPrintable(w.statusText(1)));
        QVERIFY(!QFileInfo::exists(unwritable));
    }

    void choosingPagesOrPostListsEveryMainSiteOnce()
    {
        WindowFixture f;
        f.start();
        f.addSites(QStringLiteral("one.test"), {});
        f.addSites(QStringLiteral("two.test"), {});
        auto* tabs = f.find<QTabWidget>(QStringLiteral("TabStrip1"));
        for (const auto& [tab, selector] : {std::pair{2, QStringLiteral("Combo3")},
                                            std::pair{4, QStringLiteral("cmbSites")}}) {
            for (int i = 0; i < 3; ++i) {
                QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {},
                                  tabs->tabBar()->tabRect(tab).center());
                QCOMPARE(tabs->currentIndex(), tab);
            }
            auto* combo = f.find<QComboBox>(selector);
            QCOMPARE(combo->count(), 2);
            QCOMPARE(combo->itemText(1), QStringLiteral("two.test"));
        }
    }

    void headerClicksSortTheListItselfButNotLinkingSitesDuringAScan()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"),
                   {QStringLiteral("b.test"), QStringLiteral("C.test"), QStringLiteral("a.test")});
        auto* view = f.find<QTreeView>(QStringLiteral("List1"));
        auto clickHeader = [view](int section) {
            QHeaderView* header = view->header();
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                              QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
        };
        const QStringList ascending = {QStringLiteral("a.test"), QStringLiteral("b.test"),
                                       QStringLiteral("C.test")};
        clickHeader(0);
        const QStringList first = column(view->model(), 0);
        clickHeader(0);
        const QStringList second = column(view->model(), 0);
        // The list's own direction toggles with each click; one of the two is ascending.
        QVERIFY(first == ascending || second == ascending);
        QCOMPARE(second, QStringList(first.rbegin(), first.rend()));

        w.project().state().bScanRunning = true;
        Dialogs::setNextAnswer(QMessageBox::Ok);
        clickHeader(0);
        w.project().state().bScanRunning = false;
        QCOMPARE(WindowFixture::answered(), QStringList{ResultListActions::kSortRefused});
        QCOMPARE(column(view->model(), 0), second);

        // The results list sorts during a scan.
        ResultEntry e;
        e.remote = QStringLiteral("z.test");
        w.project().results().appendEntry(e);
        e.remote = QStringLiteral("y.test");
        w.project().results().appendEntry(e);
        w.project().state().bScanRunning = true;
        auto* results = f.find<QTreeView>(QStringLiteral("List3"));
        QTest::mouseClick(results->header()->viewport(), Qt::LeftButton, {},
                          QPoint(results->header()->sectionViewportPosition(1) + 5, 5));
        w.project().state().bScanRunning = false;
        QVERIFY(w.project().results().isSorted());
        QCOMPARE(w.project().results().sortColumn(), 2);

        // The notes, past the wide URL column, are also each row's tool tip.
        e.notes = QStringLiteral("nofollow; text \"Widgets\"");
        w.project().results().appendEntry(e);
        const QAbstractItemModel* shown = results->model();
        const int last = shown->rowCount() - 1;
        QCOMPARE(shown->index(last, 0).data(Qt::ToolTipRole).toString(),
                 QStringLiteral("Notes: nofollow; text \"Widgets\""));
        QVERIFY(!shown->index(0, 2).data(Qt::ToolTipRole).isValid());
    }

    void saveNewOpenAndReopenAtTheNextStart()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("http://www.mine.test"), {QStringLiteral("partner.test")});
        const QString path = f.box.file(QStringLiteral("Project Files/saved.prj"));
        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(w.project().state().bProjectSaved);
        QVERIFY(test::readAll(path).startsWith("http://www.mine.test\r\npartner.test|1|||\r\n"));

        f.find<QAction>(QStringLiteral("mnuFileItem0"))->trigger(); // New Project
        QCOMPARE(w.project().mainSiteCount(), 0);
        QVERIFY(!f.find<QWidget>(QStringLiteral("innerFrame2"))->isVisible());

        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdOpen"));
        QCOMPARE(w.project().mainSiteCount(), 1);
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("LastProject")), path);

        MainWindow& again = f.start();
        QCOMPARE(again.project().mainSiteUrl(1), QStringLiteral("http://www.mine.test"));
        QCOMPARE(again.project().linkingSites(1)->url(0), QStringLiteral("partner.test"));
    }

    // Saves onto a full disk say so and change nothing: the project stays unsaved, the old files
    // stay as they were.
    void savesOntoAFullDiskShowTheReason()
    {
        test::SmallFileSystem disk;
        if (!disk.problem().isEmpty())
            QSKIP(qPrintable(QStringLiteral("no small file system to fill: ") + disk.problem()));
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("partner.test")});
        w.project().results().appendEntry({2, QStringLiteral("mine.test"), QStringLiteral("partner.test"),
                                           QStringLiteral("Direct Link"), QStringLiteral("001"),
                                           QStringLiteral("partner.test/"), SiteColour::Blue});
        QVERIFY(w.report().generate(1).failures.isEmpty());
        const QStringList names = {"mine.prj", "unnamed.prj", "results.tab", "report.htm"};
        for (const QString& name : names)
            QVERIFY(test::writeAll(disk.file(name), "old"));
        disk.fill();
        Dialogs::clearHooks();

        Dialogs::setNextFileName(disk.file(QStringLiteral("mine.prj")));
        Dialogs::setNextFileName(disk.file(QStringLiteral("unnamed.prj"))); // asked again
        Dialogs::setNextAnswer(QMessageBox::Yes); // replace the other project's file
        Dialogs::setNextAnswer(QMessageBox::Yes); // and the second one
        Dialogs::setNextAnswer(QMessageBox::Ok);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(!w.project().state().bProjectSaved);
        for (const char* button : {"Command8a", "Command8"}) {
            Dialogs::setNextFileName(disk.file(button == QByteArray("Command8a") ? "results.tab" : "report.htm"));
            Dialogs::setNextAnswer(QMessageBox::Ok); // replace the file
            Dialogs::setNextAnswer(QMessageBox::Ok); // the failure
            f.click(QString::fromLatin1(button));
        }

        const QStringList messages = Dialogs::answeredMessages();
        QCOMPARE(messages.size(), 7); // four questions, three failures
        QVERIFY(messages.at(0).startsWith(QStringLiteral("mine.prj already exists")));
        QCOMPARE(messages.at(2), QStringLiteral("The project could not be saved to ")
                                     + disk.file(QStringLiteral("unnamed.prj"))
                                     + QStringLiteral(":\n4 No space left on device"));
        QCOMPARE(messages.at(4), QStringLiteral("Error: 4 - No space left on device"));
        QCOMPARE(messages.at(6), QStringLiteral("Error: 4 - No space left on device"));
        for (const QString& name : names)
            QCOMPARE(test::readAll(disk.file(name)), QByteArray("old"));
        w.project().state().bProjectSaved = true;
    }

    void exitQuestion_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<QStringList>("fileNames"); // the save dialog's answers
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("saved");
        const QString good = QStringLiteral("exit.prj");
        const QString bad = QStringLiteral("no such folder/exit.prj");
        QTest::newRow("Yes, saved") << int(QMessageBox::Yes) << QStringList{good} << true << true;
        QTest::newRow("Yes, dialog cancelled") << int(QMessageBox::Yes) << QStringList{QString()}
                                               << false << false;
        QTest::newRow("Yes, save fails twice") << int(QMessageBox::Yes) << QStringList{bad, bad}
                                               << false << false;
        QTest::newRow("No") << int(QMessageBox::No) << QStringList{} << true << false;
        QTest::newRow("Cancel") << int(QMessageBox::Cancel) << QStringList{} << false << false;
    }

    void exitQuestion()
    {
        QFETCH(int, answer);
        QFETCH(QStringList, fileNames);
        QFETCH(bool, closes);
        QFETCH(bool, saved);
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("partner.test")});
        Dialogs::setNextAnswer(QMessageBox::StandardButton(answer));
        for (const QString& name : fileNames) {
            Dialogs::setNextFileName(name.isEmpty() ? name : f.box.file(name));
            if (name.contains(QStringLiteral("no such")))
                Dialogs::setNextAnswer(QMessageBox::Ok); // the failure's message
        }
        QCOMPARE(w.close(), closes);
        QCOMPARE(WindowFixture::answered().value(0), ProjectFile::kExitQuestionText);
        QCOMPARE(QFileInfo::exists(f.box.file(QStringLiteral("exit.prj"))), saved);
        QCOMPARE(w.project().mainSiteCount(), 1);
        if (!closes)
            QVERIFY(!w.project().state().bProjectSaved);
    }

    void exitAfterOpenWithoutChangesAsksNothing()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        QVERIFY(w.close());
        QVERIFY(WindowFixture::answered().isEmpty());
    }

    void scanStartRefusalsShowTheirMessage()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        Dialogs::setNextAnswer(QMessageBox::Ok);
        f.click(QStringLiteral("Command1"));
        QCOMPARE(WindowFixture::answered(),
                 QStringList{QStringLiteral("Please enter the Domain you want to find links to.")});
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>(QStringLiteral("txtDomain")));
        QVERIFY(!w.project().state().bScanRunning);
    }

    void controlsAreNamedForScreenReadersAndReachedInReadingOrder()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        // The documented names, which the code and the help refer to.
        for (const char* name :
             {"Form1", "cmdNew", "cmdOpen", "cmdSave", "Command9", "Command1", "cmdStop", "cmdSkip",
              "Command10", "cmdWebsite", "Frame1", "innerFrame1", "txtDomain", "cmdAdd2",
              "cmdDelete", "cmdEditMain", "cmdImport2", "List4", "innerFrame2", "lblblah", "Text1",
              "cmdAdd", "cmbDel", "cmdEdit", "cmdImport", "List1", "Frame2", "TabStrip1", "List3",
              "lstErr", "lblErr", "WebBrowser1", "txtURL", "cmdGo", "cmdBack", "cmdForward",
              "cmdWebStop", "cmdRefresh", "Frame5", "Combo3", "WebBrowser2", "Command8",
              "Command8a", "framePost", "cmbSites", "Frame6", "List2", "pb1", "StatusBar1",
              "mnuScan", "mnuSkipPopup", "Popup1", "Popup2"})
            QVERIFY2(w.objectName() == QLatin1String(name)
                         || w.findChild<QObject*>(QString::fromLatin1(name)) != nullptr,
                     name);
        for (const char* name : {"txtDomain", "Text1", "List4", "List1", "List3", "lstErr", "List2",
                                 "Command10", "txtURL"}) {
            auto* widget = f.find<QWidget>(QString::fromLatin1(name));
            QVERIFY2(!widget->accessibleName().isEmpty(), name);
        }
        // Following the focus chain from New meets the controls top-left to bottom-right.
        const QStringList order = {QStringLiteral("cmdNew"), QStringLiteral("Command1"),
                                   QStringLiteral("txtDomain"), QStringLiteral("List4"),
                                   QStringLiteral("TabStrip1"), QStringLiteral("List3"),
                                   QStringLiteral("List2")};
        QWidget* widget = f.find<QWidget>(order.first());
        int found = 1;
        for (int step = 0; step < 200 && found < order.size(); ++step) {
            widget = widget->nextInFocusChain();
            if (widget->objectName() == order.at(found))
                ++found;
        }
        QCOMPARE(found, int(order.size()));
        QCOMPARE(f.find<QAction>(QStringLiteral("mnuFileItem2"))->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_S));
        QVERIFY(!w.findChild<QMenu*>(QStringLiteral("mnuScan"))->actions().isEmpty());
    }

    void aTinyWindowStillLaysOut()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        w.resize(40, 30);
        QTest::qWait(20);
        w.resize(1000, 700);
        QTest::qWait(20);
        QVERIFY(w.isVisible());
    }
};

CORVANE_TEST_CLASS(MainWindowTest);

#include "MainWindowTest.moc"
