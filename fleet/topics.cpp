#include "fleet/topics.h"

#include "fleet/json_text.h"

namespace kv9::fleet {

std::string StationNameProblem(const std::string& name) {
  if (name.empty()) return "the station name is empty";
  for (const char c : name) {
    if (c == '/' || c == '+' || c == '#' || static_cast<unsigned char>(c) < 0x20) {
      return "the station name \"" + name + "\" holds '/', '+', '#' or a control character";
    }
  }
  return {};
}

std::string ReportTopic(const std::string& station) { return "kv9/" + station + "/report"; }
std::string StatusTopic(const std::string& station) { return "kv9/" + station + "/status"; }
std::string StateTopic(const std::string& station, const std::string& port) {
  return "kv9/" + station + "/" + port + "/state";
}

std::string SlotStateJson(const SlotState& s) {
  std::string json = "{\"state\":" + JsonText(s.state);
  if (!s.stage.empty()) json += ",\"stage\":" + JsonText(s.stage);
  if (s.percent >= 0) json += ",\"percent\":" + std::to_string(s.percent);
  if (s.seq > 0) json += ",\"seq\":" + std::to_string(s.seq);
  if (!s.romBefore.empty()) json += ",\"rom_before\":" + JsonText(s.romBefore);
  if (!s.romAfter.empty()) json += ",\"rom_after\":" + JsonText(s.romAfter);
  if (!s.runId.empty()) json += ",\"run_id\":" + JsonText(s.runId);
  return json + "}";
}

}  // namespace kv9::fleet
