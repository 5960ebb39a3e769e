#pragma once
// A copy of the module's EEPROM images on disk, written before the factory
// initialisation overwrites them. Should the restore that follows fail (the
// module unplugged, a reply lost), the customer's settings are still there
// to write back by hand instead of living only in the tool's memory.
#include <array>
#include <cstdint>
#include <ctime>
#include <string>

namespace kv9 {

using EepromBackupImage = std::array<std::uint8_t, 124>;

// The folder backups go to: $XDG_DATA_HOME/kv9update/eeprom, or
// ~/.local/share/kv9update/eeprom (%LOCALAPPDATA%\kv9update\eeprom on
// Windows).
std::string EepromBackupFolder();

// "eeprom-20261209-104512-COM3.txt": date, time and port of the run.
std::string EepromBackupFileName(const std::string& portName, std::time_t when);

// The file's text: a comment line naming port and time, then one line per
// image ("FACTORY :" and "ALLDATA :") with its bytes as upper-case hex
// pairs separated by blanks. Pure.
std::string EepromBackupText(const std::string& portName, std::time_t when, const EepromBackupImage& factory,
                             const EepromBackupImage& allData);

// Writes the backup into EepromBackupFolder() (created when missing). On
// success `path` is the file written; otherwise `error` says why.
bool WriteEepromBackup(const std::string& portName, const EepromBackupImage& factory,
                       const EepromBackupImage& allData, std::string& path, std::string& error);

}  // namespace kv9
