#include "WindowFixture.h"

#include "model/ProjectFile.h"
#include "support/TestRegistry.h"
#include "ui/Dialogs.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTreeView>

using namespace corvane;
using test::WindowFixture;

namespace {

QStringList menuItems(const QMenu* menu)
{
    QStringList items;
    for (const QAction* action : menu->actions())
        items << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return items;
}

void clickRow(QAbstractItemView* list, int row)
{
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(row, 0)).center());
}

} // namespace

// Saving where the project already lives, Save As, the questions before a delete, and the
// window's smaller keyboard and option behaviours.
class SaveAndDeleteTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void saveWritesInPlaceAndSaveAsAsks()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        QCOMPARE(menuItems(w.findChild<QMenu*>(QStringLiteral("mnuFile"))),
                 (QStringList{QStringLiteral("New Project"), QStringLiteral("Open Project"),
                              QStringLiteral("Save Project"), QStringLiteral("Save As..."),
                              QStringLiteral("Exit")}));
        auto* saveAs = f.find<QAction>(QStringLiteral("mnuFileSaveAs"));
        QCOMPARE(saveAs->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));

        // A new project is asked for a name.
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("a.test")});
        const QString first = f.box.file(QStringLiteral("first.prj"));
        Dialogs::setNextFileName(first);
        f.click(QStringLiteral("cmdSave"));
        QCOMPARE(Dialogs::askedFolders().size(), 1);
        QVERIFY(test::readAll(first).contains("a.test|"));

        // Then the button and the menu item write that file without a dialog.
        f.type(QStringLiteral("Text1"), QStringLiteral("b.test"), true);
        QVERIFY(!w.project().state().bProjectSaved);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(test::readAll(first).contains("b.test|"));
        f.type(QStringLiteral("Text1"), QStringLiteral("c.test"), true);
        f.find<QAction>(QStringLiteral("mnuFileItem2"))->trigger();
        QVERIFY(test::readAll(first).contains("c.test|"));
        QCOMPARE(Dialogs::askedFolders().size(), 1);
        QVERIFY(w.project().state().bProjectSaved);
        QCOMPARE(w.statusText(1), QStringLiteral("Saved ") + QDir::toNativeSeparators(first));

        // Save As asks every time; the project lives in the new file from then on.
        const QString second = f.box.file(QStringLiteral("second.prj"));
        Dialogs::setNextFileName(second);
        saveAs->trigger();
        QCOMPARE(Dialogs::askedFolders().size(), 2);
        QCOMPARE(test::readAll(second), test::readAll(first));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("LastProject")), second);
        f.type(QStringLiteral("Text1"), QStringLiteral("d.test"), true);
        f.click(QStringLiteral("cmdSave"));
        QCOMPARE(Dialogs::askedFolders().size(), 2);
        QVERIFY(test::readAll(second).contains("d.test|"));
        QVERIFY(!test::readAll(first).contains("d.test|"));
        Dialogs::setNextFileName(QString()); // cancelled
        saveAs->trigger();
        QCOMPARE(Dialogs::askedFolders().size(), 3);
        test::saveScreenshot(&w, QStringLiteral("save-in-place"));
    }

    void exitYesSavesInPlace()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("a.test")});
        const QString path = f.box.file(QStringLiteral("exit.prj"));
        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdSave"));
        f.type(QStringLiteral("Text1"), QStringLiteral("late.test"), true);

        Dialogs::setNextAnswer(QMessageBox::Yes);
        QVERIFY(w.close());
        QCOMPARE(WindowFixture::answered(), QStringList{ProjectFile::kExitQuestionText});
        QCOMPARE(Dialogs::askedFolders().size(), 1); // the first save's dialog only
        QVERIFY(test::readAll(path).contains("late.test|"));
    }

    // The project's file cannot be written: the reason is shown, no dialog comes instead, and
    // the window stays open with the edits.
    void aFailedSaveInPlaceSaysWhyAndKeepsTheEdits()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("a.test")});
        const QString path = f.box.file(QStringLiteral("kept.prj"));
        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdSave"));
        f.type(QStringLiteral("Text1"), QStringLiteral("late.test"), true);
        // A folder in the file's place: it cannot be written.
        QVERIFY(QFile::remove(path) && QDir().mkpath(path));

        Dialogs::setNextAnswer(QMessageBox::Yes); // save at the exit question
        Dialogs::setNextAnswer(QMessageBox::Ok);  // the failure
        QVERIFY(!w.close());
        const QStringList messages = WindowFixture::answered();
        QCOMPARE(messages.size(), 2);
        QVERIFY2(messages.at(1).startsWith(QStringLiteral("The project could not be saved to ")
                                           + QDir::toNativeSeparators(path)),
                 qPrintable(messages.at(1)));
        QCOMPARE(Dialogs::askedFolders().size(), 1);
        QVERIFY(!w.project().state().bProjectSaved);
        QCOMPARE(w.project().linkingSites(1)->count(), 2);
    }

    void deletesAskFirst_data()
    {
        QTest::addColumn<QString>("control"); // what the user deletes with
        QTest::addColumn<int>("answer");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QStringList>("mainSites");
        QTest::addColumn<QStringList>("linkingSites"); // those of two.test
        const QString partner = QStringLiteral("Delete the Linking Site c.test?");
        const QString main = QStringLiteral("Delete the Main Site one.test and its 2 Linking Sites?");
        const QStringList both = {QStringLiteral("one.test"), QStringLiteral("two.test")};
        const QStringList partners = {QStringLiteral("c.test"), QStringLiteral("d.test")};
        QTest::newRow("Linking Site, No") << "cmbDel" << int(QMessageBox::No) << partner << both
                                          << partners;
        QTest::newRow("Linking Site, Yes") << "cmbDel" << int(QMessageBox::Yes) << partner << both
                                           << QStringList{QStringLiteral("d.test")};
        QTest::newRow("Linking Site from its menu, No")
            << "mnuPopup1Item0" << int(QMessageBox::No) << partner << both << partners;
        QTest::newRow("Main Site, No") << "cmdDelete" << int(QMessageBox::No) << main << both
                                       << partners;
        QTest::newRow("Main Site, Yes") << "cmdDelete" << int(QMessageBox::Yes) << main
                                        << QStringList{QStringLiteral("two.test")} << partners;
    }
    void deletesAskFirst()
    {
        QFETCH(QString, control);
        QFETCH(int, answer);
        QFETCH(QString, question);
        QFETCH(QStringList, mainSites);
        QFETCH(QStringList, linkingSites);
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("one.test"), {QStringLiteral("a.test"), QStringLiteral("b.test")});
        f.addSites(QStringLiteral("two.test"), {QStringLiteral("c.test"), QStringLiteral("d.test")});
        if (control == u"cmdDelete")
            clickRow(f.find<QListView>(QStringLiteral("List4")), 0);
        else
            clickRow(f.find<QTreeView>(QStringLiteral("List1")), 0);

        Dialogs::setNextAnswer(QMessageBox::StandardButton(answer));
        if (control.startsWith(u"mnu"))
            f.find<QAction>(control)->trigger();
        else
            f.click(control);
        QCOMPARE(WindowFixture::answered(), QStringList{question});
        QStringList mains;
        for (int k = 1; k <= w.project().mainSiteCount(); ++k)
            mains << w.project().mainSiteUrl(k);
        QCOMPARE(mains, mainSites);
        const int two = int(mains.indexOf(QStringLiteral("two.test"))) + 1;
        QStringList partners;
        for (int row = 0; row < w.project().linkingSites(two)->count(); ++row)
            partners << w.project().linkingSites(two)->url(row);
        QCOMPARE(partners, linkingSites);
    }

    // The partner list's menu opens under the pointer: the item there must do no harm.
    void partnerMenuPutsDeleteLastAndTheKeyboardOpensMenus()
    {
        WindowFixture f;
        f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("a.test"), QStringLiteral("b.test")});
        auto* menu = f.find<QMenu>(QStringLiteral("Popup1"));
        QCOMPARE(menuItems(menu), (QStringList{QStringLiteral("History..."), QStringLiteral("-"),
                                               QStringLiteral("Delete Site")}));

        auto* list = f.find<QTreeView>(QStringLiteral("List1"));
        list->setFocus();
        list->setCurrentIndex(list->model()->index(1, 0));
        QTest::keyClick(list, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(menu->isVisible());
        QCOMPARE(list->selectionModel()->selectedRows().value(0).row(), 1);
        test::saveScreenshot(menu, QStringLiteral("partner-menu"));
        menu->hide();
        QTest::keyClick(list, Qt::Key_Menu);
        QTRY_VERIFY(menu->isVisible());
        menu->hide();

        // The results list's menu the same way.
        auto* results = f.find<QTreeView>(QStringLiteral("List3"));
        auto* resultMenu = f.find<QMenu>(QStringLiteral("Popup2"));
        results->setFocus();
        QTest::keyClick(results, Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(resultMenu->isVisible());
        resultMenu->hide();
    }

    void enterInTheMainSiteBoxMovesOnToTheLinkingSiteBox()
    {
        WindowFixture f;
        f.start();
        f.type(QStringLiteral("txtDomain"), QStringLiteral("mine.test"), true);
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>(QStringLiteral("Text1")));
        // Nothing added, nothing to go on to.
        f.type(QStringLiteral("txtDomain"), QString(), true);
        QCOMPARE(QApplication::focusWidget(), f.find<QWidget>(QStringLiteral("txtDomain")));
    }

    // The minutes in the options are the autosave's; Close closes the window.
    void optionsCloseAndTheirAutosaveMinutesCount()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("a.test")});
        f.click(QStringLiteral("Command9"));
        QPointer<QWidget> options = w.findChild<QWidget*>(QStringLiteral("frmOptions"));
        QVERIFY(options && options->isVisible());
        auto* autosave = options->findChild<QCheckBox*>(QStringLiteral("chkAutoSave"));
        if (!autosave->isChecked())
            QTest::mouseClick(autosave, Qt::LeftButton, {}, QPoint(4, autosave->height() / 2));
        QVERIFY(autosave->isChecked());
        auto* minutes = options->findChild<QLineEdit*>(QStringLiteral("txtAutoSave"));
        QCOMPARE(minutes->text(), QStringLiteral("5"));
        minutes->selectAll();
        QTest::keyClicks(minutes, QStringLiteral("1"));
        QCOMPARE(minutes->text(), QStringLiteral("1"));
        test::saveScreenshot(options, QStringLiteral("options-close"));
        QTest::mouseClick(options->findChild<QPushButton*>(QStringLiteral("cmdClose")),
                          Qt::LeftButton);
        QTRY_VERIFY(!options);

        // A new project's autosave goes to projects/AutoSaved.prj: one minute of ticks.
        const QString autosaved = f.box.file(QStringLiteral("projects/AutoSaved.prj"));
        w.project().state().bScanRunning = true;
        for (int tick = 1; tick < 60; ++tick)
            w.files().Timer1_Timer();
        QVERIFY(!QFileInfo::exists(autosaved));
        w.files().Timer1_Timer();
        w.project().state().bScanRunning = false;
        QVERIFY(QFileInfo::exists(autosaved));

        // That file is not the project's own: Save still asks for a name.
        const QString mine = f.box.file(QStringLiteral("mine.prj"));
        Dialogs::setNextFileName(mine);
        f.click(QStringLiteral("cmdSave"));
        QCOMPARE(Dialogs::askedFolders().size(), 1);
        QVERIFY(QFileInfo::exists(mine));
    }
};

CORVANE_TEST_CLASS(SaveAndDeleteTest);
#include "SaveAndDeleteTest.moc"
