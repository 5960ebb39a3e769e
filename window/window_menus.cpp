#include "window/window_menus.h"

#include <array>

namespace kv9::window {
namespace {

constexpr char kRestoreCaption[] = "EEPROMバックアップから工場出荷時設定...";
constexpr char kRestoreHint[] =
    "保存したEEPROMバックアップファイルから工場出荷時設定を続ける（途中で終わった工場出荷時設定の続き）";
constexpr char kRollBackCaption[] = "EEPROMのロールバック...";
constexpr char kRollBackHint[] = "保存したEEPROMバックアップファイルの内容をそのままR/Wに書き戻す";

// The EEPROM backup items are here too: the advice after a restore that
// broke off sends the technician to them, and the settings menu they belong
// to is hidden.
constexpr std::array<MenuRow, 5> kFileMenu{{
    {"MnOpenRom", "ROMデータを開く...", "書き込むROMデータ（.mot, .hex）を開く", WindowCommand::OpenImage, false},
    {"MnSearchAgain", "R/Wの再検索...", "ポートを選び直してR/Wをもう一度検索する", WindowCommand::SearchAgain,
     false},
    {"MnFileEepromRestore", kRestoreCaption, kRestoreHint, WindowCommand::RestoreFromEepromBackup, true},
    {"MnFileEepromRollBack", kRollBackCaption, kRollBackHint, WindowCommand::RollBackEeprom, false},
    {"FileExitItem", "終了(&X)", "アプリケーションの終了", WindowCommand::Exit, true},
}};

constexpr std::array<MenuRow, 2> kEepromBackupRows{{
    {"MnEepromRestore", kRestoreCaption, kRestoreHint, WindowCommand::RestoreFromEepromBackup, false},
    {"MnEepromRollBack", kRollBackCaption, kRollBackHint, WindowCommand::RollBackEeprom, false},
}};

}  // namespace

std::span<const MenuRow> FileMenuRows() { return kFileMenu; }

std::span<const MenuRow> EepromBackupRows() { return kEepromBackupRows; }

const MenuRow& EepromBackupRow(WindowCommand command) {
  return command == WindowCommand::RollBackEeprom ? kEepromBackupRows[1] : kEepromBackupRows[0];
}

}  // namespace kv9::window
