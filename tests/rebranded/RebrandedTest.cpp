#include "WindowFixture.h"

#include "support/TestRegistry.h"
#include "ui/AboutWindow.h"
#include "ui/WebsiteLauncher.h"

#include <QLabel>
#include <QPushButton>

using namespace corvane;

// This program is linked with the branding "Acme Link Watch" by "Acme & Sons "Web"", website
// "https://acme.example/tools": every place that names the program follows the build's values.
class RebrandedTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void everyWindowNamesTheConfiguredProduct()
    {
        test::WindowFixture f;
        MainWindow& w = f.start();
        QCOMPARE(w.windowTitle(), QStringLiteral("Untitled[*] - Acme Link Watch"));
        QCOMPARE(f.find<QPushButton>(QStringLiteral("cmdWebsite"))->text(),
                 QStringLiteral("Visit https://acme.example/tools"));

        WebsiteLauncher launcher;
        w.setWebsiteLauncher(&launcher);
        f.opened.clear();
        f.click(QStringLiteral("cmdWebsite"));
        QCOMPARE(f.opened, QList<QUrl>{QUrl(QStringLiteral("https://acme.example/tools"))});

        AboutWindow about(&launcher);
        QCOMPARE(about.windowTitle(), QStringLiteral("About Acme Link Watch"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("Label1"))->text(), QStringLiteral("Acme Link Watch"));
        QCOMPARE(about.findChild<QLabel*>(QStringLiteral("lblCompany"))->text(),
                 QStringLiteral("Acme & Sons \"Web\""));
    }
};

CORVANE_TEST_CLASS(RebrandedTest);

#include "RebrandedTest.moc"
