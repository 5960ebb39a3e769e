#pragma once
// Every item of the main window as a row: the menus ファイル, ファーム,
// 設定, コマンド (the boot-mode command table's rows among them), ヘルプ,
// the log pane's pop-up and the tool button. A row says where the item
// sits, its object name, caption, status-bar hint and key, the rule that
// enables it, and the handler it runs on the window model. Both windows
// build their menus from these rows and send every click to
// WindowModel::Run(id); neither decides anything about an item.
#include <span>

namespace kv9 {
struct BootMenuCommand;
}

namespace kv9::window {

class WindowModel;

enum class MenuId { File, Cmd, Config, Farm, Help, Popup, ToolBar };

// The index of a row in AllItems().
using ItemId = int;

enum class EnableRule {
  Always,  // also during a run (ending the tool is refused by the close rules)
  Idle,    // no update and no search is going on
  Update,  // the update command's guard (a supported module found, no lock)
};

struct MenuItemRow {
  MenuId menu;
  const char* submenu;  // the object name of the submenu it sits in; null: the menu itself
  const char* objectName;
  const char* caption;
  const char* hint;      // status-bar hint; "" none
  const char* shortcut;  // "Ctrl+U", "F4", "F9"; "" none
  bool separatorBefore;
  bool checkable;
  EnableRule rule;
  void (*run)(WindowModel& model, const MenuItemRow& row);
  const BootMenuCommand* boot;  // the command table's row it runs, if any
};

struct MenuRow {
  MenuId menu;
  const char* objectName;
  const char* caption;
  const char* hint;
  bool onMenuBar;  // the engineering menus are built but kept off the bar
  EnableRule rule;
};

struct SubmenuRow {
  MenuId menu;
  const char* objectName;
  const char* caption;
};

// The menus in menu-bar order (the pop-up and the tool bar last).
std::span<const MenuRow> MenuRows();
std::span<const SubmenuRow> SubmenuRows();
// Every item, menu by menu, top to bottom.
std::span<const MenuItemRow> AllItems();
// The id of the item named `objectName`; -1 when none.
ItemId ItemNamed(const char* objectName);
const MenuRow& MenuRowOf(MenuId menu);

}  // namespace kv9::window
