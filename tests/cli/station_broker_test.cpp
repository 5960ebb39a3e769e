// What a station tells its broker about a slot, event by event, and the
// report line that names the run's own start.
#include <gtest/gtest.h>

#include "cli/station_broker.h"
#include "cli/station_view.h"
#include "fleet/topics.h"

namespace kv9::cli {
namespace {

TEST(StationBroker, ASlotsStateFollowsItsEventsAndAFreshModuleForgetsTheLastOne) {
  SlotView view;
  view.port = "COM3";
  Tally tally;
  fleet::SlotState state;
  std::vector<std::string> seen;
  const std::string report = "{\"port\":\"COM3\",\"seq\":7,\"run_id\":\"ab\\\"c\",\"outcome\":\"ng\"}";
  const SlotEvent events[] = {{"waiting", {}},
                              {"searching", {}},
                              {"found", {"V1.00.00", "19200"}},
                              {"stage", {"ライト中...", "45"}},
                              {"done", {"NG", "write", "", "3.2", "", ""}},
                              {"gone", {"silent"}},
                              {"found", {"V1.00.01", "19200"}},
                              {"done", {"OK", "done", "V2.00.00", "2.0", "", ""}}};
  for (const SlotEvent& event : events) {
    if (event.kind == "found") view.seq += 1;
    ApplyEvent(view, tally, event);
    state = NextSlotState(state, view, event, event.kind == "done" ? report : "");
    seen.push_back(fleet::SlotStateJson(state));
  }
  const std::vector<std::string> expected = {
      "{\"state\":\"waiting\"}",
      "{\"state\":\"searching\"}",
      "{\"state\":\"updating\",\"seq\":1,\"rom_before\":\"V1.00.00\"}",
      "{\"state\":\"updating\",\"stage\":\"ライト中...\",\"percent\":45,\"seq\":1,\"rom_before\":\"V1.00.00\"}",
      "{\"state\":\"ng\",\"stage\":\"write\",\"seq\":1,\"rom_before\":\"V1.00.00\",\"run_id\":\"ab\\\"c\"}",
      "{\"state\":\"waiting\"}",
      "{\"state\":\"updating\",\"seq\":2,\"rom_before\":\"V1.00.01\"}",
      "{\"state\":\"ok\",\"seq\":2,\"rom_before\":\"V1.00.01\",\"rom_after\":\"V2.00.00\",\"run_id\":\"ab\\\"c\"}"};
  EXPECT_EQ(seen, expected);
}

TEST(StationBroker, TheReportLineTakesTheRunsOwnStartOnceAndTheStationsOtherwise) {
  EXPECT_EQ(StationJson("{\"port\":\"COM3\",\"outcome\":\"ok\",\"schema\":2,\"start\":\"2026-12-10T10:00:00+09:00\","
                        "\"end\":\"2026-12-10T10:00:20+09:00\"}",
                        4, "2026-12-10T10:00:01", "update"),
            "{\"port\":\"COM3\",\"seq\":4,\"start\":\"2026-12-10T10:00:00+09:00\",\"mode\":\"update\",\"outcome\":\"ok\",\"schema\":2,"
            "\"end\":\"2026-12-10T10:00:20+09:00\"}");
  EXPECT_EQ(StationJson("{\"port\":\"COM3\",\"outcome\":\"ng\"}", 5, "2026-12-10T10:00:01", "rewrite"),
            "{\"port\":\"COM3\",\"seq\":5,\"start\":\"2026-12-10T10:00:01\",\"mode\":\"rewrite\",\"outcome\":\"ng\"}");
}

}  // namespace
}  // namespace kv9::cli
