#include "link/firmware_update.h"

#include <exception>

#include "image/loader_texts.h"
#include "link/eeprom_backup.h"
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

// The module rates in the order discovery tries them on one port.
constexpr std::int32_t kModuleRates[] = {19200, 38400, 9600, 115200};

// Asks for the ROM version at every module rate but the one already tried;
// the port stays at the rate that answered, which becomes the module's.
int ReadRomVersionAtOtherRates(TFlashWrRXCont& cont, std::uint8_t port, std::int32_t triedRate,
                               const LogLineFn& log) {
  for (const std::int32_t rate : kModuleRates) {
    if (rate == triedRate) continue;
    cont.CommX1.SetBaudRate(StrToBaudRate(std::to_string(rate)));
    cont.OpenPort(port);
    cont.RxFlush();
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

}  // namespace

std::string ImageAreaProblem(const TFlashWrRXCont& cont) {
  if (cont.ImageBase == cont.RomStart) return {};
  return ImageAreaMismatchMessage(cont.ImageBase, cont.RomStart);
}

void WaitProcessingMessages(std::uint32_t ms) { PauseProcessingMessages(ms); }

int RunFirmwareUpdate(TFlashWrRXCont& cont, const TProgSettings& settings, const UpdateOptions& options,
                      const LogLineFn& log, std::int32_t& failStage) {
  LinkUi* ui = cont.Owner();
  auto title = [&](const char* text) {
    if (ui) ui->SetStageTitle(text);
  };
  auto address = [&](const char* text) {
    if (ui) ui->SetAddress(text);
  };
  auto label = [&](const char* text) {
    if (ui) ui->SetUpdateProgressLabel(text);
  };

  // Preparation.
  failStage = 0;
  int ok = 1;
  if (!cont.ImageLoaded) {
    log(kNoImage, 1);
    return 0;
  }
  if (const std::string problem = ImageAreaProblem(cont); !problem.empty()) {
    log(problem, 1);
    if (ui) ui->ShowMessage(problem);
    return 0;
  }
  log("", 1);
  if (ui) {
    ui->SetMainWindowEnabled(false);
    ui->ShowUpdateProgress();
  }
  ProcessMessages();
  if (ui) {
    ui->SetUpdateProgressMessage(kDoNotPowerOff);
    ui->SetUpdateProgressLabel(kStarting);
  }
  ProcessMessages();

  const auto port = static_cast<std::uint8_t>(settings.PortNumber);
  const TBaudRate moduleRate = StrToBaudRate(std::to_string(settings.BitRate));
  const TComPortHold hold(cont.CommX1);  // the port stays ours across every reopen below
  std::exception_ptr escaped;
  bool verified = false;       // every flash stage succeeded
  std::string backupPath;      // where the EEPROM images went before the initialisation
  try {
    // The port at the module's own rate.
    title("");
    cont.CommX1.SetBaudRate(moduleRate);
    ok = cont.OpenPort(port);
    cont.RxFlush();
    if (!ok) log("NG: Port Open", 1);

    // The boot-mode request; in re-write mode the module is in boot mode already.
    if (ok && options.UserBootMode) {
      title("");
      if (!cont.ReWriteMode) {
        ok = cont.SetProgMode();
        if (!ok) {
          log("NG: SetProgMode", 1);
        } else {
          WaitProcessingMessages(static_cast<std::uint32_t>(options.ResetWaitMs));
          cont.RxFlush();
        }
      }
    }

    // The boot program starts at 19200 bit/s.
    if (ok) {
      cont.CommX1.SetBaudRate(StrToBaudRate(std::to_string(kBootStartRate)));
      ok = cont.OpenPort(port);  // a port that did not open fails the handshake
      cont.RxFlush();
      WaitProcessingMessages(kAfterBootReopenMs);

      label(kHandshake.progressLabel);
      title(kHandshake.title);
      address("");
      ProcessMessages();
      cont.RxFlush();
      ok = cont.BootHandshake();
      log(ok ? kHandshake.okLine : kHandshake.ngLine, 1);
    }

    for (int i = 0; i < 4 && ok; ++i) {
      const Stage& stage = kFlashStages[i];
      label(stage.progressLabel);
      title(stage.title);
      address("");
      ProcessMessages();
      ok = RunStage(cont, i, options);
      if (ok) {
        log(stage.okLine, 1);
      } else {
        failStage = stage.failStage;
        log(stage.ngLine, stage.ngForce);
      }
    }

    // Restart into the new firmware and identify it.
    if (ok && options.UserBootMode) {
      verified = true;
      cont.LoaderRestart();
      WaitProcessingMessages(static_cast<std::uint32_t>(options.ResetWaitMs));
      cont.CommX1.SetBaudRate(moduleRate);
      cont.OpenPort(port);
      cont.RxFlush();
      int versionRead = cont.ReadRomVersion(0);
      // In re-write mode the module's rate was never seen: the one chosen is
      // a guess, and a module whose firmware talks at another rate would be
      // reported as failed after a good write, its restore skipped.
      if (!versionRead && cont.ReWriteMode) versionRead = ReadRomVersionAtOtherRates(cont, port, settings.BitRate, log);
      if (!versionRead) {
        ok = 0;
        log("NG : Get ROM Version", 1);
      } else {
        ok = 1;
        if (options.InitAfterUpdate) {
          auto backup = [&](const EepromImage& factory, const EepromImage& allData) {
            std::string error;
            if (WriteEepromBackup(cont.CommX1.Port(), factory, allData, backupPath, error)) {
              log(kBackupLabel + backupPath, 0);
            } else {
              log(kBackupLabel + std::string("NG ") + error, 1);
            }
          };
          ok = RestoreFactorySettings(cont, options.InitScanMode, backup);
          log(ok ? "FLASH DATA : OK" : "FLASH DATA : NG", 1);
          log("", 1);
        }
        cont.RomVersion[9] = 0;
        log(std::string("ROM Verision : ") + cont.RomVersion.data(), 1);
      }
      cont.ClosePort();
    }
  } catch (...) {
    // The stages end here; the closing still runs, then the error goes on.
    ok = 0;
    escaped = std::current_exception();
  }

  // Closing steps.
  title("");
  if (ok) {
    log(std::string(kSucceeded) + "。", 1);
    log("", 1);
    if (ui) {
      ui->SetUpdateProgressMessage(kSucceeded);
      ui->ShowUpdateResult(true);
      ui->PlayResultSound(true);
      if (cont.ReWriteMode) ui->DisableUpdateCommands();
    }
  } else {
    log(std::string(kFailed) + "。", 1);
    log("", 1);
    if (ui) {
      ui->SetUpdateProgressMessage(kFailed);
      ui->ShowUpdateResult(false);
      ui->PlayResultSound(false);
      ui->SetMainWindowEnabled(true);
      ui->DisableUpdateCommands();
    }
    LogAdvice(log, failStage);
    // The firmware is in and checked: writing it again would only repeat
    // the risk. Say so, and where the EEPROM as it was before is kept.
    if (verified) {
      log(kAdviceVerifiedWrite, 1);
      if (!backupPath.empty()) log(kAdviceEepromBackup + backupPath, 1);
    }
  }
  ProcessMessages();
  if (ui) {
    ui->CloseUpdateProgress();
    ui->SetStageTitle("");
    ui->SetGauge(0);
    ui->SetMainWindowEnabled(true);
  }
  if (escaped) std::rethrow_exception(escaped);
  return ok;
}

}  // namespace kv9
