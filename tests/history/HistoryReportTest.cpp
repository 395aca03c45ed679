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
    // since when it links; each Main Site has its chart, a picture without script.
    void reportTellsTheChanges()
    {
        const QString main = QStringLiteral("mine.test");
        HistoryStore store;
        QVERIFY(store.openInMemory());
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
        for (int week = 0; week < 2; ++week) {
            const QDateTime when = first.addDays(7 * week);
            const qint64 scan = store.beginScan(when, QStringLiteral("test"));
            for (const auto& [url, before, after, notes] : partners)
                QVERIFY(store.recordCheck(scan, main, url, {},
                                          check(week == 0 ? before : after, week == 0 ? QString() : notes, when), 3));
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
            row.status = after == F ? QStringLiteral("Direct Link") : QStringLiteral("None Found");
            project.results().appendEntry(row);
        }
        const QLocale locale(QLocale::English, QLocale::UnitedStates);
        const QString doc = ReportWriter::buildDocument(project, 8, first.addDays(7), locale, &store);

        const qsizetype changes = doc.indexOf(QStringLiteral("<h2>Changes since 11/30/26</h2>"));
        QVERIFY2(changes > 0, qPrintable(doc));
        QVERIFY(changes < doc.indexOf(QStringLiteral("<b>Overview</b>")));
        const qsizetype lost = doc.indexOf(QStringLiteral("<b>Lost (1)</b><ul>\r\n<li>lost.test (mine.test); linked since 11/30/26, last confirmed 11/30/26</li>"));
        const qsizetype changed = doc.indexOf(QStringLiteral("<b>Changed (1)</b><ul>\r\n<li>nofollow.test (mine.test): now nofollow; linked since 11/30/26</li>"));
        const qsizetype added = doc.indexOf(QStringLiteral("<b>New (1)</b><ul>\r\n<li>new.test (mine.test); linked since 12/7/26</li>"));
        QVERIFY2(lost > changes && changed > lost && added > changed, qPrintable(doc));
        QVERIFY(!doc.mid(changes, doc.indexOf(QStringLiteral("<table")) - changes).contains(QStringLiteral("same.test")));
        QVERIFY2(doc.contains(QStringLiteral("Linked since: 11/30/26<BR>")), qPrintable(doc));
        const qsizetype svg = doc.indexOf(QStringLiteral("<svg "));
        QVERIFY(svg > doc.indexOf(QStringLiteral("<h3>mine.test</h3>")));
        QVERIFY(doc.contains(QStringLiteral("aria-label=\"Partners linking back per scan: 3 at 11/30/26, 3 at 12/7/26\"")));
        QVERIFY(!doc.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    }
};

CORVANE_TEST_CLASS(HistoryReportTest);
#include "HistoryReportTest.moc"
