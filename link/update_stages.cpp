#include "link/update_stages.h"

#include <algorithm>

#include "link/firmware_backup.h"
#include "link/module_rates.h"
#include "platform/message_pump.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kBootStartRate = 19200;
// The boot program needs a moment after the port was reopened at its rate.
constexpr std::uint32_t kAfterBootReopenMs = 200;

const char* const kAdviceCheckConnection = "R/Wの接続、設定を確認してください。";
const char* const kAdvicePowerCycle = "ソフトを終了し、R/Wの電源を入れ直してください。";
const char* const kAdviceRetry = "再度ソフトを起動し、もう一度書き込みを行ってください。";
const char* const kAdviceRetryReWrite =
    "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。";
const char* const kAdviceOldFirmwareKept =
    "ファームウェアのバックアップができないため、書き込みを中止しました。R/Wのファームウェアは書き換えていません。";
const char* const kAdvicePowerCycleOldFirmware = "R/Wの電源を入れ直すと、元のファームウェアで動作します。";
const char* const kAdviceCheckBackupTarget = "保存先を確認してから、もう一度書き込みを行ってください。";
const char* const kBackupLabel = "FIRMWARE BACKUP : ";

// Asks for the ROM version at the module's rate (in re-write mode, where
// that rate was a guess, at every module rate); asking changes nothing.
bool FirmwareAnswers(UpdateRun& run) {
  std::vector<std::int32_t> rates{run.moduleBitRate};
  if (run.cont.ReWriteMode) {
    for (const std::int32_t rate : kSinglePortRateOrder) {
      if (rate != run.moduleBitRate) rates.push_back(rate);
    }
  }
  for (const std::int32_t rate : rates) {
    if (run.cont.Stopped()) return false;
    run.cont.ReopenAtRate(run.port, StrToBaudRate(std::to_string(rate)));
    if (run.cont.ReadRomVersion(0)) return true;
  }
  return false;
}

// The boot program starts at 19200 bit/s. A port that did not open fails
// the handshake. A handshake that found no boot program asks whether the
// module still runs its firmware: then it was never in its boot program,
// nothing was changed, and a plain update is the way on.
int Handshake(UpdateRun& run) {
  run.cont.RxFlush();
  if (run.cont.BootHandshake()) return 1;
  if (FirmwareAnswers(run)) {
    run.inBootProgram = false;
    run.runsFirmware = true;
    run.report.moduleState = ModuleState::Untouched;
    if (run.report.romBefore.empty()) run.report.romBefore = RomText(run.cont.RomVersion);
  }
  return 0;
}

int IdCode(UpdateRun& run) { return run.cont.IdCodeStep(run.options.UserBootMode); }

std::string ModelText(const std::array<char, 10>& field) {
  return std::string(field.data(), std::find(field.begin(), field.begin() + 9, '\0'));
}

bool BackupAsked(const UpdateRun& run) { return !run.options.FirmwareBackup.empty(); }

// Every block the erase will clear, on disk before the first is erased. A
// copy that is not whole on disk ends the run here, the old firmware intact.
int Backup(UpdateRun& run) {
  FirmwareBackupRequest request{.target = run.options.FirmwareBackup,
                                .makeFolder = run.options.FirmwareBackupMakeFolder != 0,
                                .portName = "COM" + std::to_string(run.port),
                                .model = run.cont.ReWriteMode ? std::string() : ModelText(run.cont.ModelName),
                                .romVersion = run.report.romBefore,
                                .userBootMode = run.options.UserBootMode};
  const FirmwareBackupResult result = BackupFirmware(run.cont, request);
  if (!result.problem.empty()) {
    run.log(kBackupLabel + std::string("NG ") + result.problem, 1);
    if (run.ui) run.ui->ShowMessage(FirmwareBackupRefusal(result.problem));
    return 0;
  }
  run.report.firmwareBackup = result.path;
  run.log(kBackupLabel + result.path, 1);
  return 1;
}

int Erase(UpdateRun& run) {
  const int ok = run.cont.EraseUserArea(run.options.UserBootMode);
  // An erase that broke off after the module acknowledged one block left
  // the old firmware incomplete; before that the flash is as it was.
  if (!ok && run.cont.LastErasesAcknowledged() > 0) run.report.moduleState = ModuleState::Erased;
  return ok;
}

// What the report says was programmed is this run's count of blocks the
// module acknowledged, never an earlier run's.
int Write(UpdateRun& run) {
  const int ok = run.cont.ProgramUserArea(1, run.options.UserBootMode);
  const ProgramTally& tally = run.cont.LastProgramTally();
  run.report.bytesProgrammed = tally.accepted;
  run.report.areaPassed = tally.passed;
  run.report.writeCompleted = ok && tally.completed;
  if (!ok && tally.accepted > 0) run.report.moduleState = ModuleState::PartlyProgrammed;
  return ok;
}

int Check(UpdateRun& run) {
  const int ok = run.options.UserBootMode ? run.cont.LoaderCrcCheck() : run.cont.VerifyUserArea(1, 0);
  // Written and checked: from here the run finishes whatever is asked.
  if (ok) {
    run.cont.HoldStops(true);
    if (run.ui) run.ui->FirmwareChecked();
  }
  return ok;
}

constexpr UpdateStage kStages[] = {
    {"handshake", "書込設定中...", "", "書込設定   : OK", "書込設定   : NG", 1, 0,
     StageAdvice::CheckConnection, Handshake, ModuleState::BootMode},
    {"id code", "ID照合中...", "ID照合", "ID照合     : OK", "ID照合     : NG", 1, 1, StageAdvice::Retry,
     IdCode, ModuleState::BootMode},
    {"backup", "ROM保存中...", "ROM保存", "ROM保存    : OK", "ROM保存    : NG", 1, 5,
     StageAdvice::OldFirmwareKept, Backup, ModuleState::BootMode, BackupAsked},
    {"erase", "イレース中...", "イレース", "イレース   : OK", "イレース   : NG", 1, 2, StageAdvice::Retry,
     Erase, ModuleState::Erased},
    {"write", "ライト中...", "ライト", "ライト     : OK", "ライト     : NG", 1, 3, StageAdvice::RetryReWrite,
     Write, ModuleState::Programmed},
    {"verify", "ベリファイ中...", "ベリファイ", "ベリファイ : OK", "ベリファイ : NG", 0, 4,
     StageAdvice::Retry, Check, ModuleState::Checked},
};

// A stage begins: its progress label, its title, the address cleared.
void BeginStage(const UpdateRun& run, const UpdateStage& stage) {
  if (run.ui) run.ui->SetUpdateProgressLabel(stage.progressLabel);
  run.Title(stage.title);
  if (run.ui) run.ui->SetAddress("");
  ProcessMessages();
}

// The handshake row begins on a port reopened at the boot program's rate.
void ReopenForBootProgram(UpdateRun& run) {
  run.cont.ReopenAtRate(run.port, StrToBaudRate(std::to_string(kBootStartRate)));
  WaitProcessingMessages(kAfterBootReopenMs);
}

}  // namespace

std::string RomText(const std::array<char, 10>& field) {
  std::array<char, 10> copy = field;
  copy[9] = 0;
  return copy.data();
}

int BackupTargetUsable(UpdateRun& run) {
  if (!BackupAsked(run)) return 1;
  const FirmwareBackupRequest request{.target = run.options.FirmwareBackup,
                                      .makeFolder = run.options.FirmwareBackupMakeFolder != 0};
  const std::string problem =
      FirmwareBackupTargetProblem(request, FirmwareBackupBytes(run.cont, run.options.UserBootMode));
  if (problem.empty()) return 1;
  run.log(kBackupLabel + std::string("NG ") + problem, 1);
  if (run.ui) run.ui->ShowMessage(FirmwareBackupRefusal(problem));
  return 0;
}

int RunFlashStages(UpdateRun& run) {
  ReopenForBootProgram(run);
  run.inBootProgram = true;  // every frame from here on goes to the boot program
  for (const UpdateStage& stage : kStages) {
    if (stage.applies && !stage.applies(run)) continue;
    run.report.stage = stage.name;
    BeginStage(run, stage);
    if (!stage.run(run)) {
      run.failStage = stage.failStage;
      run.log(stage.ngLine, stage.ngForce);
      return 0;
    }
    run.report.moduleState = std::max(run.report.moduleState, stage.passed);
    run.log(stage.okLine, 1);
  }
  return 1;
}

void LogStageAdvice(const LogLineFn& log, std::int32_t failStage) {
  StageAdvice advice = StageAdvice::CheckConnection;
  for (const UpdateStage& stage : kStages) {
    if (stage.failStage == failStage) advice = stage.advice;
  }
  if (advice == StageAdvice::OldFirmwareKept) {
    log(kAdviceOldFirmwareKept, 1);
    log(kAdvicePowerCycleOldFirmware, 1);
    log(kAdviceCheckBackupTarget, 1);
    return;
  }
  if (advice == StageAdvice::CheckConnection) log(kAdviceCheckConnection, 1);
  log(kAdvicePowerCycle, 1);
  log(advice == StageAdvice::RetryReWrite ? kAdviceRetryReWrite : kAdviceRetry, 1);
}

}  // namespace kv9
