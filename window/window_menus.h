#pragma once
// The window's own menu items as rows: object name, caption, status-bar
// hint and the command. Both windows build their ファイル menu and the
// EEPROM backup items from these rows (the boot-mode command menu has
// its own table in link/boot_menu_commands.h).
#include <span>

namespace kv9::window {

enum class WindowCommand {
  OpenImage,            // a file dialog for .mot and .hex, then what a drop does
  SearchAgain,          // the port dialog and the search once more
  Exit,                 // closes the main window
  // The factory-setting step continued from an EEPROM backup file (the way
  // on after a broken-off restore): the module ends as after a good update.
  RestoreFromEepromBackup,
  RollBackEeprom,  // the EEPROM roll-back: a backup file's images written back as they are
};

struct MenuRow {
  const char* objectName;
  const char* caption;
  const char* hint;  // the status-bar hint
  WindowCommand command;
  bool separatorBefore;
};

// ファイル(&F), top to bottom.
std::span<const MenuRow> FileMenuRows();

// The two EEPROM backup items, after the factory-setting items of the
// settings menu: continued from a backup file, and the roll-back.
std::span<const MenuRow> EepromBackupRows();

// The row of an EEPROM backup command (its caption titles the file dialog).
const MenuRow& EepromBackupRow(WindowCommand command);

}  // namespace kv9::window
