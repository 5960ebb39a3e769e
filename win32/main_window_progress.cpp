// The main window's windows for the core: the port dialog and the search's
// wait window of discovery, and the update's progress window and sounds.
#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>

#include "dialogs.h"
#include "link/firmware_update.h"
#include "main_window.h"
#include "platform/message_pump.h"
#include "resource_ids.h"
#include "wide_text.h"

kv9::PortOpenDialogResult MainWindow::RunPortOpenDialog(const kv9::PortOpenDialogRequest& request,
                                                        std::int32_t& reWriteMode) {
  return RunOpenCom1Dialog(hwnd_, request, reWriteMode);
}

void MainWindow::ShowSearchProgress(const std::string& caption, const std::string& banner) {
  if (searchWindow_) DestroyWindow(searchWindow_);
  searchWindow_ = CreateSearchWindow(hwnd_);
  const std::wstring text = Widen(banner);
  SetWindowTextW(searchWindow_, Widen(caption).c_str());
  SetDlgItemTextW(searchWindow_, IDC_GLABEL1, text.c_str());
  SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(text.c_str()));
  ShowWindow(searchWindow_, SW_SHOWNOACTIVATE);
  kv9::ProcessMessages();
}

void MainWindow::SetSearchLabel(const std::string& text) {
  if (searchWindow_) SetDlgItemTextW(searchWindow_, IDC_GLABEL1, Widen(text).c_str());
}

void MainWindow::CloseSearchProgress() {
  SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(L""));
  if (searchWindow_) DestroyWindow(searchWindow_);
  searchWindow_ = nullptr;
}

void MainWindow::ShowUpdateProgress() {
  // The NG window of an earlier run, if the person left it open.
  if (progressWindow_) DestroyWindow(progressWindow_);
  CreateProgressWindow(hwnd_, &progressWindow_);
  resultShown_ = false;
  SetDlgItemTextW(progressWindow_, IDC_PLABEL1, L"");
  SetDlgItemTextW(progressWindow_, IDC_PLABEL2, L"");
  SetProgressLabelFont(progressWindow_, 24, RGB(0, 0, 255));
  EnableWindow(GetDlgItem(progressWindow_, IDOK), FALSE);
  EnableWindow(progressWindow_, FALSE);  // it cannot be closed during the run
  ShowWindow(progressWindow_, SW_SHOWNOACTIVATE);
  kv9::ProcessMessages();
}

void MainWindow::SetUpdateProgressLabel(const std::string& text) {
  if (progressWindow_) SetDlgItemTextW(progressWindow_, IDC_PLABEL1, Widen(text).c_str());
}

void MainWindow::SetUpdateProgressMessage(const std::string& text) {
  if (progressWindow_) SetDlgItemTextW(progressWindow_, IDC_PLABEL2, Widen(text).c_str());
}

void MainWindow::ShowUpdateResult(bool success) {
  if (!progressWindow_) return;
  SetProgressLabelFont(progressWindow_, 96, success ? RGB(0, 0, 255) : RGB(255, 0, 0));
  SetDlgItemTextW(progressWindow_, IDC_PLABEL1, success ? L"OK" : L"NG");
  watch_.ResultShown(success);
  resultShown_ = true;
  resultTick_ = GetTickCount64();
}

void MainWindow::CloseUpdateProgress() {
  if (!progressWindow_) return;
  kv9::ProcessMessages();
  if (watch_.Failed()) {
    // A failure stays on screen with its advice until the person confirms
    // it (ShowRunEnd); where the re-write box is follows the core's advice.
    for (const std::string& line : watch_.LinesAfterAdvice(FailStage)) AppendLog(line, 1);
    resultShown_ = false;
    return;
  }
  // The result stays readable for a moment; the log keeps it for good.
  constexpr ULONGLONG kResultShownMs = 1500;
  const ULONGLONG shownFor = GetTickCount64() - resultTick_;
  if (resultShown_ && shownFor < kResultShownMs) {
    kv9::WaitProcessingMessages(static_cast<std::uint32_t>(kResultShownMs - shownFor));
  }
  resultShown_ = false;
  if (progressWindow_) DestroyWindow(progressWindow_);
}

void MainWindow::PlayResultSound(bool success) {
  PlaySoundW(success ? L"Sound_ring5" : L"Sound_alarm1", instance_, SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
}
