// The engineering menus "コマンド" (built from the core's boot-mode command
// table) and "設定". Both are built complete with their handlers but never
// put on the menu bar, so the technician cannot reach them.
#include <iterator>
#include <span>

#include "window/boot_menu_commands.h"
#include "main_window.h"
#include "resource_ids.h"
#include "wide_text.h"
#include "window/window_menus.h"

namespace {

struct Submenu {
  kv9::BootMenuPlace place;
  const wchar_t* caption;
};
constexpr Submenu kSubmenus[] = {
    {kv9::BootMenuPlace::kInquiries, L"問い合わせコマンド"},
    {kv9::BootMenuPlace::kHostCommands, L"プログラム / イレーズホストコマンド"},
};

void Append(HMENU menu, UINT id, const wchar_t* caption) { AppendMenuW(menu, MF_STRING, id, caption); }

// The items without work of their own, after the table's rows.
void AppendFixedItems(HMENU menu) {
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  Append(menu, IDM_CMD_NOWORK, L"ステータスリード");
  Append(menu, IDM_CMD_NOWORK, L"バージョン情報");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  Append(menu, IDM_CMD_NOWORK, L"全イレーズ");
  Append(menu, IDM_CMD_NOWORK, L"ステータスクリア");
  Append(menu, IDM_ID_CHECK, L"ＩＤチェック");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  Append(menu, IDM_CMD_NOWORK, L"プログラムモードへ移行");
  Append(menu, IDM_CMD_NOWORK, L"リスタート");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  Append(menu, IDM_CMD_NOWORK, L"CRC計算");
  Append(menu, IDM_CMD_CHECK, L"コマンドチェック");
}

}  // namespace

void MainWindow::BuildHiddenMenus() {
  cmdMenu_ = BuildCmdMenu();
  configMenu_ = BuildConfigMenu();
}

HMENU MainWindow::BuildCmdMenu() {
  HMENU menu = CreatePopupMenu();
  HMENU submenus[std::size(kSubmenus)] = {};
  const std::span<const kv9::BootMenuCommand> rows = kv9::BootMenuCommands();
  for (std::size_t row = 0; row < rows.size(); ++row) {
    HMENU target = menu;
    for (std::size_t i = 0; i < std::size(kSubmenus); ++i) {
      if (kSubmenus[i].place != rows[row].place) continue;
      if (!submenus[i]) {
        submenus[i] = CreatePopupMenu();
        AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(submenus[i]), kSubmenus[i].caption);
      }
      target = submenus[i];
    }
    Append(target, static_cast<UINT>(IDM_BOOT_ROW + row), Widen(rows[row].caption).c_str());
  }
  AppendFixedItems(menu);
  return menu;
}

HMENU MainWindow::BuildConfigMenu() {
  HMENU menu = CreatePopupMenu();
  Append(menu, IDM_SET_CONFIG, L"環境設定...");
  Append(menu, IDM_SET_COMPORT, L"COMポートの設定...");
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  HMENU openClose = CreatePopupMenu();
  Append(openClose, IDM_OPEN, L"Open");
  Append(openClose, IDM_CLOSE, L"Clsoe");
  AppendMenuW(menu, MF_POPUP, reinterpret_cast<UINT_PTR>(openClose), L"Open/Close");
  Append(menu, IDM_ROM, L"Romバージョン取得");
  Append(menu, IDM_BOOT, L"Bootモードへ");
  Append(menu, IDM_INIT, L"初期化");
  Append(menu, IDM_GET_INIT_DATA, L"工場出荷時設定取得");
  Append(menu, IDM_SET_FACT_INIT, L"工場出荷時設定");
  Append(menu, IDM_EEPROM_WRITE_BACK, Widen(kv9::window::EepromWriteBackRow().caption).c_str());
  AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  Append(menu, IDM_GET_POWER, L"パワー値の取得");
  return menu;
}

bool MainWindow::RunMenuCommand(int id) {
  const std::span<const kv9::BootMenuCommand> rows = kv9::BootMenuCommands();
  if (id >= IDM_BOOT_ROW && id < IDM_BOOT_ROW + static_cast<int>(rows.size())) {
    RunBootMenuCommand(rows[static_cast<std::size_t>(id - IDM_BOOT_ROW)]);
    return true;
  }
  switch (id) {
    case IDM_ID_CHECK: RunBootMenuCommand(*kv9::FindBootMenuCommand("MnRX210_IDCheck")); return true;
    case IDM_CMD_CHECK: MnCmdCheckClick(); return true;
    case IDM_CMD_NOWORK: return true;
    case IDM_SET_CONFIG: MnSetConfigClick(); return true;
    case IDM_SET_COMPORT: MnSetCOMPortClick(); return true;
    case IDM_OPEN: Open1Click(); return true;
    case IDM_CLOSE: Clsoe1Click(); return true;
    case IDM_ROM: Rom1Click(); return true;
    case IDM_BOOT: Boot1Click(); return true;
    case IDM_INIT: MnInitClick(); return true;
    case IDM_GET_INIT_DATA: MngetInitDataClick(); return true;
    case IDM_SET_FACT_INIT: mnSetFactInitClick(); return true;
    case IDM_GET_POWER: MnGetPowerClick(); return true;
    case IDM_EEPROM_WRITE_BACK: WriteBackEepromClick(); return true;
    default: return false;
  }
}

void MainWindow::RunBootMenuCommand(const kv9::BootMenuCommand& command) {
  if (!cont_) return;
  ControllerUse use(*this);
  const kv9::BootMenuOutcome outcome = kv9::RunBootMenuCommand(*cont_, command, ProgSettings);
  kv9::LogMenuOutcome(outcome, LogLine());
}

void MainWindow::MnCmdCheckClick() {
  ControllerUse use(*this);
  for (const kv9::BootMenuCommand* command : kv9::CommandCheckSequence()) RunBootMenuCommand(*command);
}
