#pragma once

#include "history/HistoryStore.h"

#include <QHash>
#include <QLocale>
#include <QString>

namespace corvane {

class Project;

// The history's part of the HTML report: "Changes since DATE" (the last scan's partners that
// were lost, unreachable for several scans, changed, new and restored, in that order) and, per
// Main Site, a small chart of the partners linking back at each scan (inline SVG: no script,
// black on white, so it prints).
namespace HistoryReport {

// Empty when the history holds no scan.
QString changesSection(const HistoryStore& history, const QLocale& locale);
QString chart(const HistoryStore& history, const QString& main, const QLocale& locale);
// Each partner's first scan that found its link, by Main Site (as the results name it) and
// Linking Site host: "main\nhost".
QHash<QString, QDateTime> linkedSince(const HistoryStore& history);
QString partnerKey(const QString& main, const QString& linkingSite);

} // namespace HistoryReport

} // namespace corvane
