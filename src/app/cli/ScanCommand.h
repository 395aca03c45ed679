#pragma once

#include "app/cli/Cli.h"

namespace corvane {
class NetworkContext;
class SettingsStore;
}

namespace corvane::cli {

// The usage lines of the scan command, for the command line's help text.
extern const char* const kScanUsage;

// `corvane-cli scan PROJECT.prj [--tab FILE] [--report FILE] [--save]`: loads the project and
// scans every Linking Site of every Main Site as "Start Scan" does with "Scan all main sites",
// with progress on err, then prints the result rows and the error rows on out.
// arguments: what follows the word "scan". Exit status: 0 when every Linking Site scanned got a
// found outcome, 1 when any ended with "None Found" or "Missing ", 2 for a usage or file error.
// An interrupt stops the scan as Stop does; what was asked is still written.
int runScan(const QStringList& arguments, Environment& env);
// The same with the settings and the network of the caller.
int runScan(const QStringList& arguments, SettingsStore& settings, NetworkContext& network,
            Environment& env);

} // namespace corvane::cli
