// The main window: creation, its message handling and the simple drawing
// calls of the window model.
#include "main_window.h"

#include <windows.h>
#include <commctrl.h>
#include <mmsystem.h>
#include <shellapi.h>
#include <windowsx.h>

#include <exception>

#include "dialogs.h"
#include "resource_ids.h"
#include "wide_text.h"
#include "window/window_texts.h"

namespace {

constexpr wchar_t kClassName[] = L"TRXProgAppForm";
constexpr UINT kFormShowMessage = WM_APP + 2;

}  // namespace

MainWindow::MainWindow() = default;

MainWindow::~MainWindow() {
  // The engineering menus and the pop-up are on no bar: they go by hand.
  for (const kv9::window::MenuRow& row : kv9::window::MenuRows()) {
    HMENU menu = menus_.empty() ? nullptr : menus_[static_cast<std::size_t>(row.menu)];
    if (menu && !row.onMenuBar) DestroyMenu(menu);
  }
  if (accel_) DestroyAcceleratorTable(accel_);
  for (HFONT font : {titleFont_, memoFont_, uiFont_}) {
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
  cls.lpszClassName = kClassName;
  RegisterClassExW(&cls);
  // Client area 499 x 307 plus menu, status bar and frame.
  RECT r{0, 0, 499, 307 + 22};
  AdjustWindowRectEx(&r, WS_OVERLAPPEDWINDOW, TRUE, 0);
  hwnd_ = CreateWindowExW(WS_EX_ACCEPTFILES, kClassName, Widen(kv9::window::kCaption).c_str(), WS_OVERLAPPEDWINDOW,
                          CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance,
                          this);
  if (!hwnd_) return false;
  BuildMenus();
  // The size at the window's own DPI (the sizes above are for 96 DPI).
  RECT scaled{0, 0, MulDiv(499, GetDpiForWindow(hwnd_), 96), MulDiv(307 + 22, GetDpiForWindow(hwnd_), 96)};
  AdjustWindowRectExForDpi(&scaled, WS_OVERLAPPEDWINDOW, TRUE, 0, GetDpiForWindow(hwnd_));
  SetWindowPos(hwnd_, nullptr, 0, 0, scaled.right - scaled.left, scaled.bottom - scaled.top, SWP_NOMOVE | SWP_NOZORDER);
  BuildControls();
  ShowWindow(stAddr_, SW_HIDE);  // the address display stays hidden
  SetGauge(0);
  model_.Start();
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
    self->ShowBox(kv9::window::BoxKind::Error, e.what());
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
    case kFormShowMessage: model_.Shown(); return 0;
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
    case WM_CONTEXTMENU: {
      // The window's own pop-up, on the log pane too (not the edit
      // control's menu).
      POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      if (at.x == -1 && at.y == -1) GetCursorPos(&at);
      TrackPopupMenu(menus_[static_cast<std::size_t>(kv9::window::MenuId::Popup)], TPM_RIGHTBUTTON, at.x, at.y, 0,
                     hwnd_, nullptr);
      return 0;
    }
    case WM_DROPFILES: WMDropFiles(reinterpret_cast<HDROP>(wParam)); return 0;
    case WM_CLOSE:
      if (model_.CloseAsked()) {
        PlaySoundW(nullptr, nullptr, 0);
        DestroyWindow(hwnd_);
      }
      return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

bool MainWindow::Command(int id) {
  if (id == IDC_TB_WRITE) {
    model_.RunNamed("TB_Write");
    return true;
  }
  const int rows = static_cast<int>(kv9::window::AllItems().size());
  if (id < IDM_ITEM_BASE || id >= IDM_ITEM_BASE + rows) return false;
  model_.Run(id - IDM_ITEM_BASE);
  return true;
}

void MainWindow::WMDropFiles(HDROP drop) {
  std::vector<std::string> files;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(DragQueryFileW(drop, i, nullptr, 0), L'\0');
    DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size() + 1));
    files.push_back(Narrow(name));
  }
  DragFinish(drop);
  model_.DropFiles(files);
}

void MainWindow::ShowBox(kv9::window::BoxKind kind, const std::string& text) {
  UINT style = MB_OK;
  // A single "Yes" button, as the module message always had: an OK box here.
  if (kind != kv9::window::BoxKind::Plain) style |= MB_ICONERROR;
  MessageBoxW(hwnd_, Widen(text).c_str(), L"KV9Update", style);
}

bool MainWindow::AskYesNo(const std::string& text) {
  // No is the default: Enter alone must not write another module's data.
  return MessageBoxW(hwnd_, Widen(text).c_str(), L"KV9Update", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

void MainWindow::ShowStatus(const std::string& text) {
  SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void MainWindow::SetCaption(const std::string& text) { SetWindowTextW(hwnd_, Widen(text).c_str()); }

void MainWindow::BringToFront() { SetForegroundWindow(hwnd_); }

void MainWindow::SetWindowEnabled(bool enabled) { EnableWindow(hwnd_, enabled ? TRUE : FALSE); }

void MainWindow::SetItemEnabled(kv9::window::ItemId item, bool enabled) {
  const auto rows = kv9::window::AllItems();
  if (item < 0 || item >= static_cast<int>(rows.size()) || menus_.empty()) return;
  const kv9::window::MenuItemRow& row = rows[static_cast<std::size_t>(item)];
  if (row.menu == kv9::window::MenuId::ToolBar) {
    SendMessageW(toolBar_, TB_ENABLEBUTTON, IDC_TB_WRITE, MAKELONG(enabled ? TRUE : FALSE, 0));
    return;
  }
  EnableMenuItem(MenuFor(row), IDM_ITEM_BASE + item, MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
}

void MainWindow::SetMenuEnabled(kv9::window::MenuId menu, bool enabled) {
  HMENU bar = GetMenu(hwnd_);
  UINT position = 0;
  for (const kv9::window::MenuRow& row : kv9::window::MenuRows()) {
    if (!row.onMenuBar) continue;
    if (row.menu == menu) {
      EnableMenuItem(bar, position, MF_BYPOSITION | (enabled ? MF_ENABLED : MF_GRAYED));
      DrawMenuBar(hwnd_);
      return;
    }
    ++position;
  }
}

void MainWindow::SetItemChecked(kv9::window::ItemId item, bool checked) {
  const auto rows = kv9::window::AllItems();
  if (item < 0 || item >= static_cast<int>(rows.size()) || menus_.empty()) return;
  CheckMenuItem(MenuFor(rows[static_cast<std::size_t>(item)]), IDM_ITEM_BASE + item,
                MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::ShowReWriteMode(bool on) {
  // The status bar's second part, for as long as re-write mode is on.
  const std::wstring text = on ? Widen(kv9::window::kReWriteModeShown) : std::wstring();
  SendMessageW(statusBar_, SB_SETTEXTW, 1, reinterpret_cast<LPARAM>(text.c_str()));
}

void MainWindow::SetStageTitle(const std::string& text) { SetWindowTextW(stTitle_, Widen(text).c_str()); }

void MainWindow::SetGauge(int percent) { SendMessageW(gauge_, PBM_SETPOS, percent, 0); }

void MainWindow::SetAddress(const std::string& text) { SetWindowTextW(stAddr_, Widen(text).c_str()); }

void MainWindow::ShowAbout() { RunAboutBox(hwnd_); }

void MainWindow::CloseWindow() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }
