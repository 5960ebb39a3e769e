#pragma once
// The stages of the update between the boot-mode request and the restart,
// as rows of one table: each row holds what the person sees of its stage
// (progress label, title, OK/NG lines, advice), the operation, and where the
// module stands once it passed. Used by the update sequence only.
#include <array>
#include <cstdint>
#include <string>

#include "link/eeprom_procedures.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
#include "link/update_report.h"

namespace kv9 {

// One run of the update: what every step reads and what the closing needs.
struct UpdateRun {
  TFlashWrRXCont& cont;
  const UpdateOptions& options;
  const LogLineFn& log;
  std::int32_t& failStage;  // 0..5, the advice the failure gets
  LinkUi* ui;
  std::uint8_t port;
  TBaudRate moduleRate;
  std::int32_t moduleBitRate;
  UpdateReport report;
  // The module runs its boot program: it took (or may have taken) the
  // boot-mode request, or re-write mode spoke to it. Cleared once it
  // answered in its firmware after all, and by the restart into the new one.
  bool inBootProgram = false;
  // The handshake found no boot program but the module answered in its
  // firmware: it never left it (a request it did not take, or re-write mode
  // for a module that was not in its boot program).
  bool runsFirmware = false;

  void Title(const char* text) const {
    if (ui) ui->SetStageTitle(text);
  }
};

// What a failure at a stage advises after the power cycle line.
enum class StageAdvice { CheckConnection, Retry, RetryReWrite, OldFirmwareKept };

struct UpdateStage {
  const char* name;  // the report's stage
  const char* progressLabel;
  const char* title;
  const char* okLine;
  const char* ngLine;
  int ngForce;  // a failed check is a debug line only: the advice says what to do
  std::int32_t failStage;
  StageAdvice advice;
  int (*run)(UpdateRun& run);
  ModuleState passed;  // where the module stands once the stage succeeded
  bool (*applies)(const UpdateRun& run) = nullptr;  // a stage only some runs take; null: every run
};

// The text of a ROM version field as the module reported it (its nine
// characters at most). Pure.
std::string RomText(const std::array<char, 10>& field);

// Whether the firmware copy asked for can be written where it was asked
// for (see FirmwareBackupTargetProblem), before the first frame: 0 after
// the copy's NG line and a message saying why. 1 when no copy is asked for.
int BackupTargetUsable(UpdateRun& run);

// Handshake, ID code, the firmware backup (when asked for), erase, write and check, each with its lines; the
// first that fails sets failStage and ends them. 1 when all passed.
int RunFlashStages(UpdateRun& run);

// The advice lines of a failure at `failStage` (0 also for every failure
// before the handshake passed).
void LogStageAdvice(const LogLineFn& log, std::int32_t failStage);

}  // namespace kv9
