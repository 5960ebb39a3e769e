#pragma once
// A copy of the module's EEPROM images on disk, written before the factory
// initialisation overwrites them. Should the restore that follows fail (the
// module unplugged, a reply lost), the customer's settings are still there
// to continue the step from instead of living only in the tool's memory.
// The file's text and its check are in eeprom_backup_text.h.
#include <ctime>
#include <string>

#include "link/eeprom_backup_text.h"

namespace kv9 {

// The folder backups go to: kv9update/eeprom in the user's data folder
// ($XDG_DATA_HOME, ~/.local/share; %LOCALAPPDATA% on Windows). "" with
// `error` set when the system names no such folder.
std::string EepromBackupFolder(std::string& error);

// "eeprom-20261209-104512-COM3.txt": date, time and port of the run.
std::string EepromBackupFileName(const std::string& portName, std::time_t when);

// Writes the backup (EepromBackupText) into EepromBackupFolder() (created
// when missing): to a temporary name, flushed to the disk, renamed, and read
// back. True only when the file on disk holds exactly these images and its
// check matches; then `path` is the file. Otherwise `error` says why and no
// file of that name is left.
bool WriteEepromBackup(const EepromBackupOrigin& origin, const EepromBackupImage& factory,
                       const EepromBackupImage& allData, std::string& path, std::string& error);

// Reads a backup file; false with `error` (naming the file) when it cannot
// be read or is refused by ParseEepromBackupText.
bool ReadEepromBackup(const std::string& path, EepromBackupContent& content, std::string& error);

}  // namespace kv9
