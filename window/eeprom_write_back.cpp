#include "window/eeprom_write_back.h"

#include "link/eeprom_backup.h"
#include "link/eeprom_restore.h"
#include "window/window_texts.h"

namespace kv9::window {

bool RunEepromBackupCommand(TFlashWrRXCont& cont, bool rollBack, int initScanMode, const std::string& file,
                            const LogLineFn& log) {
  log((rollBack ? kEepromRollBackFileLine : kEepromRestoreFileLine) + file, 1);
  EepromFileSource source;
  source.path = file;
  source.rollBack = rollBack;
  std::string error;
  if (!ReadEepromBackup(file, source.content, error)) {
    log("EEPROM BACKUP FILE : NG " + error, 1);
    if (LinkUi* ui = cont.Owner()) ui->ShowError(error);
    return false;
  }
  source.allowOtherModule = [&cont](const std::string&) {
    LinkUi* ui = cont.Owner();
    return ui && ui->AskYesNo(kOtherModuleQuestion);
  };
  const UpdateReport report = RunRestoreStep(cont, initScanMode, &source, log);
  // The copy of what the module held before is the way back from this too.
  if (!report.eepromBackup.empty()) log("EEPROM BACKUP : " + report.eepromBackup, 1);
  return report.outcome == UpdateOutcome::Ok;
}

}  // namespace kv9::window
