#pragma once

#include "app/cli/Cli.h"

namespace corvane::cli {

// Each command takes what its words and options were parsed into, and the environment with its
// settings, network and streams filled in. The common options are handled before: --set is
// checked and applied to the settings of the run.

// `scan PROJECT.prj [--tab FILE] [--report FILE] [--json FILE] [--save] [--notify] [--quiet]`
int runScan(const ParsedArguments& args, Environment& env);
// `report PROJECT.prj --report FILE | --json FILE`
int runReport(const ParsedArguments& args, Environment& env);
// `export PROJECT.prj --tab FILE | --json FILE`
int runExport(const ParsedArguments& args, Environment& env);
// `post PROJECT.prj [--script URL] [--dry-run] [--save]`
int runPost(const ParsedArguments& args, Environment& env);
// `import PROJECT.prj --linking-sites FILE --main K | --main-sites FILE |
//  --from-link-page URL --main K`
int runImport(const ParsedArguments& args, Environment& env);

// `changes PROJECT.prj [--since DATE] [--json]`
int runChanges(const ParsedArguments& args, Environment& env);
// `history PROJECT.prj [--partner URL] [--json]`
int runHistory(const ParsedArguments& args, Environment& env);

// `schedule PROJECT.prj --every day|week|month [--at HH:MM] | --off`, `schedule --list`
int runSchedule(const ParsedArguments& args, Environment& env);

// The help of each command, after its synopsis.
extern const char* const kScanHelp;
extern const char* const kReportHelp;
extern const char* const kExportHelp;
extern const char* const kPostHelp;
extern const char* const kImportHelp;
extern const char* const kChangesHelp;
extern const char* const kHistoryHelp;
extern const char* const kScheduleHelp;

} // namespace corvane::cli
