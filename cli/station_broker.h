#pragma once
// What a station tells its broker (--mqtt): each slot's state as its
// events come, each run's report line as the report file gets it, and at
// the end every slot "stopped" and the station "offline".
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/station_view.h"
#include "fleet/report_publisher.h"
#include "fleet/topics.h"

namespace kv9::cli {

// The slot's state after `event`, from the state before it. Pure.
fleet::SlotState NextSlotState(fleet::SlotState state, const SlotView& slot, const SlotEvent& event,
                               const std::string& reportLine);

class StationBroker {
 public:
  // Nothing to do without --mqtt; false, with the reason on stderr, when
  // the broker cannot be used.
  bool Start(const CliOptions& options);
  // A slot's event as the station applied it; `reportLine` is the report
  // object of a "done" event exactly as the report file gets it.
  void Event(const SlotView& slot, const SlotEvent& event, const std::string& reportLine);
  // The lines to tell the person now (see ReportPublisher::TakeNotices).
  std::vector<std::string> Notices();
  // Every slot stopped, the station offline.
  void Finish();

 private:
  std::unique_ptr<fleet::ReportPublisher> publisher_;
  std::map<std::string, fleet::SlotState> states_;
  std::map<std::string, std::string> sent_;  // the state each slot's topic was last given
  std::vector<std::string> notices_;
};

}  // namespace kv9::cli
