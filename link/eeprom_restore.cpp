#include "link/eeprom_restore.h"

#include <cstring>

#include "link/eeprom_backup.h"
#include "platform/ticks.h"

namespace kv9 {
namespace {

constexpr char kBackupLabel[] = "EEPROM BACKUP : ";
constexpr char kBackupFileLabel[] = "EEPROM BACKUP FILE : ";
constexpr char kReadsDisagree[] =
    "EEPROMを2回読み出した内容が一致しないため、工場出荷時設定を中止しました。R/Wの設定は変更されていません。";
constexpr char kBackupNotWritten[] =
    "EEPROMの内容をファイルに保存できないため、工場出荷時設定を中止しました。R/Wの設定は変更されていません。";
constexpr char kNothingChangedRetry[] = "R/Wの接続と保存先を確認してから、工場出荷時設定をやり直してください。";
constexpr char kPartlyWritten[] =
    "EEPROMの書き込みが途中で終わりました。書き込み前のEEPROMの内容はファイルに保存されています。";
constexpr char kWriteBackAdvice[] = "R/Wの接続を確認し、保存したファイルの内容を書き戻してください。";

// The copy on disk, as the procedures ask for it before anything changes.
EepromBackupFn BackupTo(const std::string& portName, const LogLineFn& log, EepromRestoreResult& result) {
  return [&portName, &log, &result](const EepromImage& factory, const EepromImage& allData) {
    std::string path, error;
    if (!WriteEepromBackup(portName, factory, allData, path, error)) {
      log(kBackupLabel + std::string("NG ") + error, 1);
      return false;
    }
    result.backupPath = path;
    log(kBackupLabel + path, 0);
    return true;
  };
}

}  // namespace

EepromRestoreResult RestoreWithBackup(TFlashWrRXCont& cont, int initScanMode, const std::string& portName,
                                      const LogLineFn& log) {
  EepromRestoreResult result;
  result.problem = RestoreFactoryImages(cont, initScanMode, BackupTo(portName, log, result));
  return result;
}

EepromRestoreResult RestoreFromBackupFile(TFlashWrRXCont& cont, const std::string& file,
                                          const std::string& portName, const LogLineFn& log) {
  EepromRestoreResult result;
  EepromImages wanted;
  std::string error;
  if (!ReadEepromBackup(file, wanted.factory, wanted.allData, error)) {
    log(kBackupFileLabel + std::string("NG ") + error, 1);
    result.problem = RestoreProblem::ReadFailed;
    return result;
  }
  EepromImages now;
  result.problem = ReadEepromImagesTwice(cont, now);
  if (result.problem != RestoreProblem::None) return result;
  if (!BackupTo(portName, log, result)(now.factory, now.allData)) {
    result.problem = RestoreProblem::BackupFailed;
    return result;
  }
  result.problem = WriteEepromImagesBack(cont, wanted);
  return result;
}

UpdateReport RunRestoreStep(TFlashWrRXCont& cont, int initScanMode, const std::string& fromFile,
                            const LogLineFn& log) {
  UpdateReport r;
  const std::uint32_t start = TickCount();
  const std::string port = cont.CommX1.Port();
  const EepromRestoreResult result = fromFile.empty() ? RestoreWithBackup(cont, initScanMode, port, log)
                                                      : RestoreFromBackupFile(cont, fromFile, port, log);
  const bool ok = result.problem == RestoreProblem::None;
  log(ok ? "FLASH DATA : OK" : "FLASH DATA : NG", 1);
  LogRestoreProblem(result, log);
  r.romBefore = std::string(cont.RomVersion.data(), ::strnlen(cont.RomVersion.data(), 9));
  r.moduleRate = cont.Settings.BitRate;
  r.eepromBackup = result.backupPath;
  r.restoreProblem = result.problem;
  r.moduleState = ok ? ModuleState::Restored : ModuleState::RunningNewFirmware;
  r.outcome = ok ? UpdateOutcome::Ok : UpdateOutcome::Failed;
  r.stage = ok ? "done" : "restore";
  r.next = ok ? NextStep::None : NextStepFor(r.moduleState, r.restoreProblem, false);
  r.seconds = static_cast<double>(TickCount() - start) / 1000.0;
  return r;
}

void LogRestoreProblem(const EepromRestoreResult& result, const LogLineFn& log) {
  switch (result.problem) {
    case RestoreProblem::None:
    case RestoreProblem::ReadFailed: return;  // the module did not answer: the usual advice fits
    case RestoreProblem::ReadsDisagree:
      log(kReadsDisagree, 1);
      log(kNothingChangedRetry, 1);
      return;
    case RestoreProblem::BackupFailed:
      log(kBackupNotWritten, 1);
      log(kNothingChangedRetry, 1);
      return;
    case RestoreProblem::InitFailed:
    case RestoreProblem::WriteFailed:
    case RestoreProblem::CheckFailed:
      log(kPartlyWritten, 1);
      log(kWriteBackAdvice, 1);
      return;
  }
}

}  // namespace kv9
