#include "link/update_stages.h"

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

// The boot program starts at 19200 bit/s. A port that did not open fails
// the handshake.
int Handshake(UpdateRun& run) {
  run.cont.RxFlush();
  return run.cont.BootHandshake();
}

int IdCode(UpdateRun& run) { return run.cont.IdCodeStep(run.options.UserBootMode); }

int Erase(UpdateRun& run) {
  // An erase that breaks off may have erased some blocks already.
  run.report.moduleState = ModuleState::Erased;
  return run.cont.EraseUserArea(run.options.UserBootMode);
}

int Write(UpdateRun& run) {
  const int ok = run.cont.ProgramUserArea(1, run.options.UserBootMode);
  if (!ok && run.cont.LastProgramTally().accepted > 0) run.report.moduleState = ModuleState::PartlyProgrammed;
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

int RunFlashStages(UpdateRun& run) {
  ReopenForBootProgram(run);
  for (const UpdateStage& stage : kStages) {
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
  if (advice == StageAdvice::CheckConnection) log(kAdviceCheckConnection, 1);
  log(kAdvicePowerCycle, 1);
  log(advice == StageAdvice::RetryReWrite ? kAdviceRetryReWrite : kAdviceRetry, 1);
}

}  // namespace kv9
