#include "history/HistoryStore.h"
#include "model/Project.h"
#include "output/ReportWriter.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;

class HistoryReportTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // The report opens with what changed at the last scan, lost first; each partner's block says
    // since when it links, or when a lost link was last found; each Main Site has its chart, a
    // picture without script in the text's colour.
    void reportTellsTheChanges()
    {
        const QString doc = report(2);

        const qsizetype changes = doc.indexOf(QStringLiteral("<h2>Changes since 11/30/26</h2>"));
        QVERIFY2(changes > 0, qPrintable(doc));
        QVERIFY(changes < doc.indexOf(QStringLiteral("<b>Overview</b>")));
        const qsizetype lost = doc.indexOf(QStringLiteral("<b>Lost (1)</b><ul>\r\n<li>lost.test (mine.test); Last found 11/30/26</li>"));
        const qsizetype changed = doc.indexOf(QStringLiteral("<b>Changed (1)</b><ul>\r\n<li>nofollow.test (mine.test): now nofollow; Linked since 11/30/26</li>"));
        const qsizetype added = doc.indexOf(QStringLiteral("<b>New (1)</b><ul>\r\n<li>new.test (mine.test); Linked since 12/7/26</li>"));
        QVERIFY2(lost > changes && changed > lost && added > changed, qPrintable(doc));
        QVERIFY(!doc.mid(changes, doc.indexOf(QStringLiteral("<table")) - changes).contains(QStringLiteral("same.test")));
        QVERIFY2(block(doc, "same.test").contains(QStringLiteral("Linked since 11/30/26<BR>")), qPrintable(doc));
        QVERIFY2(block(doc, "lost.test").contains(QStringLiteral("Last found 11/30/26<BR>")), qPrintable(doc));
        QVERIFY(!doc.contains(QStringLiteral("inked since: ")));
        QVERIFY(!block(doc, "lost.test").contains(QStringLiteral("Linked since")));
        const qsizetype svg = doc.indexOf(QStringLiteral("<svg "));
        QVERIFY(svg > doc.indexOf(QStringLiteral("<h3>mine.test</h3>")));
        QVERIFY(doc.contains(QStringLiteral("aria-label=\"Partners linking back per scan: 3 at 11/30/26, 3 at 12/7/26\"")));
        QVERIFY(!doc.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
        // Black would vanish on the dark scheme's background: the chart takes the text's colour.
        const QString chart = doc.mid(svg, doc.indexOf(QStringLiteral("</svg>")) - svg);
        QVERIFY2(!chart.contains(QStringLiteral("black")), qPrintable(chart));
        QVERIFY(chart.contains(QStringLiteral("stroke=\"currentColor\"")));
        QVERIFY(chart.startsWith(QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"480\" "
                                                "height=\"120\" fill=\"currentColor\"")));
    }

    // The first scan has nothing to compare with: the report says what it found, calls no
    // partner new, and a partner it did not find was never linked.
    void firstScanIsNoListOfNews()
    {
        const QString doc = report(1);
        QVERIFY2(doc.contains(QStringLiteral("<h2>First scan: 3 partners link back</h2>")), qPrintable(doc));
        QVERIFY(!doc.contains(QStringLiteral("Changes since")));
        QVERIFY(!doc.contains(QStringLiteral("<b>New")));
        QVERIFY(!doc.contains(QStringLiteral("No partner changed")));
        QVERIFY2(block(doc, "new.test").contains(QStringLiteral("never linked<BR>")), qPrintable(doc));
        QVERIFY(block(doc, "lost.test").contains(QStringLiteral("Linked since 11/30/26<BR>")));
    }

private:
    // Four partners of mine.test over weekly scans from 30 Nov 2026: new.test links from the
    // second scan on, lost.test only at the first, same.test at both, nofollow.test turns
    // nofollow. The report after the given number of scans.
    static QString report(int scans)
    {
        const QString main = QStringLiteral("mine.test");
        HistoryStore store;
        if (!store.openInMemory())
            return {};
        const QDateTime first(QDate(2026, 11, 30), QTime(3, 0));
        auto check = [](PartnerCheck::Outcome outcome, const QString& notes, const QDateTime& when) {
            PartnerCheck c;
            c.outcome = outcome;
            c.status = outcome == PartnerCheck::Outcome::Found ? QStringLiteral("Direct Link")
                                                               : QStringLiteral("None Found");
            c.foundOn = outcome == PartnerCheck::Outcome::Found ? QStringLiteral("x/links.htm") : QString();
            c.links = outcome == PartnerCheck::Outcome::Found ? 1 : 0;
            c.notes = notes;
            c.checked = when;
            return c;
        };
        const auto F = PartnerCheck::Outcome::Found;
        const auto N = PartnerCheck::Outcome::NotFound;
        const QList<std::tuple<QString, PartnerCheck::Outcome, PartnerCheck::Outcome, QString>> partners = {
            {"new.test", N, F, {}}, {"lost.test", F, N, {}}, {"same.test", F, F, {}},
            {"nofollow.test", F, F, "nofollow"}};
        for (int week = 0; week < scans; ++week) {
            const QDateTime when = first.addDays(7 * week);
            const qint64 scan = store.beginScan(when, QStringLiteral("test"));
            for (const auto& [url, before, after, notes] : partners)
                store.recordCheck(scan, main, url, {},
                                  check(week == 0 ? before : after, week == 0 ? QString() : notes, when), 3);
            store.endScan(scan, when, true);
        }

        Project project;
        project.mainSites().appendUrl(main);
        LinkingSiteList& sites = *project.linkingSites(project.addList());
        for (const auto& [url, before, after, notes] : partners) {
            sites.appendSite({url, QStringLiteral("1"), {}, {}, {}});
            ResultEntry row;
            row.main = main;
            row.remote = url;
            row.status = (scans == 1 ? before : after) == F ? QStringLiteral("Direct Link")
                                                             : QStringLiteral("None Found");
            project.results().appendEntry(row);
        }
        const QLocale locale(QLocale::English, QLocale::UnitedStates);
        return ReportWriter::buildDocument(project, 8, first.addDays(7 * (scans - 1)), locale, &store);
    }

    // The block of one Linking Site in the Main Site's section.
    static QString block(const QString& doc, const char* site)
    {
        const qsizetype start = doc.indexOf(QStringLiteral("Site: <a href='http://") + QLatin1String(site));
        return start < 0 ? QString() : doc.mid(start, doc.indexOf(QStringLiteral("</div>"), start) - start);
    }
};

CORVANE_TEST_CLASS(HistoryReportTest);
#include "HistoryReportTest.moc"
