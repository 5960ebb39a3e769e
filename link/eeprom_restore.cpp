#include "link/eeprom_restore.h"

#include <cstring>
#include <exception>

#include "link/eeprom_backup.h"
#include "platform/ticks.h"

namespace kv9 {
namespace {

constexpr char kBackupLabel[] = "EEPROM BACKUP : ";
constexpr char kBackupFileLabel[] = "EEPROM BACKUP FILE : ";
constexpr char kWithoutCheck[] =
    ": a file written before backup files carried a check; whether its bytes are still as written cannot be told";
constexpr char kOtherModule[] = ": another module's file (its factory data differs from this module's)";
constexpr char kOtherModuleModel[] = ": another module's file (written from a module named ";
constexpr char kOtherModuleAllowed[] = ": another module's file, written as asked";
constexpr char kReadFailed[] =
    "EEPROMを読み出せないため、工場出荷時設定を中止しました。R/Wの設定は変更されていません。";
constexpr char kReadsDisagree[] =
    "EEPROMを2回読み出した内容が一致しないため、工場出荷時設定を中止しました。R/Wの設定は変更されていません。";
constexpr char kBackupNotWritten[] =
    "EEPROMの内容をファイルに保存できないため、工場出荷時設定を中止しました。R/Wの設定は変更されていません。";
constexpr char kInitLeftUnchanged[] =
    "EEPROMの初期化が正常に終わりませんでしたが、R/Wの設定は変更されていません。";
constexpr char kNothingChangedRetry[] = "R/Wの接続と保存先を確認してから、工場出荷時設定をやり直してください。";
constexpr char kRetryAfterConnection[] = "R/Wの接続を確認してから、工場出荷時設定をやり直してください。";
constexpr char kInitUnknown[] =
    "EEPROMの初期化が正常に終わりませんでした。EEPROMは初期化されている可能性があります。"
    "書き込み前のEEPROMの内容はファイルに保存されています。";
constexpr char kFreshReadFailed[] =
    "初期化後の工場出荷時データを読み出せないため、書き込みを中止しました。EEPROMは初期化されています。"
    "書き込み前のEEPROMの内容はファイルに保存されています。";
constexpr char kFreshReadsDisagree[] =
    "初期化後の工場出荷時データを2回読み出した内容が一致しないため、書き込みを中止しました。"
    "EEPROMは初期化されています。書き込み前のEEPROMの内容はファイルに保存されています。";
constexpr char kPartlyWritten[] =
    "EEPROMの書き込みが途中で終わりました。書き込み前のEEPROMの内容はファイルに保存されています。";
constexpr char kContinueFromFile[] =
    "R/Wの接続を確認し、保存したEEPROMバックアップファイルから工場出荷時設定を続けてください。";
constexpr char kRollBackNothingChanged[] = "EEPROMのロールバックを中止しました。R/Wの設定は変更されていません。";
constexpr char kRollBackAgain[] = "R/Wの接続を確認し、同じファイルでEEPROMのロールバックをやり直してください。";

std::string Field(const std::array<char, 10>& field) {
  return EepromBackupLineValue(std::string(field.data(), ::strnlen(field.data(), 9)));
}

// The copy on disk, as the procedures ask for it before anything changes.
EepromBackupFn BackupTo(TFlashWrRXCont& cont, const std::string& portName, const LogLineFn& log,
                        EepromRestoreResult& result) {
  const EepromBackupOrigin origin{portName, Field(cont.ModelName), Field(cont.RomVersion)};
  return [origin, &log, &result](const EepromImage& factory, const EepromImage& allData) {
    std::string path, error;
    if (!WriteEepromBackup(origin, factory, allData, path, error)) {
      log(kBackupLabel + std::string("NG ") + error, 1);
      return false;
    }
    result.backupPath = path;
    log(kBackupLabel + path, 0);
    return true;
  };
}

// Why the file is not this module's, "" when it is: a model named in the
// file that is not the module's, or factory words outside the renewed ones
// (calibration, serial) that differ from the module's own.
std::string OtherModuleReason(TFlashWrRXCont& cont, const EepromFileSource& source, const EepromImage& factory) {
  const std::string model = Field(cont.ModelName);
  if (!source.content.model.empty() && !model.empty() && source.content.model != model)
    return source.path + kOtherModuleModel + source.content.model + ", this one is " + model + ")";
  if (!SameModuleFactoryData(source.content.factory, factory)) return source.path + kOtherModule;
  return {};
}

RestoreProblem RestoreFromFile(TFlashWrRXCont& cont, int initScanMode, const EepromFileSource& source,
                               const LogLineFn& log, EepromRestoreResult& result) {
  if (!source.content.checked) log(kBackupFileLabel + source.path + kWithoutCheck, 1);
  EepromImages now;
  if (const RestoreProblem read = ReadEepromImagesTwice(cont, now); read != RestoreProblem::None) return read;
  if (const std::string why = OtherModuleReason(cont, source, now.factory); !why.empty()) {
    log(kBackupFileLabel + std::string("NG ") + why, 1);
    if (!source.allowOtherModule || !source.allowOtherModule(why)) return RestoreProblem::OtherModule;
    log(kBackupFileLabel + source.path + kOtherModuleAllowed, 1);
    result.otherModule = true;
  }
  if (!BackupTo(cont, cont.CommX1.Port(), log, result)(now.factory, now.allData)) return RestoreProblem::BackupFailed;
  const EepromImages wanted{source.content.factory, source.content.allData};
  return source.rollBack ? WriteEepromImagesBack(cont, wanted) : ContinueFactoryRestore(cont, initScanMode, wanted, now);
}

// The port can go away in the middle of the step (the module unplugged):
// the error is logged and the step ends with what it may have left, told
// from how far it came, never as a step that did not run. Before the copy
// was made nothing was changed; after it the EEPROM may be changed, and the
// copy is the way on.
template <typename Step>
void GuardedStep(EepromRestoreResult& result, const LogLineFn& log, Step step) {
  try {
    result.problem = step();
  } catch (const std::exception& e) {
    log(e.what(), 1);
    if (result.backupPath.empty()) {
      result.problem = RestoreProblem::ReadFailed;
    } else {
      result.problem = result.rollBack ? RestoreProblem::WriteFailed : RestoreProblem::InitFailed;
    }
  }
}

}  // namespace

EepromRestoreResult RestoreWithBackup(TFlashWrRXCont& cont, int initScanMode, const std::string& portName,
                                      const LogLineFn& log) {
  EepromRestoreResult result;
  GuardedStep(result, log,
              [&] { return RestoreFactoryImages(cont, initScanMode, BackupTo(cont, portName, log, result)); });
  return result;
}

EepromRestoreResult RestoreFromBackupFile(TFlashWrRXCont& cont, int initScanMode, const EepromFileSource& source,
                                          const LogLineFn& log) {
  EepromRestoreResult result;
  result.rollBack = source.rollBack;
  GuardedStep(result, log, [&] { return RestoreFromFile(cont, initScanMode, source, log, result); });
  return result;
}

UpdateReport RunRestoreStep(TFlashWrRXCont& cont, int initScanMode, const EepromFileSource* source,
                            const LogLineFn& log) {
  UpdateReport r;
  const std::uint32_t start = TickCount();
  const EepromRestoreResult result = source ? RestoreFromBackupFile(cont, initScanMode, *source, log)
                                            : RestoreWithBackup(cont, initScanMode, cont.CommX1.Port(), log);
  const bool ok = result.problem == RestoreProblem::None;
  const bool refused = result.problem == RestoreProblem::OtherModule;
  if (!refused) log(ok ? "FLASH DATA : OK" : "FLASH DATA : NG", 1);
  LogRestoreProblem(result, log);
  r.romBefore = std::string(cont.RomVersion.data(), ::strnlen(cont.RomVersion.data(), 9));
  r.moduleRate = cont.Settings.BitRate;
  r.eepromBackup = result.backupPath;
  r.restoreProblem = result.problem;
  r.moduleState = ok ? ModuleState::Restored : ModuleState::RunningNewFirmware;
  r.outcome = ok ? UpdateOutcome::Ok : refused ? UpdateOutcome::Refused : UpdateOutcome::Failed;
  r.stage = ok ? "done" : "restore";
  r.next = ok || refused ? NextStep::None : NextStepFor(r.moduleState, r.restoreProblem, false);
  // From a file, the same file continues whatever broke off: the module may
  // hold part of it, and the new copy holds that, not the settings wanted.
  if (source && !ok && !refused) {
    r.next = source->rollBack ? NextStep::RollBack : NextStep::RestoreFromBackup;
    r.restoreFile = source->path;
    r.otherModule = result.otherModule;
  }
  r.seconds = static_cast<double>(TickCount() - start) / 1000.0;
  return r;
}

void LogRestoreProblem(const EepromRestoreResult& result, const LogLineFn& log) {
  const char* const onward = result.rollBack ? kRollBackAgain : kContinueFromFile;
  if (result.rollBack && result.problem != RestoreProblem::None && result.problem != RestoreProblem::OtherModule &&
      !RestoreChangedEeprom(result.problem)) {
    log(kRollBackNothingChanged, 1);
    log(kRollBackAgain, 1);
    return;
  }
  switch (result.problem) {
    case RestoreProblem::None:
    case RestoreProblem::OtherModule: return;  // its refusal said so
    case RestoreProblem::ReadFailed:
      log(kReadFailed, 1);
      log(kRetryAfterConnection, 1);
      return;
    case RestoreProblem::ReadsDisagree:
      log(kReadsDisagree, 1);
      log(kNothingChangedRetry, 1);
      return;
    case RestoreProblem::BackupFailed:
      log(kBackupNotWritten, 1);
      log(kNothingChangedRetry, 1);
      return;
    case RestoreProblem::InitLeftUnchanged:
      log(kInitLeftUnchanged, 1);
      log(kRetryAfterConnection, 1);
      return;
    case RestoreProblem::InitFailed: log(kInitUnknown, 1); break;
    case RestoreProblem::FreshReadFailed: log(kFreshReadFailed, 1); break;
    case RestoreProblem::FreshReadsDisagree: log(kFreshReadsDisagree, 1); break;
    case RestoreProblem::WriteFailed:
    case RestoreProblem::CheckFailed: log(kPartlyWritten, 1); break;
  }
  log(onward, 1);
}

}  // namespace kv9
