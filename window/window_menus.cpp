#include "window/window_menus.h"

#include <array>

namespace kv9::window {
namespace {

// The EEPROM write-back is here too: the advice after a restore that broke
// off sends the technician to it, and the settings menu it belongs to is
// hidden.
constexpr std::array<MenuRow, 4> kFileMenu{{
    {"MnOpenRom", "ROMデータを開く...", "書き込むROMデータ（.mot, .hex）を開く", WindowCommand::OpenImage, false},
    {"MnSearchAgain", "R/Wの再検索...", "ポートを選び直してR/Wをもう一度検索する", WindowCommand::SearchAgain,
     false},
    {"MnFileEepromWriteBack", "EEPROMバックアップの書き戻し...", "保存したEEPROMバックアップファイルをR/Wに書き戻す",
     WindowCommand::WriteBackEepromBackup, true},
    {"FileExitItem", "終了(&X)", "アプリケーションの終了", WindowCommand::Exit, true},
}};

constexpr MenuRow kEepromWriteBack{"MnEepromWriteBack", "EEPROMバックアップの書き戻し...",
                                   "保存したEEPROMバックアップファイルをR/Wに書き戻す",
                                   WindowCommand::WriteBackEepromBackup, false};

}  // namespace

std::span<const MenuRow> FileMenuRows() { return kFileMenu; }

const MenuRow& EepromWriteBackRow() { return kEepromWriteBack; }

}  // namespace kv9::window
