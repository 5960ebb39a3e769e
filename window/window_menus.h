#pragma once
// The window's own menu items as rows: object name, caption, status-bar
// hint and the command. Both windows build their ファイル menu and the
// EEPROM write-back item from these rows (the boot-mode command menu has
// its own table in link/boot_menu_commands.h).
#include <span>

namespace kv9::window {

enum class WindowCommand {
  OpenImage,            // a file dialog for .mot and .hex, then what a drop does
  SearchAgain,          // the port dialog and the search once more
  Exit,                 // closes the main window
  WriteBackEepromBackup,  // a backup file written back into the module
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

// The EEPROM write-back, after the factory-setting items of the settings menu.
const MenuRow& EepromWriteBackRow();

}  // namespace kv9::window
