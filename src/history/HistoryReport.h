#pragma once

#include "history/HistoryStore.h"

#include <QHash>
#include <QLocale>
#include <QString>

namespace corvane {

class Project;

// The history's part of the HTML report: "Changes since DATE" (the last scan's partners that
// were lost, unreachable for several scans, changed, new and restored, in that order), or
// "First scan: N partners link back" when there is no scan to compare with, and, per
// Main Site, a small chart of the partners linking back at each scan (inline SVG: no script,
// drawn in the text's colour, so it reads in light and dark schemes and prints).
namespace HistoryReport {

// Empty when the history holds no scan.
QString changesSection(const HistoryStore& history, const QLocale& locale);
QString chart(const HistoryStore& history, const QString& main, const QLocale& locale);
// Each partner's record, by Main Site (as the results name it) and Linking Site host:
// "main\nhost".
QHash<QString, PartnerRecord> records(const HistoryStore& history);
// The record's link in the report's words and dates: "Linked since DATE", "Last found DATE",
// "never linked".
QString linkText(const PartnerRecord& record, const QLocale& locale);
QString partnerKey(const QString& main, const QString& linkingSite);

} // namespace HistoryReport

} // namespace corvane
