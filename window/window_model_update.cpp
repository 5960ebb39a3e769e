// The update as the window runs it: the command, its options, the run's
// record and JSON report, the progress window's rules and what the window
// keeps showing once the run has ended.
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "kv9_version.h"
#include "link/firmware_backup.h"
#include "link/firmware_update.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/atomic_file.h"
#include "platform/data_folder.h"
#include "platform/message_pump.h"
#include "platform/ticks.h"
#include "record/report_json.h"
#include "serial/port_table.h"
#include "fleet/clock_text.h"
#include "window/broken_off_run.h"
#include "window/window_model.h"
#include "window/window_texts.h"

namespace kv9::window {
namespace {

std::string Trimmed(const char* field, std::size_t size) {
  std::string text(field, strnlen(field, size));
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

bool Failed(const UpdateReport& report) {
  return report.outcome == UpdateOutcome::Failed || report.outcome == UpdateOutcome::Stopped;
}

}  // namespace

bool WindowModel::PortVanished(const UpdateReport& report) const {
  if (!Failed(report) || report.moduleState == ModuleState::Untouched) return false;
  const std::string port = "COM" + std::to_string(settings_.ProgSettings.PortNumber);
  for (const PortEntry& entry : ReadPortTable()) {
    if (entry.name == port) return false;
  }
  return true;
}

std::string RunLogFolder(std::string& error) {
  const std::string base = UserDataFolder(error);
  return base.empty() ? std::string() : base + "/kv9update/logs";
}

void WindowModel::TB_WriteClick() {
  // A run is never re-entered, nor started during a search.
  if (Busy() || !cont_) return;
  ControllerUse use(*this);
  if (cont_->ModuleSupported != 1) {
    cont_->ShowModuleMessage();
  } else if (!guard_.Enabled()) {
    // After a failed run the module must be found again first: nothing is
    // sent to a module whose state is not known.
    view_.ShowStatus(kSearchAgainFirst);
    AppendLog(kSearchAgainFirst, 1);
  } else {
    RunFirmwareUpdate();
  }
}

void WindowModel::RunFirmwareUpdate() {
  std::string backupFolder;
  if (settings_.FirmwareBackup) {
    std::string error;
    backupFolder = FirmwareBackupFolder(error);
    // Asked for a copy and none can be made: nothing is touched.
    if (backupFolder.empty()) return ShowMessage(kNoFirmwareBackupFolder + error);
  }
  updateRunning_ = true;
  firmwareChecked_ = false;
  guard_.RunStarted();
  Refresh();
  watch_.Start();
  StartRunRecord();
  UpdateOptions options;
  options.ResetWaitMs = settings_.ResetWaitMs;
  options.UserBootMode = settings_.UserBootMode;
  options.InitAfterUpdate = settings_.InitAfterUpdate;
  options.InitScanMode = settings_.InitScanMode;
  options.FirmwareBackup = backupFolder;
  options.FirmwareBackupMakeFolder = backupFolder.empty() ? 0 : 1;
  std::string escaped;
  UpdateReport report;
  try {
    report = kv9::RunFirmwareUpdate(*cont_, settings_.ProgSettings, options, LogLine(), settings_.FailStage, &escaped);
  } catch (const std::exception& e) {
    escaped = e.what();
  }
  if (stopSignal_ && report.outcome == UpdateOutcome::Stopped) report.stopSignal = stopSignal_;
  updateRunning_ = false;
  guard_.RunEnded();
  EndRun(report);
  Refresh();
  CloseWhenIdle();  // a stop asked for during the run ends the tool now
  // The error that ended the run goes on to the window's default handler,
  // which shows it, once the window shows where the run ended.
  if (!escaped.empty()) throw std::runtime_error(escaped);
}

void WindowModel::StartRunRecord() {
  std::string error;
  const std::string folder = RunLogFolder(error);
  const std::string port = "COM" + std::to_string(settings_.ProgSettings.PortNumber);
  if (folder.empty() || !record_.Open(folder, "kv9update", port, error)) {
    if (!recordWarned_) AppendLog(kRunLogFailed + error, 1);
    recordWarned_ = true;
    return;
  }
  lastRecord_ = record_.Path();
  // The report's identity: this run, this program, and the image by content.
  runIdentity_ = fleet::StartIdentity("");
  runIdentity_.program = "kv9update";
  runIdentity_.image = fleet::IdentifyImage(cont_->Image, imageFile_);
  record_.Note(std::string("kv9update ") + KV9_PRODUCT_VERSION);
  const TProgSettings& s = settings_.ProgSettings;
  record_.Note("settings: port " + port + ", module rate " + std::to_string(s.BitRate) + ", cpu code " +
               std::to_string(s.CpuCode) + ", boot rate " + std::to_string(s.BootBitRate) + ", reset wait " +
               std::to_string(settings_.ResetWaitMs) + " ms" + (cont_->ReWriteMode ? ", re-write mode" : "") +
               (settings_.InitAfterUpdate ? ", factory restore after the write" : "") +
               (settings_.FirmwareBackup ? ", firmware backup" : ""));
  // Until the run has ended, a crash or a power cut leaves this marker: the
  // next start names the run.
  RememberBrokenOffRun({record_.Path(), {}});
}

void WindowModel::EndRun(const UpdateReport& report) {
  const RunEndView view = watch_.End(report, settings_.DispDebugInfo != 0);
  for (const std::string& line : view.logLines) AppendLog(line, 1);
  view_.SetStageTitle(view.stageTitle);
  view_.SetGauge(view.percent);
  std::vector<std::string> after;
  if (PortVanished(report)) after.push_back(kPortVanished);
  if (report.next == NextStep::Restore) after.push_back(kFactoryFinishPlace);
  if (report.next == NextStep::RestoreFromBackup) after.push_back(kWriteBackPlace);
  if (report.next == NextStep::RollBack) after.push_back(kRollBackPlace);
  for (const std::string& line : after) AppendLog(line, 1);
  if (progressShown_ && view.keepProgressWindow) {
    std::vector<std::string> advice = view.adviceLines;
    advice.insert(advice.end(), after.begin(), after.end());
    progressKept_ = true;
    view_.KeepProgressWindow(advice);
  }
  EndRunRecord(report);
  KeepMarker(report);
}

void WindowModel::EndRunRecord(const UpdateReport& report) {
  if (!record_.IsOpen()) return;
  record_.Note(record::OutcomeLine(report));
  const std::string path = record_.Path();
  if (std::string error; !record_.Close(error)) {
    if (!recordWarned_) AppendLog(kRunLogFailed + error, 1);
    recordWarned_ = true;
  }
  // The run's JSON object beside its record, as `kv9flash --report` writes it.
  record::RunFacts facts;
  facts.port = "COM" + std::to_string(settings_.ProgSettings.PortNumber);
  facts.module = cont_ ? Trimmed(cont_->ModelName.data(), cont_->ModelName.size()) : "";
  facts.report = report;
  facts.exitStatus = report.outcome == UpdateOutcome::Ok || report.outcome == UpdateOutcome::Skipped ? 0 : 1;
  runIdentity_.end = fleet::IsoTimeNow();
  facts.identityMembers = fleet::IdentityMembers(runIdentity_);
  lastReport_ = path.substr(0, path.size() - 4) + ".json";
  if (std::string error; !WriteFileAtomically(lastReport_, record::ReportJson(facts) + "\n", error)) {
    AppendLog(kRunLogFailed + error, 1);
    lastReport_.clear();
  }
}

void WindowModel::KeepMarker(const UpdateReport& report) {
  const bool brokenOff = report.outcome == UpdateOutcome::Stopped;
  if (!brokenOff || lastRecord_.empty()) {
    ForgetBrokenOffRun();
    return;
  }
  RememberBrokenOffRun({lastRecord_, report.adviceLines});
  // The tool is about to end: one line for whoever started it.
  std::fprintf(stderr, "kv9update: stopped by signal %d; module %s; record %s\n", report.stopSignal,
               ModuleStateName(report.moduleState), lastRecord_.c_str());
  std::fflush(stderr);
}

void WindowModel::ShowUpdateProgress() {
  progressShown_ = true;
  progressKept_ = false;
  resultShown_ = false;
  view_.ShowProgressWindow();
  ProcessMessages();
}

void WindowModel::SetUpdateProgressLabel(const std::string& text) { view_.SetProgressLabel(text); }

void WindowModel::SetUpdateProgressMessage(const std::string& text) { view_.SetProgressMessage(text); }

void WindowModel::ShowUpdateResult(bool success) {
  if (!progressShown_) return;
  lastResult_ = success ? "OK" : "NG";
  view_.ShowProgressResult(success);
  resultShown_ = true;
  resultTick_ = TickCount();
  watch_.ResultShown(success);
}

void WindowModel::CloseUpdateProgress() {
  if (!progressShown_) return;
  if (watch_.Failed()) {
    // A failure stays on screen with its advice until the person confirms
    // it (EndRun); where the re-write box is follows the core's advice.
    for (const std::string& line : watch_.LinesAfterAdvice(settings_.FailStage)) AppendLog(line, 1);
    resultShown_ = false;
    return;
  }
  ProcessMessages();
  // The result stays readable for a moment before the window goes; the log
  // keeps it for good.
  constexpr std::uint32_t kResultShownMs = 1500;
  const std::uint32_t shownFor = TickCount() - resultTick_;
  if (resultShown_ && shownFor < kResultShownMs) WaitProcessingMessages(kResultShownMs - shownFor);
  resultShown_ = false;
  progressShown_ = false;
  view_.CloseProgressWindow();
}

void WindowModel::PlayResultSound(bool success) { view_.PlayResultSound(success); }

}  // namespace kv9::window
