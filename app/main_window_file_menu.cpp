// The window's own items: ファイル(&F) built from the window's menu rows
// (opening an image, searching again, the EEPROM backup items, ending the
// tool) and the EEPROM backup items of the settings menu.
#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include "app/main_window.h"
#include "link/eeprom_backup.h"
#include "window/eeprom_write_back.h"
#include "window/image_open.h"
#include "window/window_menus.h"
#include "window/window_texts.h"

using kv9::window::WindowCommand;

void TRXProgAppForm::BuildFileMenu(QMenuBar* bar) {
  File1 = bar->addMenu(QStringLiteral("ファイル(&F)"));
  File1->setObjectName("File1");
  File1->menuAction()->setStatusTip(QStringLiteral("ファイル関連のコマンド"));
  for (const kv9::window::MenuRow& row : kv9::window::FileMenuRows()) {
    if (row.separatorBefore) File1->addSeparator();
    QAction* item = AddItem(File1, row.objectName, QString::fromUtf8(row.caption));
    item->setStatusTip(QString::fromUtf8(row.hint));
    switch (row.command) {
      case WindowCommand::OpenImage:
        connect(item, &QAction::triggered, this, &TRXProgAppForm::OpenImageClick);
        break;
      case WindowCommand::SearchAgain:
        connect(item, &QAction::triggered, this, &TRXProgAppForm::SearchAgainClick);
        break;
      case WindowCommand::Exit:
        FileExit1 = item;
        FileExit1->setToolTip(QStringLiteral("終了"));
        connect(item, &QAction::triggered, this, &TRXProgAppForm::FileExit1Execute);
        break;
      case WindowCommand::RestoreFromEepromBackup:
      case WindowCommand::RollBackEeprom:
        connect(item, &QAction::triggered, this, [this, command = row.command] { EepromBackupClick(command); });
        break;
    }
  }
}

QString TRXProgAppForm::RunFileDialog(const QString& caption, const QString& folder, const char* filter) {
  QFileDialog dlg(this, caption, folder, QString::fromUtf8(filter));
  dlg.setObjectName("FileDialog");
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  return dlg.selectedFiles().first();
}

void TRXProgAppForm::OpenImageClick() {
  if (guard_.Busy() || !FlashWrRXCont()) return;
  const QString folder = DropFileName.isEmpty() ? QString() : QFileInfo(DropFileName).absolutePath();
  const QString file = RunFileDialog(QStringLiteral("ROMデータを開く"), folder, kv9::window::kImageFileFilter);
  if (!file.isEmpty()) WMDropFiles({file});
}

void TRXProgAppForm::SearchAgainClick() {
  if (guard_.Busy() || !flashWrRXCont_) return;
  ControllerUse use(*this);
  guard_.SearchStarted();
  RefreshUpdateCommands();
  searchAgain_ = true;
  portDialogCancelled_ = false;
  const int found = flashWrRXCont_->OpenAtStartup(ProgSettings.WriteSpeedIndex);
  searchAgain_ = false;
  if (releaseRequested_) return;  // the window was closed meanwhile
  if (portDialogCancelled_) {
    guard_.SearchCancelled();
  } else {
    flashWrRXCont_->ConfirmModule(found);
    guard_.SearchEnded(flashWrRXCont_->ModuleSupported == 1);
  }
  RefreshUpdateCommands();
  ShowReWriteMode();
}

void TRXProgAppForm::EepromBackupClick(WindowCommand command) {
  if (guard_.Busy() || !flashWrRXCont_) return;
  std::string error;
  const std::string folder = kv9::EepromBackupFolder(error);
  const QString file = RunFileDialog(QString::fromUtf8(kv9::window::EepromBackupRow(command).caption),
                                     QString::fromStdString(folder), kv9::window::kEepromBackupFilter);
  if (file.isEmpty() || !flashWrRXCont_) return;
  ControllerUse use(*this);
  kv9::window::RunEepromBackupCommand(*flashWrRXCont_, command, InitScanMode, QFile::encodeName(file).toStdString(),
                                      LogLine());
}

void TRXProgAppForm::ShowReWriteMode() {
  const bool on = flashWrRXCont_ && flashWrRXCont_->ReWriteMode;
  reWriteModeLabel_->setText(on ? QString::fromUtf8(kv9::window::kReWriteModeShown) : QString());
  reWriteModeLabel_->setVisible(on);
}
