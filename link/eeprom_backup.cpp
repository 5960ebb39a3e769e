#include "link/eeprom_backup.h"

#include <filesystem>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/data_folder.h"

namespace kv9 {
namespace {

std::string Stamp(std::time_t when, const char* format) {
  char text[32] = {};
  if (const std::tm* local = std::localtime(&when)) std::strftime(text, sizeof text, format, local);
  return text;
}

}  // namespace

std::string EepromBackupFolder(std::string& error) {
  const std::string base = UserDataFolder(error);
  if (base.empty()) return {};
  return (std::filesystem::path(base) / "kv9update" / "eeprom").string();
}

std::string EepromBackupFileName(const std::string& portName, std::time_t when) {
  return "eeprom-" + Stamp(when, "%Y%m%d-%H%M%S") + "-" + portName + ".txt";
}

bool WriteEepromBackup(const EepromBackupOrigin& origin, const EepromBackupImage& factory,
                       const EepromBackupImage& allData, std::string& path, std::string& error) {
  const std::time_t now = std::time(nullptr);
  const std::filesystem::path folder = EepromBackupFolder(error);
  if (folder.empty()) return false;
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = folder.string() + ": " + ec.message();
    return false;
  }
  // Two runs within one second on the same port keep both files.
  std::filesystem::path file = folder / EepromBackupFileName(origin.portName, now);
  for (int n = 2; std::filesystem::exists(file, ec); ++n) {
    file = folder / (EepromBackupFileName(origin.portName, now) + "." + std::to_string(n));
  }
  if (!WriteFileAtomically(file.string(), EepromBackupText(origin, now, factory, allData), error)) return false;
  // What counts is what the disk gives back, not what was handed to it.
  EepromBackupContent back;
  if (!ReadEepromBackup(file.string(), back, error) || !back.checked || back.factory != factory ||
      back.allData != allData) {
    if (error.empty()) error = file.string() + ": the file read back differs from the EEPROM";
    std::filesystem::remove(file, ec);
    return false;
  }
  path = file.string();
  return true;
}

bool ReadEepromBackup(const std::string& path, EepromBackupContent& content, std::string& error) {
  std::string text;
  if (!ReadWholeFile(path, text, error)) return false;
  if (const std::string problem = ParseEepromBackupText(text, content); !problem.empty()) {
    error = path + ": not a whole EEPROM backup: " + problem;
    return false;
  }
  return true;
}

}  // namespace kv9
