// The one-click update of the main window: its command, its progress window
// and sounds. The sequence itself lives in the core (link/firmware_update).
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QToolButton>

#include "app/dialog_parts.h"
#include "app/confirm1_dlg.h"
#include "app/main_window.h"
#include "app/sound_player.h"
#include "link/firmware_backup.h"
#include "link/firmware_update.h"
#include "platform/message_pump.h"

void TRXProgAppForm::ConnectUpdateCommand() {
  connect(TB_Write, &QToolButton::clicked, this, &TRXProgAppForm::TB_WriteClick);
  connect(N2, &QAction::triggered, this, &TRXProgAppForm::TB_WriteClick);
  connect(MnProgram, &QAction::triggered, this, &TRXProgAppForm::TB_WriteClick);
}

void TRXProgAppForm::TB_WriteClick() {
  // Menu keys can reach a disabled window's actions; a run is never re-entered.
  if (updateRunning_ || startupRunning_ || !flashWrRXCont_) return;
  ControllerUse use(*this);
  if (flashWrRXCont_->ModuleSupported == 1) {
    RunFirmwareUpdate();
  } else {
    flashWrRXCont_->ShowModuleMessage();
  }
}

void TRXProgAppForm::RunFirmwareUpdate() {
  updateRunning_ = true;
  firmwareChecked_ = false;
  struct Done {
    TRXProgAppForm& form;
    ~Done() {
      form.updateRunning_ = false;
      form.QuitWhenIdleLater();  // a stop asked during the run ends the tool now
    }
  } done{*this};
  kv9::UpdateOptions options;
  options.ResetWaitMs = ResetWaitMs;
  options.UserBootMode = UserBootMode;
  options.InitAfterUpdate = InitAfterUpdate;
  options.InitScanMode = InitScanMode;
  if (MnFwBackup->isChecked()) {
    std::string error;
    options.FirmwareBackup = kv9::FirmwareBackupFolder(error);
    options.FirmwareBackupMakeFolder = 1;
    // Asked for a copy and none can be made: nothing is touched.
    if (options.FirmwareBackup.empty()) return ShowMessage("ファームウェアのバックアップ先がありません。" + error);
  }
  kv9::RunFirmwareUpdate(*flashWrRXCont_, ProgSettings, options, LogLine(), FailStage);
}

void TRXProgAppForm::SetMainWindowEnabled(bool enabled) {
  // A disabled window takes no clicks and no keys, so the update cannot be
  // started a second time while it runs; the progress window is disabled too.
  setEnabled(enabled);
}

void TRXProgAppForm::SetStageTitle(const std::string& text) { STTitle->setText(QString::fromStdString(text)); }

void TRXProgAppForm::ShowUpdateProgress() {
  confirm1Dlg_ = new TConfirm1Dlg(this);
  confirm1Dlg_->OKBtn->setEnabled(false);
  confirm1Dlg_->Label1->clear();
  confirm1Dlg_->Label2->clear();
  confirm1Dlg_->setEnabled(false);
  confirm1Dlg_->SetLabel1Size(18);
  CentreOnScreen(confirm1Dlg_);
  confirm1Dlg_->show();
  confirm1Dlg_->raise();
  confirm1Dlg_->activateWindow();
  kv9::ProcessMessages();
}

void TRXProgAppForm::SetUpdateProgressLabel(const std::string& text) {
  if (confirm1Dlg_) confirm1Dlg_->Label1->setText(QString::fromStdString(text));
}

void TRXProgAppForm::SetUpdateProgressMessage(const std::string& text) {
  if (confirm1Dlg_) confirm1Dlg_->Label2->setText(QString::fromStdString(text));
}

void TRXProgAppForm::ShowUpdateResult(bool success) {
  if (!confirm1Dlg_) return;
  confirm1Dlg_->SetLabel1Size(72);
  confirm1Dlg_->Label1->setText(success ? QStringLiteral("OK") : QStringLiteral("NG"));
  confirm1Dlg_->SetLabel1Colour(success ? Qt::blue : Qt::red);
  lastUpdateResult_ = confirm1Dlg_->Label1->text();
  resultShown_.start();
}

void TRXProgAppForm::CloseUpdateProgress() {
  if (!confirm1Dlg_) return;
  confirm1Dlg_->raise();
  kv9::ProcessMessages();
  // The result stays readable for a moment before the window goes; the log
  // keeps it for good.
  constexpr qint64 kResultShownMs = 1500;
  if (resultShown_.isValid() && resultShown_.elapsed() < kResultShownMs) {
    kv9::WaitProcessingMessages(static_cast<std::uint32_t>(kResultShownMs - resultShown_.elapsed()));
  }
  resultShown_.invalidate();
  if (!confirm1Dlg_) return;
  confirm1Dlg_->setEnabled(true);
  confirm1Dlg_->OKBtn->setEnabled(true);
  confirm1Dlg_->close();
  delete confirm1Dlg_;
}

void TRXProgAppForm::PlayResultSound(bool success) {
  if (!soundPlayer_) soundPlayer_ = new SoundPlayer(this);
  soundPlayer_->Play(success ? RingSound : AlarmSound);
}
