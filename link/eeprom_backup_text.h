#pragma once
// The text of an EEPROM backup file, written and read without touching a
// disk. A file names the module it came from (model, ROM version; its
// factory calibration words are in the FACTORY line) and ends in a CRC-32
// over every line before it, so that an edited, cut-off or pieced-together
// file is refused instead of being written into a module:
//
//   # KV9 R/W EEPROM COM3 2026-12-09 10:45:12
//   MODEL   : Q508
//   ROM     : V2.00.00
//   FACTORY : 51 00 ...           (124 bytes)
//   ALLDATA : 00 22 ...           (124 bytes)
//   CHECK   : CRC-32 1A2B3C4D
//
// Files written before the check line existed hold only the first line,
// FACTORY and ALLDATA; they are still read, marked as unchecked.
#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace kv9 {

using EepromBackupImage = std::array<std::uint8_t, 124>;

// Where a backup came from: the port and what the module said of itself.
struct EepromBackupOrigin {
  std::string portName;
  std::string model;       // as the module reported it (blanks at the end dropped)
  std::string romVersion;  // likewise
};

// What a backup file holds.
struct EepromBackupContent {
  EepromBackupImage factory{};
  EepromBackupImage allData{};
  std::string model;       // "" in an older file
  std::string romVersion;  // "" in an older file
  bool checked = false;    // its check line matched; false: an older file without one
};

// What a module reported, fit for one line of the file: anything but
// printable ASCII shown as '?', blanks at the end dropped. Pure.
std::string EepromBackupLineValue(const std::string& text);

// CRC-32 (the one of zip and Ethernet: reflected 0x04C11DB7, start and final
// XOR 0xFFFFFFFF); "123456789" gives 0xCBF43926. Pure.
std::uint32_t Crc32(std::string_view bytes);

// The file's text, check line included. Pure.
std::string EepromBackupText(const EepromBackupOrigin& origin, std::time_t when, const EepromBackupImage& factory,
                             const EepromBackupImage& allData);

// Reads a backup file's text into `content`. "" when it is a whole backup
// whose check matches (or an older file without a check line); otherwise
// why it is refused: a line missing, twice, unknown, out of order or after
// the check line, a byte that is not hex, a line cut short, a check that
// does not match. Line ends CR LF and LF are alike. Pure.
std::string ParseEepromBackupText(const std::string& text, EepromBackupContent& content);

}  // namespace kv9
