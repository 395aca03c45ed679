#include "WindowFixture.h"

#include "import/GetLinks.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"
#include "ui/Dialogs.h"
#include "ui/ImportWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeView>

using namespace corvane;
using test::TestWebServer;
using test::WindowFixture;

namespace {

const QString kImportData = QStringLiteral(CORVANE_TEST_DATA "/import/");

// The control of that name inside one import window (the main window has controls of the same
// names).
template <typename T> T* in(QWidget* window, const char* name)
{
    T* child = window->findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr)
        qWarning("no control named %s", name);
    return child;
}

void click(QWidget* window, const char* name)
{
    QTest::mouseClick(in<QAbstractButton>(window, name), Qt::LeftButton);
}

QStringList linkingSiteUrls(MainWindow& w, int k)
{
    QStringList urls;
    const LinkingSiteList* list = w.project().linkingSites(k);
    for (int row = 0; list && row < list->count(); ++row)
        urls << list->url(row);
    return urls;
}

QStringList rowTexts(QTreeView* view)
{
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, 0).data().toString();
    return texts;
}

} // namespace

// The two import windows: files, the user's link page and a script's list, over the test web
// server, as a user drives them.
class ImportWindowTest final : public QObject
{
    Q_OBJECT

    // Opens an import window through its button in the main window.
    static ImportWindow* openImport(WindowFixture& f, const QString& button, const QString& name)
    {
        f.click(button);
        auto* window = f.window->findChild<ImportWindow*>(name);
        if (window == nullptr || !QTest::qWaitForWindowExposed(window))
            return nullptr;
        return window;
    }

private Q_SLOTS:
    void fileImportsAppendToTheCurrentMainSiteAndTheMainSiteList()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mine.test"), {QStringLiteral("first.test")});
        f.addSites(QStringLiteral("other.test"), {});
        w.project().state().bProjectSaved = true;

        ImportWindow* form4 = openImport(f, QStringLiteral("cmdImport"), QStringLiteral("Form4"));
        QVERIFY(form4);
        QCOMPARE(form4->windowTitle(), QStringLiteral("Import Linking Sites"));
        QVERIFY(!form4->isModal());
        QCOMPARE(form4->minimumSize(), form4->maximumSize());
        // A second click shows the same window.
        f.click(QStringLiteral("cmdImport"));
        QCOMPARE(w.findChildren<ImportWindow*>(QStringLiteral("Form4")).size(), 1);

        // Cancelled: nothing happens.
        Dialogs::setNextFileName(QString());
        click(form4, "Command4");
        QCOMPARE(linkingSiteUrls(w, 2), QStringList());
        QVERIFY(form4->statusText().isEmpty());

        // The current Main Site (the one added last) receives the file's sites, "|" giving "#",
        // a line of two spaces an empty site; empty and single-space lines are skipped.
        Dialogs::setNextFileName(kImportData + QStringLiteral("linking_sites.txt"));
        click(form4, "Command4");
        const LinkingSiteList* list = w.project().linkingSites(2);
        QVERIFY(list);
        QCOMPARE(form4->statusText(), QStringLiteral("Added %1 link(s)").arg(list->count()));
        QCOMPARE(list->url(0), QStringLiteral("alpha.example.com"));
        QCOMPARE(list->url(1), QStringLiteral("beta.example.org/links.htm"));
        QCOMPARE(list->url(2), QStringLiteral("gamma.example.net"));
        QCOMPARE(list->cell(2, LinkingSiteList::Expected), QStringLiteral("3"));
        QVERIFY(list->url(0) != list->url(3));
        QVERIFY(linkingSiteUrls(w, 2).contains(QString()));
        QCOMPARE(linkingSiteUrls(w, 1), QStringList{QStringLiteral("first.test")});
        test::saveScreenshot(form4, QStringLiteral("import-linking-sites-file"));

        // A file that cannot be read is reported and nothing changes.
        const int before = list->count();
        Dialogs::setNextAnswer(QMessageBox::Ok);
        Dialogs::setNextFileName(f.box.file(QStringLiteral("no such file.txt")));
        click(form4, "Command4");
        QCOMPARE(list->count(), before);
        QVERIFY(f.answered().value(0).contains(QStringLiteral("no such file.txt")));

        ImportWindow* form4a =
            openImport(f, QStringLiteral("cmdImport2"), QStringLiteral("Form4a"));
        QVERIFY(form4a);
        QCOMPARE(form4a->windowTitle(), QStringLiteral("Import Main Sites"));
        QVERIFY(!form4a->findChild<QWidget*>(QStringLiteral("Frame1")));
        Dialogs::setNextFileName(kImportData + QStringLiteral("main_sites.txt"));
        click(form4a, "Command4");
        // Every Main Site exactly as written, scheme and spaces kept, each with its own list.
        QCOMPARE(w.project().mainSiteUrl(3), QStringLiteral("http://www.first.example.com"));
        QCOMPARE(w.project().mainSiteUrl(4), QStringLiteral(" second.example.org "));
        const int added = w.project().mainSiteCount() - 2;
        QCOMPARE(form4a->statusText(), QStringLiteral("Added %1 site(s)").arg(added));
        QVERIFY(w.project().linkingSites(w.project().mainSiteCount()));
        test::saveScreenshot(form4a, QStringLiteral("import-main-sites"));
    }

    void getLinksOffersTheLinkPagesPartnersAndAddsTheChosenOnes()
    {
        TestWebServer server;
        server.setPage(QStringLiteral("mysite.test"), QStringLiteral("/links.htm"),
                       "<html><body><h1>My partners</h1>\r\n"
                       "<a href=\"http://www.partner-a.com/\">A</a><br>\r\n"
                       "<a href='http://partner-b.com/index.htm'>B</a><br>\r\n"
                       "<a href=\"/about.htm\">About me</a>\r\n"
                       "<a href=\"mailto:me@mysite.test\">Mail</a>\r\n"
                       "<a href=\"http://www.mysite.test/other.htm\">Mine</a>\r\n"
                       "<a href=\"http://www.partner-c.net/page.html\">C</a>\r\n"
                       "</body></html>\r\n");
        WindowFixture f;
        f.network.setRoute(server.route());
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mysite.test"), {});

        ImportWindow* form4 = openImport(f, QStringLiteral("cmdImport"), QStringLiteral("Form4"));
        QVERIFY(form4);
        // Fresh settings: the link page option, "http://" in both boxes, no delimiter.
        QVERIFY(in<QRadioButton>(form4, "Option1_0")->isChecked());
        QCOMPARE(in<QLineEdit>(form4, "Text1")->text(), QStringLiteral("http://"));
        QCOMPARE(in<QComboBox>(form4, "Combo1")->currentText(),
                 QStringLiteral("Select or Type a Delimiter"));

        auto* text1 = in<QLineEdit>(form4, "Text1");
        text1->selectAll();
        QTest::keyClicks(text1, QStringLiteral("http://mysite.test/links.htm"));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("getURL1")),
                 QStringLiteral("http://mysite.test/links.htm"));

        QStringList statuses;
        connect(form4->findChild<GetLinks*>(), &GetLinks::statusChanged, this,
                [&statuses](const QString& text) { statuses << text; });
        click(form4, "Command1");
        auto* list = in<QTreeView>(form4, "ListView1");
        QTRY_VERIFY(form4->statusText().startsWith(QStringLiteral("Finished")));

        // Links to the user's own site, mail and the like are not offered.
        const QStringList offered = {QStringLiteral("www.partner-a.com/"),
                                     QStringLiteral("partner-b.com/index.htm"),
                                     QStringLiteral("www.partner-c.net/page.html")};
        QCOMPARE(rowTexts(list), offered);
        QCOMPARE(list->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Link URL"));
        QCOMPARE(statuses,
                 (QStringList{QStringLiteral("Conecting to http://mysite.test/links.htm"),
                              QStringLiteral("Extracted 1 link(s)"),
                              QStringLiteral("Extracted 2 link(s)"),
                              QStringLiteral("Extracted 3 link(s)"),
                              QStringLiteral("Added 1 link(s)"), QStringLiteral("Added 2 link(s)"),
                              QStringLiteral("Added 3 link(s)"),
                              QStringLiteral("Finished Downloading - 3 links found.")}));

        // Nothing selected: nothing added. Control + click picks two rows; a right click all.
        click(form4, "cmdAdd");
        QCOMPARE(linkingSiteUrls(w, 1), QStringList());
        auto rowCentre = [list](int row) {
            return list->visualRect(list->model()->index(row, 0)).center();
        };
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rowCentre(0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre(2));
        click(form4, "cmdAdd");
        QCOMPARE(linkingSiteUrls(w, 1), (QStringList{offered.at(0), offered.at(2)}));
        QCOMPARE(w.project().linkingSites(1)->cell(0, LinkingSiteList::Expected),
                 QStringLiteral("1"));
        QTest::mouseClick(list->viewport(), Qt::RightButton, {}, rowCentre(1));
        QCOMPARE(list->selectionModel()->selectedRows().size(), 3);
        test::saveScreenshot(form4, QStringLiteral("import-linking-sites-link-page"));
        click(form4, "cmdAdd");
        QCOMPARE(linkingSiteUrls(w, 1).size(), 5);
        // The rows stay, still selected.
        QCOMPARE(rowTexts(list), offered);
        QCOMPARE(list->selectionModel()->selectedRows().size(), 3);
    }

    void getLinksReadsAScriptsDelimitedList()
    {
        TestWebServer server;
        server.setPage(QStringLiteral("mysite.test"), QStringLiteral("/list.php"),
                       "<p>one.com,two.com, three.com</p>\r\n");
        WindowFixture f;
        f.network.setRoute(server.route());
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mysite.test"), {});
        ImportWindow* form4 = openImport(f, QStringLiteral("cmdImport"), QStringLiteral("Form4"));
        QVERIFY(form4);
        click(form4, "Option1_1");
        auto* text2 = in<QLineEdit>(form4, "Text2");
        text2->selectAll();
        QTest::keyClicks(text2, QStringLiteral("mysite.test/list.php"));

        // Without a delimiter nothing is fetched.
        Dialogs::setNextAnswer(QMessageBox::Ok);
        click(form4, "Command1");
        QCOMPARE(f.answered(), QStringList{QStringLiteral("You must select a delimiter first")});
        QVERIFY(server.requests().isEmpty());

        auto* combo = in<QComboBox>(form4, "Combo1");
        combo->setCurrentIndex(2);
        Q_EMIT combo->activated(2); // "Comma", as a click on it
        click(form4, "Command1");
        auto* list = in<QTreeView>(form4, "ListView1");
        QTRY_COMPARE(form4->statusText(), QStringLiteral("Finished Downloading - 4 links found."));
        // The markup goes, a space counts as a delimiter: the doubled one leaves an empty row.
        QCOMPARE(rowTexts(list), (QStringList{QStringLiteral("one.com"), QStringLiteral("two.com"),
                                              QString(), QStringLiteral("three.com")}));
        list->selectAll();
        click(form4, "cmdAdd");
        QCOMPARE(linkingSiteUrls(w, 1), (QStringList{QStringLiteral("one.com"),
                                                     QStringLiteral("two.com"),
                                                     QStringLiteral("three.com")}));

        // The choices are kept for the next time the window opens; a typed delimiter is not.
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("getUrlOption")), QStringLiteral("1"));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("getURL2")),
                 QStringLiteral("mysite.test/list.php"));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("getURLCombo")), QStringLiteral("2"));
        form4->close();
        QTRY_VERIFY(!w.findChild<ImportWindow*>(QStringLiteral("Form4")));
        form4 = openImport(f, QStringLiteral("cmdImport"), QStringLiteral("Form4"));
        QVERIFY(form4);
        QVERIFY(in<QRadioButton>(form4, "Option1_1")->isChecked());
        QCOMPARE(in<QLineEdit>(form4, "Text2")->text(), QStringLiteral("mysite.test/list.php"));
        QCOMPARE(in<QComboBox>(form4, "Combo1")->currentText(), QStringLiteral("Comma"));
        QLineEdit* typed = in<QComboBox>(form4, "Combo1")->lineEdit();
        typed->selectAll();
        QTest::keyClicks(typed, QStringLiteral(";"));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("getURLCombo")), QStringLiteral("-1"));
    }

    void aDownloadKeepsTheWindowsResponsiveAndClosingDuringItIsSafe()
    {
        TestWebServer server;
        TestWebServer::Reply slow;
        slow.response = TestWebServer::response("200 OK", "<a href=\"http://late.com/\">x</a>");
        slow.delayMs = 600;
        server.setReply(QStringLiteral("mysite.test"), QStringLiteral("/links.htm"), slow);
        WindowFixture f;
        f.network.setRoute(server.route());
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("mysite.test"), {});
        f.box.settings->WriteSetting(QStringLiteral("getURL1"),
                                     QStringLiteral("http://mysite.test/links.htm"));

        ImportWindow* form4 = openImport(f, QStringLiteral("cmdImport"), QStringLiteral("Form4"));
        QVERIFY(form4);
        click(form4, "Command1");
        QCOMPARE(form4->statusText(), QStringLiteral("Conecting to http://mysite.test/links.htm"));
        // The main window goes on working while the page is on its way.
        f.type(QStringLiteral("Text1"), QStringLiteral("typed.test"), true);
        QCOMPARE(linkingSiteUrls(w, 1), QStringList{QStringLiteral("typed.test")});
        QTRY_COMPARE(server.requests().size(), 1);

        QPointer<ImportWindow> closed = form4;
        form4->close();
        QTRY_VERIFY(closed.isNull());
        QTest::qWait(900); // the answer arrives after the window has gone
        QCOMPARE(linkingSiteUrls(w, 1), QStringList{QStringLiteral("typed.test")});

        // A window opened again works as new.
        form4 = openImport(f, QStringLiteral("cmdImport"), QStringLiteral("Form4"));
        QVERIFY(form4);
        click(form4, "Command1");
        QTRY_COMPARE(form4->statusText(), QStringLiteral("Finished Downloading - 1 links found."));
    }
};

CORVANE_TEST_CLASS(ImportWindowTest);

#include "ImportWindowTest.moc"
