#include "link/update_report.h"

namespace kv9 {

const char* OutcomeName(UpdateOutcome outcome) {
  switch (outcome) {
    case UpdateOutcome::Ok: return "ok";
    case UpdateOutcome::Stopped: return "stopped";
    case UpdateOutcome::Refused: return "refused";
    case UpdateOutcome::Skipped: return "skipped";
    case UpdateOutcome::Failed: break;
  }
  return "failed";
}

const char* ModuleStateName(ModuleState state) {
  switch (state) {
    case ModuleState::BootMode: return "boot mode";
    case ModuleState::Erased: return "erased";
    case ModuleState::PartlyProgrammed: return "partly programmed";
    case ModuleState::Programmed: return "programmed";
    case ModuleState::Checked: return "checked";
    case ModuleState::RunningNewFirmware: return "running new firmware";
    case ModuleState::Restored: return "restored";
    case ModuleState::Untouched: break;
  }
  return "untouched";
}

bool RestoreChangedEeprom(RestoreProblem problem) {
  switch (problem) {
    case RestoreProblem::InitFailed:
    case RestoreProblem::FreshReadFailed:
    case RestoreProblem::FreshReadsDisagree:
    case RestoreProblem::WriteFailed:
    case RestoreProblem::CheckFailed: return true;
    case RestoreProblem::None:
    case RestoreProblem::ReadFailed:
    case RestoreProblem::ReadsDisagree:
    case RestoreProblem::BackupFailed:
    case RestoreProblem::InitLeftUnchanged:
    case RestoreProblem::OtherModule: break;
  }
  return false;
}

NextStep NextStepFor(ModuleState state, RestoreProblem problem, bool startedInBootProgram) {
  switch (state) {
    // A boot program that failed before the erase left the old firmware
    // whole: after a power cycle the module runs it again. One found in its
    // boot program still has none.
    case ModuleState::Untouched: return NextStep::Update;
    case ModuleState::BootMode: return startedInBootProgram ? NextStep::ReWrite : NextStep::Update;
    case ModuleState::Erased:
    case ModuleState::PartlyProgrammed: return NextStep::ReWrite;
    // Every block is in, only the check failed: the module starts that
    // firmware after a power cycle, and an update writes it again.
    case ModuleState::Programmed: return NextStep::Update;
    case ModuleState::Checked: return NextStep::Restore;
    case ModuleState::RunningNewFirmware:
      // Once the initialisation may have run, only the copy on disk holds
      // the module's settings as they were.
      return RestoreChangedEeprom(problem) ? NextStep::RestoreFromBackup : NextStep::Restore;
    case ModuleState::Restored: break;
  }
  return NextStep::None;
}

}  // namespace kv9
