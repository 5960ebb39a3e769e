#include "cli/station_view.h"

#include <cstdio>
#include <cstdlib>

#include "cli/report_json.h"
#include "cli/terminal_ui.h"

namespace kv9::cli {
namespace {

std::string Seconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f s", seconds);
  return text;
}

std::string Number(int seq) { return "#" + std::to_string(seq); }

}  // namespace

std::string EventLine(const SlotEvent& event) {
  std::string line = event.kind;
  for (std::string field : event.fields) {
    for (char& c : field) {
      if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    }
    line += "\t" + field;
  }
  return line;
}

SlotEvent ParseEventLine(const std::string& line) {
  SlotEvent event;
  std::size_t from = 0;
  bool first = true;
  for (;;) {
    const std::size_t tab = line.find('\t', from);
    const std::string part = line.substr(from, tab == std::string::npos ? std::string::npos : tab - from);
    if (first) event.kind = part;
    else event.fields.push_back(part);
    first = false;
    if (tab == std::string::npos) return event;
    from = tab + 1;
  }
}

std::string SlotLine(const SlotView& slot) {
  char port[16];
  std::snprintf(port, sizeof port, "%-6s ", slot.port.c_str());
  const std::string seq = slot.seq > 0 ? Number(slot.seq) + "  " : std::string();
  switch (slot.phase) {
    case SlotPhase::Waiting:
      return port + std::string("waiting for a module");
    case SlotPhase::Searching:
      return port + std::string("searching");
    case SlotPhase::Updating:
      return port + seq + ProgressText(slot.stage, slot.percent, -1, 0);
    case SlotPhase::Ok:
      return port + seq + "OK  " + slot.romAfter + "  " + Seconds(slot.seconds) + "  remove the module";
    case SlotPhase::Ng:
      return port + seq + "NG  " + slot.stage + "  " + Seconds(slot.seconds) +
             (slot.stoppedBy.empty() ? "" : "  stopped by " + slot.stoppedBy + ", module " + slot.moduleState) +
             "  remove the module";
  }
  return port;
}

std::string TallyText(const Tally& tally, double elapsed) {
  const int done = tally.ok + tally.ng;
  char text[160];
  std::snprintf(text, sizeof text, "%d OK, %d NG, mean %.1f s per module, %.1f modules per hour", tally.ok,
                tally.ng, done > 0 ? tally.runSeconds / done : 0.0,
                elapsed > 0 ? tally.ok * 3600.0 / elapsed : 0.0);
  return text;
}

std::string EventText(const SlotView& slot, const SlotEvent& event) {
  const std::string seq = Number(slot.seq) + " ";
  if (event.kind == "waiting") return "waiting for a module";
  if (event.kind == "searching") return "port present, searching";
  if (event.kind == "found" && event.Field(2) == "rewrite") {
    return seq + "module found in its boot program at " + event.Field(1) + " bit/s: update in re-write mode";
  }
  if (event.kind == "found") return seq + "module found, ROM " + event.Field(0) + " at " + event.Field(1) + " bit/s";
  if (event.kind == "stage") return slot.stage == event.Field(0) ? std::string() : seq + event.Field(0);
  if (event.kind == "done") {
    const bool ok = event.Field(0) == "OK";
    const int stop = std::atoi(event.Field(9).c_str());
    // A run the person stopped says so, and where it left the module.
    const std::string stopped =
        !ok && stop ? " (stopped by " + StopSignalText(stop) + ", module " + event.Field(8) + ")" : "";
    return seq + (ok ? "OK " + event.Field(2) : "NG " + event.Field(1)) + stopped + " in " +
           Seconds(std::atof(event.Field(3).c_str())) + "; remove the module";
  }
  if (event.kind == "gone") return event.Field(0) == "port" ? "port gone" : "module no longer answers";
  return {};
}

void ApplyEvent(SlotView& slot, Tally& tally, const SlotEvent& event) {
  if (event.kind == "waiting") {
    slot.phase = SlotPhase::Waiting;
  } else if (event.kind == "searching" || event.kind == "gone") {
    slot.phase = event.kind == "gone" ? SlotPhase::Waiting : SlotPhase::Searching;
  } else if (event.kind == "found") {
    slot.phase = SlotPhase::Updating;
    slot.stage = "module found";
    slot.percent = -1;
    slot.mode = event.Field(2).empty() ? "update" : event.Field(2);
    slot.start = event.Field(3);
    slot.stoppedBy.clear();
    slot.moduleState.clear();
  } else if (event.kind == "stage") {
    slot.stage = event.Field(0);
    slot.percent = std::atoi(event.Field(1).c_str());
  } else if (event.kind == "done") {
    const bool ok = event.Field(0) == "OK";
    slot.phase = ok ? SlotPhase::Ok : SlotPhase::Ng;
    slot.stage = event.Field(1);
    slot.romAfter = event.Field(2);
    slot.seconds = std::atof(event.Field(3).c_str());
    const int stop = std::atoi(event.Field(9).c_str());
    slot.stoppedBy = !ok && stop ? StopSignalText(stop) : "";
    slot.moduleState = event.Field(8);
    (ok ? tally.ok : tally.ng) += 1;
    tally.runSeconds += slot.seconds;
  }
}

std::string StationJson(std::string json, int seq, std::string start, const std::string& mode) {
  // A report with schema-2 members carries the run's own start (with
  // its UTC offset); it takes the place of the station's, once.
  const std::string key = ",\"start\":\"";
  if (const std::size_t at = json.find(key); at != std::string::npos) {
    const std::size_t close = json.find('"', at + key.size());
    if (close != std::string::npos) {
      start = json.substr(at + key.size(), close - at - key.size());
      json.erase(at, close + 1 - at);
    }
  }
  const std::size_t comma = json.find(',');
  if (json.empty() || comma == std::string::npos) return json;
  return json.substr(0, comma) + ",\"seq\":" + std::to_string(seq) + ",\"start\":" + JsonString(start) +
         ",\"mode\":" + JsonString(mode) + json.substr(comma);
}

std::string StopSignalText(int signal) {
  if (signal == 2) return "SIGINT (Ctrl+C)";
  if (signal == 15) return "SIGTERM";
  return "signal " + std::to_string(signal);
}

}  // namespace kv9::cli
