#include "record/report_json.h"

#include <cstdio>

#include "fleet/json_text.h"

namespace kv9::record {
namespace {

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

std::string OrNull(const std::string& text) { return text.empty() ? "null" : JsonString(text); }

std::string CrcOrNull(std::int32_t crc) {
  if (crc < 0) return "null";
  char text[16];
  std::snprintf(text, sizeof text, "\"0x%04X\"", static_cast<unsigned>(crc));
  return text;
}

std::string Field(const char* name, const std::string& value) {
  return std::string(",\"") + name + "\":" + value;
}

}  // namespace

// The one escaping of the tool's JSON: a report object and a broker's
// payload quote their text alike.
std::string JsonString(const std::string& text) { return fleet::JsonText(text); }

std::string ReportJson(const RunFacts& f) {
  const UpdateReport& r = f.report;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%.1f", r.seconds);
  std::string json = "{\"port\":" + JsonString(f.port);
  json += Field("outcome", JsonString(OutcomeName(r.outcome)));
  json += Field("exit", std::to_string(f.exitStatus));
  json += Field("stage", JsonString(r.stage));
  json += Field("module_state", JsonString(ModuleStateName(r.moduleState)));
  json += Field("module", OrNull(Trimmed(f.module)));
  json += Field("rom_before", OrNull(Trimmed(r.romBefore)));
  json += Field("rom_after", OrNull(Trimmed(r.romAfter)));
  json += Field("bytes_programmed", std::to_string(r.bytesProgrammed));
  json += Field("seconds", seconds);
  json += Field("crc_module", CrcOrNull(r.crcModule));
  json += Field("crc_image", CrcOrNull(r.crcImage));
  json += Field("module_rate", r.moduleRate > 0 ? std::to_string(r.moduleRate) : "null");
  json += Field("boot_rate", r.bootRate > 0 ? std::to_string(r.bootRate) : "null");
  json += Field("eeprom_backup", OrNull(r.eepromBackup));
  json += Field("firmware_backup", OrNull(r.firmwareBackup));
  json += Field("continue_with", OrNull(f.continueWith));
  json += Field("power_cycle_first", !f.continueWith.empty() && r.powerCycleFirst ? "true" : "false");
  // The schema-2 members (fleet/report_identity.h) after the run's own facts.
  if (!f.identityMembers.empty()) json += "," + f.identityMembers;
  return json + "}";
}


}  // namespace kv9::record
