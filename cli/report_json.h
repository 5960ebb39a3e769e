#pragma once
// The run's outcome as one JSON object on one line, for a production line's
// own records (`--report FILE`, and beside each `--log-dir` record). Pure:
// tests call it directly.
#include <string>

#include "cli/run_report.h"
#include "link/update_report.h"

namespace kv9::cli {

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

// The object for a port whose run ended without sending one (it was killed):
// what the parent knows, the rest null.
std::string LostChildJson(const PortRow& row);

// Text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace kv9::cli
