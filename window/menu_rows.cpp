#include "window/menu_rows.h"

#include <array>
#include <cstring>
#include <vector>

#include "window/boot_menu_commands.h"
#include "window/window_model.h"

namespace kv9::window {
namespace {

using M = WindowModel;
using Rule = EnableRule;

template <void (WindowModel::*Handler)()>
void Call(WindowModel& model, const MenuItemRow&) {
  (model.*Handler)();
}

void RunBootRow(WindowModel& model, const MenuItemRow& row) { model.RunBootMenuCommand(*row.boot); }
void NoWork(WindowModel&, const MenuItemRow&) {}

constexpr std::array<MenuRow, 7> kMenus{{
    {MenuId::File, "File1", "ファイル(&F)", "ファイル関連のコマンド", true, Rule::Always},
    {MenuId::Cmd, "MnCmd", "コマンド", "", false, Rule::Always},
    {MenuId::Config, "MnConfig", "設定", "", false, Rule::Always},
    {MenuId::Farm, "MnFarm", "ファーム(&E)", "", true, Rule::Update},
    {MenuId::Help, "Help1", "ヘルプ(&H)", "ヘルプトピック", true, Rule::Always},
    {MenuId::Popup, "PopupMenu1", "", "", false, Rule::Always},
    {MenuId::ToolBar, "ToolBar1", "", "", false, Rule::Always},
}};

constexpr std::array<SubmenuRow, 3> kSubmenus{{
    {MenuId::Cmd, "N4", "問い合わせコマンド"},
    {MenuId::Cmd, "N18", "プログラム / イレーズホストコマンド"},
    {MenuId::Config, "OpenClose1", "Open/Close"},
}};

MenuItemRow Item(MenuId menu, const char* name, const char* caption, void (*run)(M&, const MenuItemRow&),
                 Rule rule = Rule::Idle, const char* hint = "", bool separator = false) {
  return MenuItemRow{menu, nullptr, name, caption, hint, "", separator, false, rule, run, nullptr};
}

constexpr char kEepromRestoreCaption[] = "EEPROMバックアップから工場出荷時設定...";
constexpr char kEepromRestoreHint[] =
    "保存したEEPROMバックアップファイルから工場出荷時設定を続ける（途中で終わった工場出荷時設定の続き）";
constexpr char kEepromRollBackCaption[] = "EEPROMのロールバック...";
constexpr char kEepromRollBackHint[] = "保存したEEPROMバックアップファイルの内容をそのままR/Wに書き戻す";

void AddFileMenu(std::vector<MenuItemRow>& rows) {
  rows.push_back(Item(MenuId::File, "MnOpenRom", "ROMデータを開く...", Call<&M::OpenImageClick>, Rule::Idle,
                      "書き込むROMデータ（.mot, .hex）を開く"));
  rows.push_back(Item(MenuId::File, "MnSearchAgain", "R/Wの再検索...", Call<&M::SearchAgainClick>, Rule::Idle,
                      "ポートを選び直してR/Wをもう一度検索する"));
  // The advice after a factory step that broke off sends the technician
  // to these; the settings menu they also belong to is hidden.
  rows.push_back(Item(MenuId::File, "MnFileEepromRestore", kEepromRestoreCaption, Call<&M::EepromRestoreClick>,
                      Rule::Idle, kEepromRestoreHint, true));
  rows.push_back(Item(MenuId::File, "MnFileEepromRollBack", kEepromRollBackCaption, Call<&M::EepromRollBackClick>,
                      Rule::Idle, kEepromRollBackHint));
  rows.push_back(Item(MenuId::File, "MnFactoryFinish", "工場出荷時設定の仕上げ", Call<&M::FactoryFinishClick>,
                      Rule::Idle, "ファームウェアの書き込み後に中断した工場出荷時設定をやり直す"));
  rows.push_back(
      Item(MenuId::File, "FileExitItem", "終了(&X)", Call<&M::ExitClick>, Rule::Always, "アプリケーションの終了", true));
}

void AddCmdMenu(std::vector<MenuItemRow>& rows) {
  for (const BootMenuCommand& command : BootMenuCommands()) {
    const char* submenu = command.place == BootMenuPlace::kInquiries      ? "N4"
                          : command.place == BootMenuPlace::kHostCommands ? "N18"
                                                                          : nullptr;
    MenuItemRow row = Item(MenuId::Cmd, command.item, command.caption, RunBootRow);
    row.submenu = submenu;
    row.boot = &command;
    rows.push_back(row);
  }
  // The items without work, a second one for the ID code check, and the
  // command check.
  rows.push_back(Item(MenuId::Cmd, "MnReadSts", "ステータスリード", NoWork, Rule::Idle, "", true));
  rows.push_back(Item(MenuId::Cmd, "MnVer1", "バージョン情報", NoWork));
  rows.push_back(Item(MenuId::Cmd, "MnErase", "全イレーズ", NoWork, Rule::Idle, "", true));
  rows.push_back(Item(MenuId::Cmd, "MnClrSts", "ステータスクリア", NoWork));
  MenuItemRow idCheck = Item(MenuId::Cmd, "MnIDCheck", "ＩＤチェック", RunBootRow);
  idCheck.boot = FindBootMenuCommand("MnRX210_IDCheck");
  rows.push_back(idCheck);
  rows.push_back(Item(MenuId::Cmd, "MnSetProgMode", "プログラムモードへ移行", NoWork, Rule::Idle, "", true));
  rows.push_back(Item(MenuId::Cmd, "MnSetReStart", "リスタート", NoWork));
  rows.push_back(Item(MenuId::Cmd, "MnCRC1", "CRC計算", NoWork, Rule::Idle, "", true));
  rows.push_back(Item(MenuId::Cmd, "MnCmdCheck", "コマンドチェック", Call<&M::MnCmdCheckClick>));
}

void AddConfigMenu(std::vector<MenuItemRow>& rows) {
  rows.push_back(Item(MenuId::Config, "MnSetConfig", "環境設定...", Call<&M::MnSetConfigClick>));
  rows.push_back(Item(MenuId::Config, "MnSetCOMPort", "COMポートの設定...", Call<&M::MnSetCOMPortClick>));
  MenuItemRow open = Item(MenuId::Config, "Open1", "Open", Call<&M::Open1Click>, Rule::Idle, "", true);
  open.submenu = "OpenClose1";
  rows.push_back(open);
  MenuItemRow close = Item(MenuId::Config, "Clsoe1", "Clsoe", Call<&M::Clsoe1Click>);
  close.submenu = "OpenClose1";
  rows.push_back(close);
  rows.push_back(Item(MenuId::Config, "Rom1", "Romバージョン取得", Call<&M::Rom1Click>));
  rows.push_back(Item(MenuId::Config, "Boot1", "Bootモードへ", Call<&M::Boot1Click>));
  rows.push_back(Item(MenuId::Config, "MnInit", "初期化", Call<&M::MnInitClick>));
  rows.push_back(Item(MenuId::Config, "MngetInitData", "工場出荷時設定取得", Call<&M::MngetInitDataClick>));
  rows.push_back(Item(MenuId::Config, "mnSetFactInit", "工場出荷時設定", Call<&M::mnSetFactInitClick>));
  rows.push_back(Item(MenuId::Config, "MnEepromRestore", kEepromRestoreCaption, Call<&M::EepromRestoreClick>,
                      Rule::Idle, kEepromRestoreHint));
  rows.push_back(Item(MenuId::Config, "MnEepromRollBack", kEepromRollBackCaption, Call<&M::EepromRollBackClick>,
                      Rule::Idle, kEepromRollBackHint));
  rows.push_back(Item(MenuId::Config, "MnGetPower", "パワー値の取得", Call<&M::MnGetPowerClick>, Rule::Idle, "", true));
}

void AddOtherItems(std::vector<MenuItemRow>& rows) {
  MenuItemRow update = Item(MenuId::Farm, "N2", "アップデート", Call<&M::TB_WriteClick>, Rule::Update,
                            "ファームアップデート");
  update.shortcut = "Ctrl+U";
  rows.push_back(update);
  MenuItemRow backup =
      Item(MenuId::Farm, "MnFwBackup", "書き込み前にファームをバックアップ", Call<&M::FwBackupClick>, Rule::Idle,
           "アップデートの前に、R/Wのファームウェアをデータフォルダにバックアップする");
  backup.checkable = true;
  rows.push_back(backup);
  rows.push_back(Item(MenuId::Help, "HelpAboutItem", "バージョン情報(&A)...", Call<&M::AboutClick>, Rule::Always,
                      "プログラム情報，バージョン番号，著作権の表示"));
  MenuItemRow clear = Item(MenuId::Popup, "MnClear", "クリア", Call<&M::ClearClick>, Rule::Always);
  clear.shortcut = "F4";
  rows.push_back(clear);
  // "書込" stays enabled while the window is idle: its command says why
  // when there is no module.
  MenuItemRow program = Item(MenuId::Popup, "MnProgram", "書込", Call<&M::TB_WriteClick>, Rule::Idle, "", true);
  program.shortcut = "F9";
  rows.push_back(program);
  rows.push_back(Item(MenuId::ToolBar, "TB_Write", "ファームアップデート", Call<&M::TB_WriteClick>, Rule::Update,
                      "ファームアップデート"));
}

const std::vector<MenuItemRow>& Rows() {
  static const std::vector<MenuItemRow> rows = [] {
    std::vector<MenuItemRow> all;
    AddFileMenu(all);
    AddCmdMenu(all);
    AddConfigMenu(all);
    AddOtherItems(all);
    return all;
  }();
  return rows;
}

}  // namespace

std::span<const MenuRow> MenuRows() { return kMenus; }
std::span<const SubmenuRow> SubmenuRows() { return kSubmenus; }
std::span<const MenuItemRow> AllItems() { return Rows(); }

ItemId ItemNamed(const char* objectName) {
  const auto& rows = Rows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (std::strcmp(rows[i].objectName, objectName) == 0) return static_cast<ItemId>(i);
  }
  return -1;
}

const MenuRow& MenuRowOf(MenuId menu) {
  for (const MenuRow& row : kMenus) {
    if (row.menu == menu) return row;
  }
  return kMenus.front();
}

}  // namespace kv9::window
