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

// The folder backups go to: kv9update/eeprom in the user's data folder
// ($XDG_DATA_HOME, ~/.local/share; %LOCALAPPDATA% on Windows). "" with
// `error` set when the system names no such folder.
std::string EepromBackupFolder(std::string& error);

// "eeprom-20261209-104512-COM3.txt": date, time and port of the run.
std::string EepromBackupFileName(const std::string& portName, std::time_t when);

// The file's text: a comment line naming port and time, then one line per
// image ("FACTORY :" and "ALLDATA :") with its bytes as upper-case hex
// pairs separated by blanks. Pure.
std::string EepromBackupText(const std::string& portName, std::time_t when, const EepromBackupImage& factory,
                             const EepromBackupImage& allData);

// Both images of a backup file's text; false when the text is not a whole
// backup (a line missing, cut short or with a byte that is not hex). Pure.
bool ParseEepromBackupText(const std::string& text, EepromBackupImage& factory, EepromBackupImage& allData);

// Writes the backup into EepromBackupFolder() (created when missing): to a
// temporary name, flushed to the disk, renamed, and read back. True only
// when the file on disk holds exactly these images; then `path` is the
// file. Otherwise `error` says why and no file of that name is left.
bool WriteEepromBackup(const std::string& portName, const EepromBackupImage& factory,
                       const EepromBackupImage& allData, std::string& path, std::string& error);

// Reads both images of a backup file; false with `error` when it cannot be
// read or is not a whole backup.
bool ReadEepromBackup(const std::string& path, EepromBackupImage& factory, EepromBackupImage& allData,
                      std::string& error);

}  // namespace kv9
