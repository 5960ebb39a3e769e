#pragma once
// The factory-setting step as the update, the window's menu and
// `kv9flash restore` run it: never an initialisation without a verified
// copy of the module's EEPROM on disk; the step continued from such a copy
// when it broke off; and the copy written back as it is (the roll-back).
#include <functional>
#include <string>

#include "link/eeprom_backup_text.h"
#include "link/eeprom_procedures.h"
#include "link/update_report.h"

namespace kv9 {

struct EepromRestoreResult {
  RestoreProblem problem = RestoreProblem::None;
  std::string backupPath;  // the copy written before anything changed; "" none
  bool rollBack = false;   // the roll-back ran, not the factory-setting step
  bool otherModule = false;  // another module's file, written because the person said so
};

// A backup file as what the step starts from.
struct EepromFileSource {
  std::string path;
  EepromBackupContent content;  // as ReadEepromBackup read it
  // The roll-back: the file's images written as they are, no initialisation.
  bool rollBack = false;
  // Asked, with the reason, when the file is another module's; true writes
  // it all the same. Unset: refused.
  std::function<bool(const std::string& why)> allowOtherModule;
};

// Reads both images twice, writes the copy (EepromBackupFolder), and only
// then initialises and writes the old values back. The copy's path is a
// debug line; a copy that cannot be made is a forced line with its reason.
EepromRestoreResult RestoreWithBackup(TFlashWrRXCont& cont, int initScanMode, const std::string& portName,
                                      const LogLineFn& log);

// The step from a backup file: reads what the module holds now (twice),
// refuses another module's file (unless allowed), keeps what the module
// holds in a new copy, then continues the factory-setting step with the
// file's images as the images before it (ContinueFactoryRestore), so the
// module ends as after a good update; or, for the roll-back, writes the
// file's images back as they are.
EepromRestoreResult RestoreFromBackupFile(TFlashWrRXCont& cont, int initScanMode, const EepromFileSource& source,
                                          const LogLineFn& log);

// The factory-setting step as a command of its own (the window's menu,
// `kv9flash restore`): RestoreWithBackup, or RestoreFromBackupFile when
// `source` is given, with its "FLASH DATA" line and what a failure left.
// The report says where the module stands and what continues; another
// module's file refused is UpdateOutcome::Refused.
UpdateReport RunRestoreStep(TFlashWrRXCont& cont, int initScanMode, const EepromFileSource* source,
                            const LogLineFn& log);

// The forced lines that say what a failed factory-setting step left and
// what to do: nothing changed (the reads, the copy, an initialisation that
// did nothing), the EEPROM initialised or partly written (and which file
// continues).
void LogRestoreProblem(const EepromRestoreResult& result, const LogLineFn& log);

}  // namespace kv9
