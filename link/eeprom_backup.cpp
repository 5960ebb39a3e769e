#include "link/eeprom_backup.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace kv9 {
namespace {

std::string Stamp(std::time_t when, const char* format) {
  char text[32] = {};
  if (const std::tm* local = std::localtime(&when)) std::strftime(text, sizeof text, format, local);
  return text;
}

std::string HexLine(const char* label, const EepromBackupImage& image) {
  std::string line = label;
  char byte[4];
  for (std::uint8_t b : image) {
    std::snprintf(byte, sizeof byte, " %02X", static_cast<unsigned>(b));
    line += byte;
  }
  return line + "\n";
}

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

}  // namespace

std::string EepromBackupFolder() {
  std::filesystem::path base;
  if (!Env("XDG_DATA_HOME").empty()) {
    base = Env("XDG_DATA_HOME");
  } else if (!Env("LOCALAPPDATA").empty()) {
    base = Env("LOCALAPPDATA");
  } else {
    base = std::filesystem::path(Env("HOME")) / ".local" / "share";
  }
  return (base / "kv9update" / "eeprom").string();
}

std::string EepromBackupFileName(const std::string& portName, std::time_t when) {
  return "eeprom-" + Stamp(when, "%Y%m%d-%H%M%S") + "-" + portName + ".txt";
}

std::string EepromBackupText(const std::string& portName, std::time_t when, const EepromBackupImage& factory,
                             const EepromBackupImage& allData) {
  return "# KV9 R/W EEPROM " + portName + " " + Stamp(when, "%Y-%m-%d %H:%M:%S") + "\n" +
         HexLine("FACTORY :", factory) + HexLine("ALLDATA :", allData);
}

bool WriteEepromBackup(const std::string& portName, const EepromBackupImage& factory,
                       const EepromBackupImage& allData, std::string& path, std::string& error) {
  const std::time_t now = std::time(nullptr);
  const std::filesystem::path folder = EepromBackupFolder();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = folder.string() + ": " + ec.message();
    return false;
  }
  // Two runs within one second on the same port keep both files.
  std::filesystem::path file = folder / EepromBackupFileName(portName, now);
  for (int n = 2; std::filesystem::exists(file, ec); ++n) {
    file = folder / (EepromBackupFileName(portName, now) + "." + std::to_string(n));
  }
  std::ofstream out(file, std::ios::binary);
  out << EepromBackupText(portName, now, factory, allData);
  out.close();
  if (!out) {
    error = file.string() + ": write failed";
    return false;
  }
  path = file.string();
  return true;
}

}  // namespace kv9
