// The EEPROM, factory-setting and power items of the settings menu.
#include <QAction>

#include "app/main_window.h"
#include "link/eeprom_procedures.h"
#include "link/eeprom_restore.h"

void TRXProgAppForm::ConnectEepromMenu() {
  auto connectItem = [this](const char* name, void (TRXProgAppForm::*handler)()) {
    if (QAction* item = findChild<QAction*>(name)) connect(item, &QAction::triggered, this, handler);
  };
  connectItem("MnGetPower", &TRXProgAppForm::MnGetPowerClick);
  connectItem("MnInit", &TRXProgAppForm::MnInitClick);
  connectItem("MngetInitData", &TRXProgAppForm::MngetInitDataClick);
  connectItem("mnSetFactInit", &TRXProgAppForm::mnSetFactInitClick);
}

kv9::LogLineFn TRXProgAppForm::LogLine() {
  return [this](const std::string& text, int force) { AppendLog(text, force); };
}

void TRXProgAppForm::MnGetPowerClick() {
  ControllerUse use(*this);
  const int ok = kv9::SetPowerRef(*flashWrRXCont_, LogLine());
  AppendLog(std::string("Set PowerRef") + (ok ? " : OK" : " : NG"), 1);
}

void TRXProgAppForm::MnInitClick() {
  ControllerUse use(*this);
  const int ok = flashWrRXCont_->EepromInit(0);
  AppendLog(std::string("TxInitEEPROM") + (ok ? " : OK" : " : NG"), 1);
}

void TRXProgAppForm::MngetInitDataClick() {
  ControllerUse use(*this);
  kv9::ShowFactoryData(*flashWrRXCont_, LogLine());
}

void TRXProgAppForm::mnSetFactInitClick() {
  ControllerUse use(*this);
  // As in the update: the EEPROM is copied to disk before it is initialised.
  const kv9::EepromRestoreResult result =
      kv9::RestoreWithBackup(*flashWrRXCont_, InitScanMode, flashWrRXCont_->CommX1.Port(), LogLine());
  AppendLog(result.problem == kv9::RestoreProblem::None ? " : OK" : " : NG", 1);
  kv9::LogRestoreProblem(result, LogLine());
}
