#include "link/firmware_update.h"

#include <exception>

#include "image/loader_texts.h"
#include "link/eeprom_backup.h"
#include "link/module_rates.h"
#include "platform/deadline.h"
#include "platform/message_pump.h"
#include "platform/ticks.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kBootStartRate = 19200;
// The boot program needs a moment after the port was reopened at its rate.
constexpr std::uint32_t kAfterBootReopenMs = 200;

constexpr char kNoImage[] = "ＲＯＭデータがありません。読み込んでから再実行してください";
constexpr char kDoNotPowerOff[] = "書き込み中は、電源を切らないでください";
constexpr char kStarting[] = "書き込み開始...";
constexpr char kSucceeded[] = "アップデートが正常に終了しました";
constexpr char kFailed[] = "アップデートに失敗しました";

struct Stage {
  const char* progressLabel;
  const char* title;
  const char* okLine;
  const char* ngLine;
  int ngForce;
  int failStage;
};

constexpr Stage kHandshake{"書込設定中...", "", "書込設定   : OK", "書込設定   : NG", 1, 0};
constexpr Stage kFlashStages[] = {
    {"ID照合中...", "ID照合", "ID照合     : OK", "ID照合     : NG", 1, 1},
    {"イレース中...", "イレース", "イレース   : OK", "イレース   : NG", 1, 2},
    {"ライト中...", "ライト", "ライト     : OK", "ライト     : NG", 1, 3},
    // A failed check is a debug line only; the advice says what to do.
    {"ベリファイ中...", "ベリファイ", "ベリファイ : OK", "ベリファイ : NG", 0, 4},
};

const char* const kAdviceCheckConnection = "R/Wの接続、設定を確認してください。";
const char* const kAdvicePowerCycle = "ソフトを終了し、R/Wの電源を入れ直してください。";
const char* const kAdviceRetry = "再度ソフトを起動し、もう一度書き込みを行ってください。";
const char* const kAdviceRetryReWrite =
    "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。";

const char* const kAdviceVerifiedWrite =
    "ファームウェアの書き込みとチェックは正常に終了しています。もう一度書き込む必要はありません。"
    "R/Wの電源を入れ直し、接続とROMバージョンを確認してください。";
const char* const kAdviceEepromBackup = "書き込み前のEEPROMの内容 : ";
const char* const kBackupLabel = "EEPROM BACKUP : ";

// Asks for the ROM version at every module rate but the one already tried,
// in the order discovery tries them on one port; the port stays at the rate
// that answered, which becomes the module's.
int ReadRomVersionAtOtherRates(TFlashWrRXCont& cont, std::uint8_t port, std::int32_t triedRate,
                               const LogLineFn& log) {
  for (const std::int32_t rate : kSinglePortRateOrder) {
    if (rate == triedRate) continue;
    cont.ReopenAtRate(port, StrToBaudRate(std::to_string(rate)));
    if (cont.ReadRomVersion(0)) {
      cont.Settings.BitRate = rate;
      if (LinkUi* ui = cont.Owner()) ui->CopySettingsBack(cont.Settings);
      log("Speed  : " + std::to_string(rate), 1);
      return 1;
    }
  }
  return 0;
}

void LogAdvice(const LogLineFn& log, std::int32_t failStage) {
  if (failStage == 0) log(kAdviceCheckConnection, 1);
  log(kAdvicePowerCycle, 1);
  log(failStage == 3 ? kAdviceRetryReWrite : kAdviceRetry, 1);
}

int RunStage(TFlashWrRXCont& cont, int index, const UpdateOptions& options) {
  switch (index) {
    case 0: return cont.IdCodeStep(options.UserBootMode);
    case 1: return cont.EraseUserArea(options.UserBootMode);
    case 2: return cont.ProgramUserArea(1, options.UserBootMode);
    default: return options.UserBootMode ? cont.LoaderCrcCheck() : cont.VerifyUserArea(1, 0);
  }
}

// One run of the update: what every step reads and what the closing
// needs to know.
struct UpdateRun {
  TFlashWrRXCont& cont;
  const UpdateOptions& options;
  const LogLineFn& log;
  std::int32_t& failStage;
  LinkUi* ui;
  std::uint8_t port;
  TBaudRate moduleRate;
  std::int32_t moduleBitRate;
  bool verified = false;   // every flash stage succeeded
  std::string backupPath;  // where the EEPROM images went before the initialisation

  void Title(const char* text) const {
    if (ui) ui->SetStageTitle(text);
  }
  // A stage begins: its progress label, its title, the address cleared.
  void BeginStage(const Stage& stage) const {
    if (ui) ui->SetUpdateProgressLabel(stage.progressLabel);
    Title(stage.title);
    if (ui) ui->SetAddress("");
    ProcessMessages();
  }
};

// Nothing is touched when there is no image or it belongs elsewhere.
int CheckImage(const UpdateRun& run) {
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
int OpenAtModuleRate(const UpdateRun& run) {
  run.Title("");
  const int opened = run.cont.ReopenAtRate(run.port, run.moduleRate);
  if (!opened) run.log("NG: Port Open", 1);
  return opened;
}

// The boot-mode request; in re-write mode the module is in boot mode already.
int RequestBootMode(const UpdateRun& run) {
  if (!run.options.UserBootMode) return 1;
  run.Title("");
  if (run.cont.ReWriteMode) return 1;
  if (!run.cont.SetProgMode()) {
    run.log("NG: SetProgMode", 1);
    return 0;
  }
  WaitProcessingMessages(static_cast<std::uint32_t>(run.options.ResetWaitMs));
  run.cont.RxFlush();
  return 1;
}

// The boot program starts at 19200 bit/s. A port that did not open fails
// the handshake.
int Handshake(const UpdateRun& run) {
  run.cont.ReopenAtRate(run.port, StrToBaudRate(std::to_string(kBootStartRate)));
  WaitProcessingMessages(kAfterBootReopenMs);
  run.BeginStage(kHandshake);
  run.cont.RxFlush();
  const int ok = run.cont.BootHandshake();
  run.log(ok ? kHandshake.okLine : kHandshake.ngLine, 1);
  return ok;
}

// ID code, erase, write and check, each with its lines; the first that
// fails sets failStage and ends them.
int FlashStages(const UpdateRun& run) {
  for (int i = 0; i < 4; ++i) {
    const Stage& stage = kFlashStages[i];
    run.BeginStage(stage);
    if (!RunStage(run.cont, i, run.options)) {
      run.failStage = stage.failStage;
      run.log(stage.ngLine, stage.ngForce);
      return 0;
    }
    run.log(stage.okLine, 1);
  }
  if (run.ui) run.ui->FirmwareChecked();
  return 1;
}

// The module's settings as the factory left them, the EEPROM kept in a
// backup first.
int RestoreSettings(UpdateRun& run) {
  auto backup = [&](const EepromImage& factory, const EepromImage& allData) {
    std::string error;
    if (WriteEepromBackup(run.cont.CommX1.Port(), factory, allData, run.backupPath, error)) {
      run.log(kBackupLabel + run.backupPath, 0);
    } else {
      run.log(kBackupLabel + std::string("NG ") + error, 1);
    }
  };
  const int ok = RestoreFactorySettings(run.cont, run.options.InitScanMode, backup);
  run.log(ok ? "FLASH DATA : OK" : "FLASH DATA : NG", 1);
  run.log("", 1);
  return ok;
}

// Restart into the new firmware and identify it, then restore the settings.
int RestartAndIdentify(UpdateRun& run) {
  if (!run.options.UserBootMode) return 1;
  TFlashWrRXCont& cont = run.cont;
  run.verified = true;
  cont.LoaderRestart();
  WaitProcessingMessages(static_cast<std::uint32_t>(run.options.ResetWaitMs));
  cont.ReopenAtRate(run.port, run.moduleRate);
  int ok = cont.ReadRomVersion(0);
  // In re-write mode the module's rate was never seen: the one chosen is a
  // guess, and a module whose firmware talks at another rate would be
  // reported as failed after a good write, its restore skipped.
  if (!ok && cont.ReWriteMode) ok = ReadRomVersionAtOtherRates(cont, run.port, run.moduleBitRate, run.log);
  if (!ok) {
    run.log("NG : Get ROM Version", 1);
  } else {
    if (run.options.InitAfterUpdate) ok = RestoreSettings(run);
    cont.RomVersion[9] = 0;
    run.log(std::string("ROM Verision : ") + cont.RomVersion.data(), 1);
  }
  cont.ClosePort();
  return ok;
}

void ReportSuccess(const UpdateRun& run) {
  run.log(std::string(kSucceeded) + "。", 1);
  run.log("", 1);
  if (!run.ui) return;
  run.ui->SetUpdateProgressMessage(kSucceeded);
  run.ui->ShowUpdateResult(true);
  run.ui->PlayResultSound(true);
  if (run.cont.ReWriteMode) run.ui->DisableUpdateCommands();
}

void ReportFailure(const UpdateRun& run) {
  run.log(std::string(kFailed) + "。", 1);
  run.log("", 1);
  if (run.ui) {
    run.ui->SetUpdateProgressMessage(kFailed);
    run.ui->ShowUpdateResult(false);
    run.ui->PlayResultSound(false);
    run.ui->SetMainWindowEnabled(true);
    run.ui->DisableUpdateCommands();
  }
  LogAdvice(run.log, run.failStage);
  // The firmware is in and checked: writing it again would only repeat the
  // risk. Say so, and where the EEPROM as it was before is kept.
  if (run.verified) {
    run.log(kAdviceVerifiedWrite, 1);
    if (!run.backupPath.empty()) run.log(kAdviceEepromBackup + run.backupPath, 1);
  }
}

void CloseProgressWindow(const UpdateRun& run) {
  ProcessMessages();
  if (!run.ui) return;
  run.ui->CloseUpdateProgress();
  run.ui->SetStageTitle("");
  run.ui->SetGauge(0);
  run.ui->SetMainWindowEnabled(true);
}

}  // namespace

std::string ImageAreaProblem(const TFlashWrRXCont& cont) {
  if (cont.ImageBase == cont.RomStart) return {};
  return ImageAreaMismatchMessage(cont.ImageBase, cont.RomStart);
}

void WaitProcessingMessages(std::uint32_t ms) { PauseProcessingMessages(ms); }

int RunFirmwareUpdate(TFlashWrRXCont& cont, const TProgSettings& settings, const UpdateOptions& options,
                      const LogLineFn& log, std::int32_t& failStage) {
  UpdateRun run{.cont = cont,
                .options = options,
                .log = log,
                .failStage = failStage,
                .ui = cont.Owner(),
                .port = static_cast<std::uint8_t>(settings.PortNumber),
                .moduleRate = StrToBaudRate(std::to_string(settings.BitRate)),
                .moduleBitRate = settings.BitRate,
                .verified = false,
                .backupPath = {}};
  failStage = 0;
  if (!CheckImage(run)) return 0;
  ShowProgressWindow(run);

  const TComPortHold hold(cont.CommX1);  // the port stays ours across every reopen below
  int ok = 0;
  std::exception_ptr escaped;
  try {
    ok = OpenAtModuleRate(run) && RequestBootMode(run) && Handshake(run) && FlashStages(run) &&
         RestartAndIdentify(run);
  } catch (...) {
    // The stages end here; the closing still runs, then the error goes on.
    ok = 0;
    escaped = std::current_exception();
  }

  run.Title("");
  if (ok) {
    ReportSuccess(run);
  } else {
    ReportFailure(run);
  }
  CloseProgressWindow(run);
  if (escaped) std::rethrow_exception(escaped);
  return ok;
}

}  // namespace kv9
