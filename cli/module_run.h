#pragma once
// One run of kv9flash on one module: the image loaded, the module found,
// the command (update, version, restore) run, and the closing summary and
// "continue with:" line printed, all read from the run's report.
#include "cli/cli_options.h"
#include "cli/console.h"
#include "cli/report_json.h"

namespace kv9::cli {

// Every line goes through `console`. The facts say what happened, on which
// port, and with which exit status.
RunFacts RunOnModule(const CliOptions& options, Console& console);

}  // namespace kv9::cli
