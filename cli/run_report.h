#pragma once
// What kv9flash says when a run ends: the closing summary, the command that
// continues from the module's state, and the table of a several-port run.
// Pure: tests call them directly.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"

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
};

// The lines of the closing summary, each ending in '\n'.
std::string SummaryText(const RunSummary& summary);

// Where the module stands after the run, which decides how to go on.
enum class ModuleState {
  Untouched,    // still in its normal firmware: run the same update again
  InBootMode,   // asked into boot mode (or found there): re-write mode continues
  NewFirmware,  // written and checked: an update finds it again
};
// "kv9flash --port COM3 --rewrite --speed 19200 ... update".
std::string ContinueCommand(const CliOptions& options, const std::string& port,
                            std::int32_t moduleRate, ModuleState state);

// One row of a several-port run, read from the child's report line
// "port\tmodule\tbefore\tafter\tOK|NG" (fields may be empty).
struct PortRow {
  std::string port, module, romBefore, romAfter, outcome = "NG";
  double seconds = 0;
};
std::string RowReportLine(const PortRow& row);
PortRow ParseRowReport(const std::string& line);
// The closing table: a header and one row per port, each starting with the
// port name and blanks.
std::string PortTable(const std::vector<PortRow>& rows);

// The row of a child that has ended: what it reported (the first line of
// `report`) for `port`, NG unless it exited with 0, and how long it ran.
PortRow FinishedChildRow(const std::string& report, const std::string& port, bool exitedOk, double seconds);
// Closes a several-port run: the table on stderr (unless quiet) and the exit
// status: 128 + the stopping signal, else 0 when every row is OK, else 1.
int FinishSeveralPorts(const std::vector<PortRow>& rows, bool quiet, int stopSignal);

}  // namespace kv9::cli
