// The boot-mode command menu. Its command items and their handlers are built
// from the command table of the core (link/boot_menu_commands), which holds
// the work and the texts; the window only logs the outcome.
#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <iterator>

#include "app/main_window.h"
#include "link/boot_menu_commands.h"

namespace {

// The submenus the table's rows may sit in (object name, caption).
struct Submenu {
  kv9::BootMenuPlace place;
  const char* name;
  const char* caption;
};
constexpr Submenu kSubmenus[] = {
    {kv9::BootMenuPlace::kInquiries, "N4", "問い合わせコマンド"},
    {kv9::BootMenuPlace::kHostCommands, "N18", "プログラム / イレーズホストコマンド"},
};

}  // namespace

void TRXProgAppForm::BuildCmdMenu(QMenuBar* bar) {
  MnCmd = bar->addMenu(QStringLiteral("コマンド"));
  MnCmd->setObjectName("MnCmd");
  // Every row of the table, in its order; a submenu is made where its first
  // row comes.
  QMenu* submenus[std::size(kSubmenus)] = {};
  auto menuOf = [&](kv9::BootMenuPlace place) {
    for (std::size_t i = 0; i < std::size(kSubmenus); ++i) {
      if (kSubmenus[i].place != place) continue;
      if (!submenus[i]) {
        submenus[i] = MnCmd->addMenu(QString::fromUtf8(kSubmenus[i].caption));
        submenus[i]->setObjectName(kSubmenus[i].name);
      }
      return submenus[i];
    }
    return MnCmd;
  };
  for (const kv9::BootMenuCommand& command : kv9::BootMenuCommands()) {
    AddBootMenuItem(menuOf(command.place), command.item, QString::fromUtf8(command.caption),
                    command);
  }
  // The items without work, a second one for the ID code check, and the
  // command check.
  MnCmd->addSeparator();
  AddItem(MnCmd, "MnReadSts", QStringLiteral("ステータスリード"));
  AddItem(MnCmd, "MnVer1", QStringLiteral("バージョン情報"));
  MnCmd->addSeparator();
  AddItem(MnCmd, "MnErase", QStringLiteral("全イレーズ"));
  AddItem(MnCmd, "MnClrSts", QStringLiteral("ステータスクリア"));
  AddBootMenuItem(MnCmd, "MnIDCheck", QStringLiteral("ＩＤチェック"),
                  *kv9::FindBootMenuCommand("MnRX210_IDCheck"));
  MnCmd->addSeparator();
  AddItem(MnCmd, "MnSetProgMode", QStringLiteral("プログラムモードへ移行"));
  AddItem(MnCmd, "MnSetReStart", QStringLiteral("リスタート"));
  MnCmd->addSeparator();
  AddItem(MnCmd, "MnCRC1", QStringLiteral("CRC計算"));
  QAction* check = AddItem(MnCmd, "MnCmdCheck", QStringLiteral("コマンドチェック"));
  connect(check, &QAction::triggered, this, &TRXProgAppForm::MnCmdCheckClick);
}

void TRXProgAppForm::AddBootMenuItem(QMenu* menu, const char* objectName, const QString& caption,
                                     const kv9::BootMenuCommand& command) {
  QAction* item = AddItem(menu, objectName, caption);
  // The row lives in the table for the whole program.
  connect(item, &QAction::triggered, this, [this, &command] { RunBootMenuCommand(command); });
}

void TRXProgAppForm::RunBootMenuCommand(const kv9::BootMenuCommand& command) {
  ControllerUse use(*this);
  kv9::TFlashWrRXCont* c = FlashWrRXCont();
  if (!c) return;
  const kv9::BootMenuOutcome outcome = kv9::RunBootMenuCommand(*c, command, ProgSettings);
  kv9::LogMenuOutcome(outcome,
                      [this](const std::string& text, int force) { AppendLog(text, force); });
}

void TRXProgAppForm::RunBootMenuItem(const char* item) {
  if (const kv9::BootMenuCommand* command = kv9::FindBootMenuCommand(item)) RunBootMenuCommand(*command);
}

void TRXProgAppForm::MnCmdCheckClick() {
  ControllerUse use(*this);
  for (const kv9::BootMenuCommand* command : kv9::CommandCheckSequence()) {
    RunBootMenuCommand(*command);
  }
}
