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
  RestoreFromBackup,  // write the EEPROM backup back: the restore broke off half-way
};

// Why the factory-setting step did not finish; None when it did or never ran.
enum class RestoreProblem {
  None,
  ReadFailed,      // an EEPROM image could not be read: nothing changed
  ReadsDisagree,   // two reads of an image differ: nothing changed
  BackupFailed,    // the copy on disk could not be made: nothing changed
  InitFailed,      // the initialisation was refused or not answered
  WriteFailed,     // writing the images back failed: the EEPROM is partly written
  CheckFailed,     // the read-back differs: the EEPROM is partly written
};

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
