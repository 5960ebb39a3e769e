#pragma once
// The factory-setting step as the update, the window's menu and
// `kv9flash restore` run it: never an initialisation without a verified
// copy of the module's EEPROM on disk, and a way to write such a copy back.
#include <string>

#include "link/eeprom_procedures.h"
#include "link/update_report.h"

namespace kv9 {

struct EepromRestoreResult {
  RestoreProblem problem = RestoreProblem::None;
  std::string backupPath;  // the copy written before anything changed; "" none
};

// Reads both images twice, writes the copy (EepromBackupFolder), and only
// then initialises and writes the old values back. The copy's path is a
// debug line; a copy that cannot be made is a forced line with its reason.
EepromRestoreResult RestoreWithBackup(TFlashWrRXCont& cont, int initScanMode, const std::string& portName,
                                      const LogLineFn& log);

// Writes the images of the backup file `file` back into the module, after
// keeping what the module holds now in a new copy. No initialisation.
EepromRestoreResult RestoreFromBackupFile(TFlashWrRXCont& cont, const std::string& file,
                                          const std::string& portName, const LogLineFn& log);

// The factory-setting step as a command of its own (the window's menu,
// `kv9flash restore`): RestoreWithBackup, or RestoreFromBackupFile when
// `fromFile` is given, with its "FLASH DATA" line and what a failure left.
// The report says where the module stands and what continues.
UpdateReport RunRestoreStep(TFlashWrRXCont& cont, int initScanMode, const std::string& fromFile,
                            const LogLineFn& log);

// The forced lines that say what a failed factory-setting step left and
// what to do: nothing changed (the reads, the copy) or the EEPROM partly
// written (and which file holds it as it was).
void LogRestoreProblem(const EepromRestoreResult& result, const LogLineFn& log);

}  // namespace kv9
