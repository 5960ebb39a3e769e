// The settings dialogs and the small port commands of the settings menu.
#include <QAction>
#include <QComboBox>
#include <QCheckBox>
#include <cstring>

#include "app/com_combo_box.h"
#include "app/config_dlg.h"
#include "app/main_window.h"
#include "app/num_edit.h"
#include "app/port_set_dlg.h"
#include "link/settings_conversions.h"
#include "serial/port_name.h"

void TRXProgAppForm::ConnectSettingsMenu() {
  auto connectItem = [this](const char* name, void (TRXProgAppForm::*handler)()) {
    if (QAction* item = findChild<QAction*>(name)) connect(item, &QAction::triggered, this, handler);
  };
  connectItem("MnSetConfig", &TRXProgAppForm::MnSetConfigClick);
  connectItem("MnSetCOMPort", &TRXProgAppForm::MnSetCOMPortClick);
  connectItem("Open1", &TRXProgAppForm::Open1Click);
  connectItem("Clsoe1", &TRXProgAppForm::Clsoe1Click);
  connectItem("Rom1", &TRXProgAppForm::Rom1Click);
  connectItem("Boot1", &TRXProgAppForm::Boot1Click);
}

void TRXProgAppForm::FillConfigDlg(TConfigDlg& dlg) const {
  dlg.SetProgSpeedIndex(ProgSettings.WriteSpeedIndex);
  dlg.CBDispDebugInfo->setChecked(DispDebugInfo != 0);
  dlg.CBDispTxInfo->setChecked(DispTxInfo != 0);
  dlg.CBDispRecInfo->setChecked(DispRecInfo != 0);
  dlg.EdFreq->setValue(ProgSettings.InputFreqMHz);
  dlg.EdTeibai1->setValue(ProgSettings.Multiplier1);
  dlg.EdTeibai2->setValue(ProgSettings.Multiplier2);
  dlg.EdSpeed->setValue(ProgSettings.BootBitRate);
  dlg.EdResTime->setValue(ResetWaitMs);
  dlg.CBInit->setChecked(InitAfterUpdate != 0);
  dlg.CBInitScanMode->setChecked(InitScanMode != 0);
  dlg.CBSelCPU->setCurrentIndex(kv9::CpuEntryOfCode(ProgSettings.CpuCode));
  // An index the list does not have selects nothing.
  const bool knownSize = ProgSettings.RomSizeIndex >= 0 && ProgSettings.RomSizeIndex < dlg.CBRomSize->count();
  dlg.CBRomSize->setCurrentIndex(knownSize ? ProgSettings.RomSizeIndex : -1);
}

void TRXProgAppForm::TakeConfigDlg(const TConfigDlg& dlg) {
  kv9::TFlashWrRXCont& cont = *flashWrRXCont_;
  // 1. Speed preselection and the log displays, which the controller follows.
  ProgSettings.WriteSpeedIndex = dlg.ProgSpeedIndex();
  DispDebugInfo = dlg.CBDispDebugInfo->isChecked() ? 1 : 0;
  DispTxInfo = dlg.CBDispTxInfo->isChecked() ? 1 : 0;
  DispRecInfo = dlg.CBDispRecInfo->isChecked() ? 1 : 0;
  cont.DebugLog = DispDebugInfo;
  cont.TxLog = DispTxInfo;
  cont.RxLog = DispRecInfo;
  // 2. The numbers, integers truncated toward zero.
  ProgSettings.InputFreqMHz = static_cast<float>(dlg.EdFreq->value());
  ProgSettings.Multiplier1 = kv9::MultiplierOf(dlg.EdTeibai1->value());
  ProgSettings.Multiplier2 = kv9::MultiplierOf(dlg.EdTeibai2->value());
  ProgSettings.BootBitRate = kv9::TruncToInt32(dlg.EdSpeed->value());
  ResetWaitMs = kv9::TruncToInt32(dlg.EdResTime->value());
  // 3. What follows an update.
  InitAfterUpdate = dlg.CBInit->isChecked() ? 1 : 0;
  InitScanMode = dlg.CBInitScanMode->isChecked() ? 1 : 0;
  // 4. Microcontroller and ROM size.
  ProgSettings.CpuCode = kv9::CpuCodeOfEntry(dlg.CBSelCPU->currentIndex());
  ProgSettings.RomSizeIndex = dlg.CBRomSize->currentIndex();
  // 5. The controller's copy, whole.
  cont.Settings = ProgSettings;
  // 6. The flash area follows; the image bytes stay as they are.
  cont.SetImageArea(ProgSettings.CpuCode, ProgSettings.RomSizeIndex);
}

void TRXProgAppForm::MnSetConfigClick() {
  if (!flashWrRXCont_) return;
  ControllerUse use(*this);
  TConfigDlg dlg(this);
  FillConfigDlg(dlg);
  // A close of the main window while the dialog was up ends the tool: the
  // settings no longer matter then.
  if (dlg.exec() != QDialog::Accepted || releaseRequested_) return;
  TakeConfigDlg(dlg);
}

void TRXProgAppForm::MnSetCOMPortClick() {
  if (!flashWrRXCont_) return;
  ControllerUse use(*this);
  kv9::TComPort& port = flashWrRXCont_->CommX1;
  TPortSetDlg dlg(this);
  dlg.ComComboBox1->SetComPort(&port);
  if (dlg.exec() != QDialog::Accepted || releaseRequested_) return;
  const std::string chosen = dlg.ComComboBox1->GetText().toStdString();
  if (chosen == port.Port()) return;
  // Nothing picked gives empty text: ComNumberOf raises the conversion
  // error before the port is touched, and the error box reports it.
  const int number = kv9::ComNumberOf(chosen);
  // The port keeps its bit rate.
  const int opened = flashWrRXCont_->OpenPort(static_cast<std::uint8_t>(number));
  std::string line = "Open " + port.Port();
  if (opened) {
    ProgSettings.PortNumber = kv9::ComNumberOf(port.Port());
    flashWrRXCont_->Settings = ProgSettings;
    line += " : OK";
  } else {
    line += " : NG";
  }
  AppendLog(line, 0);
}

void TRXProgAppForm::Open1Click() {
  if (!flashWrRXCont_) return;
  ControllerUse use(*this);
  kv9::TFlashWrRXCont& cont = *flashWrRXCont_;
  const int opened = cont.ReopenAtRate(static_cast<std::uint8_t>(ProgSettings.PortNumber), kv9::br19200);
  AppendLog("Open " + cont.CommX1.Port() + (opened ? " : OK" : " : NG"), 1);
}

void TRXProgAppForm::Clsoe1Click() {
  if (!flashWrRXCont_) return;
  ControllerUse use(*this);
  flashWrRXCont_->ClosePort();
  AppendLog("Clse COM Port", 1);
}

void TRXProgAppForm::Rom1Click() {
  if (!flashWrRXCont_) return;
  ControllerUse use(*this);
  kv9::TFlashWrRXCont& cont = *flashWrRXCont_;
  if (!cont.ReadRomVersion(0)) return;  // its trace lines say why
  const std::string version(cont.RomVersion.data(), strnlen(cont.RomVersion.data(), 9));
  AppendLog("ROM Verision : " + version, 1);
}

void TRXProgAppForm::Boot1Click() {
  if (!flashWrRXCont_) return;
  ControllerUse use(*this);
  const int ok = flashWrRXCont_->SetProgMode();
  AppendLog(std::string("SetProgMode : ") + (ok ? " : OK" : " : NG"), 1);
}
