// The file menu (the window's menu rows), image files opened from it or
// dropped on the window, and the EEPROM backup written back.
#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "main_window.h"
#include "resource_ids.h"
#include "wide_text.h"
#include "window/eeprom_write_back.h"
#include "window/image_open.h"
#include "window/window_menus.h"
#include "window/window_texts.h"

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

}  // namespace

HMENU MainWindow::BuildFileMenu() {
  HMENU file = GetSubMenu(GetMenu(hwnd_), 0);
  DeleteMenu(file, 0, MF_BYPOSITION);  // the script's placeholder
  const auto rows = kv9::window::FileMenuRows();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (rows[i].separatorBefore) AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(file, MF_STRING, IDM_FILE_ROW + i, Widen(rows[i].caption).c_str());
  }
  return file;
}

bool MainWindow::RunFileCommand(int id) {
  const auto rows = kv9::window::FileMenuRows();
  if (id < IDM_FILE_ROW || id >= IDM_FILE_ROW + static_cast<int>(rows.size())) return false;
  switch (rows[static_cast<std::size_t>(id - IDM_FILE_ROW)].command) {
    case kv9::window::WindowCommand::OpenImage: {
      const std::wstring path = AskFileName(kv9::window::kImageFileFilter);
      if (!path.empty()) OpenImageFile(path);
      break;
    }
    case kv9::window::WindowCommand::SearchAgain:
      if (!guard_.Busy()) SearchModule(true);
      break;
    case kv9::window::WindowCommand::Exit: PostMessageW(hwnd_, WM_CLOSE, 0, 0); break;
    case kv9::window::WindowCommand::RestoreFromEepromBackup:
    case kv9::window::WindowCommand::RollBackEeprom:
      EepromBackupClick(rows[static_cast<std::size_t>(id - IDM_FILE_ROW)].command);
      break;
  }
  return true;
}

std::wstring MainWindow::AskFileName(const std::string& filter) {
  const std::wstring filters = DialogFilter(filter);
  std::vector<wchar_t> name(MAX_PATH * 4, L'\0');
  OPENFILENAMEW ofn{sizeof(ofn)};
  ofn.hwndOwner = hwnd_;
  ofn.lpstrFilter = filters.c_str();
  ofn.lpstrFile = name.data();
  ofn.nMaxFile = static_cast<DWORD>(name.size());
  ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
  return GetOpenFileNameW(&ofn) ? std::wstring(name.data()) : std::wstring();
}

void MainWindow::WMDropFiles(HDROP drop) {
  SetForegroundWindow(hwnd_);
  std::wstring name;
  if (DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0) > 0) {
    name.resize(DragQueryFileW(drop, 0, nullptr, 0));
    DragQueryFileW(drop, 0, name.data(), static_cast<UINT>(name.size() + 1));
  }
  DragFinish(drop);
  DropFileName = name;
  if (!DropFileName.empty()) OpenImageFile(DropFileName);
}

void MainWindow::OpenImageFile(const std::wstring& path) {
  // Not while a run or the search uses the image or the port.
  if (!cont_ || guard_.Busy()) return;
  const std::string file = Narrow(path);
  const std::string problem = kv9::window::ImageFileProblem(file);
  if (!problem.empty()) {
    ShowError(problem);
    return;
  }
  ControllerUse use(*this);
  const int loaded = cont_->LoadImageFile(file);
  AppendLog(loaded ? "OK: Read ROM Data" : "NG: Read ROM Data", 1);
  if (loaded) AppendLog(kv9::window::LoadedImageLine(*cont_, file), 1);
}

void MainWindow::EepromBackupClick(kv9::window::WindowCommand command) {
  if (!cont_ || guard_.Busy()) return;
  const std::wstring path = AskFileName(kv9::window::kEepromBackupFilter);
  if (path.empty()) return;
  ControllerUse use(*this);
  kv9::window::RunEepromBackupCommand(*cont_, command, InitScanMode, Narrow(path), LogLine());
}
