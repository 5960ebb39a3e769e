#pragma once
// The topics a station publishes under kv9/NAME and what goes out on them.
// Pure: tests call them directly.
//   kv9/NAME/report       each module run's report object (QoS 1, not retained)
//   kv9/NAME/COMn/state   the slot's state (retained JSON)
//   kv9/NAME/status       "online" while the station runs, "offline" after
//                         it ended (retained; also the broker's will)
#include <string>

namespace kv9::fleet {

// Why `name` cannot be a station name ("" when it can): one topic level,
// so no '/', '+', '#', no control characters, not empty.
std::string StationNameProblem(const std::string& name);

std::string ReportTopic(const std::string& station);
std::string StatusTopic(const std::string& station);
std::string StateTopic(const std::string& station, const std::string& port);

constexpr const char* kOnline = "online";
constexpr const char* kOffline = "offline";

// What a slot is doing, as its retained state says it.
struct SlotState {
  std::string state = "waiting";  // waiting, searching, updating, ok, ng, stopped
  std::string stage;              // while updating: the stage's label; after ng: the stage it ended in
  int percent = -1;               // while updating: the stage's percentage, -1 none
  int seq = 0;                    // the station's number of the module's run, 0 none yet
  std::string romBefore;          // the module's ROM version when it was found
  std::string romAfter;           // after ok
  std::string runId;              // the report of the run that ended (ok, ng)
};

// {"state":"updating","stage":"...","percent":45,"seq":2,"rom_before":"...",...};
// members without a value are left out.
std::string SlotStateJson(const SlotState& state);

}  // namespace kv9::fleet
