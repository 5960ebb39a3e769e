// The window model's dialogs and windows as this window draws them: the
// port dialog and the search's wait window, the update's progress window
// and sounds, the file dialog, and the settings and port dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

#include "app/com_combo_box.h"
#include "app/config_dlg.h"
#include "app/confirm1_dlg.h"
#include "app/dialog_parts.h"
#include "app/guage1_dlg.h"
#include "app/main_window.h"
#include "app/num_edit.h"
#include "app/open_com1_dlg.h"
#include "app/port_set_dlg.h"
#include "app/sound_player.h"
#include "platform/message_pump.h"
#include "window/window_texts.h"

namespace {

QStringList ToQStringList(const std::vector<std::string>& texts) {
  QStringList list;
  list.reserve(static_cast<qsizetype>(texts.size()));
  for (const std::string& text : texts) list << QString::fromStdString(text);
  return list;
}

}  // namespace

// The request's list is shown sorted (LBComPort is a sorted list); the
// result's selectedIndex is the entry's index in request.ports, so
// request.ports[selectedIndex] == selectedText whatever order it came in.
kv9::PortOpenDialogResult TRXProgAppForm::RunPortOpenDialog(const kv9::PortOpenDialogRequest& request,
                                                            std::int32_t& reWriteMode) {
  TOpenCom1Dlg dlg(reWriteMode, this);
  dlg.setWindowTitle(QString::fromStdString(request.caption));
  dlg.CBAutoCheck->setChecked(false);
  dlg.CB_WrSpeed->clear();
  dlg.CB_WrSpeed->addItems(ToQStringList(request.writeSpeeds));
  dlg.CB_WrSpeed->setCurrentIndex(request.writeSpeedIndex);
  dlg.CB_WrSpeed->setVisible(false);
  dlg.StaticText1->setVisible(false);
  dlg.LBComPort->setSelectionMode(QAbstractItemView::SingleSelection);
  dlg.SetPorts(ToQStringList(request.ports));
  const int row = dlg.RowOfPort(request.selectedIndex);
  if (row >= 0) {
    dlg.LBComPort->setCurrentRow(row);
    dlg.STComPort->setText(dlg.LBComPort->item(row)->text());
  }
  dlg.SetComSpeedIndex(request.comSpeedIndex);
  kv9::PortOpenDialogResult result;
  CentreOnScreen(&dlg);
  result.ok = dlg.exec() == QDialog::Accepted;
  const int selected = dlg.SelectedRow();
  result.selectedIndex = dlg.PortIndexOfRow(selected);
  result.selectedText = selected >= 0 ? dlg.LBComPort->item(selected)->text().toStdString() : "";
  result.comSpeedIndex = dlg.ComSpeedIndex();
  result.autoCheck = dlg.CBAutoCheck->isChecked();
  ShowReWriteMode(reWriteMode != 0);  // the dialog's re-write box may have switched it
  return result;
}

void TRXProgAppForm::ShowSearchWindow(const std::string& caption, const std::string& text) {
  delete guage1Dlg_;  // a window left from an earlier search that was not closed
  guage1Dlg_ = new TGuage1Dlg(this);
  TGuage1Dlg* dlg = guage1Dlg_;
  dlg->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  CentreOnScreen(dlg);
  dlg->show();
  // The search cannot be cancelled and shows no progress.
  dlg->Button1->setVisible(false);
  dlg->ProgressBar1->setVisible(false);
  dlg->Panel2->setVisible(false);
  dlg->setWindowTitle(QString::fromStdString(caption));
  dlg->Label1->setText(QString::fromStdString(text));
  kv9::ProcessMessages();
  if (!guage1Dlg_) return;  // released while messages were processed
  CentreOnScreen(guage1Dlg_);  // again, now that the hidden parts no longer take room
  guage1Dlg_->show();
  guage1Dlg_->raise();
}

void TRXProgAppForm::SetSearchText(const std::string& text) {
  if (guage1Dlg_) guage1Dlg_->Label1->setText(QString::fromStdString(text));
}

void TRXProgAppForm::CloseSearchWindow() {
  if (!guage1Dlg_) return;
  guage1Dlg_->close();
  delete guage1Dlg_;
}

void TRXProgAppForm::ShowProgressWindow() {
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
}

void TRXProgAppForm::SetProgressLabel(const std::string& text) {
  if (confirm1Dlg_) confirm1Dlg_->Label1->setText(QString::fromStdString(text));
}

void TRXProgAppForm::SetProgressMessage(const std::string& text) {
  if (confirm1Dlg_) confirm1Dlg_->Label2->setText(QString::fromStdString(text));
}

void TRXProgAppForm::ShowProgressResult(bool success) {
  if (!confirm1Dlg_) return;
  confirm1Dlg_->SetLabel1Size(72);
  confirm1Dlg_->Label1->setText(success ? QStringLiteral("OK") : QStringLiteral("NG"));
  confirm1Dlg_->SetLabel1Colour(success ? Qt::blue : Qt::red);
}

void TRXProgAppForm::KeepProgressWindow(const std::vector<std::string>& advice) {
  if (!confirm1Dlg_) return;
  confirm1Dlg_->ShowAdvice(ToQStringList(advice));
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

void TRXProgAppForm::CloseProgressWindow() {
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

std::string TRXProgAppForm::AskOpenFile(const std::string& title, const std::string& folder, const std::string& filter) {
  QFileDialog dlg(this, QString::fromStdString(title), QString::fromStdString(folder), QString::fromStdString(filter));
  dlg.setObjectName("FileDialog");
  // Names in full, with their dates: backup files differ only at the end.
  dlg.setViewMode(QFileDialog::Detail);
  dlg.resize(760, 460);
  dlg.setFileMode(QFileDialog::ExistingFile);
  dlg.setAcceptMode(QFileDialog::AcceptOpen);
  if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
  return dlg.selectedFiles().first().toStdString();
}

bool TRXProgAppForm::RunConfigDialog(kv9::window::ConfigValues& v) {
  TConfigDlg dlg(this);
  dlg.SetProgSpeedIndex(v.progSpeedIndex);
  dlg.CBDispDebugInfo->setChecked(v.dispDebug);
  dlg.CBDispTxInfo->setChecked(v.dispTx);
  dlg.CBDispRecInfo->setChecked(v.dispRec);
  dlg.EdFreq->setValue(v.freq);
  dlg.EdTeibai1->setValue(v.mult1);
  dlg.EdTeibai2->setValue(v.mult2);
  dlg.EdSpeed->setValue(v.bootRate);
  dlg.EdResTime->setValue(v.resetWait);
  dlg.CBInit->setChecked(v.init);
  dlg.CBInitScanMode->setChecked(v.initScan);
  dlg.CBSelCPU->setCurrentIndex(v.cpuEntry);
  // An index the list does not have selects nothing.
  const bool knownSize = v.romSizeIndex >= 0 && v.romSizeIndex < dlg.CBRomSize->count();
  dlg.CBRomSize->setCurrentIndex(knownSize ? v.romSizeIndex : -1);
  if (dlg.exec() != QDialog::Accepted) return false;
  v.progSpeedIndex = dlg.ProgSpeedIndex();
  v.dispDebug = dlg.CBDispDebugInfo->isChecked();
  v.dispTx = dlg.CBDispTxInfo->isChecked();
  v.dispRec = dlg.CBDispRecInfo->isChecked();
  v.freq = dlg.EdFreq->value();
  v.mult1 = dlg.EdTeibai1->value();
  v.mult2 = dlg.EdTeibai2->value();
  v.bootRate = dlg.EdSpeed->value();
  v.resetWait = dlg.EdResTime->value();
  v.init = dlg.CBInit->isChecked();
  v.initScan = dlg.CBInitScanMode->isChecked();
  v.cpuEntry = dlg.CBSelCPU->currentIndex();
  v.romSizeIndex = dlg.CBRomSize->currentIndex();
  return true;
}

bool TRXProgAppForm::RunPortSetDialog(kv9::TCustomComPort& port, std::string& chosen) {
  TPortSetDlg dlg(this);
  dlg.ComComboBox1->SetComPort(&port);
  if (dlg.exec() != QDialog::Accepted) return false;
  chosen = dlg.ComComboBox1->GetText().toStdString();
  return true;
}
