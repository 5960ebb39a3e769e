#pragma once
// What one run of the update did and where it left the module. The update
// fills it where each step happens; the log lines, kv9flash's summary, its
// "continue with:" command, its exit status, the JSON report and the window's
// end state are all read from it, never from log text.
#include <cstdint>
#include <string>
#include <vector>

namespace kv9 {

enum class UpdateOutcome {
  Ok,
  Failed,
  Stopped,  // a stop was asked for (a signal) and the run ended at a frame boundary
  Refused,  // refused before anything was sent: no image, an image for another area
  Skipped,  // the module already runs the image's version: nothing was sent
};

// Ordered: each state is further along than the one before it.
enum class ModuleState {
  Untouched,           // still running its old firmware, nothing changed
  BootMode,            // its boot program runs; the flash is as it was
  Erased,              // the user area was erased
  PartlyProgrammed,    // some blocks were programmed, not all
  Programmed,          // every block was programmed, not yet checked
  Checked,             // programmed and checked (CRC or read-back)
  RunningNewFirmware,  // restarted into the new firmware and answering
  Restored,            // and its factory settings restored
};

// What continues from the state a failed run left.
enum class NextStep {
  None,     // nothing: the run succeeded, or a setting must change first
  Update,   // the same update again: the module was not touched
  ReWrite,  // the update in re-write mode: the module is in its boot program
  Restore,  // only the factory-setting step: the firmware is in and checked
  // The factory-setting step continued from an EEPROM backup file: the
  // initialisation may have run, so only the file holds the settings as
  // they were.
  RestoreFromBackup,
  RollBack,  // the EEPROM roll-back with the same file again: it broke off
};

// Why the factory-setting step did not finish; None when it did or never ran.
enum class RestoreProblem {
  None,
  ReadFailed,      // an EEPROM image could not be read: nothing changed
  ReadsDisagree,   // two reads of an image differ: nothing changed
  BackupFailed,    // the copy on disk could not be made: nothing changed
  // The initialisation was refused or not answered, and the EEPROM still
  // reads as before it: nothing changed.
  InitLeftUnchanged,
  // The initialisation was refused or not answered, and the EEPROM no longer
  // reads as before it (or could not be read): it may be initialised.
  InitFailed,
  FreshReadFailed,     // after the initialisation the factory image could not be read
  FreshReadsDisagree,  // after the initialisation two reads of the factory image differ
  WriteFailed,     // writing the images back failed: the EEPROM is partly written
  CheckFailed,     // the read-back differs: the EEPROM is partly written
  // Refused before anything was written: the backup file is another
  // module's (its factory calibration differs from this module's).
  OtherModule,
};

// True when the EEPROM may have been changed by the time `problem` stopped
// the step: only the copy on disk then holds what it held before. Pure.
bool RestoreChangedEeprom(RestoreProblem problem);

struct UpdateReport {
  UpdateOutcome outcome = UpdateOutcome::Failed;
  // The last stage the run reached (see StageName in the sequence): "start",
  // "boot mode", "handshake", "id code", "backup", "erase", "write", "verify",
  // "restart", "rom version", "restore", "done".
  std::string stage = "start";
  ModuleState moduleState = ModuleState::Untouched;
  std::string romBefore;  // as the module reported it; "" unknown
  std::string romAfter;   // "" when not read
  std::uint32_t bytesProgrammed = 0;  // bytes the module accepted in programming frames
  std::uint32_t areaPassed = 0;       // bytes of the area the write got past
  bool writeCompleted = false;        // every block of the area was sent and accepted
  double seconds = 0;
  std::int32_t crcModule = -1;  // what the loader reported, -1 none
  std::int32_t crcImage = -1;
  std::int32_t moduleRate = 0;  // the module firmware's bit rate used
  std::int32_t bootRate = 0;    // the boot program's bit rate after the rate change
  std::string eepromBackup;     // the EEPROM copy written before the initialisation
  // The backup file the continuing command names when it is not
  // eepromBackup: the one a restore or roll-back from a file was given.
  std::string restoreFile;
  bool otherModule = false;     // that file is another module's and the person said to use it
  std::string firmwareBackup;   // the firmware copy written before the erase, "" none
  RestoreProblem restoreProblem = RestoreProblem::None;
  NextStep next = NextStep::None;
  // The module's boot program may still run at the boot rate: it must be
  // switched off and on before re-write mode can match its bit rate again.
  bool powerCycleFirst = false;
  int stopSignal = 0;  // the signal that asked for the stop, 0 none
  // The advice a failure's closing gave after its result, as logged; a
  // window keeps them in sight until the person confirms them.
  std::vector<std::string> adviceLines;
};

// "ok", "failed", "stopped", "refused", "skipped". Pure.
const char* OutcomeName(UpdateOutcome outcome);
// "untouched", "boot mode", ..., "restored". Pure.
const char* ModuleStateName(ModuleState state);
// The step that continues from `state` after a failed run (and the power
// cycle it may need); `startedInBootProgram`: the run found the module in
// its boot program (re-write mode). Pure.
NextStep NextStepFor(ModuleState state, RestoreProblem problem, bool startedInBootProgram);

}  // namespace kv9
