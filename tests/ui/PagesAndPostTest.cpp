#include "WindowFixture.h"

#include "model/Windows1252.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"
#include "ui/Dialogs.h"
#include "ui/PostLogWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeView>

using namespace corvane;
using test::TestWebServer;
using test::WindowFixture;

namespace {

const QString kLinksProject = QStringLiteral(CORVANE_TEST_DATA "/ui/links.prj");

QString crlf(QString text)
{
    return text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
}

void chooseTab(WindowFixture& f, int tab)
{
    auto* tabs = f.find<QTabWidget>(QStringLiteral("TabStrip1"));
    QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tabs->tabBar()->tabRect(tab).center());
}

void setChecked(WindowFixture& f, const QString& box, bool checked)
{
    if (f.find<QCheckBox>(box)->isChecked() != checked)
        f.click(box);
}

void chooseSite(QComboBox* combo, const QString& text)
{
    combo->setCurrentIndex(combo->findText(text));
    if (combo->currentIndex() < 0)
        combo->setEditText(text);
}

} // namespace

// The "Pages" tab (the links page from the results) and the "Post" tab (the results sent to the
// user's script, its log window), driven as a user does over a small project.
class PagesAndPostTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void generateLinks_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<QString>("site");
        QTest::addColumn<bool>("newWindow");
        QTest::addColumn<bool>("bullets");
        QTest::addColumn<QString>("links");

        // partner-one's entry gives address, text and description; partner-two's description of a
        // single space counts as none; partner-five was entered with "www." and so is not found;
        // the "None Found" and "Missing" rows and the second partner-one row give no link.
        QTest::newRow("all, new window") << 0 << QString() << true << false << QStringLiteral(
            "<a href=\"http://www.partner-one.example/\" target=\"_blank\">Partner One</a><BR>Widgets & more<br><br>\r\n"
            "<a href=\"http://partner-two.example/home.htm\" target=\"_blank\">Partner Two</a><br><br>\r\n"
            "<a href=\"http://partner-five.example\" target=\"_blank\">partner-five.example</a><br><br>\r\n");
        QTest::newRow("all, bullets") << 0 << QString() << false << true << QStringLiteral(
            "<li><a href=\"http://www.partner-one.example/\">Partner One</a><BR>Widgets & more</li><br><br>\r\n"
            "<li><a href=\"http://partner-two.example/home.htm\">Partner Two</a></li><br><br>\r\n"
            "<li><a href=\"http://partner-five.example\">partner-five.example</a></li><br><br>\r\n");
        // The other Main Site's own entry for the same partner.
        QTest::newRow("one site, both") << 1 << QStringLiteral("othersite.example") << true << true
            << QStringLiteral("<li><a href=\"http://elsewhere.example/\" target=\"_blank\">Elsewhere</a></li><br><br>\r\n");
        QTest::newRow("no site chosen") << 1 << QStringLiteral("Select") << true << false << QString();
    }

    void generateLinks()
    {
        QFETCH(int, option);
        QFETCH(QString, site);
        QFETCH(bool, newWindow);
        QFETCH(bool, bullets);
        QFETCH(QString, links);

        WindowFixture f;
        MainWindow& w = f.start();
        w.openProjectFile(kLinksProject);
        chooseTab(f, MainWindow::PagesTabIndex);
        auto* combo = f.find<QComboBox>(QStringLiteral("Combo3"));
        QVERIFY(!combo->isEnabled());
        f.click(QStringLiteral("optAll_%1").arg(option));
        QCOMPARE(combo->isEnabled(), option == 1);
        if (option == 1)
            chooseSite(combo, site);
        setChecked(f, QStringLiteral("chkNewWin"), newWindow);
        setChecked(f, QStringLiteral("chkBullet"), bullets);
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("optAll")), QString::number(option));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("chkNewWin")), newWindow ? "1" : "0");
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("chkBullet")), bullets ? "1" : "0");

        f.click(QStringLiteral("Command5"));
        QCOMPARE(crlf(f.find<QPlainTextEdit>(QStringLiteral("txtHTML2"))->toPlainText()), links);
        QCOMPARE(w.project().pageText(2), links);
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("txtHTML2")), links);
        QVERIFY(f.answered().isEmpty());
        if (QTest::currentDataTag() == QByteArray("all, new window"))
            test::saveScreenshot(&w, QStringLiteral("pages-tab"));
    }

    void theTextsFollowTheSettingsAndTheProjectAndGoIntoTheSavedPage()
    {
        WindowFixture f;
        f.box.settings->WriteSetting(QStringLiteral("txtHTML1"), QStringLiteral("<p>Before</p>"));
        f.box.settings->WriteSetting(QStringLiteral("optAll"), QStringLiteral("1"));
        f.box.settings->WriteSetting(QStringLiteral("chkNewWin"), QStringLiteral("0"));
        f.box.settings->WriteSetting(QStringLiteral("chkBullet"), QStringLiteral("1"));
        MainWindow& w = f.start();
        auto* part1 = f.find<QPlainTextEdit>(QStringLiteral("txtHTML1"));
        auto* part2 = f.find<QPlainTextEdit>(QStringLiteral("txtHTML2"));
        QCOMPARE(part1->toPlainText(), QStringLiteral("<p>Before</p>"));
        QCOMPARE(part2->toPlainText(), QStringLiteral("Your link HTML will be generated here.  This "
                                                      "will be the second part of your generated webpage."));
        QVERIFY(f.find<QRadioButton>(QStringLiteral("optAll_1"))->isChecked());
        QVERIFY(f.find<QComboBox>(QStringLiteral("Combo3"))->isEnabled());
        QVERIFY(!f.find<QCheckBox>(QStringLiteral("chkNewWin"))->isChecked());
        QVERIFY(f.find<QCheckBox>(QStringLiteral("chkBullet"))->isChecked());

        // No results: a message, and the generated part stays.
        Dialogs::setNextAnswer(QMessageBox::Ok);
        f.click(QStringLiteral("Command5"));
        QCOMPARE(f.answered(), QStringList{QStringLiteral(
            "No links were found in your Links List to generate HTML from.  Please scan for links first.")});
        QVERIFY(part2->toPlainText().startsWith(QStringLiteral("Your link HTML")));

        // Typing goes to the setting and the project at once, line ends as CR LF.
        chooseTab(f, MainWindow::PagesTabIndex);
        part1->setFocus();
        part1->moveCursor(QTextCursor::End);
        QTest::keyClick(part1, Qt::Key_Return);
        QTest::keyClicks(part1, QStringLiteral("<p>"));
        part1->insertPlainText(QStringLiteral("\xe9t\xe9"));
        QTest::keyClicks(part1, QStringLiteral("</p>"));
        const QString typed = QStringLiteral("<p>Before</p>\r\n<p>\xe9t\xe9</p>");
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("txtHTML1")), typed);
        QCOMPARE(w.project().pageText(1), typed);
        // The texts are saved with the project: typing is an edit, and closing asks to save.
        QVERIFY(!w.project().state().bProjectSaved);

        // The page: the three parts, two line breaks between them, one at the end, in the
        // single-byte code page; an existing file is replaced without a question.
        const QString page = f.box.file(QStringLiteral("links.htm"));
        QVERIFY(test::writeAll(page, "old contents that are longer than the new page will be ... ... ..."));
        w.project().setPageText(3, QStringLiteral("</body>"));
        Dialogs::setNextFileName(page);
        f.click(QStringLiteral("Command6"));
        const QString expected = typed + QStringLiteral("\r\n\r\n") + w.project().pageText(2)
                                 + QStringLiteral("\r\n\r\n</body>\r\n");
        QCOMPARE(test::readAll(page), Windows1252::encode(expected));
        QVERIFY(f.answered().size() == 1);

        // Cancelled: nothing written. A name that cannot be written: a message, nothing lost.
        Dialogs::setNextFileName(QString());
        f.click(QStringLiteral("Command6"));
        QVERIFY(QDir().mkpath(f.box.file(QStringLiteral("a folder.htm"))));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        Dialogs::setNextFileName(f.box.file(QStringLiteral("a folder.htm")));
        f.click(QStringLiteral("Command6"));
        QCOMPARE(f.answered().size(), 2);
        QVERIFY(f.answered().last().startsWith(QStringLiteral("Error")));
        QCOMPARE(test::readAll(page), Windows1252::encode(expected));

        // An opened project shows its own texts.
        w.openProjectFile(kLinksProject);
        QCOMPARE(part1->toPlainText(), QStringLiteral("<html><body><h1>My partners</h1>"));
        QCOMPARE(f.find<QPlainTextEdit>(QStringLiteral("txtHTML3"))->toPlainText(),
                 QStringLiteral("</body></html>"));
        // Showing them is no edit; typing the script's address is one.
        QVERIFY(w.project().state().bProjectSaved);
        f.type(QStringLiteral("txtPost"), QStringLiteral("x"));
        QVERIFY(!w.project().state().bProjectSaved);
        w.project().state().bProjectSaved = true;
    }

    void postingSendsOneRequestPerRowAndLogsTheAnswers()
    {
        TestWebServer server;
        TestWebServer::Reply saved;
        saved.response = TestWebServer::response("200 OK", "saved");
        saved.delayMs = 150;
        server.setFallback(saved);
        WindowFixture f;
        f.network.setRoute(server.route());
        MainWindow& w = f.start();

        // No results yet: the log window opens, the status bar says why nothing is sent.
        chooseTab(f, MainWindow::PostTabIndex);
        QCOMPARE(f.find<QLineEdit>(QStringLiteral("txtPost"))->text(), QStringLiteral("http://"));
        f.click(QStringLiteral("cmdPost"));
        QCOMPARE(w.statusText(1), QStringLiteral("You must perform a scan for reciprocal links first"));
        auto* log = w.findChild<PostLogWindow*>(QStringLiteral("Form5"));
        QVERIFY(log && log->isVisible());
        QVERIFY(server.requests().isEmpty());

        w.openProjectFile(kLinksProject);
        f.clearEntry(QStringLiteral("txtPost"));
        f.type(QStringLiteral("txtPost"),
               QStringLiteral("script.test/post.php?site=$MainSite&partner=$linkingsite&ok=$Status&page=$FoundOn"));
        QCOMPARE(w.project().postSingle(), f.find<QLineEdit>(QStringLiteral("txtPost"))->text());
        // The script has no answer for one of them: an error page, which is no success.
        TestWebServer::Reply missing;
        missing.response = TestWebServer::response("404 Not Found", "no such page");
        server.setReply(QStringLiteral("script.test"),
                        QStringLiteral("/post.php?site=mysite.example&partner=partner-three.example"
                                       "&ok=False&page="),
                        missing);
        f.click(QStringLiteral("cmdPost"));
        // The run goes on while the window stays usable: progress in the status bar, the log
        // filling as the answers come.
        auto* post = f.find<QPushButton>(QStringLiteral("cmdPost"));
        QVERIFY(!post->isEnabled());
        QCOMPARE(w.statusText(1), QStringLiteral("Sending Site 1: partner-one.example"));
        const QString first = QStringLiteral(
            "http://script.test/post.php?site=mysite.example&partner=partner-one.example&ok=True&"
            "page=www.partner-one.example%2Flinks.htm");
        QTRY_VERIFY(log->logText().contains(QStringLiteral("URL: ") + first));
        QVERIFY(!post->isEnabled());
        QTRY_VERIFY(post->isEnabled());
        QCOMPARE(w.statusText(1), QStringLiteral("Finished posting: 5 sent, 1 failed: 404 Not Found"));

        // One request per row in list order, the "Missing" row left out.
        QStringList paths;
        for (const TestWebServer::Request& request : server.requests()) {
            QCOMPARE(request.host, QStringLiteral("script.test"));
            paths << QString::fromLatin1(request.path);
        }
        QCOMPARE(paths, (QStringList{
            QStringLiteral("/post.php?site=mysite.example&partner=partner-one.example&ok=True&page=www.partner-one.example%2Flinks.htm"),
            QStringLiteral("/post.php?site=mysite.example&partner=partner-two.example&ok=True&page=partner-two.example%2F"),
            QStringLiteral("/post.php?site=mysite.example&partner=partner-three.example&ok=False&page="),
            QStringLiteral("/post.php?site=othersite.example&partner=partner-one.example&ok=True&page=www.partner-one.example%2Flinks.htm"),
            QStringLiteral("/post.php?site=mysite.example&partner=partner-five.example&ok=True&page=partner-five.example%2Flinks%2F")}));
        QCOMPARE(log->logText().count(QStringLiteral("Returned: saved")), 4);
        // The failed request is marked where it stands, and the run counted at the end.
        QCOMPARE(log->logText().count(QStringLiteral("Failed: 404 Not Found")), 1);
        QVERIFY(log->logText().contains(QStringLiteral("partner-three.example&ok=False&page=\n\n"
                                                       "Returned: no such page\nFailed: 404 Not Found\n")));
        QVERIFY(log->logText().endsWith(QStringLiteral("\n5 sent, 1 failed: 404 Not Found\n")));
        QVERIFY(log->logText().startsWith(QStringLiteral("\nURL: ") + first + QStringLiteral("\n\nReturned: saved\n")));
        test::saveScreenshot(log, QStringLiteral("post-log"));
        test::saveScreenshot(&w, QStringLiteral("post-tab"));

        // Closing the log window discards its log.
        log->close();
        QTRY_VERIFY(!w.findChild<PostLogWindow*>(QStringLiteral("Form5")));
    }

    void perSiteScriptUrlsAreAddedWithEnterAndUsedForTheirMainSite()
    {
        TestWebServer server;
        TestWebServer::Reply empty;
        empty.response = TestWebServer::response("200 OK", "");
        server.setFallback(empty);
        WindowFixture f;
        f.network.setRoute(server.route());
        MainWindow& w = f.start();
        w.openProjectFile(kLinksProject);
        chooseTab(f, MainWindow::PostTabIndex);
        auto enabled = [&f](const char* name) {
            return f.find<QWidget>(QString::fromLatin1(name))->isEnabled();
        };
        QVERIFY(enabled("txtPost") && !enabled("lstMulti") && !enabled("cmbSites")
                && !enabled("txtPost2") && !enabled("cmdScriptAdd") && !enabled("cmdScriptDel"));
        f.click(QStringLiteral("optScript_1"));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("optScript")), QStringLiteral("1"));
        QVERIFY(!enabled("txtPost") && enabled("lstMulti") && enabled("cmbSites")
                && enabled("txtPost2") && enabled("cmdScriptAdd") && !enabled("cmdScriptDel"));

        auto* sites = f.find<QComboBox>(QStringLiteral("cmbSites"));
        QCOMPARE(sites->count(), 2);
        // Without a Main Site chosen nothing is added.
        f.type(QStringLiteral("txtPost2"), QStringLiteral("a.test/one?s=$MainSite"), true);
        QCOMPARE(w.project().postTargets().count(), 0);
        chooseSite(sites, QStringLiteral("mysite.example"));
        QTest::keyClick(f.find<QLineEdit>(QStringLiteral("txtPost2")), Qt::Key_Return);
        f.clearEntry(QStringLiteral("txtPost2"));
        f.type(QStringLiteral("txtPost2"), QStringLiteral("b.test/two"));
        // Enter in the selector adds too; a second entry for the same site is not refused.
        QTest::keyClick(sites->lineEdit(), Qt::Key_Return);
        chooseSite(sites, QStringLiteral("nosuchsite.example"));
        f.click(QStringLiteral("cmdScriptAdd"));
        const PostTargetList& targets = w.project().postTargets();
        QCOMPARE(targets.count(), 3);
        QCOMPARE(targets.target(0).scriptUrl, QStringLiteral("http://a.test/one?s=$MainSite"));
        QCOMPARE(targets.target(1).mainSite, QStringLiteral("mysite.example"));
        QCOMPARE(targets.target(2).mainSite, QStringLiteral("nosuchsite.example"));

        // Del works on the entry clicked.
        auto* list = f.find<QTreeView>(QStringLiteral("lstMulti"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(2, 0)).center());
        QVERIFY(enabled("cmdScriptDel"));
        f.click(QStringLiteral("cmdScriptDel"));
        QCOMPARE(targets.count(), 2);

        // Only rows of a Main Site with a script URL are sent, to the first URL for it.
        f.click(QStringLiteral("cmdPost"));
        QTRY_VERIFY(f.find<QPushButton>(QStringLiteral("cmdPost"))->isEnabled());
        QCOMPARE(server.requests().size(), 4);
        for (const TestWebServer::Request& request : server.requests()) {
            QCOMPARE(request.host, QStringLiteral("a.test"));
            QCOMPARE(request.path, QByteArray("/one?s=mysite.example"));
        }
        auto* log = w.findChild<PostLogWindow*>(QStringLiteral("Form5"));
        QVERIFY(log);
        QVERIFY(!log->logText().contains(QStringLiteral("Returned:"))); // empty answers
    }

    void theHelpButtonsExplainTheVariables()
    {
        WindowFixture f;
        f.start();
        chooseTab(f, MainWindow::PostTabIndex);
        Dialogs::setNextAnswer(QMessageBox::Ok);
        f.click(QStringLiteral("cmdExample"));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        f.click(QStringLiteral("cmdVariables"));
        f.clearEntry(QStringLiteral("txtPost"));
        f.type(QStringLiteral("txtPost"), QStringLiteral("http://me.test/s.php?a=$MainSite&b=$Status"));
        Dialogs::setNextAnswer(QMessageBox::Ok);
        f.click(QStringLiteral("cmdExample"));
        const QStringList texts = f.answered();
        QCOMPARE(texts.size(), 3);
        QVERIFY(texts.at(0).endsWith(QStringLiteral(
            "Enter a test URL in the first \"Script URL\" field and click this button again to see "
            "it's variables replaced.")));
        QVERIFY(texts.at(1).contains(QStringLiteral("$FoundOn - Inserts the Domain/URL of the page a "
                                                    "reciprocal link was found on")));
        QVERIFY(texts.at(2).contains(QStringLiteral("http://me.test/s.php?a=$MainSite&&b=$Status")));
        QVERIFY(texts.at(2).contains(QStringLiteral("b=True")));
    }
};

CORVANE_TEST_CLASS(PagesAndPostTest);

#include "PagesAndPostTest.moc"
