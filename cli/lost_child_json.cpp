#include "cli/report_json.h"

namespace kv9::cli {

std::string LostChildJson(const PortRow& row) {
  RunFacts facts;
  facts.port = row.port;
  facts.module = row.module;
  facts.report.romBefore = row.romBefore;
  facts.report.romAfter = row.romAfter;
  facts.report.seconds = row.seconds;
  facts.exitStatus = row.exitStatus;
  return ReportJson(facts);
}

}  // namespace kv9::cli
