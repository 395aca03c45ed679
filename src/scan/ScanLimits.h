#pragma once

#include <QString>

namespace corvane {

class SettingsStore;

// The limits a scan reads from the settings and the project: the controller and each SiteScan
// read them alike, so they live apart from both.
namespace ScanLimits {

// Most Linking Sites in progress at once.
inline constexpr int kMaxParallelSites = 32;

// The page-limit table behind "cmbAdvance"; -1 for an index outside it.
qint32 pageLimitFor(int index);
// The "#" field as a link count: a text that is not a whole number between -32768 and 32767
// counts as 1.
qint16 expectedLinks(const QString& field);
// "txtTimeout" as the idle timeout in seconds.
qint16 readTimeout(const SettingsStore& settings);
// "ParallelSites", within 1 to kMaxParallelSites.
int parallelSites(const SettingsStore& settings);

} // namespace ScanLimits

} // namespace corvane
