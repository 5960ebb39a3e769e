#pragma once
// What kv9flash says when a run ends: the closing summary, the command that
// continues from the module's state, and the table of a several-port run.
// Pure: tests call them directly.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "link/update_report.h"

namespace kv9::cli {

struct RunSummary {
  bool ok = false;
  std::string port;             // "COM3"
  std::string module;           // model name as the module reported it (escaped), "" unknown
  std::string romBefore;        // "" unknown
  std::string romAfter;         // "" when not read
  std::uint32_t bytes = 0;      // bytes programmed
  bool programmed = false;      // the write stage completed
  double seconds = 0;           // the whole update
  std::int32_t moduleCrc = -1;  // what the loader reported, -1 none
  std::uint16_t imageCrc = 0;
  int stopSignal = 0;  // the signal that stopped the run, 0 none
  bool skipped = false;        // the module already ran the image's version
  std::string firmwareBackup;  // the copy of the old firmware, "" none
};

// The lines of the closing summary, each ending in '\n'.
std::string SummaryText(const RunSummary& summary);

// The command that continues from where a failed run left the module:
// "kv9flash --port COM3 --rewrite --speed 19200 ... update" for a module in
// its boot program, "kv9flash --port COM3 restore [--from FILE]" once the
// firmware is in, the same command for an untouched module; "" for
// NextStep::None. `backup` is the EEPROM backup file RestoreFromBackup
// ("restore --from FILE") and RollBack ("restore --roll-back FILE") name;
// `otherModule` adds --other-module (the person allowed that file).
std::string ContinueCommand(const CliOptions& options, const std::string& port, std::int32_t moduleRate,
                            NextStep next, const std::string& backup = {}, bool otherModule = false);

// One row of a several-port run, read from the child's report line
// "port\tmodule\tbefore\tafter\tOK|NG" (fields may be empty).
struct PortRow {
  std::string port, module, romBefore, romAfter, outcome = "NG";
  double seconds = 0;
  int exitStatus = 1;  // the child's exit status
  std::string json;    // the child's report object, "" when it sent none
};
std::string RowReportLine(const PortRow& row);
PortRow ParseRowReport(const std::string& line);
// The arguments every child of a several-port run gets: the command line
// without its --port options (each child gets its own) and without --report
// (the parent writes the one file for all ports).
std::vector<std::string> CommonChildArguments(const std::vector<std::string>& args);
// The closing table: a header and one row per port, each starting with the
// port name and blanks.
std::string PortTable(const std::vector<PortRow>& rows);

// The row of a child that has ended: what it reported (the first line of
// `report`, and its report object on the second) for `port`, NG unless it
// exited with 0, and how long it ran.
PortRow FinishedChildRow(const std::string& report, const std::string& port, int exitStatus, double seconds);
// Closes a several-port run: the table on stderr (unless quiet), the report
// file (one object per port, a line each) when `reportFile` is set, and the
// exit status: 128 + the stopping signal, else 2 when any port had bad
// input, else 0 when every row is OK, else 1. A report file that cannot be
// written is an error on stderr and exit 1 at least.
int FinishSeveralPorts(const std::vector<PortRow>& rows, bool quiet, int stopSignal,
                       const std::string& reportFile = {});

}  // namespace kv9::cli
