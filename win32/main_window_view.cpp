// The window model's dialogs and windows as this window draws them: the
// port dialog and the search's wait window, the update's progress window
// and sounds, the file dialog, and the settings and port dialogs.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <mmsystem.h>

#include <cstdio>
#include <cstdlib>

#include "dialogs.h"
#include "main_window.h"
#include "platform/message_pump.h"
#include "resource_ids.h"
#include "serial/com_port.h"
#include "wide_text.h"

namespace {

// "Name (*.a *.b);;Other (*)" as the file dialog's pairs
// "Name (*.a *.b)\0*.a;*.b\0Other (*)\0*\0\0".
std::wstring DialogFilter(const std::string& filters) {
  std::wstring out;
  std::size_t start = 0;
  while (start <= filters.size()) {
    std::size_t end = filters.find(";;", start);
    if (end == std::string::npos) end = filters.size();
    const std::string filter = filters.substr(start, end - start);
    const std::size_t open = filter.rfind('('), close = filter.rfind(')');
    std::string patterns = filter.substr(open + 1, close - open - 1);
    for (char& c : patterns) {
      if (c == ' ') c = ';';
    }
    out += Widen(filter) + L'\0' + Widen(patterns) + L'\0';
    start = end + 2;
  }
  return out;
}

std::string Number(double value, const char* format) {
  char text[48];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

double ValueOf(const std::string& text) { return std::strtod(text.c_str(), nullptr); }

}  // namespace

kv9::PortOpenDialogResult MainWindow::RunPortOpenDialog(const kv9::PortOpenDialogRequest& request,
                                                        std::int32_t& reWriteMode) {
  return RunOpenCom1Dialog(hwnd_, request, reWriteMode);
}

void MainWindow::ShowSearchWindow(const std::string& caption, const std::string& text) {
  if (searchWindow_) DestroyWindow(searchWindow_);
  searchWindow_ = CreateSearchWindow(hwnd_);
  SetWindowTextW(searchWindow_, Widen(caption).c_str());
  SetDlgItemTextW(searchWindow_, IDC_GLABEL1, Widen(text).c_str());
  ShowWindow(searchWindow_, SW_SHOWNOACTIVATE);
}

void MainWindow::SetSearchText(const std::string& text) {
  if (searchWindow_) SetDlgItemTextW(searchWindow_, IDC_GLABEL1, Widen(text).c_str());
}

void MainWindow::CloseSearchWindow() {
  if (searchWindow_) DestroyWindow(searchWindow_);
  searchWindow_ = nullptr;
}

void MainWindow::ShowProgressWindow() {
  // The NG window of an earlier run, if the person left it open.
  if (progressWindow_) DestroyWindow(progressWindow_);
  CreateProgressWindow(hwnd_, &progressWindow_);
  SetDlgItemTextW(progressWindow_, IDC_PLABEL1, L"");
  SetDlgItemTextW(progressWindow_, IDC_PLABEL2, L"");
  SetProgressLabelFont(progressWindow_, 24, RGB(0, 0, 255));
  EnableWindow(GetDlgItem(progressWindow_, IDOK), FALSE);
  EnableWindow(progressWindow_, FALSE);  // it cannot be closed during the run
  ShowWindow(progressWindow_, SW_SHOWNOACTIVATE);
}

void MainWindow::SetProgressLabel(const std::string& text) {
  if (progressWindow_) SetDlgItemTextW(progressWindow_, IDC_PLABEL1, Widen(text).c_str());
}

void MainWindow::SetProgressMessage(const std::string& text) {
  if (progressWindow_) SetDlgItemTextW(progressWindow_, IDC_PLABEL2, Widen(text).c_str());
}

void MainWindow::ShowProgressResult(bool success) {
  if (!progressWindow_) return;
  SetProgressLabelFont(progressWindow_, 96, success ? RGB(0, 0, 255) : RGB(255, 0, 0));
  SetDlgItemTextW(progressWindow_, IDC_PLABEL1, success ? L"OK" : L"NG");
}

void MainWindow::KeepProgressWindow(const std::vector<std::string>& advice) {
  if (progressWindow_) ShowProgressAdvice(progressWindow_, advice);
}

void MainWindow::CloseProgressWindow() {
  if (progressWindow_) DestroyWindow(progressWindow_);
}

void MainWindow::PlayResultSound(bool success) {
  PlaySoundW(success ? L"Sound_ring5" : L"Sound_alarm1", instance_, SND_RESOURCE | SND_ASYNC | SND_NODEFAULT);
}

std::string MainWindow::AskOpenFile(const std::string& title, const std::string& folder, const std::string& filter) {
  const std::wstring filters = DialogFilter(filter);
  const std::wstring caption = Widen(title);
  const std::wstring start = Widen(folder);
  std::vector<wchar_t> name(MAX_PATH * 4, L'\0');
  OPENFILENAMEW ofn{sizeof(ofn)};
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = filters.c_str();
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.lpstrTitle = caption.c_str();  // the dialog's own title, not the system's "Open"
  ofn.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  return GetOpenFileNameW(&ofn) ? Narrow(name.data()) : std::string();
}

bool MainWindow::RunConfigDialog(kv9::window::ConfigValues& v) {
  ConfigTexts t;
  t.progSpeedIndex = v.progSpeedIndex;
  t.dispDebug = v.dispDebug, t.dispTx = v.dispTx, t.dispRec = v.dispRec;
  t.freq = Number(v.freq, "%.2f");
  t.mult1 = Number(v.mult1, "%.0f");
  t.mult2 = Number(v.mult2, "%.0f");
  t.bootRate = Number(v.bootRate, "%.0f");
  t.resetWait = Number(v.resetWait, "%.0f");
  t.init = v.init, t.initScan = v.initScan;
  t.cpuEntry = v.cpuEntry;
  t.romSizeIndex = v.romSizeIndex;
  if (!::RunConfigDialog(hwnd_, t)) return false;
  v.progSpeedIndex = t.progSpeedIndex;
  v.dispDebug = t.dispDebug, v.dispTx = t.dispTx, v.dispRec = t.dispRec;
  v.freq = ValueOf(t.freq), v.mult1 = ValueOf(t.mult1), v.mult2 = ValueOf(t.mult2);
  v.bootRate = ValueOf(t.bootRate), v.resetWait = ValueOf(t.resetWait);
  v.init = t.init, v.initScan = t.initScan;
  v.cpuEntry = t.cpuEntry;
  v.romSizeIndex = t.romSizeIndex;
  return true;
}

bool MainWindow::RunPortSetDialog(kv9::TCustomComPort& port, std::string& chosen) {
  return ::RunPortSetDialog(hwnd_, port.Port(), chosen);
}
