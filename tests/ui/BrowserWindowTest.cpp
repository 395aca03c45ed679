#include "WindowFixture.h"

#include "support/TestRegistry.h"
#include "support/TestWebServer.h"
#include "ui/BrowserView.h"
#include "ui/Dialogs.h"
#include "ui/Presentation.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QWebEngineView>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTreeView>

using namespace corvane;
using test::TestWebServer;
using test::WindowFixture;

// One window with both browser views (a browser engine is slow to start), shared by the tests
// that browse, and a real scan over the test web server through the engine's routing seam.
class BrowserWindowTest final : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<WindowFixture> f;
    std::unique_ptr<TestWebServer> server;

    MainWindow& w() { return *f->window; }
    QString local(const QString& path) const
    {
        return QStringLiteral("127.0.0.1:%1").arg(server->port()) + path;
    }
    QTabWidget* tabs() const { return f->find<QTabWidget>(QStringLiteral("TabStrip1")); }
    BrowserView* web() const { return f->find<BrowserView>(QStringLiteral("WebBrowser1")); }
    void showTab(int index) const { tabs()->setCurrentIndex(index); }

    void addResult(const QString& remote, const QString& status, const QString& url, SiteColour colour,
                   int icon)
    {
        ResultEntry e;
        e.main = QStringLiteral("mine.test");
        e.remote = remote;
        e.status = status;
        e.number = QStringLiteral("001");
        e.url = url;
        e.colour = colour;
        e.icon = icon;
        w().project().results().appendEntry(e);
    }

private Q_SLOTS:
    void initTestCase()
    {
        server = std::make_unique<TestWebServer>();
        server->setPage(QStringLiteral("127.0.0.1"), QStringLiteral("/new"),
                        "<html><body>moved here</body></html>");
        server->setPage(QStringLiteral("127.0.0.1"), QStringLiteral("/old"), "", "301 Moved Permanently",
                        {"Location: /new"});
        server->setPage(QStringLiteral("127.0.0.1"), QStringLiteral("/links.html"),
                        "<html><body><a href=\"http://www.mine.test/\">Mine</a></body></html>");
        f = std::make_unique<WindowFixture>(true);
        f->box.settings->WriteSetting(QStringLiteral("txtTimeout"), QStringLiteral("3"));
        f->network.setRoute(server->route());
        f->start(QSize(1280, 800)); // the size of the pictures
        if (!f->browserViews)
            qInfo("browser views left out: no browser engine can run in this build");
    }

    void cleanupTestCase()
    {
        f.reset();
        server.reset();
    }

    void init()
    {
        Dialogs::clearHooks();
        f->opened.clear();
        w().project().results().clear();
        w().project().errors().clear();
        showTab(MainWindow::LinksTabIndex);
    }

    // The page's widget comes late; Tab out of the Web tab still reaches the page queue below.
    void tabFromTheWebTabReachesThePageQueue()
    {
        showTab(MainWindow::WebTabIndex);
        QSignalSpy arrived(web(), &BrowserView::navigated);
        web()->navigate(QUrl(server->url(QStringLiteral("/new"))));
        QTRY_VERIFY_WITH_TIMEOUT(!arrived.isEmpty(), 20000);
        QWidget* from = web()->engine() ? web()->engine()->focusProxy() : web();
        if (from == nullptr)
            from = web();
        QWidget* queue = f->find<QWidget>(QStringLiteral("List2"));
        QWidget* widget = from;
        int steps = 0;
        for (; steps < 100 && widget != queue; ++steps) {
            widget = widget->nextInFocusChain();
            // Back at the window's first control: the queue was passed over.
            QVERIFY2(widget->objectName() != QStringLiteral("cmdNew"), "the page queue was skipped");
        }
        QCOMPARE(widget, queue);
    }

    void theAddressBoxShowsWhereTheBrowserArrived()
    {
        showTab(MainWindow::WebTabIndex);
        f->find<QLineEdit>(QStringLiteral("txtURL"))->clear();
        f->type(QStringLiteral("txtURL"), local(QStringLiteral("/old")), true);
        QTRY_COMPARE_WITH_TIMEOUT(f->find<QLineEdit>(QStringLiteral("txtURL"))->text(),
                                  f->browserViews ? QStringLiteral("http://") + local(QStringLiteral("/new"))
                                                  : QStringLiteral("http://") + local(QStringLiteral("/old")),
                                  20000);
    }

    void resultMenuBrowsesAndCopies_data()
    {
        QTest::addColumn<int>("item");
        QTest::addColumn<QString>("expected"); // the address browsed or the clipboard's text
        QTest::addColumn<bool>("browses");
        // Main "mine.test", Remote the test server's page, URL an address with "http" in it.
        QTest::newRow("Browse Main Site") << 0 << QStringLiteral("http://mine.test") << true;
        QTest::newRow("Browse Linking Site") << 1 << QStringLiteral("http://%1/links.html") << true;
        QTest::newRow("Browse Found On") << 2 << QStringLiteral("%1/new?from=http") << true;
        QTest::newRow("Copy Main Site") << 3 << QStringLiteral("mine.test") << false;
        QTest::newRow("Copy Linking Site") << 4 << QStringLiteral("%1/links.html") << false;
        QTest::newRow("Copy Found On") << 5 << QStringLiteral("%1/new?from=http") << false;
    }

    void resultMenuBrowsesAndCopies()
    {
        QFETCH(int, item);
        QFETCH(QString, expected);
        QFETCH(bool, browses);
        const QString host = local(QString());
        expected = expected.contains(u'%') ? expected.arg(host) : expected;
        addResult(host + QStringLiteral("/links.html"), QStringLiteral("Direct Link"),
                  host + QStringLiteral("/new?from=http"), SiteColour::Blue, 2);
        auto* list = f->find<QTreeView>(QStringLiteral("List3"));
        list->setCurrentIndex(list->model()->index(0, 0));
        QApplication::clipboard()->setText(QStringLiteral("before"));
        f->find<QAction>(QStringLiteral("mnuPopup2Item%1").arg(item))->trigger();
        if (!browses) {
            QCOMPARE(QApplication::clipboard()->text(), expected);
            QCOMPARE(tabs()->currentIndex(), int(MainWindow::LinksTabIndex));
            return;
        }
        QCOMPARE(tabs()->currentIndex(), int(MainWindow::WebTabIndex));
        QCOMPARE(f->find<QLineEdit>(QStringLiteral("txtURL"))->text(), expected);
        if (expected.contains(host))
            QTRY_COMPARE_WITH_TIMEOUT(web()->url(), QUrl::fromUserInput(expected), 20000);
    }

    void markingChangesStatusColourAndIconOnly()
    {
        addResult(QStringLiteral("partner.test"), QStringLiteral("None Found"),
                  QStringLiteral("partner.test"), SiteColour::Red, 1);
        auto* list = f->find<QTreeView>(QStringLiteral("List3"));
        list->setCurrentIndex(list->model()->index(0, 0));
        const auto row = [list](int column, int role = Qt::DisplayRole) {
            return list->model()->index(0, column).data(role);
        };
        const QStringList before = {row(0).toString(), row(1).toString(), row(3).toString(),
                                    row(4).toString()};
        struct Mark {
            int item;
            QString status;
            QColor colour;
            int icon;
        };
        for (const Mark& mark :
             {Mark{7, QStringLiteral("Direct Link"), Presentation::colour(SiteColour::Blue), 2},
              Mark{8, QStringLiteral("None Found"), Presentation::colour(SiteColour::Red), 1}}) {
            f->find<QAction>(QStringLiteral("mnuPopup2Item%1").arg(mark.item))->trigger();
            QCOMPARE(row(2).toString(), mark.status);
            QCOMPARE(row(0, Qt::ForegroundRole).value<QColor>(), mark.colour);
            QCOMPARE(row(0, Qt::DecorationRole).value<QIcon>().cacheKey(),
                     Presentation::resultIcon(mark.icon).cacheKey());
            QCOMPARE((QStringList{row(0).toString(), row(1).toString(), row(3).toString(),
                                  row(4).toString()}),
                     before);
        }
        QVERIFY(w().project().state().bProjectSaved);
    }

    void errorRowDoubleClickOpensOnlyWebAddresses_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("opened"); // empty: nothing is opened
        QTest::newRow("bare host and path") << QStringLiteral("gone.test/a b") << QStringLiteral("http://gone.test/a%20b");
        QTest::newRow("https") << QStringLiteral("https://secure.test/") << QStringLiteral("https://secure.test/");
        QTest::newRow("file with http in it") << QStringLiteral("file:///etc/passwd?http") << QString();
        QTest::newRow("script") << QStringLiteral("javascript:alert('http')") << QString();
        QTest::newRow("command text") << QStringLiteral("x.test\" & rm -rf ~ &") << QString();
    }

    void errorRowDoubleClickOpensOnlyWebAddresses()
    {
        QFETCH(QString, url);
        QFETCH(QString, opened);
        w().project().errors().appendEntry({QStringLiteral("404 Not Found"), url});
        auto* list = f->find<QTreeView>(QStringLiteral("lstErr"));
        const QPoint at = list->visualRect(list->model()->index(0, 1)).center();
        // As the window system delivers it: a click, then the second press as a double-click.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(f->opened, opened.isEmpty() ? QList<QUrl>{} : QList<QUrl>{QUrl(opened)});
    }

    void startingAnErrorRowEditBrowsesItInTheWebTab()
    {
        w().project().errors().appendEntry({QStringLiteral("Timeout"), local(QStringLiteral("/new"))});
        auto* address = f->find<QLineEdit>(QStringLiteral("txtURL"));
        address->setText(QStringLiteral("typed before"));
        auto* list = f->find<QTreeView>(QStringLiteral("lstErr"));
        list->setCurrentIndex(list->model()->index(0, 0));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_F2);
        QCOMPARE(tabs()->currentIndex(), int(MainWindow::WebTabIndex));
        QTRY_COMPARE_WITH_TIMEOUT(web()->url(), QUrl(QStringLiteral("http://") + local(QStringLiteral("/new"))),
                                  20000);
        QCOMPARE(w().project().errors().cell(0, 0), QStringLiteral("Timeout"));
    }

    void skipAndStopTakeEffectWhileAServerSaysNothing()
    {
        server->setSilent(QStringLiteral("quiet1.test"), QStringLiteral("/"));
        server->setSilent(QStringLiteral("quiet2.test"), QStringLiteral("/"));
        f->find<QAction>(QStringLiteral("mnuFileItem0"))->trigger(); // New Project
        f->addSites(QStringLiteral("mine.test"), {QStringLiteral("quiet1.test"), QStringLiteral("quiet2.test")});
        f->click(QStringLiteral("Command1"));
        QTRY_VERIFY_WITH_TIMEOUT(w().statusText(3).contains(QStringLiteral("quiet1.test")), 5000);
        f->click(QStringLiteral("cmdSkip"));
        QCOMPARE(w().project().results().cell(0, ResultList::Status), QStringLiteral("None Found (Skipped)"));
        QTRY_VERIFY_WITH_TIMEOUT(w().statusText(3).contains(QStringLiteral("quiet2.test")), 5000);
        f->click(QStringLiteral("cmdStop"));
        QVERIFY(!w().project().state().bScanRunning);
        QCOMPARE(w().project().results().count(), 1); // nothing for the site the Stop interrupted
        // The one skipped and the one stopped were not checked.
        QVERIFY2(w().statusText(1).startsWith(
                     QStringLiteral("2 partners: 0 link back, 0 missing, 0 errors, 2 not checked; ")),
                 qPrintable(w().statusText(1)));
        QVERIFY(f->find<QPushButton>(QStringLiteral("Command1"))->isEnabled());
        QVERIFY(!f->find<QPushButton>(QStringLiteral("cmdSkip"))->isEnabled());
        w().project().state().bProjectSaved = true;
    }

    void aScanFromTheWindowFillsListsStatisticsAndReport()
    {
        server->setPage(QStringLiteral("good.test"), QStringLiteral("/"),
                        "<html><body><a href=\"http://www.mine.test/\">Mine</a> "
                        "<a href=\"/more.html\">more</a></body></html>");
        server->setPage(QStringLiteral("good.test"), QStringLiteral("/more.html"), "<html>more</html>");
        server->setPage(QStringLiteral("bad.test"), QStringLiteral("/"), "<html><body>no link</body></html>");
        server->setPage(QStringLiteral("gone.test"), QStringLiteral("/"), "gone", "404 Not Found");

        f->find<QAction>(QStringLiteral("mnuFileItem0"))->trigger(); // New Project
        f->addSites(QStringLiteral("http://www.mine.test"),
                    {QStringLiteral("good.test"), QStringLiteral("bad.test"), QStringLiteral("gone.test")});
        f->click(QStringLiteral("Command1"));
        QVERIFY(w().project().state().bScanRunning);
        QVERIFY(!f->find<QPushButton>(QStringLiteral("Command1"))->isEnabled());
        QVERIFY(!f->find<QPushButton>(QStringLiteral("cmdSave"))->isEnabled());
        QVERIFY(!f->find<QWidget>(QStringLiteral("Frame1"))->isEnabled());
        QVERIFY(f->find<QPushButton>(QStringLiteral("cmdStop"))->isEnabled());
        QVERIFY(f->find<QPushButton>(QStringLiteral("cmdSkip"))->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(!w().project().state().bScanRunning, 20000);

        QVERIFY(f->find<QPushButton>(QStringLiteral("Command1"))->isEnabled());
        QVERIFY(!f->find<QPushButton>(QStringLiteral("cmdStop"))->isEnabled());
        QVERIFY(f->find<QWidget>(QStringLiteral("Frame1"))->isEnabled());
        // The status bar and the Links tab sum the scan up as the command line does.
        const QRegularExpression summary(QStringLiteral(
            "^3 partners: 1 link back, 1 missing, 1 error; [0-9]+ pages in [0-9.]+ s$"));
        QVERIFY2(summary.match(w().statusText(1)).hasMatch(), qPrintable(w().statusText(1)));
        QCOMPARE(f->find<QWidget>(QStringLiteral("List3"))->accessibleDescription(),
                 w().statusText(1));
        QCOMPARE(tabs()->widget(MainWindow::LinksTabIndex)->accessibleDescription(),
                 w().statusText(1));
        QCOMPARE(f->find<QProgressBar>(QStringLiteral("pb1"))->value(), ScanController::kProgressMaximum);

        auto* results = f->find<QTreeView>(QStringLiteral("List3"))->model();
        QCOMPARE(results->rowCount(), 3);
        const struct {
            QString remote, status;
            QColor colour;
            int icon;
        } expected[] = {
            {QStringLiteral("good.test"), QStringLiteral("Direct Link"), Presentation::colour(SiteColour::Blue), 2},
            {QStringLiteral("bad.test"), QStringLiteral("None Found"), Presentation::colour(SiteColour::Red), 1},
            {QStringLiteral("gone.test"), QStringLiteral("None Found (404 Not found)"),
             Presentation::colour(SiteColour::Red), 1},
        };
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(results->index(row, 1).data().toString(), expected[row].remote);
            QCOMPARE(results->index(row, 2).data().toString(), expected[row].status);
            QCOMPARE(results->index(row, 0).data(Qt::ForegroundRole).value<QColor>(), expected[row].colour);
            QCOMPARE(results->index(row, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                     Presentation::resultIcon(expected[row].icon).cacheKey());
        }
        auto* sites = f->find<QTreeView>(QStringLiteral("List1"))->model();
        QCOMPARE(sites->index(0, 0).data(Qt::ForegroundRole).value<QColor>(),
                 Presentation::colour(SiteColour::Blue));
        QCOMPARE(sites->index(2, 0).data(Qt::ForegroundRole).value<QColor>(),
                 Presentation::colour(SiteColour::Red));
        auto* errors = f->find<QTreeView>(QStringLiteral("lstErr"))->model();
        QCOMPARE(errors->rowCount(), 1);
        QVERIFY(errors->index(0, 0).data().toString().startsWith(QStringLiteral("404")));

        QCOMPARE(f->find<QLabel>(QStringLiteral("lblStats0"))->text(), QStringLiteral("1"));
        QCOMPARE(f->find<QLabel>(QStringLiteral("lblStats1"))->text(), QStringLiteral("3"));
        QVERIFY(f->find<QLabel>(QStringLiteral("lblStats2"))->text().toInt() >= 4);
        QCOMPARE(f->find<QLabel>(QStringLiteral("lblStats4"))->text(), QStringLiteral("1"));
        test::saveScreenshot(&w(), QStringLiteral("main-window-links"));

        // With a dark palette every row stays readable: no black text, no pure blue.
        const QPalette before = QApplication::palette();
        QPalette dark;
        dark.setColor(QPalette::Window, QColor(45, 45, 45));
        dark.setColor(QPalette::Base, QColor(30, 30, 30));
        dark.setColor(QPalette::Text, QColor(230, 230, 230));
        dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
        QApplication::setPalette(dark);
        for (int row = 0; row < 3; ++row) {
            const QColor c = results->index(row, 0).data(Qt::ForegroundRole).value<QColor>();
            QVERIFY2(c.lightness() > 128, qPrintable(c.name()));
        }
        QVERIFY(!errors->index(0, 0).data(Qt::ForegroundRole).isValid()); // the palette's text
        // The whole window in Fusion's colours made dark, for people to look at.
        QPalette fusionDark = dark;
        fusionDark.setColor(QPalette::Button, QColor(53, 53, 53));
        fusionDark.setColor(QPalette::ButtonText, QColor(230, 230, 230));
        fusionDark.setColor(QPalette::AlternateBase, QColor(45, 45, 45));
        fusionDark.setColor(QPalette::Highlight, QColor(42, 130, 218));
        fusionDark.setColor(QPalette::HighlightedText, Qt::black);
        fusionDark.setColor(QPalette::PlaceholderText, QColor(150, 150, 150));
        fusionDark.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(120, 120, 120));
        QApplication::setPalette(fusionDark);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        test::saveScreenshot(&w(), QStringLiteral("main-window-dark"));
        QApplication::setPalette(before);

        const QUrl report = QUrl::fromLocalFile(w().report().tempReportPath());
        auto* reportView = f->find<BrowserView>(QStringLiteral("WebBrowser2"));
        QTRY_COMPARE_WITH_TIMEOUT(reportView->url(), report, 20000);
        showTab(MainWindow::ReportsTabIndex);
        if (f->browserViews)
            QTest::qWait(1500); // let the page paint for the picture
        test::saveScreenshot(&w(), QStringLiteral("main-window-report"));

        Dialogs::setNextFileName(f->box.file(QStringLiteral("my report")));
        f->click(QStringLiteral("Command8"));
        QVERIFY(test::readAll(f->box.file(QStringLiteral("my report.htm"))).contains("Reciprocal Link Report"));
        Dialogs::setNextFileName(f->box.file(QStringLiteral("results")));
        f->click(QStringLiteral("Command8a"));
        QVERIFY(test::readAll(f->box.file(QStringLiteral("results.tab"))).contains("good.test\tDirect Link"));
        w().project().state().bProjectSaved = true;
    }
};

CORVANE_TEST_CLASS(BrowserWindowTest);

#include "BrowserWindowTest.moc"
