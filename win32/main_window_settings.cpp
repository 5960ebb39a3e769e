// The settings menu's dialogs and small port, EEPROM and power commands.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dialogs.h"
#include "link/eeprom_restore.h"
#include "window/settings_conversions.h"
#include "main_window.h"
#include "serial/port_name.h"

namespace {

std::string Number(double value, const char* format) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

double ValueOf(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

}  // namespace

kv9::LogLineFn MainWindow::LogLine() {
  return [this](const std::string& text, int force) { AppendLog(text, force); };
}

void MainWindow::MnSetConfigClick() {
  if (!cont_) return;
  ControllerUse use(*this);
  ConfigValues v;
  v.progSpeedIndex = ProgSettings.WriteSpeedIndex;
  v.dispDebug = DispDebugInfo != 0, v.dispTx = DispTxInfo != 0, v.dispRec = DispRecInfo != 0;
  v.freq = Number(ProgSettings.InputFreqMHz, "%.2f");
  v.mult1 = Number(ProgSettings.Multiplier1, "%.0f");
  v.mult2 = Number(ProgSettings.Multiplier2, "%.0f");
  v.bootRate = Number(ProgSettings.BootBitRate, "%.0f");
  v.resetWait = Number(ResetWaitMs, "%.0f");
  v.init = InitAfterUpdate != 0, v.initScan = InitScanMode != 0;
  v.cpuEntry = kv9::CpuEntryOfCode(ProgSettings.CpuCode);
  v.romSizeIndex = ProgSettings.RomSizeIndex;
  if (!RunConfigDialog(hwnd_, v) || releaseRequested_) return;
  ProgSettings.WriteSpeedIndex = v.progSpeedIndex;
  DispDebugInfo = v.dispDebug, DispTxInfo = v.dispTx, DispRecInfo = v.dispRec;
  cont_->DebugLog = DispDebugInfo, cont_->TxLog = DispTxInfo, cont_->RxLog = DispRecInfo;
  ProgSettings.InputFreqMHz = static_cast<float>(ValueOf(v.freq));
  ProgSettings.Multiplier1 = kv9::MultiplierOf(ValueOf(v.mult1));
  ProgSettings.Multiplier2 = kv9::MultiplierOf(ValueOf(v.mult2));
  ProgSettings.BootBitRate = kv9::TruncToInt32(ValueOf(v.bootRate));
  ResetWaitMs = kv9::TruncToInt32(ValueOf(v.resetWait));
  InitAfterUpdate = v.init, InitScanMode = v.initScan;
  ProgSettings.CpuCode = kv9::CpuCodeOfEntry(v.cpuEntry);
  ProgSettings.RomSizeIndex = v.romSizeIndex;
  cont_->Settings = ProgSettings;
  cont_->SetImageArea(ProgSettings.CpuCode, ProgSettings.RomSizeIndex);
}

void MainWindow::MnSetCOMPortClick() {
  if (!cont_) return;
  ControllerUse use(*this);
  kv9::TComPort& port = cont_->CommX1;
  std::string chosen;
  if (!RunPortSetDialog(hwnd_, port.Port(), chosen) || releaseRequested_) return;
  if (chosen == port.Port()) return;
  try {
    const int number = kv9::ComNumberOf(chosen);  // nothing picked: the conversion error
    const int opened = cont_->OpenPort(static_cast<std::uint8_t>(number));
    std::string line = "Open " + port.Port();
    if (opened) {
      ProgSettings.PortNumber = kv9::ComNumberOf(port.Port());
      cont_->Settings = ProgSettings;
    }
    AppendLog(line + (opened ? " : OK" : " : NG"), 0);
  } catch (const std::exception& e) {
    ShowError(e.what());
  }
}

void MainWindow::Open1Click() {
  if (!cont_) return;
  ControllerUse use(*this);
  const int opened = cont_->ReopenAtRate(static_cast<std::uint8_t>(ProgSettings.PortNumber), kv9::br19200);
  AppendLog("Open " + cont_->CommX1.Port() + (opened ? " : OK" : " : NG"), 1);
}

void MainWindow::Clsoe1Click() {
  if (!cont_) return;
  ControllerUse use(*this);
  cont_->ClosePort();
  AppendLog("Clse COM Port", 1);
}

void MainWindow::Rom1Click() {
  if (!cont_) return;
  ControllerUse use(*this);
  if (!cont_->ReadRomVersion(0)) return;  // its trace lines say why
  AppendLog("ROM Verision : " + std::string(cont_->RomVersion.data(), strnlen(cont_->RomVersion.data(), 9)), 1);
}

void MainWindow::Boot1Click() {
  if (!cont_) return;
  ControllerUse use(*this);
  AppendLog(std::string("SetProgMode : ") + (cont_->SetProgMode() ? " : OK" : " : NG"), 1);
}

void MainWindow::MnGetPowerClick() {
  if (!cont_) return;
  ControllerUse use(*this);
  AppendLog(std::string("Set PowerRef") + (kv9::SetPowerRef(*cont_, LogLine()) ? " : OK" : " : NG"), 1);
}

void MainWindow::MnInitClick() {
  if (!cont_) return;
  ControllerUse use(*this);
  AppendLog(std::string("TxInitEEPROM") + (cont_->EepromInit(0) ? " : OK" : " : NG"), 1);
}

void MainWindow::MngetInitDataClick() {
  if (!cont_) return;
  ControllerUse use(*this);
  kv9::ShowFactoryData(*cont_, LogLine());
}

void MainWindow::mnSetFactInitClick() {
  if (!cont_) return;
  ControllerUse use(*this);
  // The EEPROM is copied to disk before it is initialised, as in the update.
  const kv9::EepromRestoreResult result =
      kv9::RestoreWithBackup(*cont_, InitScanMode, cont_->CommX1.Port(), LogLine());
  AppendLog(result.problem == kv9::RestoreProblem::None ? " : OK" : " : NG", 1);
  kv9::LogRestoreProblem(result, LogLine());
}
