#include "window/eeprom_write_back.h"

#include "link/eeprom_restore.h"
#include "window/window_texts.h"

namespace kv9::window {

bool WriteBackEepromBackup(TFlashWrRXCont& cont, const std::string& file, const LogLineFn& log) {
  log(kEepromBackupFileLine + file, 1);
  const EepromRestoreResult result = RestoreFromBackupFile(cont, file, cont.CommX1.Port(), log);
  const bool ok = result.problem == RestoreProblem::None;
  log(ok ? "FLASH DATA : OK" : "FLASH DATA : NG", 1);
  LogRestoreProblem(result, log);
  // The copy of what the module held before is the way back from this too.
  if (!result.backupPath.empty()) log("EEPROM BACKUP : " + result.backupPath, 1);
  return ok;
}

}  // namespace kv9::window
