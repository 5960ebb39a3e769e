#include "cli/station_broker.h"

#include <cstdio>
#include <utility>

#include "cli/broker_link.h"
#include "fleet/json_text.h"

namespace kv9::cli {
namespace {

// How long the end of a station waits for the broker to take its last
// states and "offline".
constexpr auto kCloseWait = std::chrono::seconds(3);

}  // namespace

fleet::SlotState NextSlotState(fleet::SlotState state, const SlotView& slot, const SlotEvent& event,
                               const std::string& reportLine) {
  if (event.kind == "waiting" || event.kind == "searching" || event.kind == "gone") {
    // No module, or one not yet found: nothing of the last one stays.
    state = fleet::SlotState();
    state.state = event.kind == "searching" ? "searching" : "waiting";
    return state;
  }
  if (event.kind == "found") {
    state = fleet::SlotState();
    state.state = "updating";
    state.romBefore = event.Field(0);
  } else if (event.kind == "stage") {
    state.state = "updating";
    state.stage = event.Field(0);
    state.percent = slot.percent;
  } else if (event.kind == "done") {
    const bool ok = event.Field(0) == "OK";
    state.state = ok ? "ok" : "ng";
    state.stage = ok ? std::string() : event.Field(1);
    state.percent = -1;
    state.romAfter = event.Field(2);
    state.runId = fleet::StringMember(reportLine, "run_id");
  }
  state.seq = slot.seq;
  return state;
}

bool StationBroker::Start(const CliOptions& options) {
  if (options.mqttUrl.empty()) return true;
  std::string error;
  publisher_ = StartBroker(options, true, error);
  if (!publisher_) std::fprintf(stderr, "error: %s\n", error.c_str());
  return publisher_ != nullptr;
}

void StationBroker::Event(const SlotView& slot, const SlotEvent& event, const std::string& reportLine) {
  if (!publisher_) return;
  fleet::SlotState& state = states_[slot.port];
  state = NextSlotState(state, slot, event, reportLine);
  // A stage repeats its percentage often: only a change goes out.
  std::string& sent = sent_[slot.port];
  if (const std::string json = fleet::SlotStateJson(state); json != sent) {
    publisher_->SlotState(slot.port, json);
    sent = json;
  }
  if (event.kind != "done" || reportLine.empty()) return;
  std::string error;
  if (!publisher_->Report(reportLine, error)) notices_.push_back("error: report not kept for the broker: " + error);
}

std::vector<std::string> StationBroker::Notices() {
  std::vector<std::string> lines = std::exchange(notices_, {});
  if (!publisher_) return lines;
  for (std::string& line : publisher_->TakeNotices()) lines.push_back(std::move(line));
  return lines;
}

void StationBroker::Finish() {
  if (!publisher_) return;
  for (auto& [port, state] : states_) {
    state.state = "stopped";
    state.stage.clear();
    state.percent = -1;
    publisher_->SlotState(port, fleet::SlotStateJson(state));
  }
  publisher_->Close(kCloseWait);
}

}  // namespace kv9::cli
