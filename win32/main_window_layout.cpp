// The main window's controls: tool bar, address display, stage title, gauge,
// log pane and status bar, and their places when the window is resized.
#include <windows.h>
#include <commctrl.h>

#include "main_window.h"
#include "resource_ids.h"
#include "wide_text.h"
#include "window/menu_rows.h"

namespace {

// "ＭＳ 明朝" at `pixels` high; Windows substitutes its nearest face where
// it is missing.
HFONT MinchoFont(int pixels) {
  return CreateFontW(-pixels, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                     CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_ROMAN, L"ＭＳ 明朝");
}

HWND Child(HWND parent, const wchar_t* cls, DWORD style, int id, DWORD exStyle = 0) {
  return CreateWindowExW(exStyle, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 10, 10, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

int MainWindow::Scaled(int pixels) const { return MulDiv(pixels, static_cast<int>(GetDpiForWindow(hwnd_)), 96); }

void MainWindow::MakeFonts() {
  for (HFONT font : {titleFont_, memoFont_}) {
    if (font) DeleteObject(font);
  }
  titleFont_ = MinchoFont(Scaled(24));
  memoFont_ = MinchoFont(Scaled(13));
  SendMessageW(stTitle_, WM_SETFONT, reinterpret_cast<WPARAM>(titleFont_), TRUE);
  SendMessageW(memo_, WM_SETFONT, reinterpret_cast<WPARAM>(memoFont_), TRUE);
}

void MainWindow::DpiChanged(const RECT& suggested) {
  // Per-monitor DPI: a window moved to a screen of another scale is laid
  // out again at that scale instead of being stretched by the system.
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  MakeFonts();
  LayOut();
}

void MainWindow::BuildControls() {
  NONCLIENTMETRICSW metrics{sizeof(metrics)};
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0);
  uiFont_ = CreateFontIndirectW(&metrics.lfMessageFont);
  BuildToolBar();
  stAddr_ = Child(hwnd_, L"STATIC", SS_LEFT, IDC_STADDR);
  stTitle_ = Child(hwnd_, L"STATIC", SS_CENTER | SS_CENTERIMAGE | SS_SUNKEN, IDC_STTITLE);
  gauge_ = Child(hwnd_, PROGRESS_CLASSW, PBS_SMOOTH, IDC_CGAUGE1);
  SendMessageW(gauge_, PBM_SETRANGE32, 0, 100);
  SendMessageW(gauge_, PBM_SETBARCOLOR, 0, RGB(0, 0, 255));
  memo_ = Child(hwnd_, L"EDIT", ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL,
                IDC_SPTMEMO, WS_EX_CLIENTEDGE);
  SPTMemo.Attach(memo_);
  statusBar_ = Child(hwnd_, STATUSCLASSNAMEW, 0, IDC_STATUSBAR);
  MakeFonts();
  LayOut();
}

void MainWindow::BuildToolBar() {
  toolBar_ = Child(hwnd_, TOOLBARCLASSNAMEW, TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NORESIZE | CCS_NODIVIDER,
                   IDC_TOOLBAR);
  SendMessageW(toolBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
  TBADDBITMAP bitmap{HINST_COMMCTRL, IDB_STD_SMALL_COLOR};
  SendMessageW(toolBar_, TB_ADDBITMAP, 0, reinterpret_cast<LPARAM>(&bitmap));
  TBBUTTON buttons[2] = {};
  buttons[0].iBitmap = STD_FILESAVE;
  buttons[0].idCommand = IDC_TB_WRITE;
  buttons[0].fsState = TBSTATE_ENABLED;
  buttons[0].fsStyle = BTNS_BUTTON;
  buttons[1].fsStyle = BTNS_SEP;
  SendMessageW(toolBar_, TB_ADDBUTTONSW, 2, reinterpret_cast<LPARAM>(buttons));
}

void MainWindow::LayOut() {
  if (!memo_) return;  // sized before the controls exist
  RECT client;
  GetClientRect(hwnd_, &client);
  SendMessageW(statusBar_, WM_SIZE, 0, 0);
  // The status text, and at the right the re-write mode indicator.
  const int parts[2] = {client.right - Scaled(120), -1};
  SendMessageW(statusBar_, SB_SETPARTS, 2, reinterpret_cast<LPARAM>(parts));
  RECT status;
  GetWindowRect(statusBar_, &status);
  const int width = client.right;
  const int bottom = client.bottom - (status.bottom - status.top);
  const int s4 = Scaled(4);
  MoveWindow(toolBar_, 0, 0, Scaled(60), Scaled(30), TRUE);
  MoveWindow(stAddr_, Scaled(64), Scaled(7), Scaled(200), Scaled(16), TRUE);
  MoveWindow(stTitle_, s4, Scaled(34), Scaled(177), Scaled(28), TRUE);
  MoveWindow(gauge_, Scaled(185), Scaled(38), width - Scaled(189), Scaled(20), TRUE);
  const int memoTop = Scaled(66);
  MoveWindow(memo_, s4, memoTop, width - 2 * s4, bottom - memoTop - s4 > s4 * 10 ? bottom - memoTop - s4 : s4 * 10, TRUE);
}

void MainWindow::ShowMenuHint(WPARAM wParam) {
  // The row's hint, or the menu's for a menu of the bar.
  const UINT item = LOWORD(wParam), flags = HIWORD(wParam);
  std::string hint;
  const auto rows = kv9::window::AllItems();
  if (flags != 0xFFFF && (flags & MF_POPUP)) {
    UINT position = 0;
    for (const kv9::window::MenuRow& row : kv9::window::MenuRows()) {
      if (!row.onMenuBar) continue;
      if (position++ == item) hint = row.hint;
    }
  } else if (flags != 0xFFFF && item >= IDM_ITEM_BASE && item < IDM_ITEM_BASE + rows.size()) {
    hint = rows[item - IDM_ITEM_BASE].hint;
  }
  SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Widen(hint).c_str()));
}
