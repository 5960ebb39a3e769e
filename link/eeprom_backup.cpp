#include "link/eeprom_backup.h"

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/data_folder.h"

namespace kv9 {
namespace {

constexpr char kFactoryLabel[] = "FACTORY :";
constexpr char kAllDataLabel[] = "ALLDATA :";

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

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// " 1A 2B ..." after the label: exactly the image's bytes, nothing else.
bool ParseHexLine(const std::string& rest, EepromBackupImage& image) {
  std::istringstream words(rest);
  std::string word;
  std::size_t n = 0;
  while (words >> word) {
    if (n == image.size() || word.size() != 2) return false;
    const int high = HexDigit(word[0]), low = HexDigit(word[1]);
    if (high < 0 || low < 0) return false;
    image[n++] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return n == image.size();
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

std::string EepromBackupText(const std::string& portName, std::time_t when, const EepromBackupImage& factory,
                             const EepromBackupImage& allData) {
  return "# KV9 R/W EEPROM " + portName + " " + Stamp(when, "%Y-%m-%d %H:%M:%S") + "\n" +
         HexLine(kFactoryLabel, factory) + HexLine(kAllDataLabel, allData);
}

bool ParseEepromBackupText(const std::string& text, EepromBackupImage& factory, EepromBackupImage& allData) {
  bool haveFactory = false, haveAllData = false;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind(kFactoryLabel, 0) == 0) {
      haveFactory = ParseHexLine(line.substr(sizeof kFactoryLabel - 1), factory);
      if (!haveFactory) return false;
    } else if (line.rfind(kAllDataLabel, 0) == 0) {
      haveAllData = ParseHexLine(line.substr(sizeof kAllDataLabel - 1), allData);
      if (!haveAllData) return false;
    }
  }
  return haveFactory && haveAllData;
}

bool WriteEepromBackup(const std::string& portName, const EepromBackupImage& factory,
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
  std::filesystem::path file = folder / EepromBackupFileName(portName, now);
  for (int n = 2; std::filesystem::exists(file, ec); ++n) {
    file = folder / (EepromBackupFileName(portName, now) + "." + std::to_string(n));
  }
  if (!WriteFileAtomically(file.string(), EepromBackupText(portName, now, factory, allData), error)) {
    return false;
  }
  // What counts is what the disk gives back, not what was handed to it.
  EepromBackupImage factoryBack{}, allDataBack{};
  if (!ReadEepromBackup(file.string(), factoryBack, allDataBack, error) || factoryBack != factory ||
      allDataBack != allData) {
    if (error.empty()) error = file.string() + ": the file read back differs from the EEPROM";
    std::filesystem::remove(file, ec);
    return false;
  }
  path = file.string();
  return true;
}

bool ReadEepromBackup(const std::string& path, EepromBackupImage& factory, EepromBackupImage& allData,
                      std::string& error) {
  std::string text;
  if (!ReadWholeFile(path, text, error)) return false;
  if (!ParseEepromBackupText(text, factory, allData)) {
    error = path + ": not a whole EEPROM backup (a FACTORY and an ALLDATA line of 124 bytes each)";
    return false;
  }
  return true;
}

}  // namespace kv9
