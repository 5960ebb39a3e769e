// The settings menu's dialogs and small port, EEPROM and power commands, and
// the boot-mode command menu, on the window model's controller.
#include <cstring>

#include "link/eeprom_procedures.h"
#include "link/eeprom_restore.h"
#include "link/flash_wr_rx_cont.h"
#include "serial/port_name.h"
#include "window/boot_menu_commands.h"
#include "window/settings_conversions.h"
#include "window/window_model.h"

namespace kv9::window {

void WindowModel::MnSetConfigClick() {
  ControllerUse use(*this);
  WindowSettings& w = settings_;
  TProgSettings& p = w.ProgSettings;
  ConfigValues v;
  v.progSpeedIndex = p.WriteSpeedIndex;
  v.dispDebug = w.DispDebugInfo != 0, v.dispTx = w.DispTxInfo != 0, v.dispRec = w.DispRecInfo != 0;
  v.freq = p.InputFreqMHz, v.mult1 = p.Multiplier1, v.mult2 = p.Multiplier2, v.bootRate = p.BootBitRate;
  v.resetWait = w.ResetWaitMs;
  v.init = w.InitAfterUpdate != 0, v.initScan = w.InitScanMode != 0;
  v.cpuEntry = CpuEntryOfCode(p.CpuCode);
  v.romSizeIndex = p.RomSizeIndex;
  // A close of the main window while the dialog was up ends the tool: the
  // settings no longer matter then.
  if (!view_.RunConfigDialog(v) || closePending_ || !cont_) return;
  // 1. Speed preselection and the log displays, which the controller follows.
  p.WriteSpeedIndex = v.progSpeedIndex;
  w.DispDebugInfo = v.dispDebug, w.DispTxInfo = v.dispTx, w.DispRecInfo = v.dispRec;
  cont_->DebugLog = w.DispDebugInfo, cont_->TxLog = w.DispTxInfo, cont_->RxLog = w.DispRecInfo;
  // 2. The numbers, integers truncated toward zero.
  p.InputFreqMHz = static_cast<float>(v.freq);
  p.Multiplier1 = MultiplierOf(v.mult1);
  p.Multiplier2 = MultiplierOf(v.mult2);
  p.BootBitRate = TruncToInt32(v.bootRate);
  w.ResetWaitMs = TruncToInt32(v.resetWait);
  // 3. What follows an update; 4. microcontroller and ROM size.
  w.InitAfterUpdate = v.init, w.InitScanMode = v.initScan;
  p.CpuCode = CpuCodeOfEntry(v.cpuEntry);
  p.RomSizeIndex = v.romSizeIndex;
  // 5. The controller's copy, whole; the flash area follows, the image bytes stay.
  cont_->Settings = p;
  cont_->SetImageArea(p.CpuCode, p.RomSizeIndex);
}

void WindowModel::MnSetCOMPortClick() {
  ControllerUse use(*this);
  TComPort& port = cont_->CommX1;
  std::string chosen;
  if (!view_.RunPortSetDialog(port, chosen) || closePending_ || !cont_) return;
  if (chosen == port.Port()) return;
  // Nothing picked gives empty text: ComNumberOf raises the conversion
  // error before the port is touched, and the error box reports it.
  const int number = ComNumberOf(chosen);
  // The port keeps its bit rate.
  const int opened = cont_->OpenPort(static_cast<std::uint8_t>(number));
  if (opened) {
    settings_.ProgSettings.PortNumber = ComNumberOf(port.Port());
    cont_->Settings = settings_.ProgSettings;
  }
  AppendLog("Open " + port.Port() + (opened ? " : OK" : " : NG"), 0);
}

void WindowModel::Open1Click() {
  ControllerUse use(*this);
  const int opened = cont_->ReopenAtRate(static_cast<std::uint8_t>(settings_.ProgSettings.PortNumber), br19200);
  AppendLog("Open " + cont_->CommX1.Port() + (opened ? " : OK" : " : NG"), 1);
}

void WindowModel::Clsoe1Click() {
  ControllerUse use(*this);
  cont_->ClosePort();
  AppendLog("Clse COM Port", 1);
}

void WindowModel::Rom1Click() {
  ControllerUse use(*this);
  if (!cont_->ReadRomVersion(0)) return;  // its trace lines say why
  AppendLog("ROM Verision : " + std::string(cont_->RomVersion.data(), strnlen(cont_->RomVersion.data(), 9)), 1);
}

void WindowModel::Boot1Click() {
  ControllerUse use(*this);
  AppendLog(std::string("SetProgMode : ") + (cont_->SetProgMode() ? " : OK" : " : NG"), 1);
}

void WindowModel::MnGetPowerClick() {
  ControllerUse use(*this);
  AppendLog(std::string("Set PowerRef") + (SetPowerRef(*cont_, LogLine()) ? " : OK" : " : NG"), 1);
}

void WindowModel::MnInitClick() {
  ControllerUse use(*this);
  AppendLog(std::string("TxInitEEPROM") + (cont_->EepromInit(0) ? " : OK" : " : NG"), 1);
}

void WindowModel::MngetInitDataClick() {
  ControllerUse use(*this);
  ShowFactoryData(*cont_, LogLine());
}

void WindowModel::mnSetFactInitClick() {
  ControllerUse use(*this);
  // As in the update: the EEPROM is copied to disk before it is initialised.
  const EepromRestoreResult result =
      RestoreWithBackup(*cont_, settings_.InitScanMode, cont_->CommX1.Port(), LogLine());
  AppendLog(result.problem == RestoreProblem::None ? " : OK" : " : NG", 1);
  LogRestoreProblem(result, LogLine());
}

void WindowModel::RunBootMenuCommand(const BootMenuCommand& command) {
  if (!cont_) return;
  ControllerUse use(*this);
  LogMenuOutcome(kv9::RunBootMenuCommand(*cont_, command, settings_.ProgSettings), LogLine());
}

void WindowModel::MnCmdCheckClick() {
  ControllerUse use(*this);
  for (const BootMenuCommand* command : CommandCheckSequence()) RunBootMenuCommand(*command);
}

}  // namespace kv9::window
