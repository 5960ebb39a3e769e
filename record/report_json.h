#pragma once
// A run's outcome as one JSON object on one line, for a production line's
// own records: `kv9flash --report FILE`, beside each `--log-dir` record, and
// beside each record of a window's run. The one writer of that object; a
// field is added here alone. Pure: tests call it directly.
#include <string>

#include "link/update_report.h"

namespace kv9::record {

struct RunFacts {
  std::string port;    // the port the run used (the one found with --auto)
  std::string module;  // the model name as reported (escaped), "" unknown
  UpdateReport report;
  int exitStatus = 1;
  std::string continueWith;  // "" when nothing continues
  // The run's identity (schema 2: run id, tool, host, station, start, end,
  // image) as ready JSON members, fleet::IdentityMembers; "" for an object
  // without them (a slot's process that died without a report).
  std::string identityMembers;
};

// {"port":"COM3","outcome":"ok","exit":0,"stage":"done",...}, no end of line.
std::string ReportJson(const RunFacts& facts);

// Text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace kv9::record
