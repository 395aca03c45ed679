#include "WindowFixture.h"

#include "support/TestRegistry.h"
#include "support/TestWebServer.h"
#include "ui/Dialogs.h"
#include "ui/EditorWindows.h"
#include "ui/Presentation.h"
#include "ui/WindowState.h"
#include "ui/WebsitesPanel.h"
#include "ui/Widgets.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QStatusBar>
#include <QTextLayout>
#include <QTreeView>
#include <QScrollArea>
#include <QMenuBar>
#include <QStyle>

using namespace corvane;
using test::WindowFixture;

namespace {

// Ordinary results of one Main Site: partner hosts of 25 characters, found-on URLs of 50, notes
// of 60, and each kind of verdict.
QList<ResultEntry> ordinaryResults()
{
    const auto row = [](const char* remote, const char* status, const char* url, const char* notes,
                        const char* change) {
        ResultEntry e;
        e.main = QStringLiteral("mine.example");
        e.remote = QString::fromLatin1(remote);
        e.status = QString::fromLatin1(status);
        const bool found = e.status.endsWith(QStringLiteral("Link"));
        e.icon = found ? 2 : 1;
        e.colour = found ? SiteColour::Blue : SiteColour::Red;
        e.number = found ? QStringLiteral("001") : QStringLiteral("000");
        e.url = QString::fromLatin1(url);
        e.notes = QString::fromLatin1(notes);
        e.change = QString::fromLatin1(change);
        return e;
    };
    return {
        row("partner-site-example.test", "Direct Link",
            "www.partner-site-example.test/about/our-links.html",
            "nofollow; page noindex; text \"Our partners and friend sites\"", "new"),
        row("another-partner-site.test", "Missing 001",
            "www.another-partner-site.test/friends/links.html", "", "lost"),
        row("blocked-partner-site.test", "None Found (Blocked by bot protection)",
            "blocked-partner-site.test", "", "unchanged"),
        row("silent-partner-site.test", "None Found (Connection refused)",
            "silent-partner-site.test", "", "unchanged"),
        row("friendly-partner.test", "Domain Link",
            "friendly-partner.test/pages/partners-links.htm",
            "text \"Mine: the best example site on the whole web\"", "restored"),
    };
}

MainWindow& startWithResults(WindowFixture& f, QSize size, const QStringList& mainSites)
{
    MainWindow& w = f.start(size);
    for (const QString& main : mainSites)
        f.type(QStringLiteral("txtDomain"), main, true);
    for (const ResultEntry& e : ordinaryResults())
        w.project().results().appendEntry(e);
    return w;
}

QStringList shownPartners(QTreeView* list)
{
    QStringList out;
    for (int row = 0; row < list->model()->rowCount(); ++row) {
        if (!list->isRowHidden(row, {}))
            out << list->model()->index(row, ResultList::Remote).data().toString();
    }
    return out;
}

// The width the column's texts (and icons) take in the rows on screen.
int widest(QAbstractItemView* list, int column)
{
    return list->sizeHintForColumn(column);
}

// Whether the cell's text fits its place: the lines it takes, wrapped at its width as the style
// wraps it, fit the row's height.
bool shownWhole(QTreeView* list, const QModelIndex& index)
{
    const QRect cell = list->visualRect(index);
    const int margin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    int width = cell.width() - 2 * margin;
    if (!index.data(Qt::DecorationRole).isNull())
        width -= list->iconSize().width() + 2 * margin;
    const QString text = index.data().toString();
    const QFontMetrics fm(list->font());
    if (!list->wordWrap())
        return fm.horizontalAdvance(text) <= width;
    QTextLayout layout(text, list->font());
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    layout.beginLayout();
    int lines = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++lines;
    }
    layout.endLayout();
    return lines * fm.lineSpacing() <= cell.height();
}

// The smallest size the widget's layout lets it take.
QSize minimumOf(QWidget* widget)
{
    QSize size = widget->minimumSizeHint();
    if (widget->layout() != nullptr)
        size = size.expandedTo(widget->layout()->totalMinimumSize());
    return size.expandedTo(widget->minimumSize());
}

} // namespace

// The main window's layout: the results list readable at a glance at common screen sizes, the
// filters above it, the window and its dialogs usable on a small screen, a blocked partner told
// apart from a missing one.
class WindowLayoutTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { Dialogs::clearHooks(); }

    // Tab from the Errors list goes to the page queue, which shows that it has the focus even
    // when it is empty (a picture to look at: layout-queue-focus).
    void theQueueAfterTheErrorsShowsItsFocus()
    {
        WindowFixture f;
        f.start(QSize(1280, 800));
        auto* errors = f.find<QWidget>(QStringLiteral("lstErr"));
        errors->setFocus();
        QTest::keyClick(errors, Qt::Key_Tab);
        auto* queue = f.find<QAbstractItemView>(QStringLiteral("List2"));
        QCOMPARE(QApplication::focusWidget(), queue);
        QCOMPARE(queue->model()->rowCount(), 0);
        test::saveScreenshot(f.find<QWidget>(QStringLiteral("Frame6")),
                             QStringLiteral("layout-queue-focus"));
        // Nothing that cannot show a focus takes a Tab stop of its own: the scroll areas that
        // hold the window's parts pass it on.
        for (QScrollArea* area : f.window->findChildren<QScrollArea*>()) {
            if (qobject_cast<FittingScrollArea*>(area))
                QCOMPARE(area->focusPolicy(), Qt::NoFocus);
        }
    }

    void resultColumnsShowOrdinaryValuesWhole_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<int>("lines"); // the most lines a row takes
        QTest::newRow("1280x800") << QSize(1280, 800) << 2;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 1;
    }

    void resultColumnsShowOrdinaryValuesWhole()
    {
        QFETCH(QSize, size);
        WindowFixture f;
        startWithResults(f, size, {QStringLiteral("mine.example")});
        auto* list = f.find<QTreeView>(QStringLiteral("List3"));
        QTRY_VERIFY(list->columnWidth(ResultList::Notes) > 16);
        // One Main Site: its column would say the same on every row.
        QVERIFY(list->isColumnHidden(ResultList::Main));
        // The partner and the change stay on one line; the status, the URL and the notes show
        // whole, wrapped onto a second line where the window is not wide enough for one.
        for (const int column : {ResultList::Remote, ResultList::Change}) {
            QVERIFY2(list->columnWidth(column) >= widest(list, column),
                     qPrintable(QStringLiteral("column %1: %2 < %3")
                                    .arg(column)
                                    .arg(list->columnWidth(column))
                                    .arg(widest(list, column))));
        }
        QFETCH(int, lines);
        const int lineHeight = list->fontMetrics().lineSpacing();
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const int height = list->visualRect(list->model()->index(row, 1)).height();
            QVERIFY2(height < (lines + 1) * lineHeight,
                     qPrintable(QStringLiteral("row %1: %2 px").arg(row).arg(height)));
            for (const int column : {ResultList::Status, ResultList::Url, ResultList::Notes}) {
                const QModelIndex index = list->model()->index(row, column);
                QVERIFY2(shownWhole(list, index), qPrintable(index.data().toString()));
            }
        }
        // Every column ends inside the list: nothing to scroll to.
        int right = 0;
        for (int column = 0; column < list->header()->count(); ++column) {
            if (!list->isColumnHidden(column))
                right = qMax(right, list->header()->sectionViewportPosition(column)
                                        + list->columnWidth(column));
        }
        QVERIFY2(right <= list->viewport()->width(),
                 qPrintable(QStringLiteral("%1 > %2").arg(right).arg(list->viewport()->width())));

        // The URL and the notes take the room a wider window gives.
        const int url = list->columnWidth(ResultList::Url);
        const int notes = list->columnWidth(ResultList::Notes);
        f.window->resize(size + QSize(300, 0));
        QTRY_VERIFY(list->columnWidth(ResultList::Url) > url);
        QVERIFY(list->columnWidth(ResultList::Notes) > notes);

        // Several Main Sites: the column tells their rows apart.
        f.type(QStringLiteral("txtDomain"), QStringLiteral("other.example"), true);
        QVERIFY(!list->isColumnHidden(ResultList::Main));
        QTRY_VERIFY(list->columnWidth(ResultList::Main) >= widest(list, ResultList::Main));
        f.window->project().state().bProjectSaved = true;
    }

    void websitesTakeAThirdUntilMovedAndTheSplitIsKept()
    {
        WindowFixture f;
        MainWindow& w = f.start(QSize(1280, 800));
        auto* split = f.find<QSplitter>(QStringLiteral("splitFrames"));
        QTRY_VERIFY(split->sizes().at(0) > 0);
        const QList<int> sizes = split->sizes();
        const double share = double(sizes.at(0)) / (sizes.at(0) + sizes.at(1));
        QVERIFY2(share > 0.28 && share < 0.36,
                 qPrintable(QStringLiteral("%1 : %2").arg(sizes.at(0)).arg(sizes.at(1))));
        // The statistics are a strip: the results have most of the height.
        auto* stats = f.find<QWidget>(QStringLiteral("Frame6"));
        QVERIFY2(stats->height() < w.height() / 4, qPrintable(QString::number(stats->height())));

        // The user's divider comes back at the next start, in proportion to the window.
        split->setSizes({600, 600});
        Q_EMIT split->splitterMoved(600, 1);
        const QList<int> moved = split->sizes();
        f.start(QSize(1280, 800));
        split = f.find<QSplitter>(QStringLiteral("splitFrames"));
        QTRY_COMPARE(split->sizes(), moved);
        QCOMPARE(WindowState::splitterSizes(*f.box.settings, QStringLiteral("splitFrames")), moved);
    }

    void theWindowAndItsDialogsFitASmallScreen()
    {
        const QSize screen(1000, 700);
        WindowFixture f;
        MainWindow& w = f.start(QSize(1024, 768));
        f.addSites(QStringLiteral("mine.example"), {QStringLiteral("partner.example")});
        QVERIFY2(screen.expandedTo(minimumOf(&w)) == screen,
                 qPrintable(QStringLiteral("main window %1x%2")
                                .arg(minimumOf(&w).width())
                                .arg(minimumOf(&w).height())));
        // At that size nothing scrolls: the window's parts fit as they are.
        auto* content = static_cast<QScrollArea*>(w.centralWidget())->widget();
        QVERIFY2(minimumOf(content).height() + w.menuBar()->sizeHint().height()
                         + w.statusBar()->sizeHint().height()
                     <= screen.height(),
                 qPrintable(QString::number(minimumOf(content).height())));
        QVERIFY(minimumOf(content).width() <= screen.width());
        // The options, the three editors, the two import windows, the post log and the about
        // window.
        f.click(QStringLiteral("Command9"));
        f.click(QStringLiteral("cmdEditMain"));
        w.findChild<WebsitesPanel*>()->clickLinkingSiteRow(1);
        f.click(QStringLiteral("cmdEdit"));
        QVERIFY(w.findChild<EditorWindows*>()->open(QStringLiteral("Form2b")));
        f.click(QStringLiteral("cmdImport"));
        f.click(QStringLiteral("cmdImport2"));
        f.click(QStringLiteral("cmdPost"));
        w.showAbout();
        QStringList checked;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window == &w || !window->isVisible() || window->objectName().isEmpty())
                continue;
            checked << window->objectName();
            test::saveScreenshot(window, QStringLiteral("layout-dialog-") + window->objectName());
            const QSize minimum = minimumOf(window);
            QVERIFY2(screen.expandedTo(minimum) == screen,
                     qPrintable(QStringLiteral("%1: %2x%3")
                                    .arg(window->objectName())
                                    .arg(minimum.width())
                                    .arg(minimum.height())));
        }
        checked.sort();
        QCOMPARE(checked, (QStringList{QStringLiteral("Form2"), QStringLiteral("Form2a"),
                                       QStringLiteral("Form2b"), QStringLiteral("Form4"),
                                       QStringLiteral("Form4a"), QStringLiteral("Form5"),
                                       QStringLiteral("frmAbout"), QStringLiteral("frmOptions")}));
        w.resize(screen);
        QTest::qWait(50);
        test::saveScreenshot(&w, QStringLiteral("layout-1000x700"));
    }

    void filtersNarrowTheRows_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<int>("verdict");
        QTest::addColumn<int>("change"); // -1: "Show changes only" off
        QTest::addColumn<bool>("noValue");
        QTest::addColumn<QStringList>("shown");
        const QStringList all = {QStringLiteral("partner-site-example.test"),
                                 QStringLiteral("another-partner-site.test"),
                                 QStringLiteral("blocked-partner-site.test"),
                                 QStringLiteral("silent-partner-site.test"),
                                 QStringLiteral("friendly-partner.test")};
        QTest::newRow("none") << QString() << 0 << -1 << false << all;
        QTest::newRow("search partner") << QStringLiteral("ANOTHER") << 0 << -1 << false
                                        << QStringList{all.at(1)};
        QTest::newRow("search URL") << QStringLiteral("/pages/") << 0 << -1 << false
                                    << QStringList{all.at(4)};
        QTest::newRow("links back") << QString() << 1 << -1 << false
                                    << QStringList{all.at(0), all.at(4)};
        QTest::newRow("missing") << QString() << 2 << -1 << false << QStringList{all.at(1)};
        QTest::newRow("blocked") << QString() << 3 << -1 << false << QStringList{all.at(2)};
        QTest::newRow("errors") << QString() << 4 << -1 << false << QStringList{all.at(3)};
        QTest::newRow("any change") << QString() << 0 << 0 << false
                                    << QStringList{all.at(0), all.at(1), all.at(4)};
        QTest::newRow("lost") << QString() << 0 << 1 << false << QStringList{all.at(1)};
        QTest::newRow("new") << QString() << 0 << 2 << false << QStringList{all.at(0)};
        QTest::newRow("passes no value") << QString() << 0 << -1 << true << QStringList{all.at(0)};
        QTest::newRow("links back and changed, searched") << QStringLiteral("friendly") << 1 << 0
                                                          << false << QStringList{all.at(4)};
    }

    void filtersNarrowTheRows()
    {
        QFETCH(QString, search);
        QFETCH(int, verdict);
        QFETCH(int, change);
        QFETCH(bool, noValue);
        QFETCH(QStringList, shown);
        WindowFixture f;
        MainWindow& w = startWithResults(f, QSize(1280, 800), {QStringLiteral("mine.example")});
        auto* list = f.find<QTreeView>(QStringLiteral("List3"));
        f.type(QStringLiteral("txtResultsFilter"), search);
        f.find<QComboBox>(QStringLiteral("cmbVerdict"))->setCurrentIndex(verdict);
        if (change >= 0) {
            f.find<QCheckBox>(QStringLiteral("chkChangesOnly"))->click();
            f.find<QComboBox>(QStringLiteral("cmbChange"))->setCurrentIndex(change);
        }
        if (noValue)
            f.find<QCheckBox>(QStringLiteral("chkNoValue"))->click();
        QCOMPARE(shownPartners(list), shown);

        // A header click still sorts the project's own list, and the filter holds for its new
        // order.
        QTest::mouseClick(list->header()->viewport(), Qt::LeftButton, {},
                          QPoint(list->header()->sectionViewportPosition(ResultList::Remote) + 5,
                                 list->header()->height() / 2));
        QStringList order;
        for (int row = 0; row < w.project().results().count(); ++row)
            order << w.project().results().cell(row, ResultList::Remote);
        QStringList sorted = order;
        sorted.sort();
        if (order != sorted)
            std::reverse(sorted.begin(), sorted.end());
        QCOMPARE(order, sorted);
        QStringList shownInOrder;
        for (const QString& partner : order) {
            if (shown.contains(partner))
                shownInOrder << partner;
        }
        QCOMPARE(shownPartners(list), shownInOrder);
        // A row that comes in is filtered as well.
        ResultEntry extra = ordinaryResults().at(2);
        extra.remote = QStringLiteral("late-blocked-site.test");
        extra.change = QString();
        w.project().results().appendEntry(extra);
        QCOMPARE(shownPartners(list).contains(extra.remote),
                 search.isEmpty() && (verdict == 0 || verdict == 3) && change < 0 && !noValue);
        w.project().state().bProjectSaved = true;
    }

    void theHeaderMenuShowsColumnsAndARowCopies()
    {
        WindowFixture f;
        startWithResults(f, QSize(1280, 800), {QStringLiteral("mine.example")});
        auto* list = f.find<QTreeView>(QStringLiteral("List3"));
        QTRY_VERIFY(list->columnWidth(ResultList::Notes) > 16);
        // The icon moves to the first column shown.
        QVERIFY(!list->model()->index(0, ResultList::Remote).data(Qt::DecorationRole).isNull());

        Q_EMIT list->header()->customContextMenuRequested(QPoint(10, 5));
        auto* menu = f.window->findChild<QMenu*>(QStringLiteral("mnuColumns"));
        QVERIFY(menu);
        QAction* main = menu->findChild<QAction*>(QStringLiteral("mnuColumn0"));
        QVERIFY(main && !main->isChecked());
        main->trigger();
        QVERIFY(!list->isColumnHidden(ResultList::Main));
        QVERIFY(list->model()->index(0, ResultList::Remote).data(Qt::DecorationRole).isNull());
        menu->findChild<QAction*>(QStringLiteral("mnuColumn5"))->trigger();
        QVERIFY(list->isColumnHidden(ResultList::Notes));
        menu->close();
        // The choice holds when Main Sites come and go.
        f.type(QStringLiteral("txtDomain"), QStringLiteral("other.example"), true);
        QVERIFY(!list->isColumnHidden(ResultList::Main));
        QVERIFY(list->isColumnHidden(ResultList::Notes));

        // Copy Row: the shown cells in their shown order.
        list->setFocus();
        auto* results = static_cast<RecordListView*>(list);
        results->selectRow(1);
        QApplication::clipboard()->clear();
        QTest::keySequence(list, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("mine.example\tanother-partner-site.test\tMissing 001\tlost\t000\t"
                                "www.another-partner-site.test/friends/links.html"));
        QVERIFY(f.window->findChild<QAction*>(QStringLiteral("mnuCopyRow")));
        f.window->project().state().bProjectSaved = true;
    }

    void aBlockedPartnerLooksBlocked()
    {
        WindowFixture f;
        startWithResults(f, QSize(1280, 800), {QStringLiteral("mine.example")});
        auto* list = f.find<QTreeView>(QStringLiteral("List3"));
        const auto cell = [list](int row, int column, int role) {
            return list->model()->index(row, column).data(role);
        };
        const QColor red = Presentation::colour(SiteColour::Red);
        // Missing and blocked rows, both red in the core: a red cross for the missing one only.
        QCOMPARE(cell(1, 0, Qt::DecorationRole).value<QIcon>().cacheKey(),
                 Presentation::resultIcon(1).cacheKey());
        QCOMPARE(cell(1, ResultList::Status, Qt::ForegroundRole).value<QColor>(), red);
        QCOMPARE(cell(2, 0, Qt::DecorationRole).value<QIcon>().cacheKey(),
                 Presentation::blockedIcon().cacheKey());
        QVERIFY(Presentation::blockedIcon().cacheKey() != Presentation::resultIcon(1).cacheKey());
        const QColor blocked = cell(2, ResultList::Status, Qt::ForegroundRole).value<QColor>();
        QVERIFY(blocked.isValid() && blocked != red);
        QCOMPARE(cell(2, ResultList::Remote, Qt::ForegroundRole).value<QColor>(), blocked);
        // A connection error stays a plain none found.
        QCOMPARE(cell(3, ResultList::Status, Qt::ForegroundRole).value<QColor>(), red);
        // Its status is readable whole.
        QTRY_VERIFY(list->columnWidth(ResultList::Status) > 16);
        QVERIFY(shownWhole(list, list->model()->index(2, ResultList::Status)));
        f.window->project().state().bProjectSaved = true;
    }

    // A real scan at the common screen sizes: the summary whole in the strip (the status bar may
    // cut it, its tool tip then has it whole), the blocked partner in its own look.
    void afterAScan_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1024x768") << QSize(1024, 768);
        QTest::newRow("1280x800") << QSize(1280, 800);
        QTest::newRow("1920x1080") << QSize(1920, 1080);
    }

    void afterAScan()
    {
        QFETCH(QSize, size);
        test::TestWebServer server;
        const auto page = [&server](const char* host, const QByteArray& body,
                                    const QByteArray& status = "200 OK",
                                    const QList<QByteArray>& headers = {}) {
            server.setPage(QString::fromLatin1(host), QStringLiteral("/"),
                           "<html><body>" + body + "</body></html>", status, headers);
        };
        page("partner-site-example.test",
             "<a href=\"http://www.mine.test/\">Mine</a> <a href=\"/about/our-links.html\">x</a>");
        server.setPage(QStringLiteral("partner-site-example.test"),
                       QStringLiteral("/about/our-links.html"),
                       "<a rel=\"nofollow\" href=\"http://www.mine.test/\">Our partners and "
                       "friend sites</a>");
        page("another-partner-site.test", "no link here");
        page("blocked-partner-site.test", "<title>Just a moment...</title>", "403 Forbidden",
             {"cf-mitigated: challenge"});
        page("broken-partner-site.test", "oops", "500 Internal Server Error");
        WindowFixture f;
        f.network.setRoute(server.route());
        MainWindow& w = f.start(size);
        f.addSites(QStringLiteral("www.mine.test"),
                   {QStringLiteral("partner-site-example.test"),
                    QStringLiteral("another-partner-site.test"),
                    QStringLiteral("blocked-partner-site.test"),
                    QStringLiteral("broken-partner-site.test")});
        f.click(QStringLiteral("Command1"));
        QTRY_VERIFY_WITH_TIMEOUT(!w.project().state().bScanRunning, 30000);

        auto* strip = f.find<QLabel>(QStringLiteral("lblSummary"));
        QTRY_VERIFY(strip->isVisible());
        QVERIFY2(strip->text().contains(QStringLiteral("1 blocked")), qPrintable(strip->text()));
        QCOMPARE(w.statusText(1), strip->text());
        QCOMPARE(f.find<QLabel>(QStringLiteral("Panel1"))->toolTip(), strip->text());
        QVERIFY(strip->height() >= strip->heightForWidth(strip->width()));

        auto* list = f.find<QTreeView>(QStringLiteral("List3"));
        int blockedRow = -1;
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            if (Presentation::isBlockedStatus(
                    list->model()->index(row, ResultList::Status).data().toString()))
                blockedRow = row;
        }
        QVERIFY(blockedRow >= 0);
        QCOMPARE(list->model()->index(blockedRow, 0).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                 Presentation::blockedIcon().cacheKey());
        // The Linking Site's row in its list has the blocked colour too.
        auto* sites = f.find<QTreeView>(QStringLiteral("List1"));
        QCOMPARE(sites->model()->index(2, 0).data(Qt::ForegroundRole).value<QColor>(),
                 Presentation::blockedColour());
        QCOMPARE(sites->model()->index(1, 0).data(Qt::ForegroundRole).value<QColor>(),
                 Presentation::colour(SiteColour::Red));
        QTest::qWait(50);
        test::saveScreenshot(&w, QStringLiteral("layout-after-scan-%1x%2")
                                     .arg(size.width())
                                     .arg(size.height()));
        w.project().state().bProjectSaved = true;
    }
};

CORVANE_TEST_CLASS(WindowLayoutTest);

#include "WindowLayoutTest.moc"
