#include "dump_writer.h"

#include <cstdio>
#include <fstream>
#include <stdexcept>


namespace kv9::sim {

namespace {

template <typename Bytes>
void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

std::string Hex32(std::uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", v);
  return buf;
}

std::string JsonString(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c > 0x7E) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04X", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

std::string SummaryJson(const SimSnapshot& s) {
  std::string j = "{\n";
  j += "  \"state\": " + JsonString(s.stateText) + ",\n";
  j += "  \"personality\": " + JsonString(PersonalityName(s.personality)) + ",\n";
  char buf[64];
  std::snprintf(buf, sizeof buf, "\"0x%02X\", \"bootError\": \"0x%02X\"", s.bootStatus, s.bootError);
  j += "  \"bootStatus\": " + std::string(buf) + ",\n";
  j += "  \"listenRate\": " + std::to_string(s.listenRate) + ",\n";
  j += "  \"romVersion\": " + (s.romVersion ? JsonString(*s.romVersion) : std::string("null")) + ",\n";
  j += "  \"ratesSeen\": [";
  bool first = true;
  for (auto r : s.ratesSeen) {
    j += (first ? "" : ", ") + std::to_string(r);
    first = false;
  }
  j += "],\n  \"commands\": {";
  first = true;
  for (const auto& [key, n] : s.commandCounts) {
    j += (first ? "\n    " : ",\n    ") + JsonString(key) + ": " + std::to_string(n);
    first = false;
  }
  j += first ? "},\n" : "\n  },\n";
  j += "  \"noiseBytes\": " + std::to_string(s.noiseBytes) + ",\n";
  j += "  \"bytesLost\": " + std::to_string(s.bytesLost) + ",\n";
  j += "  \"blocksReceived\": " + std::to_string(s.blocksReceived) + ",\n";
  j += "  \"blocksProgrammed\": " + std::to_string(s.blocksProgrammed) + ",\n";
  j += "  \"blocksErased\": " + std::to_string(s.blocksErased) + ",\n";
  j += "  \"restarts\": " + std::to_string(s.restarts) + ",\n";
  std::snprintf(buf, sizeof buf, "\"0x%04X\"", s.loaderCrc);
  j += "  \"flash\": {\"file\": \"flash.bin\", \"first\": \"" + Hex32(s.flashFirst) +
       "\", \"last\": \"0xFFFFFFFF\", \"loaderCrc\": " + buf + "},\n";
  j += "  \"eeprom\": {\"factory\": \"eeprom_factory.bin\", \"allData\": \"eeprom_all.bin\"}\n";
  j += "}\n";
  return j;
}

void WriteDump(const std::filesystem::path& dir, const SimSnapshot& s) {
  std::filesystem::create_directories(dir);
  WriteFile(dir / "flash.bin", s.flash);
  WriteFile(dir / "userboot.bin", s.userBootFlash);
  WriteFile(dir / "eeprom_factory.bin", s.eepromFactory);
  WriteFile(dir / "eeprom_all.bin", s.eepromAllData);
  const std::string json = SummaryJson(s);
  WriteFile(dir / "summary.json", json);
}

}  // namespace kv9::sim
