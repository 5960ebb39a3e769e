// The menu bar, the engineering menus (built whole, never on the bar), the
// log pane's pop-up and the keys, all from the window model's rows.
#include <cstring>

#include "main_window.h"
#include "resource_ids.h"
#include "wide_text.h"

namespace {

// "Ctrl+U", "F4", "F9" as an accelerator; false for "".
bool KeyOf(const char* shortcut, ACCEL& key) {
  key.fVirt = FVIRTKEY;
  if (std::strncmp(shortcut, "Ctrl+", 5) == 0) {
    key.fVirt |= FCONTROL;
    shortcut += 5;
  }
  if (shortcut[0] == 'F' && shortcut[1] >= '1' && shortcut[1] <= '9') {
    key.key = static_cast<WORD>(VK_F1 + std::atoi(shortcut + 1) - 1);
    return true;
  }
  if (shortcut[0] && !shortcut[1]) {
    key.key = static_cast<WORD>(shortcut[0]);
    return true;
  }
  return false;
}

}  // namespace

HMENU MainWindow::MenuFor(const kv9::window::MenuItemRow& row) {
  HMENU menu = menus_[static_cast<std::size_t>(row.menu)];
  if (!row.submenu || !menu) return menu;
  for (const auto& [name, sub] : submenus_) {
    if (std::strcmp(name, row.submenu) == 0) return sub;
  }
  for (const kv9::window::SubmenuRow& sub : kv9::window::SubmenuRows()) {
    if (std::strcmp(sub.objectName, row.submenu) != 0) continue;
    HMENU made = CreatePopupMenu();
    AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(made), Widen(sub.caption).c_str());
    submenus_.emplace_back(sub.objectName, made);
    return made;
  }
  return menu;
}

void MainWindow::BuildMenus() {
  using namespace kv9::window;
  HMENU bar = CreateMenu();
  menus_.assign(static_cast<std::size_t>(MenuId::ToolBar) + 1, nullptr);
  for (const MenuRow& row : MenuRows()) {
    if (row.menu == MenuId::ToolBar) continue;
    HMENU menu = CreatePopupMenu();
    menus_[static_cast<std::size_t>(row.menu)] = menu;
    if (row.onMenuBar) AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), Widen(row.caption).c_str());
  }
  const auto rows = AllItems();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const MenuItemRow& row = rows[i];
    HMENU menu = MenuFor(row);
    if (!menu) continue;  // the tool button
    if (row.separatorBefore && GetMenuItemCount(menu) > 0) AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    std::wstring caption = Widen(row.caption);
    if (*row.shortcut) caption += L"\t" + Widen(row.shortcut);
    AppendMenuW(menu, MF_STRING, IDM_ITEM_BASE + i, caption.c_str());
  }
  SetMenu(hwnd_, bar);
  BuildAccelerators();
}

void MainWindow::BuildAccelerators() {
  std::vector<ACCEL> keys;
  const auto rows = kv9::window::AllItems();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    ACCEL key{};
    if (!KeyOf(rows[i].shortcut, key)) continue;
    key.cmd = static_cast<WORD>(IDM_ITEM_BASE + i);
    keys.push_back(key);
  }
  accel_ = CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size()));
}
