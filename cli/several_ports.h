#pragma once
// Several modules at once: one kv9flash process per port, all at the same
// time. Every line a child prints goes on with "COMn: " before it (stdout to
// stdout, stderr to stderr), and a table closes the run. SIGINT and SIGTERM
// are passed on to every child, which then stops as a single run would (on
// Windows the console's events reach every child by themselves).
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/run_report.h"
#include "station/child_processes.h"

namespace kv9::cli {

// The environment variable naming the descriptor (on Windows the inherited
// pipe handle) a child writes its report row on (see RowReportLine).
using station::kReportFdVariable;

// `args` is the command line without the program name. Returns the exit
// status: 0 when every port succeeded, 1 when any failed, 130/143 when
// stopped by a signal.
int RunSeveralPorts(const CliOptions& options, const std::vector<std::string>& args);

// In a child of RunSeveralPorts: hands this run's row to the parent for its
// table. Does nothing in a run of its own.
void ReportRowToParent(const PortRow& row);

}  // namespace kv9::cli
