#include "WindowFixture.h"

#include "branding/Branding.h"
#include "support/TestRegistry.h"
#include "ui/AboutWindow.h"
#include "ui/BrowserView.h"
#include "ui/Dialogs.h"
#include "ui/ImportWindow.h"
#include "ui/PostLogWindow.h"
#include "ui/Presentation.h"
#include "ui/WindowState.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTreeView>

using namespace corvane;
using test::WindowFixture;

namespace {

QString accessibleName(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name) : QString();
}

// The names of the labels that name a widget for a screen reader (its label relations).
QStringList labelsOf(QWidget* widget)
{
    QStringList names;
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(widget);
    if (iface == nullptr)
        return names;
    for (const auto& [label, relation] : iface->relations(QAccessible::Label))
        names << label->text(QAccessible::Name);
    return names;
}

// Buttons of one window (its own, not those of other top-level windows) that a screen reader
// cannot tell apart.
QStringList sameNamedButtons(QWidget* window)
{
    QHash<QString, QStringList> byName;
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
        if (button->window() != window || button->objectName().isEmpty())
            continue;
        byName[accessibleName(button)] << button->objectName();
    }
    QStringList clashes;
    for (auto it = byName.cbegin(); it != byName.cend(); ++it) {
        if (it.value().size() > 1)
            clashes << it.key() + QStringLiteral(": ") + it.value().join(QStringLiteral(", "));
    }
    return clashes;
}

QWidget* openWindow(WindowFixture& f, const QString& name)
{
    if (name == QStringLiteral("frmAbout"))
        f.window->showAbout();
    else if (name == QStringLiteral("Form5"))
        f.click(QStringLiteral("cmdPost")); // opens the log, even with nothing to post
    else
        f.click(name == QStringLiteral("Form4") ? QStringLiteral("cmdImport")
                                                : QStringLiteral("cmdImport2"));
    QWidget* window = f.window->findChild<QWidget*>(name);
    if (window == nullptr || !QTest::qWaitForWindowExposed(window))
        return nullptr;
    return window;
}

} // namespace

// How the window reads to someone using it for the first time: which project is open and
// whether it is saved, where its files go, lists readable at the first size, real dialogs, and
// what a screen reader says of its controls.
class ReadableWindowTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void titleNamesTheProjectAndMarksUnsavedEdits()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        const QString product = QStringLiteral("[*] - ") + Branding::productName();
        QCOMPARE(w.windowTitle(), QStringLiteral("Untitled") + product);
        QVERIFY(!w.isWindowModified());

        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("partner.test")});
        QTRY_VERIFY(w.isWindowModified());

        const QString path = f.box.file(QStringLiteral("links.prj"));
        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdSave"));
        QTRY_COMPARE(w.windowTitle(), QStringLiteral("links.prj") + product);
        QVERIFY(!w.isWindowModified());
        QVERIFY(w.statusText(1).startsWith(QStringLiteral("Saved ")));

        // Edits that come from other windows: a rule from the editor, sites from an import.
        // Each marks the project, and "Saved ..." no longer stands.
        w.project().rules().appendRule({QStringLiteral("mine.test"), QStringLiteral("Global"),
                                        QStringLiteral("ExcludeString"), QStringLiteral("x")});
        w.project().state().bProjectSaved = false; // as the editor's OK does
        QTRY_VERIFY(w.isWindowModified());
        QVERIFY(w.statusText(1).isEmpty());

        f.click(QStringLiteral("cmdSave")); // into links.prj, without a dialog
        QTRY_VERIFY(!w.isWindowModified());
        f.click(QStringLiteral("cmdImport"));
        auto* import = w.findChild<ImportWindow*>(QStringLiteral("Form4"));
        QVERIFY(import);
        Dialogs::setNextFileName(QStringLiteral(CORVANE_TEST_DATA "/import/linking_sites.txt"));
        QTest::mouseClick(import->findChild<QPushButton*>(QStringLiteral("Command4")), Qt::LeftButton);
        QTRY_VERIFY(w.isWindowModified());

        // A new project is untitled again; reopening the file names it.
        f.find<QAction>(QStringLiteral("mnuFileItem0"))->trigger();
        QTRY_COMPARE(w.windowTitle(), QStringLiteral("Untitled") + product);
        w.project().state().bProjectSaved = true;
        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdOpen"));
        QTRY_COMPARE(w.windowTitle(), QStringLiteral("links.prj") + product);
        QVERIFY(!w.isWindowModified());
    }

    void fileDialogsOpenInTheUsersFolders()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("partner.test")});
        QVERIFY(w.report().generate(0).failures.isEmpty());
        const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
        const QString first = QFileInfo(documents).isDir() ? documents : QDir::homePath();
        QCOMPARE(WindowState::startFolder(*f.box.settings), first);

        // A fresh user's first save opens in their documents, not the hidden application folder.
        const QString mine = f.box.file(QStringLiteral("mine"));
        QVERIFY(QDir().mkpath(mine));
        Dialogs::setNextFileName(mine + QStringLiteral("/links.prj"));
        f.click(QStringLiteral("cmdSave"));
        QCOMPARE(Dialogs::askedFolders(), QStringList{first});

        // From then on every dialog for the user's files opens where the last file went: Open,
        // the report, the export, the links page.
        Dialogs::clearHooks();
        for (const char* button : {"cmdOpen", "Command8", "Command8a", "Command6"}) {
            Dialogs::setNextFileName(QString()); // cancelled
            f.click(QString::fromLatin1(button));
        }
        QCOMPARE(Dialogs::askedFolders(), QStringList(4, mine));
        // A cancelled dialog leaves the folder as it was.
        QCOMPARE(WindowState::startFolder(*f.box.settings), mine);
        w.project().state().bProjectSaved = true;
    }

    void resultColumnsFitTheirTextsAndKeepTheUsersWidths()
    {
        WindowFixture f;
        f.start(QSize(1280, 800));
        auto* list = f.find<QTreeView>(QStringLiteral("List3"));
        QTRY_VERIFY(list->columnWidth(5) > 16);
        // A long status wraps rather than being cut (WindowLayoutTest checks the texts whole).
        QVERIFY(list->wordWrap());
        // The Notes column ends inside the list at the window's first size.
        const int right = list->header()->sectionViewportPosition(5) + list->columnWidth(5);
        QVERIFY2(right <= list->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(right).arg(list->viewport()->width())));
        QCOMPARE(list->textElideMode(), Qt::ElideMiddle);

        // A long URL is shown whole in its tool tip.
        ResultEntry e;
        e.status = QStringLiteral("Direct Link");
        e.url = QStringLiteral("www.partner.example/a/very/long/path/to/the/links/page.html");
        f.window->project().results().appendEntry(e);
        QCOMPARE(list->model()->index(0, 4).data(Qt::ToolTipRole).toString(), e.url);

        // The user's widths come back at the next start; the Linking Site list's as well.
        list->setColumnWidth(2, 333);
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("partner.test")});
        auto* sites = f.find<QTreeView>(QStringLiteral("List1"));
        QTRY_VERIFY(sites->columnWidth(0) > 16);
        sites->setColumnWidth(0, 222);
        f.start(QSize(1280, 800));
        QTRY_COMPARE(f.find<QTreeView>(QStringLiteral("List3"))->columnWidth(2), 333);
        f.window->project().state().bProjectSaved = true;
        f.window->openProjectFile(QStringLiteral(CORVANE_TEST_DATA "/ui/links.prj"));
        QTRY_COMPARE(f.find<QTreeView>(QStringLiteral("List1"))->columnWidth(0), 222);
    }

    void dialogsAreDialogsThatEscapeCloses_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("Import Linking Sites") << QStringLiteral("Form4");
        QTest::newRow("Import Main Sites") << QStringLiteral("Form4a");
        QTest::newRow("Post log") << QStringLiteral("Form5");
        QTest::newRow("About") << QStringLiteral("frmAbout");
    }

    void dialogsAreDialogsThatEscapeCloses()
    {
        QFETCH(QString, name);
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {});
        QWidget* window = openWindow(f, name);
        QVERIFY(window);
        auto* dialog = qobject_cast<QDialog*>(window);
        QVERIFY2(dialog, "announced as a dialog");
        QVERIFY(!dialog->isModal());
        QCOMPARE(QAccessible::queryAccessibleInterface(dialog)->role(), QAccessible::Dialog);
        auto* buttons = dialog->findChild<QDialogButtonBox*>();
        QVERIFY(buttons && buttons->button(QDialogButtonBox::Close));
        test::saveScreenshot(dialog, QStringLiteral("dialog-") + name);

        // The main window stays usable while it is open.
        f.type(QStringLiteral("txtDomain"), QStringLiteral("other.test"), true);
        QCOMPARE(w.project().mainSiteCount(), 2);

        QPointer<QWidget> guard(dialog);
        dialog->activateWindow();
        QTest::keyClick(dialog, Qt::Key_Escape);
        QTRY_VERIFY(!guard); // closed, and gone with what it held

        // Its Close button closes it as well.
        window = openWindow(f, name);
        QVERIFY(window);
        guard = window;
        window->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close)->click();
        QTRY_VERIFY(!guard);
    }

    void screenReadersTellControlsApartAndReadValues()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("partner.test")});
        QCOMPARE(sameNamedButtons(&w), QStringList());
        QCOMPARE(accessibleName(f.find<QPushButton>(QStringLiteral("cmdAdd2"))),
                 QStringLiteral("Add Main Site"));
        QCOMPARE(accessibleName(f.find<QPushButton>(QStringLiteral("cmdAdd"))),
                 QStringLiteral("Add Linking Site"));
        QCOMPARE(accessibleName(f.find<QPushButton>(QStringLiteral("cmdWebStop"))),
                 QStringLiteral("Stop Loading"));

        // A value label says what it is and its value, never its caption alone.
        w.statistics().add(31, 0, 0);
        QCOMPARE(accessibleName(f.find<QLabel>(QStringLiteral("lblStats2"))),
                 QStringLiteral("Pages scanned: 31"));
        for (int i = 0; i < 7; ++i) {
            auto* value = f.find<QLabel>(QStringLiteral("lblStats%1").arg(i));
            QVERIFY2(accessibleName(value).endsWith(QStringLiteral(": ") + value->text()),
                     qPrintable(accessibleName(value)));
        }
        Dialogs::setNextFileName(QString());
        f.click(QStringLiteral("cmdOpen")); // nothing happens, panel 1 keeps its hint
        QVERIFY(accessibleName(f.find<QLabel>(QStringLiteral("Panel1")))
                    .endsWith(w.statusText(1)));
        QCOMPARE(accessibleName(f.find<QLabel>(QStringLiteral("Panel2"))), QStringLiteral("Page"));

        // Combo boxes read their current text; the label beside each tells what it is for.
        QCOMPARE(labelsOf(f.find<QComboBox>(QStringLiteral("Combo3"))).value(0),
                 QStringLiteral("Generate links for:"));
        QCOMPARE(labelsOf(f.find<QComboBox>(QStringLiteral("cmbSites"))).value(0),
                 QStringLiteral("Main Site:"));

        // The other windows: the import dialogs, the options, the about window.
        for (const QString& name : {QStringLiteral("Form4"), QStringLiteral("Form4a"),
                                    QStringLiteral("frmAbout")}) {
            QWidget* window = openWindow(f, name);
            QVERIFY(window);
            QCOMPARE(sameNamedButtons(window), QStringList());
        }
        auto* form4 = w.findChild<QWidget*>(QStringLiteral("Form4"));
        QCOMPARE(labelsOf(form4->findChild<QComboBox*>(QStringLiteral("Combo1"))).value(0),
                 QStringLiteral("Delimiter:"));
        auto* version = w.findChild<QWidget*>(QStringLiteral("frmAbout"))
                            ->findChild<QLabel*>(QStringLiteral("lblVersion"));
        QCOMPARE(accessibleName(version), QStringLiteral("Version: ") + version->text());
        f.click(QStringLiteral("Command9"));
        QWidget* options = w.findChild<QWidget*>(QStringLiteral("frmOptions"));
        QVERIFY(options);
        QCOMPARE(sameNamedButtons(options), QStringList());
        QCOMPARE(labelsOf(options->findChild<QComboBox*>(QStringLiteral("cmbAdvance"))).value(0),
                 QStringLiteral("When this many pages have been scanned:"));
    }

    void browserViewsAreOpenToScreenReadersUnlessTheUserSaidOtherwise()
    {
        const QByteArray before = qgetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY");
        const bool wasSet = qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY");
        qunsetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY");
        BrowserView::prepareEnvironment();
        QCOMPARE(qgetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"), QByteArray("1"));
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "0");
        BrowserView::prepareEnvironment();
        QCOMPARE(qgetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"), QByteArray("0"));
        if (wasSet)
            qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", before);
        else
            qunsetenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY");
    }

    void aFirstStartSaysWhereToBegin()
    {
        WindowFixture f;
        f.start(QSize(1280, 800));
        QCOMPARE(f.find<QLineEdit>(QStringLiteral("txtDomain"))->placeholderText(),
                 QStringLiteral("Your site, e.g. www.example.com"));
        QCOMPARE(f.find<QLineEdit>(QStringLiteral("Text1"))->placeholderText(),
                 QStringLiteral("A partner's site or its links page"));
        test::saveScreenshot(f.window.get(), QStringLiteral("first-start"));

        // The Web tab's address box takes the width its buttons leave (five buttons of the
        // style's least width left it a quarter of the tab).
        f.find<QTabWidget>(QStringLiteral("TabStrip1"))->setCurrentIndex(MainWindow::WebTabIndex);
        auto* address = f.find<QLineEdit>(QStringLiteral("txtURL"));
        QTRY_VERIFY(address->isVisible());
        QVERIFY2(address->width() > address->parentWidget()->width() * 2 / 5,
                 qPrintable(QStringLiteral("%1 of %2").arg(address->width())
                                .arg(address->parentWidget()->width())));
    }
};

CORVANE_TEST_CLASS(ReadableWindowTest);

#include "ReadableWindowTest.moc"
