// The main window: creation, its message handling, the start-up search,
// the update command and closing.
#include "main_window.h"

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <windowsx.h>

#include <exception>

#include "dialogs.h"
#include "window/window_texts.h"
#include "platform/message_pump.h"
#include "platform/ticks.h"
#include "resource_ids.h"
#include "wide_text.h"

namespace {

constexpr wchar_t kClassName[] = L"TRXProgAppForm";
constexpr wchar_t kCaption[] = L"KV9 ファームウェアアップデート";
constexpr UINT kFormShowMessage = WM_APP + 2;

}  // namespace

MainWindow::ControllerUse::~ControllerUse() {
  if (--w_.controllerUses_ == 0 && w_.releaseRequested_) w_.ReleaseController();
}

MainWindow::MainWindow() = default;

MainWindow::~MainWindow() {
  ReleaseController();
  if (cmdMenu_) DestroyMenu(cmdMenu_);
  if (configMenu_) DestroyMenu(configMenu_);
  if (popup_) DestroyMenu(popup_);
  for (HFONT font : {titleFont_, memoFont_, uiFont_, progressFont_}) {
    if (font) DeleteObject(font);
  }
}

bool MainWindow::Create(HINSTANCE instance, int show) {
  instance_ = instance;
  WNDCLASSEXW cls{sizeof(cls)};
  cls.lpfnWndProc = &MainWindow::WindowProc;
  cls.hInstance = instance;
  cls.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_KV9UPDATE));
  cls.hIconSm = cls.hIcon;
  cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
  cls.lpszClassName = kClassName;
  RegisterClassExW(&cls);
  // Client area 499 x 307 plus menu, status bar and frame.
  RECT r{0, 0, 499, 307 + 22};
  AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, TRUE, 0);
  hwnd_ = CreateWindowExW(WS_EX_ACCEPTFILES, kClassName, kCaption, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                          CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, this);
  if (!hwnd_) return false;
  // The size at the window's own DPI (the sizes above are for 96 DPI).
  RECT scaled{0, 0, MulDiv(499, GetDpiForWindow(hwnd_), 96), MulDiv(307 + 22, GetDpiForWindow(hwnd_), 96)};
  AdjustWindowRectExForDpi(&scaled, WS_OVERLAPPEDWINDOW, TRUE, 0, GetDpiForWindow(hwnd_));
  SetWindowPos(hwnd_, nullptr, 0, 0, scaled.right - scaled.left, scaled.bottom - scaled.top, SWP_NOMOVE | SWP_NOZORDER);
  accel_ = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDR_ACCEL));
  popup_ = LoadMenuW(instance, MAKEINTRESOURCEW(IDR_POPUP));
  BuildControls();
  BuildHiddenMenus();
  BuildFileMenu();
  kv9::RaiseTimerResolution();
  ShowWindow(stAddr_, SW_HIDE);  // the address display stays hidden
  SetGauge(0);
  cont_ = std::make_unique<kv9::TFlashWrRXCont>(this, &SPTMemo, ProgSettings);
  cont_->DebugLog = DispDebugInfo;
  cont_->TxLog = DispTxInfo;
  cont_->RxLog = DispRecInfo;
  cont_->LoadEmbeddedImage();
  RefreshUpdateCommands();  // off until the start-up search has ended
  ShowWindow(hwnd_, show);
  UpdateWindow(hwnd_);
  return true;
}

LRESULT CALLBACK MainWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
  try {
    return self->Handle(message, wParam, lParam);
  } catch (const std::exception& e) {
    // The default handler of every command: the error is shown, the tool goes on.
    self->ShowError(e.what());
    return 0;
  }
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SHOWWINDOW:
      // After the window is on screen, as the start-up search always ran.
      if (wParam && !shown_) {
        shown_ = true;
        PostMessageW(hwnd_, kFormShowMessage, 0, 0);
      }
      break;
    case kFormShowMessage: FormShow(); return 0;
    case WM_SIZE: LayOut(); return 0;
    case WM_DPICHANGED: DpiChanged(*reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_COMMAND:
      if (Command(LOWORD(wParam))) return 0;
      break;
    case WM_NOTIFY: {
      auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
      if (info->hdr.code == TTN_GETDISPINFOW && info->hdr.idFrom == IDC_TB_WRITE) {
        info->lpszText = const_cast<wchar_t*>(L"ファームアップデート");
        return 0;
      }
      break;
    }
    case WM_MENUSELECT: ShowMenuHint(wParam); return 0;
    case WM_CONTEXTMENU:
      TrackPopupMenu(GetSubMenu(popup_, 0), TPM_RIGHTBUTTON, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                     0, hwnd_, nullptr);
      return 0;
    case WM_DROPFILES: WMDropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_CLOSE: CloseQuery(); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool MainWindow::Command(int id) {
  switch (id) {
    case IDM_ABOUT: HelpAbout1Execute(); return true;
    case IDM_CLEAR: SPTMemo.Clear(); return true;
    case IDC_TB_WRITE:
    case IDM_UPDATE:
    case IDM_PROGRAM: TB_WriteClick(); return true;
    default: return RunFileCommand(id) || RunMenuCommand(id);
  }
}

void MainWindow::FormShow() {
  kv9::ProcessMessages();
  SetForegroundWindow(hwnd_);
  SetWindowTextW(hwnd_, (std::wstring(kCaption) + L" for KV9X-Q508").c_str());
  SearchModule(false);
}

void MainWindow::SearchModule(bool again) {
  if (!cont_) return;
  ControllerUse use(*this);
  guard_.SearchStarted();
  RefreshUpdateCommands();
  searchAgain_ = again;
  portDialogCancelled_ = false;
  const int found = cont_->OpenAtStartup(ProgSettings.WriteSpeedIndex);
  searchAgain_ = false;
  // Cancel in the start-up port dialog closes the window; the controller
  // goes when this stretch ends.
  if (releaseRequested_) return;
  if (portDialogCancelled_) {
    guard_.SearchCancelled();
  } else {
    cont_->ConfirmModule(found);
    guard_.SearchEnded(cont_->ModuleSupported == 1);
  }
  RefreshUpdateCommands();
  if (closing_) PostMessageW(hwnd_, WM_CLOSE, 0, 0);  // asked for during the search
}

void MainWindow::TB_WriteClick() {
  // Keys can reach the window while a run goes on; a run is never re-entered.
  if (guard_.Busy() || !cont_) return;
  ControllerUse use(*this);
  if (guard_.Enabled()) {
    RunFirmwareUpdate();
  } else if (cont_->ModuleSupported != 1) {
    cont_->ShowModuleMessage();
  }
}

void MainWindow::RefreshUpdateCommands() {
  const bool enabled = guard_.Enabled();
  SendMessageW(toolBar_, TB_ENABLEBUTTON, IDC_TB_WRITE, MAKELONG(enabled ? TRUE : FALSE, 0));
  HMENU bar = GetMenu(hwnd_);
  EnableMenuItem(bar, 1, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
  EnableMenuItem(bar, IDM_UPDATE, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
  DrawMenuBar(hwnd_);
}

void MainWindow::DisableUpdateCommands() {
  guard_.Lock();
  RefreshUpdateCommands();
}

void MainWindow::CloseMainWindow() {
  // Cancel in the port dialog of a search from the menu keeps the tool.
  if (searchAgain_) {
    portDialogCancelled_ = true;
    return;
  }
  releaseRequested_ = true;
  PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void MainWindow::CloseQuery() {
  // The window stays while an update or the search runs: its outcome and
  // advice must be seen. It closes when the run has ended.
  if (guard_.Busy() && !releaseRequested_) {
    closing_ = true;
    const char* refused = runActive_ ? kv9::window::kRefusedDuringRun : kv9::window::kRefusedDuringSearch;
    SendMessageW(statusBar_, SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(Widen(refused).c_str()));
    return;
  }
  if (controllerUses_ > 0) {
    releaseRequested_ = true;
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);  // again once the stretch has ended
    return;
  }
  ReleaseController();
  PlaySoundW(nullptr, nullptr, 0);
  DestroyWindow(hwnd_);
}

void MainWindow::ReleaseController() {
  releaseRequested_ = false;
  cont_.reset();  // closes the port
}

void MainWindow::HelpAbout1Execute() { RunAboutBox(hwnd_); }

void MainWindow::AppendLog(const std::string& text, int force) {
  if (runLog_.IsOpen()) runLog_.Line(text);
  kv9::AppendLogLine(&SPTMemo, DispDebugInfo != 0, text, force);
}

void MainWindow::ShowMessage(const std::string& text) {
  if (runLog_.IsOpen()) runLog_.Message(text);
  MessageBoxW(hwnd_, Widen(text).c_str(), L"KV9Update", MB_OK);
}

void MainWindow::ShowError(const std::string& text) {
  if (runLog_.IsOpen()) runLog_.Message(text);
  MessageBoxW(hwnd_, Widen(text).c_str(), L"KV9Update", MB_OK | MB_ICONERROR);
}

void MainWindow::ShowModuleError(const std::string& text) {
  if (runLog_.IsOpen()) runLog_.Message(text);
  // A single "Yes" button, as the module message always had: an OK box here.
  MessageBoxW(hwnd_, Widen(text).c_str(), L"KV9Update", MB_OK | MB_ICONERROR);
}

bool MainWindow::AskYesNo(const std::string& text) {
  if (runLog_.IsOpen()) runLog_.Message(text);
  // No is the default button: another module's data is written only on a deliberate yes.
  return MessageBoxW(hwnd_, Widen(text).c_str(), L"KV9Update", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void MainWindow::CopySettingsBack(const kv9::TProgSettings& settings) { ProgSettings = settings; }

void MainWindow::SetGauge(int percent) {
  watch_.Gauge(percent);
  SendMessageW(gauge_, PBM_SETPOS, percent, 0);
}

void MainWindow::SetAddress(const std::string& text) { SetWindowTextW(stAddr_, Widen(text).c_str()); }

void MainWindow::SetStageTitle(const std::string& text) {
  watch_.StageTitle(text);
  SetWindowTextW(stTitle_, Widen(text).c_str());
}

void MainWindow::SetMainWindowEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
