#pragma once
// A run with its record in the log folder (--log-dir): every line with its
// time, the settings, the outcome, and the report object beside it; and the
// report file (--report) of a run.
#include <string>

#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/report_json.h"

namespace kv9::cli {

// RunOnModule with its record in options.logDir; returns the exit status.
int RunWithRecord(const CliOptions& options, Console& console, RunFacts& facts);

// Writes the run's report object to `path` whole (or not at all); a file
// that cannot be written makes a successful status 1.
int WriteReport(const std::string& path, const RunFacts& facts, Console& console, int status);

// `status`, or `failure` when status was a success: a file that a
// production line reads must be whole or missing, never silently lost.
int Worse(int status, int failure);

}  // namespace kv9::cli
