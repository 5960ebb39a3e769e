// The one-click update of the main window: its command, its progress window
// and sounds. The sequence itself lives in the core (link/firmware_update).
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QToolButton>
#include <stdexcept>

#include "app/dialog_parts.h"
#include "app/confirm1_dlg.h"
#include "app/log_memo.h"
#include "app/main_window.h"
#include "app/sound_player.h"
#include "link/firmware_backup.h"
#include "link/firmware_update.h"
#include "kv9_version.h"
#include "platform/message_pump.h"
#include "window/window_texts.h"

namespace {

QStringList ToQStringList(const std::vector<std::string>& texts) {
  QStringList list;
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
}

}  // namespace

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
  std::string backupFolder;
  if (MnFwBackup->isChecked()) {
    std::string error;
    backupFolder = kv9::FirmwareBackupFolder(error);
    // Asked for a copy and none can be made: nothing is touched.
    if (backupFolder.empty()) return ShowMessage("ファームウェアのバックアップ先がありません。" + error);
  }
  updateRunning_ = true;
  firmwareChecked_ = false;
  guard_.RunStarted();
  RefreshUpdateCommands();
  runWatch_.Start();
  StartRunLog();
  struct Done {
    TRXProgAppForm& form;
    ~Done() {
      form.updateRunning_ = false;
      form.SPTMemo->lineAdded = nullptr;  // also when an unknown error ended the run
      form.guard_.RunEnded();
      form.RefreshUpdateCommands();
      form.QuitWhenIdleLater();  // a stop asked during the run ends the tool now
    }
  } done{*this};
  kv9::UpdateOptions options;
  options.ResetWaitMs = ResetWaitMs;
  options.UserBootMode = UserBootMode;
  options.InitAfterUpdate = InitAfterUpdate;
  options.InitScanMode = InitScanMode;
  options.FirmwareBackup = backupFolder;
  options.FirmwareBackupMakeFolder = backupFolder.empty() ? 0 : 1;
  std::string escaped;
  const kv9::UpdateReport report =
      kv9::RunFirmwareUpdate(*flashWrRXCont_, ProgSettings, options, LogLine(), FailStage, &escaped);
  EndRun(report);
  // The error that ended the run goes on to the toolkit's handler, which
  // shows it, once the windows show where the run ended.
  if (!escaped.empty()) throw std::runtime_error(escaped);
}

void TRXProgAppForm::StartRunLog() {
  std::string error;
  const std::string folder = kv9::window::RunLogFolder(error);
  const std::string port = "COM" + std::to_string(ProgSettings.PortNumber);
  if (folder.empty() || !runLog_.Open(folder, port, error)) {
    AppendLog(kv9::window::kRunLogFailed + error, 1);
    return;
  }
  runLog_.Note(std::string("kv9update ") + KV9_PRODUCT_VERSION);
  const kv9::TProgSettings& s = ProgSettings;
  runLog_.Note("settings: port " + port + ", module rate " + std::to_string(s.BitRate) + ", cpu code " +
               std::to_string(s.CpuCode) + ", boot rate " + std::to_string(s.BootBitRate) + ", reset wait " +
               std::to_string(ResetWaitMs) + " ms" + (flashWrRXCont_->ReWriteMode ? ", re-write mode" : "") +
               (InitAfterUpdate ? ", factory restore after the write" : ""));
  // Every line the pane takes during the run, the controller's too.
  SPTMemo->lineAdded = [this](const std::string& text) { runLog_.Line(text); };
}

void TRXProgAppForm::EndRun(const kv9::UpdateReport& report) {
  const kv9::window::RunEndView view = runWatch_.End(report, DispDebugInfo != 0);
  for (const std::string& line : view.logLines) AppendLog(line, 1);
  STTitle->setText(QString::fromStdString(view.stageTitle));
  CGauge1->setValue(view.percent);
  if (confirm1Dlg_ && view.keepProgressWindow) confirm1Dlg_->ShowAdvice(ToQStringList(view.adviceLines));
  SPTMemo->lineAdded = nullptr;
  runLog_.Note(kv9::window::OutcomeLine(report));
  if (std::string error; !runLog_.Close(error)) AppendLog(kv9::window::kRunLogFailed + error, 1);
}

void TRXProgAppForm::SetMainWindowEnabled(bool enabled) {
  // A disabled window takes no clicks and no keys, so the update cannot be
  // started a second time while it runs; the progress window is disabled too.
  setEnabled(enabled);
}

void TRXProgAppForm::SetStageTitle(const std::string& text) {
  STTitle->setText(QString::fromStdString(text));
  if (updateRunning_) runWatch_.StageTitle(text);
}

void TRXProgAppForm::ShowUpdateProgress() {
  delete confirm1Dlg_;  // an earlier failure's window not yet confirmed
  confirm1Dlg_ = new TConfirm1Dlg(this);
  confirm1Dlg_->refused = [this] {
    statusBar()->showMessage(QString::fromUtf8(kv9::window::kRefusedDuringRun), 3000);
  };
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
  runWatch_.ResultShown(success);
}

void TRXProgAppForm::CloseUpdateProgress() {
  if (!confirm1Dlg_) return;
  if (runWatch_.Failed()) {
    for (const std::string& line : runWatch_.LinesAfterAdvice(FailStage)) AppendLog(line, 1);
    KeepFailedProgress();
    return;
  }
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

void TRXProgAppForm::KeepFailedProgress() {
  resultShown_.invalidate();
  confirm1Dlg_->refused = nullptr;
  confirm1Dlg_->setEnabled(true);
  confirm1Dlg_->OKBtn->setEnabled(true);
  // "確認", Enter, Esc or the close box end it; it goes with its window.
  connect(confirm1Dlg_, &QDialog::finished, confirm1Dlg_, &QObject::deleteLater);
  if (isMinimized()) showNormal();
  confirm1Dlg_->raise();
  confirm1Dlg_->activateWindow();
  confirm1Dlg_->OKBtn->setFocus();
}

void TRXProgAppForm::PlayResultSound(bool success) {
  if (!soundPlayer_) soundPlayer_ = new SoundPlayer(this);
  soundPlayer_->Play(success ? RingSound : AlarmSound);
}
