// The update as the window runs it: the command guard, the run's record
// file, and what the window shows once the run has ended.
#include <windows.h>
#include <commctrl.h>

#include "dialogs.h"
#include "link/firmware_update.h"
#include "main_window.h"
#include "resource_ids.h"
#include "wide_text.h"
#include "window/window_texts.h"

void MainWindow::RunFirmwareUpdate() {
  guard_.RunStarted();
  runActive_ = true;
  RefreshUpdateCommands();
  watch_.Start();
  OpenRunLog();
  kv9::UpdateOptions options;
  options.ResetWaitMs = ResetWaitMs;
  options.UserBootMode = UserBootMode;
  options.InitAfterUpdate = InitAfterUpdate;
  options.InitScanMode = InitScanMode;
  std::string escaped;
  const kv9::UpdateReport report =
      kv9::RunFirmwareUpdate(*cont_, ProgSettings, options, LogLine(), FailStage, &escaped);
  guard_.RunEnded();
  runActive_ = false;
  ShowRunEnd(report);
  CloseRunLog(report);
  RefreshUpdateCommands();
  if (!escaped.empty()) ShowError(escaped);
  if (closing_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);  // asked for during the run
}

void MainWindow::ShowRunEnd(const kv9::UpdateReport& report) {
  const kv9::window::RunEndView view = watch_.End(report, DispDebugInfo != 0);
  SetWindowTextW(stTitle_, Widen(view.stageTitle).c_str());
  SendMessageW(gauge_, PBM_SETPOS, view.percent, 0);
  for (const std::string& line : view.logLines) AppendLog(line, 1);
  if (view.keepProgressWindow && progressWindow_) ShowProgressAdvice(progressWindow_, view.adviceLines);
  else if (progressWindow_) DestroyWindow(progressWindow_);
}

void MainWindow::OpenRunLog() {
  std::string error;
  const std::string folder = kv9::window::RunLogFolder(error);
  const std::string port = "COM" + std::to_string(ProgSettings.PortNumber);
  if (!folder.empty() && runLog_.Open(folder, port, error)) return;
  if (runLogWarned_) return;
  runLogWarned_ = true;
  AppendLog(kv9::window::kRunLogFailed + error, 1);
}

void MainWindow::CloseRunLog(const kv9::UpdateReport& report) {
  if (!runLog_.IsOpen()) return;
  runLog_.Note(kv9::window::OutcomeLine(report));
  std::string error;
  if (!runLog_.Close(error) && !runLogWarned_) {
    runLogWarned_ = true;
    AppendLog(kv9::window::kRunLogFailed + error, 1);
  }
}
