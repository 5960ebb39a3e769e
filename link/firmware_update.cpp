#include "link/firmware_update.h"

#include <algorithm>
#include <exception>

#include "image/loader_texts.h"
#include "image/version_text.h"
#include "link/eeprom_restore.h"
#include "link/module_rate_search.h"
#include "link/module_rates.h"
#include "link/update_stages.h"
#include "platform/deadline.h"
#include "platform/message_pump.h"
#include "platform/ticks.h"

namespace kv9 {
namespace {

constexpr char kNoImage[] = "ＲＯＭデータがありません。読み込んでから再実行してください";
constexpr char kDoNotPowerOff[] = "書き込み中は、電源を切らないでください";
constexpr char kStarting[] = "書き込み開始...";
constexpr char kSucceeded[] = "アップデートが正常に終了しました";
constexpr char kFailed[] = "アップデートに失敗しました";

// After a verified write the firmware is in: the advice is about the
// settings alone, never the stage advice that asks for the write again.
const char* const kAdviceFirmwareIn =
    "ファームウェアの書き込みとチェックは正常に終了しています。もう一度書き込む必要はありません。";
const char* const kAdviceVerifiedWrite =
    "ファームウェアの書き込みとチェックは正常に終了しています。もう一度書き込む必要はありません。"
    "R/Wの電源を入れ直し、接続とROMバージョンを確認してください。";
const char* const kAdviceVerifiedThenRestore =
    "ファームウェアの書き込みとチェックは正常に終了しています。もう一度書き込む必要はありません。"
    "R/Wの電源を入れ直し、接続とROMバージョンを確認してから、工場出荷時設定を行ってください。";
const char* const kAdviceRestoreAgain = "R/Wの接続を確認してから、工場出荷時設定を行ってください。";
const char* const kAdviceEepromBackup = "書き込み前のEEPROMの内容 : ";
const char* const kAdviceNoReWrite =
    "R/Wはファームウェアで動作しています。再書き込みモードは必要ありません。"
    "［再書込み行う］のチェックを外してもう一度書き込みを行ってください。";

// Asks for the ROM version at every module rate but the one already tried,
// in the order discovery tries them on one port; the port stays at the rate
// that answered, which becomes the module's.
int ReadRomVersionAtOtherRates(UpdateRun& run) {
  TFlashWrRXCont& cont = run.cont;
  const std::vector<std::int32_t> rates = ModuleRateOrder(kSinglePortRateOrder, 0, run.moduleBitRate);
  const std::int32_t rate = SearchModuleRates(rates, [&](std::int32_t r) {
    cont.ReopenAtRate(run.port, StrToBaudRate(std::to_string(r)));
    return cont.ReadRomVersion(0) ? RateTry::Answered : RateTry::Silent;
  });
  if (!rate) return 0;
  cont.Settings.BitRate = rate;
  run.moduleBitRate = rate;
  run.moduleRate = StrToBaudRate(std::to_string(rate));
  if (LinkUi* ui = cont.Owner()) ui->CopySettingsBack(cont.Settings);
  run.log("Speed  : " + std::to_string(rate), 1);
  return 1;
}

// Nothing is touched when there is no image or it belongs elsewhere.
int CheckImage(UpdateRun& run) {
  if (!run.cont.ImageLoaded) {
    run.log(kNoImage, 1);
    return 0;
  }
  if (const std::string problem = ImageAreaProblem(run.cont); !problem.empty()) {
    run.log(problem, 1);
    if (run.ui) run.ui->ShowMessage(problem);
    return 0;
  }
  return 1;
}

// A module that already runs the image's version needs nothing: not a
// frame is sent, and the run says why. In re-write mode the version the
// module runs is unknown.
bool AlreadyCurrent(UpdateRun& run) {
  if (!run.options.SkipCurrent || run.cont.ReWriteMode) return false;
  const std::string image = ImageVersionText(run.cont.Image);
  if (image.empty() || image != TrimmedVersion(run.report.romBefore)) return false;
  run.log("R/Wのファームウェアは書き込むファームウェアと同じバージョン（" + image + "）です。アップデートは行いません。", 1);
  run.report.outcome = UpdateOutcome::Skipped;
  run.report.next = NextStep::None;
  run.cont.ClosePort();
  return true;
}

void ShowProgressWindow(const UpdateRun& run) {
  run.log("", 1);
  if (run.ui) {
    run.ui->SetMainWindowEnabled(false);
    run.ui->ShowUpdateProgress();
  }
  ProcessMessages();
  if (run.ui) {
    run.ui->SetUpdateProgressMessage(kDoNotPowerOff);
    run.ui->SetUpdateProgressLabel(kStarting);
  }
  ProcessMessages();
}

// The port at the module's own rate.
int OpenAtModuleRate(UpdateRun& run) {
  run.report.stage = "start";
  run.Title("");
  const int opened = run.cont.ReopenAtRate(run.port, run.moduleRate);
  if (!opened) run.log("NG: Port Open", 1);
  return opened;
}

// The boot-mode request; in re-write mode the module is in boot mode
// already. A refused request leaves the module in its firmware, untouched.
int RequestBootMode(UpdateRun& run) {
  if (!run.options.UserBootMode) return 1;
  run.report.stage = "boot mode";
  run.Title("");
  if (run.cont.ReWriteMode) return 1;
  if (!run.cont.SetProgMode()) {
    run.log("NG: SetProgMode", 1);
    return 0;
  }
  // Unanswered or acknowledged: the module may be restarting into its boot
  // program either way.
  run.report.moduleState = ModuleState::BootMode;
  run.inBootProgram = true;
  WaitProcessingMessages(ResetWaitOf(run.options));
  run.cont.RxFlush();
  return 1;
}

// The module's settings as the factory left them, never without a copy of
// the EEPROM on disk first.
int RestoreSettings(UpdateRun& run) {
  run.report.stage = "restore";
  const EepromRestoreResult result =
      RestoreWithBackup(run.cont, run.options.InitScanMode, run.cont.CommX1.Port(), run.log);
  run.report.eepromBackup = result.backupPath;
  run.report.restoreProblem = result.problem;
  const bool ok = result.problem == RestoreProblem::None;
  if (ok) run.report.moduleState = ModuleState::Restored;
  run.log(ok ? "FLASH DATA : OK" : "FLASH DATA : NG", 1);
  run.log("", 1);
  return ok ? 1 : 0;
}

// Restart into the new firmware and identify it, then restore the settings.
int RestartAndIdentify(UpdateRun& run) {
  if (!run.options.UserBootMode) return 1;
  TFlashWrRXCont& cont = run.cont;
  run.report.stage = "restart";
  cont.LoaderRestart();
  run.inBootProgram = false;  // the loader restarts it into the new firmware
  WaitProcessingMessages(ResetWaitOf(run.options));
  cont.ReopenAtRate(run.port, run.moduleRate);
  run.report.stage = "rom version";
  int ok = cont.ReadRomVersion(0);
  // In re-write mode the module's rate was never seen: the one chosen is a
  // guess, and a module whose firmware talks at another rate would be
  // reported as failed after a good write, its restore skipped.
  if (!ok && cont.ReWriteMode) ok = ReadRomVersionAtOtherRates(run);
  if (!ok) {
    run.log("NG : Get ROM Version", 1);
  } else {
    run.report.moduleState = ModuleState::RunningNewFirmware;
    run.report.romAfter = RomText(cont.RomVersion);
    if (run.options.InitAfterUpdate) ok = RestoreSettings(run);
    cont.RomVersion[9] = 0;
    run.log(std::string("ROM Verision : ") + cont.RomVersion.data(), 1);
  }
  cont.ClosePort();
  return ok;
}

void ReportSuccess(UpdateRun& run) {
  run.report.stage = "done";
  run.log(std::string(kSucceeded) + "。", 1);
  run.log("", 1);
  if (!run.ui) return;
  run.ui->SetUpdateProgressMessage(kSucceeded);
  run.ui->ShowUpdateResult(true);
  run.ui->PlayResultSound(true);
  if (run.cont.ReWriteMode) run.ui->DisableUpdateCommands();
}

void ReportFailure(UpdateRun& run) {
  run.log(std::string(kFailed) + "。", 1);
  run.log("", 1);
  if (run.ui) {
    run.ui->SetUpdateProgressMessage(kFailed);
    run.ui->ShowUpdateResult(false);
    run.ui->PlayResultSound(false);
    run.ui->SetMainWindowEnabled(true);
    run.ui->DisableUpdateCommands();
  }
  // Every forced line from here on is advice, and the report keeps it.
  const LogLineFn advise = [&run](const std::string& text, int force) {
    if (force) run.report.adviceLines.push_back(text);
    run.log(text, force);
  };
  if (run.report.moduleState < ModuleState::Checked) {
    LogStageAdvice(advise, run.failStage);
    if (run.runsFirmware && run.cont.ReWriteMode) advise(kAdviceNoReWrite, 1);
    return;
  }
  // The firmware is in and checked: writing it again would only repeat the
  // risk. One text says so and how the settings are finished: the factory-
  // setting step once the module answers, or what its failure left (and
  // where the EEPROM as it was before is kept).
  if (run.report.moduleState == ModuleState::Checked) {
    advise(run.options.InitAfterUpdate ? kAdviceVerifiedThenRestore : kAdviceVerifiedWrite, 1);
    return;
  }
  advise(kAdviceFirmwareIn, 1);
  if (!run.report.eepromBackup.empty()) advise(kAdviceEepromBackup + run.report.eepromBackup, 1);
  if (run.report.restoreProblem == RestoreProblem::None) {
    advise(kAdviceRestoreAgain, 1);  // the step ended without its result (the port was lost)
    return;
  }
  LogRestoreProblem({run.report.restoreProblem, run.report.eepromBackup}, advise);
}

void CloseProgressWindow(const UpdateRun& run) {
  ProcessMessages();
  if (!run.ui) return;
  run.ui->CloseUpdateProgress();
  run.ui->SetStageTitle("");
  run.ui->SetGauge(0);
  run.ui->SetMainWindowEnabled(true);
}

// The parts of the report only known once the run ended.
void CloseReport(UpdateRun& run, bool ok, std::uint32_t startTick) {
  UpdateReport& r = run.report;
  r.crcModule = run.cont.LoaderCrc;
  r.moduleRate = run.moduleBitRate;
  r.seconds = static_cast<double>(TickCount() - startTick) / 1000.0;
  if (ok) {
    r.outcome = UpdateOutcome::Ok;
    r.next = NextStep::None;
    return;
  }
  r.outcome = run.cont.Stopped() ? UpdateOutcome::Stopped : UpdateOutcome::Failed;
  r.next = NextStepFor(r.moduleState, r.restoreProblem, run.cont.ReWriteMode != 0);
  // A boot program left in a session runs at the boot rate and no longer
  // matches bit rates; only a power cycle starts it afresh. A module that
  // answered in its firmware, or was restarted into the new one, needs none.
  r.powerCycleFirst =
      run.inBootProgram && r.moduleState >= ModuleState::BootMode && r.moduleState <= ModuleState::Checked;
}

}  // namespace

std::string ImageAreaProblem(const TFlashWrRXCont& cont) {
  if (cont.ImageBase == cont.RomStart) return {};
  return ImageAreaMismatchMessage(cont.ImageBase, cont.RomStart);
}

void WaitProcessingMessages(std::uint32_t ms) { PauseProcessingMessages(ms); }

std::uint32_t ResetWaitOf(const UpdateOptions& options) {
  // A negative setting would otherwise wrap to a wait of 49 days.
  return static_cast<std::uint32_t>(std::max<std::int32_t>(options.ResetWaitMs, 0));
}

UpdateReport RunFirmwareUpdate(TFlashWrRXCont& cont, const TProgSettings& settings, const UpdateOptions& options,
                               const LogLineFn& log, std::int32_t& failStage, std::string* escapedError) {
  UpdateRun run{.cont = cont,
                .options = options,
                .log = log,
                .failStage = failStage,
                .ui = cont.Owner(),
                .port = static_cast<std::uint8_t>(settings.PortNumber),
                .moduleRate = StrToBaudRate(std::to_string(settings.BitRate)),
                .moduleBitRate = settings.BitRate,
                .report = {}};
  const std::uint32_t startTick = TickCount();
  failStage = 0;
  cont.HoldStops(false);
  run.report.crcImage = cont.ImageLoaded ? cont.ImageCrc() : -1;
  run.report.bootRate = settings.BootBitRate;
  run.report.moduleRate = settings.BitRate;
  if (cont.ReWriteMode) {
    run.report.moduleState = ModuleState::BootMode;
  } else {
    run.report.romBefore = RomText(cont.RomVersion);
  }
  if (!CheckImage(run) || !BackupTargetUsable(run)) {
    run.report.outcome = UpdateOutcome::Refused;
    return run.report;
  }
  if (AlreadyCurrent(run)) return run.report;
  ShowProgressWindow(run);

  const TComPortHold hold(cont.CommX1);  // the port stays ours across every reopen below
  int ok = 0;
  std::exception_ptr escaped;
  try {
    ok = OpenAtModuleRate(run) && RequestBootMode(run) && RunFlashStages(run) && RestartAndIdentify(run);
  } catch (const std::exception& e) {
    // The stages end here; the closing still runs, then the error goes on.
    ok = 0;
    if (escapedError) {
      *escapedError = e.what();
    } else {
      escaped = std::current_exception();
    }
  } catch (...) {
    ok = 0;
    escaped = std::current_exception();
  }
  cont.HoldStops(false);

  run.Title("");
  if (ok) {
    ReportSuccess(run);
  } else {
    ReportFailure(run);
  }
  CloseProgressWindow(run);
  CloseReport(run, ok != 0, startTick);
  if (escaped) std::rethrow_exception(escaped);
  return run.report;
}

}  // namespace kv9
