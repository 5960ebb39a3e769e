#pragma once
// kv9flash and its broker (--mqtt): the publisher made from the options,
// and a single run's report handed to it.
#include <memory>
#include <string>

#include "cli/cli_options.h"
#include "cli/console.h"
#include "fleet/report_publisher.h"

namespace kv9::cli {

// --station-name, else the machine's name.
std::string StationName(const CliOptions& options);

// The publisher for --mqtt (a station announces itself); nothing, with
// `error`, when the broker cannot be used (bad password file, no spool
// folder, a build without MQTT): that is bad input, exit status 2.
std::unique_ptr<fleet::ReportPublisher> StartBroker(const CliOptions& options, bool announce, std::string& error);

// After a single run: its report to the broker, waiting a few seconds at
// most for the acknowledgement; what is not acknowledged stays in the spool
// for the next run, which the person is told. A report the spool could not
// keep makes a successful status 1.
int PublishRunReport(fleet::ReportPublisher& broker, const std::string& json, Console& console, int status);

}  // namespace kv9::cli
