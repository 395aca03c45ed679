#include "WindowFixture.h"

#include "history/HistoryStore.h"
#include "model/ProjectFormat.h"
#include "support/TestRegistry.h"
#include "support/TestWebServer.h"
#include "ui/Dialogs.h"
#include "ui/EntryEditorWindow.h"
#include "ui/HistoryWindow.h"
#include "ui/LinksTab.h"
#include "ui/OptionsWindow.h"
#include "ui/WebsitesPanel.h"

#include <QAction>
#include <QCheckBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QToolTip>
#include <QTreeView>

using namespace corvane;
using test::WindowFixture;

namespace {

const QByteArray kLink = "<a href=\"http://www.mine.test/\">Mine</a>";
const QByteArray kNofollow = "<a rel=\"nofollow\" href=\"http://www.mine.test/\">Mine</a>";

void page(test::TestWebServer& server, const char* host, const QByteArray& body,
          const QByteArray& status = "200 OK")
{
    server.setPage(QString::fromLatin1(host), QStringLiteral("/"),
                   "<html><body>" + body + "</body></html>", status);
}

template <typename T> T* child(QWidget* window, const QString& name)
{
    T* found = window->findChild<T*>(name);
    if (found == nullptr)
        qWarning("no control named %s in %s", qPrintable(name), qPrintable(window->objectName()));
    return found;
}

void clickRow(QAbstractItemView* list, int row)
{
    const QRect rect = list->visualRect(list->model()->index(row, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
}

void scan(WindowFixture& f)
{
    QTest::mouseClick(f.find<QWidget>(QStringLiteral("fraCommands"))
                          ->findChild<QPushButton*>(QStringLiteral("Command1")),
                      Qt::LeftButton);
    QVERIFY(f.window->project().state().bScanRunning);
    QTRY_VERIFY_WITH_TIMEOUT(!f.window->project().state().bScanRunning, 30000);
}

// The Change cell of each partner's result rows, by partner.
QMap<QString, QString> changes(const Project& project)
{
    QMap<QString, QString> out;
    const ResultList& results = project.results();
    for (int row = 0; row < results.count(); ++row)
        out.insert(results.cell(row, ResultList::Remote), results.cell(row, ResultList::Change));
    return out;
}

QStringList shownPartners(QTreeView* list)
{
    QStringList out;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        if (!list->isRowHidden(row, QModelIndex()))
            out << list->model()->index(row, ResultList::Remote).data().toString();
    }
    return out;
}

// The tool tip of a Linking Site row (0-based) of the selected Main Site, as the pointer resting
// on it brings it up.
QString rowToolTip(WindowFixture& f, int row)
{
    auto* list = f.find<QAbstractItemView>(QStringLiteral("List1"));
    QToolTip::hideText();
    const QPoint at = list->visualRect(list->model()->index(row, 0)).center();
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(list->viewport(), &help);
    return QToolTip::text();
}

QString statusLine(WindowFixture& f)
{
    return f.window->statusText(1);
}

} // namespace

// What changed since the last scan, as the window shows it: the Change column, the switch that
// shows only changes, each Linking Site's History window, and a history that follows a partner
// renamed in its editor. And the project's file when another program changes it meanwhile.
class LinkHistoryWindowTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Dialogs::clearHooks(); }

    // Two scans where one partner drops the link, one adds it, one turns nofollow and one stops
    // answering; with "lost after 1 unreachable scan" chosen in the options, a fifth that stops
    // answering as well counts as lost at once.
    void twoScansShowWhatChanged()
    {
        test::TestWebServer server;
        page(server, "keeps.test", kLink);
        page(server, "drops.test", kLink);
        page(server, "adds.test", "no link yet");
        page(server, "nofollow.test", kLink);
        page(server, "silent.test", kLink);
        // Its links page, then a server error there while a broken link elsewhere answers 404.
        page(server, "flaky.test", "<a href=\"/links.html\">links</a> <a href=\"/old.html\">old</a>");
        server.setPage(QStringLiteral("flaky.test"), QStringLiteral("/links.html"), kLink);
        server.setPage(QStringLiteral("flaky.test"), QStringLiteral("/old.html"), "gone",
                       "404 Not Found");
        WindowFixture f;
        f.network.setRoute(server.route());
        // The partners keep their addresses, so the crawl starts at the front page every time.
        f.box.settings->WriteSetting(QStringLiteral("chkUpdate"), QStringLiteral("0"));
        MainWindow& w = f.start(QSize(1100, 700));
        f.addSites(QStringLiteral("www.mine.test"),
                   {QStringLiteral("keeps.test"), QStringLiteral("drops.test"),
                    QStringLiteral("adds.test"), QStringLiteral("nofollow.test"),
                    QStringLiteral("silent.test"), QStringLiteral("flaky.test")});
        const QString path = f.box.file(QStringLiteral("Project Files/links.prj"));
        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(w.project().state().bProjectSaved);

        scan(f);
        // The first scan has nothing to compare with: no partner is "new", none "unchanged".
        const QMap<QString, QString> first = changes(w.project());
        QCOMPARE(first.size(), 6);
        for (auto it = first.cbegin(); it != first.cend(); ++it)
            QVERIFY2(it.value().isEmpty(), qPrintable(it.key() + u'=' + it.value()));
        QCOMPARE(rowToolTip(f, 2), QStringLiteral("never linked")); // adds.test

        page(server, "drops.test", "link removed");
        page(server, "adds.test", kLink);
        page(server, "nofollow.test", kNofollow);
        page(server, "silent.test", "down for maintenance", "500 Internal Server Error");
        server.setPage(QStringLiteral("flaky.test"), QStringLiteral("/links.html"), "oops",
                       "500 Internal Server Error");
        scan(f);
        QMap<QString, QString> expected{
            {QStringLiteral("keeps.test"), QStringLiteral("unchanged")},
            {QStringLiteral("drops.test"), QStringLiteral("lost")},
            {QStringLiteral("adds.test"), QStringLiteral("new")},
            {QStringLiteral("nofollow.test"), QStringLiteral("changed: now nofollow")},
            {QStringLiteral("silent.test"), QStringLiteral("unreachable: 500 Internal Error")},
            // Not lost: the page that held the link could not be read this time.
            {QStringLiteral("flaky.test"),
             QStringLiteral("unreachable: page not read: 500 Internal Error flaky.test/links.html")},
        };
        QCOMPARE(changes(w.project()), expected);

        // Only what changed, at a click; the rows come back at the next.
        auto* list = f.find<QTreeView>(QStringLiteral("List3"));
        auto* only = f.find<QCheckBox>(QStringLiteral("chkChangesOnly"));
        QCOMPARE(shownPartners(list).size(), 6);
        only->click();
        QCOMPARE(shownPartners(list),
                 (QStringList{QStringLiteral("drops.test"), QStringLiteral("adds.test"),
                              QStringLiteral("nofollow.test"), QStringLiteral("silent.test"),
                              QStringLiteral("flaky.test")}));
        test::saveScreenshot(w.window(), QStringLiteral("links-changes-only"));
        only->click();
        QCOMPARE(shownPartners(list).size(), 6);

        // "History..." on drops.test: both scans, newest first.
        clickRow(f.find<QAbstractItemView>(QStringLiteral("List1")), 1);
        f.find<QAction>(QStringLiteral("mnuPopup1Item1"))->trigger();
        auto* history = w.findChild<HistoryWindow*>(QStringLiteral("frmHistory"));
        QVERIFY(history);
        QVERIFY(history->windowTitle().contains(QStringLiteral("drops.test")));
        auto* rows = child<QTableWidget>(history, QStringLiteral("lstHistory"));
        QCOMPARE(rows->rowCount(), 2);
        QCOMPARE(rows->item(0, 4)->text(), QStringLiteral("lost"));
        QCOMPARE(rows->item(1, 4)->text(), QString()); // the first scan
        QCOMPARE(rows->item(1, 1)->text(), QStringLiteral("Direct Link"));
        QVERIFY(rows->item(0, 1)->text().startsWith(QStringLiteral("None Found")));
        // A lost link is linked since no date: it was last found on one.
        const QString today = QLocale().toString(QDate::currentDate(), QLocale::ShortFormat);
        const QString summary = child<QLabel>(history, QStringLiteral("lblSummary"))->text();
        QCOMPARE(summary, QStringLiteral("Last found %1, last checked %1.").arg(today));
        QCOMPARE(rowToolTip(f, 1), QStringLiteral("Last found ") + today);
        QCOMPARE(rowToolTip(f, 0), QStringLiteral("Linked since %1, last confirmed %1").arg(today));
        history->show();
        test::saveScreenshot(history, QStringLiteral("links-history-window"));
        history->close();

        // The options decide when an unreachable partner counts as lost.
        QTest::mouseClick(f.find<QWidget>(QStringLiteral("fraCommands"))
                              ->findChild<QPushButton*>(QStringLiteral("Command9")),
                          Qt::LeftButton);
        auto* options = w.findChild<OptionsWindow*>(QStringLiteral("frmOptions"));
        auto* lostAfter = child<QLineEdit>(options, QStringLiteral("txtLostAfterFailures"));
        QCOMPARE(lostAfter->text(), QStringLiteral("3"));
        lostAfter->selectAll();
        QTest::keyClicks(lostAfter, QStringLiteral("2"));
        QCOMPARE(f.box.settings->ReadSetting(QStringLiteral("LostAfterFailures")),
                 QStringLiteral("2"));
        scan(f);
        QCOMPARE(changes(w.project()).value(QStringLiteral("silent.test")),
                 QStringLiteral("lost: unreachable for 2 scans"));
    }

    // A Linking Site renamed in its editor keeps its history under the new name.
    void aRenamedLinkingSiteKeepsItsHistory()
    {
        test::TestWebServer server;
        page(server, "partner.test", kLink);
        page(server, "www.partner.test", kLink);
        WindowFixture f;
        f.network.setRoute(server.route());
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("www.mine.test"), {QStringLiteral("partner.test")});
        const QString path = f.box.file(QStringLiteral("Project Files/links.prj"));
        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdSave"));
        scan(f);

        clickRow(f.find<QAbstractItemView>(QStringLiteral("List1")), 0);
        f.click(QStringLiteral("cmdEdit"));
        auto* editor = w.findChildren<EntryEditorWindow*>(QStringLiteral("Form2")).last();
        auto* url = child<QLineEdit>(editor, QStringLiteral("Text1"));
        url->selectAll();
        QTest::keyClicks(url, QStringLiteral("www.partner.test/"));
        QTest::mouseClick(child<QPushButton>(editor, QStringLiteral("cmdSave")), Qt::LeftButton);
        QCOMPARE(w.project().linkingSites(1)->url(0), QStringLiteral("www.partner.test/"));

        scan(f);
        // Not "new": the same partner, its link now found on the new name's page.
        QCOMPARE(changes(w.project()).value(QStringLiteral("partner.test")),
                 QStringLiteral("changed: moved to www.partner.test"));
        HistoryStore store;
        QVERIFY(store.open(HistoryStore::pathFor(path), HistoryStore::Mode::Read));
        const std::optional<HistoryStore::Partner> partner =
            store.partner(QStringLiteral("mine.test"), QStringLiteral("www.partner.test/"));
        QVERIFY(partner);
        QCOMPARE(partner->checks, 2);
        QCOMPARE(partner->formerUrls, QStringList{QStringLiteral("partner.test")});
        QCOMPARE(store.partners().size(), 1);
    }

    // Saving a new project onto another project's file asks first, and the new project does not
    // take over the history kept beside that file.
    void savingOverAnotherProjectAsksAndLeavesItsHistoryBehind()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        const QString other = f.box.file(QStringLiteral("Project Files/other.prj"));
        QVERIFY(test::writeAll(other, "http://www.other.test\r\nfriend.test|1|||\r\n"));
        {
            HistoryStore history;
            QVERIFY(history.open(HistoryStore::pathFor(other), HistoryStore::Mode::Write));
            const qint64 scan = history.beginScan(QDateTime::currentDateTime(), QStringLiteral("1"));
            PartnerCheck check;
            check.outcome = PartnerCheck::Outcome::Found;
            check.status = QStringLiteral("Direct Link");
            check.checked = QDateTime::currentDateTime();
            QVERIFY(history.recordCheck(scan, QStringLiteral("other.test"), QStringLiteral("friend.test"),
                                        {}, check, 3));
            QVERIFY(history.endScan(scan, QDateTime::currentDateTime(), true));
        }
        f.addSites(QStringLiteral("www.mine.test"), {QStringLiteral("partner.test")});

        Dialogs::setNextFileName(other);
        Dialogs::setNextAnswer(QMessageBox::No);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(Dialogs::answeredMessages().last().startsWith(
            QStringLiteral("other.prj already exists and holds another project.")));
        QVERIFY(test::readAll(other).startsWith("http://www.other.test"));
        QVERIFY(!w.project().state().bProjectSaved);

        Dialogs::setNextFileName(other);
        Dialogs::setNextAnswer(QMessageBox::Yes);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(w.project().state().bProjectSaved);
        QVERIFY(test::readAll(other).startsWith("www.mine.test"));
        QVERIFY(!QFileInfo::exists(HistoryStore::pathFor(other)));
    }

    // Another program (a scheduled scan, the command line) changes the open project's file:
    // with nothing unsaved the window reads it again at once; with edits it says so, and Save
    // asks which version to keep.
    void aProjectChangedOnDiskIsReadAgainOrAsked()
    {
        WindowFixture f;
        MainWindow& w = f.start();
        f.addSites(QStringLiteral("www.mine.test"), {QStringLiteral("partner.test")});
        const QString path = f.box.file(QStringLiteral("Project Files/links.prj"));
        Dialogs::setNextFileName(path);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(w.project().state().bProjectSaved);

        // An import from the command line adds a partner.
        QVERIFY(test::writeAll(path, test::readAll(path) + "imported.test|1|||\r\n"));
        QTRY_COMPARE_WITH_TIMEOUT(w.project().linkingSites(1)->count(), 2, 5000);
        QCOMPARE(w.project().linkingSites(1)->url(1), QStringLiteral("imported.test"));
        QVERIFY(w.project().state().bProjectSaved);
        QTRY_VERIFY(statusLine(f).contains(QStringLiteral("changed by another program")));

        // Edits here, and another change there: nothing is thrown away unasked.
        f.type(QStringLiteral("Text1"), QStringLiteral("mine-too.test"), true);
        QCOMPARE(w.project().linkingSites(1)->count(), 3);
        QVERIFY(test::writeAll(path, test::readAll(path) + "second.test|1|||\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(statusLine(f).contains(QStringLiteral("Saving will ask")), 5000);
        QCOMPARE(w.project().linkingSites(1)->count(), 3);

        // Save writes the project's own file without a dialog, but not over the other program's
        // change unasked. Cancel keeps both; "Save Over It" writes this window's version.
        const QByteArray theirs = test::readAll(path);
        Dialogs::setNextAnswer(QMessageBox::Cancel);
        f.click(QStringLiteral("cmdSave"));
        QCOMPARE(test::readAll(path), theirs);
        QVERIFY(!w.project().state().bProjectSaved);
        QVERIFY(Dialogs::answeredMessages().last().contains(
            QStringLiteral("links.prj was changed by another program")));
        Dialogs::setNextAnswer(QMessageBox::Save);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(w.project().state().bProjectSaved);
        QVERIFY(test::readAll(path).contains("mine-too.test"));
        QCOMPARE(Dialogs::askedFolders().size(), 1); // the first save's dialog only
        QVERIFY(!test::readAll(path).contains("second.test"));

        // "Read It Again" drops the edits here for the file's version.
        f.type(QStringLiteral("Text1"), QStringLiteral("dropped.test"), true);
        QVERIFY(test::writeAll(path, test::readAll(path) + "third.test|1|||\r\n"));
        QTRY_VERIFY_WITH_TIMEOUT(statusLine(f).contains(QStringLiteral("Saving will ask")), 5000);
        Dialogs::setNextAnswer(QMessageBox::Discard);
        f.click(QStringLiteral("cmdSave"));
        QVERIFY(w.project().state().bProjectSaved);
        QVERIFY(ProjectFormat::serialize(w.project()).contains("third.test"));
        QVERIFY(!ProjectFormat::serialize(w.project()).contains("dropped.test"));
        QVERIFY(!test::readAll(path).contains("dropped.test"));
    }
};

CORVANE_TEST_CLASS(LinkHistoryWindowTest);

#include "LinkHistoryWindowTest.moc"
