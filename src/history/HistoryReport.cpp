#include "history/HistoryReport.h"

#include "web/HtmlEscape.h"
#include "web/UrlTools.h"

#include <algorithm>

namespace corvane::HistoryReport {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString dateText(const QDateTime& t, const QLocale& locale)
{
    return htmlEscape(locale.toString(t.date(), QLocale::ShortFormat));
}

struct Group {
    const char* title;
    QStringList items;
};

} // namespace

QString partnerKey(const QString& main, const QString& linkingSite)
{
    return main + u'\n' + UrlTools::BareHost(HistoryStore::partnerKey(linkingSite));
}

QHash<QString, PartnerRecord> records(const HistoryStore& history)
{
    QHash<QString, PartnerRecord> byPartner;
    for (const HistoryStore::Partner& p : history.partners())
        byPartner.insert(partnerKey(p.main, p.url), p.record);
    return byPartner;
}

QString linkText(const PartnerRecord& record, const QLocale& locale)
{
    return record.linkText([&locale](const QDateTime& t) { return dateText(t, locale); });
}

QString changesSection(const HistoryStore& history, const QLocale& locale)
{
    const std::optional<HistoryStore::Scan> last = history.lastScan();
    if (!last)
        return {};
    const QList<HistoryStore::PartnerRow> rows = history.rowsOfScan(last->id);
    if (!rows.isEmpty() && rows.first().change.firstScan) {
        // Nothing to compare with: every partner that links would otherwise be "new".
        const auto linking
            = std::count_if(rows.cbegin(), rows.cend(), [](const HistoryStore::PartnerRow& r) {
                  return r.check.outcome == PartnerCheck::Outcome::Found;
              });
        return QStringLiteral("<h2>First scan: ") + QString::number(linking)
               + (linking == 1 ? QStringLiteral(" partner links back")
                               : QStringLiteral(" partners link back"))
               + QStringLiteral("</h2>") + kCrLf + QStringLiteral("<hr>") + kCrLf;
    }
    QDateTime before;
    for (const HistoryStore::Scan& s : history.scans()) {
        if (s.id < last->id)
            before = s.started;
    }
    QHash<qint64, PartnerRecord> records;
    for (const HistoryStore::Partner& p : history.partners())
        records.insert(p.id, p.record);

    Group groups[] = {{"Lost", {}},
                      {"Unreachable for several scans", {}},
                      {"Changed", {}},
                      {"New", {}},
                      {"Restored", {}},
                      {"Not reached this time", {}}};
    for (const HistoryStore::PartnerRow& r : rows) {
        const PartnerRecord record = records.value(r.partner);
        QString item = QStringLiteral("<li>") + htmlEscape(r.url) + QStringLiteral(" (")
                       + htmlEscape(r.main) + u')';
        if (!r.change.detail.isEmpty())
            item += QStringLiteral(": ") + htmlEscape(r.change.detail);
        if (record.everFound)
            item += QStringLiteral("; ") + linkText(record, locale);
        item += QStringLiteral("</li>");
        switch (r.change.kind) {
        case PartnerChange::Kind::Lost:
            groups[0].items.append(item);
            break;
        case PartnerChange::Kind::Unreachable:
            groups[record.failuresInRow > 1 ? 1 : 5].items.append(item);
            break;
        case PartnerChange::Kind::Changed:
            groups[2].items.append(item);
            break;
        case PartnerChange::Kind::New:
            groups[3].items.append(item);
            break;
        case PartnerChange::Kind::Restored:
            groups[4].items.append(item);
            break;
        case PartnerChange::Kind::Unchanged:
            break;
        }
    }
    QString doc = QStringLiteral("<h2>Changes since ") + dateText(before, locale)
                  + QStringLiteral("</h2>") + kCrLf;
    bool any = false;
    for (const Group& g : groups) {
        if (g.items.isEmpty())
            continue;
        any = true;
        doc += QStringLiteral("<b>") + QLatin1String(g.title) + QStringLiteral(" (")
               + QString::number(g.items.size()) + QStringLiteral(")</b><ul>") + kCrLf
               + g.items.join(kCrLf) + kCrLf + QStringLiteral("</ul>") + kCrLf;
    }
    if (!any)
        doc += QStringLiteral("No partner changed.<BR>") + kCrLf;
    doc += QStringLiteral("<hr>") + kCrLf;
    return doc;
}

QString chart(const HistoryStore& history, const QString& main, const QLocale& locale)
{
    const QList<HistoryStore::ScanCount> counts = history.linkingPerScan(main);
    if (counts.size() < 2)
        return {};
    constexpr int kWidth = 480;
    constexpr int kHeight = 120;
    constexpr int kLeft = 30;
    constexpr int kBottom = 20;
    int top = 1;
    for (const HistoryStore::ScanCount& c : counts)
        top = std::max(top, c.checked);
    const double plotWidth = kWidth - kLeft - 10;
    const double plotHeight = kHeight - kBottom - 10;
    QString points;
    for (int i = 0; i < counts.size(); ++i) {
        const double x = kLeft + plotWidth * i / double(counts.size() - 1);
        const double y = 10 + plotHeight * (1.0 - double(counts.at(i).linking) / top);
        points += QString::number(x, 'f', 1) + u',' + QString::number(y, 'f', 1) + u' ';
    }
    const QString first = dateText(counts.first().started, locale);
    const QString last = dateText(counts.last().started, locale);
    // In the text's colour: black would vanish on a dark scheme's background.
    QString svg = QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                                 "fill=\"currentColor\" role=\"img\" aria-label=\"Partners linking "
                                 "back per scan: %3 at %4, %5 at %6\">")
                      .arg(kWidth)
                      .arg(kHeight)
                      .arg(counts.first().linking)
                      .arg(first)
                      .arg(counts.last().linking)
                      .arg(last);
    svg += QStringLiteral("<title>Partners linking back per scan</title>");
    svg += QStringLiteral("<line x1=\"%1\" y1=\"10\" x2=\"%1\" y2=\"%2\" stroke=\"currentColor\"/>"
                          "<line x1=\"%1\" y1=\"%2\" x2=\"%3\" y2=\"%2\" stroke=\"currentColor\"/>")
               .arg(kLeft)
               .arg(10 + plotHeight)
               .arg(kWidth - 10);
    svg += QStringLiteral("<text x=\"%1\" y=\"14\" font-size=\"10\" text-anchor=\"end\">%2</text>"
                          "<text x=\"%1\" y=\"%3\" font-size=\"10\" text-anchor=\"end\">0</text>")
               .arg(kLeft - 4)
               .arg(top)
               .arg(10 + plotHeight);
    svg += QStringLiteral("<text x=\"%1\" y=\"%2\" font-size=\"10\">%3</text>"
                          "<text x=\"%4\" y=\"%2\" font-size=\"10\" text-anchor=\"end\">%5</text>")
               .arg(kLeft)
               .arg(kHeight - 4)
               .arg(first)
               .arg(kWidth - 10)
               .arg(last);
    svg += QStringLiteral(
               "<polyline fill=\"none\" stroke=\"currentColor\" stroke-width=\"1.5\" points=\"")
           + points.trimmed() + QStringLiteral("\"/></svg>");
    return QStringLiteral("Partners linking back per scan:<BR>") + kCrLf + svg
           + QStringLiteral("<BR>") + kCrLf;
}

} // namespace corvane::HistoryReport
