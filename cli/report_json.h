#pragma once
// The run's JSON object (record/report_json.h, shared with the windows) and
// the one kv9flash writes for a port whose run it lost.
#include <string>

#include "cli/run_report.h"
#include "record/report_json.h"

namespace kv9::cli {

using record::JsonString;
using record::ReportJson;
using record::RunFacts;

// The object for a port whose run ended without sending one (it was killed):
// what the parent knows, the rest null.
std::string LostChildJson(const PortRow& row);

}  // namespace kv9::cli
