#include "history/PartnerChange.h"
#include "support/TestRegistry.h"

#include <QTest>

using namespace corvane;

namespace {

// One scan's rows of partner p.test, from a short word:
//   F            a Direct Link on p.test/links.html
//   F@other      ... found on p.test/other.html instead
//   F+nofollow   ... whose notes are "nofollow" ("," for "; ", "_" for a blank)
//   F#2          ... two links on the page
//   F-1          ... and one more expected ("Missing 001")
//   N            None Found            N404 / N410   the page answered 404 / 410
//   W            None Found (Source Protected), a page warning
//   T            None Found (Timeout)  B  blocked by bot protection  S  Skipped
//   L            None Found (Page limit reached)     E  None Found (503 Service Unavailable)
QList<ResultEntry> rowsOf(const QString& word)
{
    auto row = [](const QString& status, const QString& url, const QString& notes = {}) {
        ResultEntry e;
        e.main = QStringLiteral("main.test");
        e.remote = QStringLiteral("p.test");
        e.status = status;
        e.url = url;
        e.notes = notes;
        return e;
    };
    const QHash<QString, QString> reasons = {
        {"N", "None Found"},
        {"N404", "None Found (404 Not found)"},
        {"N410", "None Found (410 Gone)"},
        {"W", "None Found (Source Protected)"},
        {"T", "None Found (Timeout)"},
        {"B", "None Found (Blocked by bot protection)"},
        {"S", "None Found (Skipped)"},
        {"L", "None Found (Page limit reached)"},
        {"E", "None Found (503 Service Unavailable)"},
    };
    if (reasons.contains(word))
        return {row(reasons.value(word), QStringLiteral("p.test"))};
    Q_ASSERT(word.startsWith(u'F'));
    QString page = QStringLiteral("p.test/links.html");
    QString notes;
    int links = 1;
    int missing = 0;
    const qsizetype at = word.indexOf(u'@');
    const qsizetype plus = word.indexOf(u'+');
    const qsizetype hash = word.indexOf(u'#');
    const qsizetype minus = word.indexOf(u'-');
    if (at > 0)
        page = QStringLiteral("p.test/") + word.mid(at + 1) + QStringLiteral(".html");
    if (plus > 0)
        notes = word.mid(plus + 1).replace(u',', QStringLiteral("; ")).replace(u'_', u' ');
    if (hash > 0)
        links = word.mid(hash + 1, 1).toInt();
    if (minus > 0)
        missing = word.mid(minus + 1, 1).toInt();
    QList<ResultEntry> rows;
    for (int i = 0; i < links; ++i)
        rows.append(row(QStringLiteral("Direct Link"), page, notes));
    if (missing > 0)
        rows.append(row(QStringLiteral("Missing 00") + QString::number(missing), page));
    return rows;
}

} // namespace

class ChangeRulesTest final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Every pair of previous and current outcome, and the runs of inconclusive scans: each row is
    // a partner's scans in order and the change each one made.
    void changeOfEachScan_data()
    {
        QTest::addColumn<QString>("scans");
        QTest::addColumn<int>("lostAfter");
        QTest::addColumn<QString>("changes");
        QTest::newRow("found the first time") << "F" << 3 << "new";
        QTest::newRow("never found") << "N N" << 3 << "unchanged | unchanged";
        QTest::newRow("unreachable at first") << "T" << 3 << "unreachable: Timeout";
        QTest::newRow("found again") << "F F" << 3 << "new | unchanged";
        QTest::newRow("found, then none found") << "F N" << 3 << "new | lost";
        QTest::newRow("found, then the page is 404") << "F N404" << 3 << "new | lost";
        QTest::newRow("found, then the page is gone") << "F N410" << 3 << "new | lost";
        QTest::newRow("found, then a page warning") << "F W" << 3 << "new | lost";
        QTest::newRow("lost stays lost") << "F N N" << 3 << "new | lost | unchanged";
        QTest::newRow("lost, then found") << "F N F" << 3 << "new | lost | restored";
        QTest::newRow("first found after none") << "N F" << 3 << "unchanged | new";
        QTest::newRow("found, then timeout") << "F T" << 3 << "new | unreachable: Timeout";
        QTest::newRow("inconclusive kinds are never lost")
            << "F B S L E" << 9
            << "new | unreachable: Blocked by bot protection | unreachable: Skipped; 2 scans in a "
               "row | unreachable: Page limit reached; 3 scans in a row | unreachable: 503 Service "
               "Unavailable; 4 scans in a row";
        QTest::newRow("three unreachable in a row is lost")
            << "F T T T T F" << 3
            << "new | unreachable: Timeout | unreachable: Timeout; 2 scans in a row | lost: "
               "unreachable for 3 scans | unreachable: Timeout; 4 scans in a row | restored";
        QTest::newRow("a run broken by a found scan starts again")
            << "F T T F T T" << 3
            << "new | unreachable: Timeout | unreachable: Timeout; 2 scans in a row | unchanged | "
               "unreachable: Timeout | unreachable: Timeout; 2 scans in a row";
        QTest::newRow("a conclusive none found after a short run")
            << "F T T N" << 3
            << "new | unreachable: Timeout | unreachable: Timeout; 2 scans in a row | lost";
        QTest::newRow("one failure is enough when set so")
            << "F E" << 1 << "new | lost: unreachable for 1 scan";
        QTest::newRow("a partner never found is never lost")
            << "T T T T" << 3
            << "unreachable: Timeout | unreachable: Timeout; 2 scans in a row | unreachable: "
               "Timeout; 3 scans in a row | unreachable: Timeout; 4 scans in a row";
        QTest::newRow("moved to another page")
            << "F F@friends" << 3 << "new | changed: moved to p.test/friends.html";
        QTest::newRow("turned nofollow") << "F F+nofollow" << 3 << "new | changed: now nofollow";
        QTest::newRow("nofollow dropped")
            << "F+nofollow,sponsored F+sponsored" << 3 << "new | changed: no longer nofollow";
        QTest::newRow("link text changed")
            << "F+text_\"Widgets\" F+text_\"Gadgets\"" << 3
            << "new | changed: link text \"Gadgets\"";
        QTest::newRow("fewer links") << "F#2 F" << 3 << "new | changed: now 1 link, was 2";
        QTest::newRow("one now missing") << "F#2 F-1" << 3 << "new | changed: now 1 missing, was 0";
        QTest::newRow("compared with the last found scan across a failure")
            << "F T F+nofollow" << 3
            << "new | unreachable: Timeout | changed: now nofollow";
    }
    void changeOfEachScan()
    {
        QFETCH(QString, scans);
        QFETCH(int, lostAfter);
        QFETCH(QString, changes);
        PartnerRecord record;
        QStringList said;
        QDateTime when(QDate(2026, 1, 5), QTime(3, 0));
        for (const QString& word : scans.split(u' ')) {
            const std::optional<PartnerCheck> check = PartnerCheck::fromRows(rowsOf(word), when);
            QVERIFY(check);
            said.append(record.step(*check, lostAfter).text());
            // The record goes through its stored form between scans, as the database keeps it.
            record = PartnerRecord::fromJson(record.toJson());
            when = when.addDays(7);
        }
        QCOMPARE(said.join(QStringLiteral(" | ")), changes);
    }

    // Linked since is the first scan that found the link; last confirmed the latest that did;
    // last checked the latest scan of any outcome.
    void datesFollowTheScans()
    {
        PartnerRecord record;
        const QDateTime first(QDate(2026, 1, 5), QTime(3, 0));
        const QStringList words = {"N", "F", "F", "T"};
        for (int i = 0; i < words.size(); ++i)
            record.step(*PartnerCheck::fromRows(rowsOf(words.at(i)), first.addDays(7 * i)), 3);
        record = PartnerRecord::fromJson(record.toJson());
        QCOMPARE(record.linkedSince, first.addDays(7));
        QCOMPARE(record.lastConfirmed, first.addDays(14));
        QCOMPARE(record.lastChecked, first.addDays(21));
    }

    // A link last seen on a page that now answers with a server error is not lost because the
    // crawl ended "None Found" for another reason (a broken link elsewhere answering 404): the
    // pages that were read hold no link, but the one that was not read may.
    void anUnreadPageMakesNotFoundInconclusive_data()
    {
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("error");
        QTest::addColumn<QString>("change");
        const QString unread = QStringLiteral("unreachable: page not read: %1 p.test/links.html");
        QTest::newRow("500, then a 404 elsewhere")
            << "None Found (404 Not found)" << "500 Internal Error"
            << unread.arg(QStringLiteral("500 Internal Error"));
        QTest::newRow("503 after its retries") << "None Found" << "503 Service Unavailable"
                                               << unread.arg(QStringLiteral("503 Service Unavailable"));
        QTest::newRow("429") << "None Found" << "429 Too Many Requests"
                             << unread.arg(QStringLiteral("429 Too Many Requests"));
        QTest::newRow("403 of a firewall") << "None Found" << "403 Forbidden"
                                           << unread.arg(QStringLiteral("403 Forbidden"));
        QTest::newRow("a private address") << "None Found" << "Refused: private address"
                                           << unread.arg(QStringLiteral("Refused: private address"));
        // A page that could not be reached, or whose answer broke off or could not be read,
        // was passed over by the crawl.
        for (const char* error :
             {"Connection refused", "Host not found", "Network unreachable",
              "Certificate error: The host name did not match", "TLS error: handshake failed",
              "Connection closed before the page was complete",
              "Connection closed without an answer", "Answer is not HTTP",
              "Malformed chunk in the page", "Answer head too long", "Too many interim answers",
              "Content-Encoding not understood: zstd", "Content-Encoding did not decode: gzip"})
            QTest::newRow(error) << "None Found" << error << unread.arg(QLatin1String(error));
        QTest::newRow("404: the page is gone") << "None Found (404 Not found)" << "404 Not found"
                                               << "lost";
        QTest::newRow("410") << "None Found" << "410 Gone" << "lost";
        QTest::newRow("a copy not written") << "None Found" << "Page copy not written" << "lost";
    }

    void anUnreadPageMakesNotFoundInconclusive()
    {
        QFETCH(QString, status);
        QFETCH(QString, error);
        QFETCH(QString, change);
        PartnerRecord record;
        const QDateTime when(QDate(2026, 1, 5), QTime(3, 0));
        record.step(*PartnerCheck::fromRows(rowsOf(QStringLiteral("F")), when), 3);
        QList<ResultEntry> rows = rowsOf(QStringLiteral("N"));
        rows.first().status = status;
        const std::optional<PartnerCheck> check = PartnerCheck::fromRows(
            rows, when.addDays(7), {{error, QStringLiteral("p.test/links.html")}});
        QCOMPARE(record.step(*check, 3).text(), change);
        // A link found on the pages that were read is found all the same.
        QCOMPARE(PartnerCheck::fromRows(rowsOf(QStringLiteral("F")), when,
                                        {{error, QStringLiteral("p.test/other.html")}})
                     ->outcome,
                 PartnerCheck::Outcome::Found);
    }

    void noRowsIsNoCheck()
    {
        QVERIFY(!PartnerCheck::fromRows({}, QDateTime::currentDateTime()));
    }

    void changeTextsReadBack()
    {
        for (const QString& text : {QStringLiteral("lost: unreachable for 3 scans"),
                                    QStringLiteral("new"), QStringLiteral("changed: now nofollow")})
            QCOMPARE(PartnerChange::name(*PartnerChange::kindOfText(text)),
                     text.section(u':', 0, 0));
        QVERIFY(!PartnerChange::kindOfText(QStringLiteral("Direct Link")));
    }
};

CORVANE_TEST_CLASS(ChangeRulesTest);
#include "ChangeRulesTest.moc"
