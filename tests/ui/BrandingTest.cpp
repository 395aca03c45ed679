#include "WindowFixture.h"

#include "branding/Branding.h"
#include "support/TestRegistry.h"
#include "ui/AboutWindow.h"
#include "ui/Dialogs.h"
#include "ui/PostLogWindow.h"
#include "ui/SplashWindow.h"
#include "ui/WebsiteLauncher.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalSpy>

using namespace corvane;

// The start window, the about window, the website launcher and the post log: the windows around
// the main window that carry the program's name and open its website.
class BrandingTest final : public QObject
{
    Q_OBJECT

    QList<QUrl> m_opened;

private Q_SLOTS:
    void init()
    {
        m_opened.clear();
        Desktop::setOpenHook([this](const QUrl& url) { m_opened << url; });
    }
    void cleanup() { Desktop::setOpenHook({}); }

    void websiteAddressIsCompletedOnlyWithoutAScheme_data()
    {
        QTest::addColumn<QString>("website");
        QTest::addColumn<QString>("address");
        QTest::newRow("bare host") << "www.site.example" << "http://www.site.example";
        QTest::newRow("https kept") << "https://www.site.example/x" << "https://www.site.example/x";
        QTest::newRow("any case") << "HTTP://Site.example" << "HTTP://Site.example";
        QTest::newRow("scheme inside") << "file:///etc/passwd?http://" << "file:///etc/passwd?http://";
    }
    void websiteAddressIsCompletedOnlyWithoutAScheme()
    {
        QFETCH(QString, website);
        QFETCH(QString, address);
        QCOMPARE(WebsiteLauncher::completedAddress(website), address);
    }

    void launcherOpensTheWebsiteOncePerSecondAndKeepsALaterRequest()
    {
        WebsiteLauncher launcher;
        QSignalSpy closed(&launcher, &WebsiteLauncher::closed);
        launcher.openWebsite();
        QCOMPARE(m_opened,
                 QList<QUrl>{QUrl(WebsiteLauncher::completedAddress(Branding::website()))});
        QVERIFY(launcher.isLoaded());
        QVERIFY(launcher.websiteRequest().isEmpty());

        // A second click within the second: nothing opens, the request waits for the next load.
        launcher.openWebsite();
        QCOMPARE(m_opened.size(), 1);
        QCOMPARE(launcher.websiteRequest(), QStringLiteral("Website"));

        QVERIFY(closed.wait(3 * WebsiteLauncher::kLifetimeMs));
        QVERIFY(!launcher.isLoaded());
        launcher.openWebsite();
        QCOMPARE(m_opened.size(), 2);
    }

    void onlyWebAddressesReachTheDesktop()
    {
        // What the launcher hands over is still checked where every web address leaves.
        QVERIFY(!Desktop::openWebUrl(QUrl(QStringLiteral("file:///etc/passwd?http://"))));
        QVERIFY(!Desktop::openWebUrl(QUrl(QStringLiteral("javascript:alert(1)"))));
        QVERIFY(m_opened.isEmpty());
    }

    void aboutWindowShowsTheBrandingAndOpensTheWebsite()
    {
        WebsiteLauncher launcher;
        AboutWindow about(&launcher);
        about.show();
        QCOMPARE(about.objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(about.windowTitle(), QStringLiteral("About ") + Branding::productName());
        auto text = [&](const char* name) { return about.findChild<QLabel*>(QString::fromLatin1(name))->text(); };
        QCOMPARE(text("Label1"), Branding::productName());
        QCOMPARE(text("lblVersion"), Branding::version());
        QCOMPARE(text("lblCompany"), Branding::ownerName());
        QVERIFY(text("lblWebsite").contains(Branding::website().toHtmlEscaped()));
        QVERIFY(!about.findChild<QLabel*>(QStringLiteral("Picture1"))->pixmap().isNull());

        auto* website = about.findChild<QLabel*>(QStringLiteral("lblWebsite"));
        Q_EMIT website->linkActivated(QStringLiteral("website"));
        Q_EMIT website->linkActivated(QStringLiteral("website"));
        QCOMPARE(m_opened.size(), 1);
    }

    void splashHandsOverToTheMainWindowAfterItsTicks()
    {
        int created = 0;
        QWidget main;
        SplashWindow splash([&]() -> QWidget* {
            ++created;
            return &main;
        });
        QCOMPARE(splash.objectName(), QStringLiteral("frmSplash"));
        QSignalSpy shown(&splash, &SplashWindow::mainWindowShown);
        splash.start();
        QVERIFY(splash.isVisible());
        QVERIFY(shown.wait(5000));
        QCOMPARE(created, 1);
        QCOMPARE(splash.intTemp(), 150); // 75 ticks of 2
        QVERIFY(main.isVisible());
        QVERIFY(!splash.isVisible());
        QTest::qWait(50);
        QCOMPARE(created, 1);
        QCOMPARE(splash.intTemp(), 150);
    }

    void mainWindowOpensTheWebsiteAndTheAboutWindow()
    {
        test::WindowFixture f;
        MainWindow& w = f.start();
        WebsiteLauncher launcher;
        w.setWebsiteLauncher(&launcher);
        f.opened.clear();
        f.click(QStringLiteral("cmdWebsite"));
        QCOMPARE(f.opened, QList<QUrl>{QUrl(WebsiteLauncher::completedAddress(Branding::website()))});
        QVERIFY(!w.windowIcon().isNull());

        w.showAbout();
        auto* about = w.findChild<AboutWindow*>(QStringLiteral("frmAbout"));
        QVERIFY(about && about->isVisible());
        w.showAbout();
        QCOMPARE(w.findChildren<AboutWindow*>().size(), 1);
        test::saveScreenshot(about, QStringLiteral("about-window"));
    }

    void postLogTextFillsTheWindowAboveItsCloseButton()
    {
        PostLogWindow log;
        log.setLogText(QStringLiteral("http://mine.example/post.php?x=1  200"));
        log.show();
        auto* text = log.findChild<QPlainTextEdit*>(QStringLiteral("Text4"));
        auto* buttons = log.findChild<QWidget*>(QStringLiteral("buttonBox"));
        for (const QSize size : {QSize(300, 200), QSize(900, 500)}) {
            log.resize(size);
            QTest::qWait(0);
            QCOMPARE(text->geometry().topLeft(), QPoint(0, 0));
            QCOMPARE(text->width(), log.width());
            QVERIFY(text->geometry().bottom() < buttons->geometry().top());
            QVERIFY(log.height() - text->height() < 3 * buttons->height());
        }
        QCOMPARE(log.logText(), QStringLiteral("http://mine.example/post.php?x=1  200"));
    }
};

CORVANE_TEST_CLASS(BrandingTest);

#include "BrandingTest.moc"
