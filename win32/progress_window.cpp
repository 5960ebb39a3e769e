// "マイコンへの書き込み", the update's progress window: the large label,
// the message line in maroon and "確認". Disabled during the run. After a
// failure it stays with the advice until the person confirms it.
#include <string>

#include "dialogs.h"
#include "resource_ids.h"
#include "wide_text.h"

namespace {

struct ProgressState {
  HWND* slot;
  HFONT font = nullptr;
  COLORREF colour = RGB(0, 0, 255);
};

ProgressState* StateOf(HWND window) {
  return reinterpret_cast<ProgressState*>(GetWindowLongPtrW(window, DWLP_USER));
}

INT_PTR LabelColour(HWND dlg, WPARAM wParam, LPARAM lParam) {
  const HWND label = reinterpret_cast<HWND>(lParam);
  const HDC dc = reinterpret_cast<HDC>(wParam);
  if (label == GetDlgItem(dlg, IDC_PLABEL1)) SetTextColor(dc, StateOf(dlg)->colour);
  else if (label == GetDlgItem(dlg, IDC_PLABEL2)) SetTextColor(dc, RGB(128, 0, 0));
  else return FALSE;
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

INT_PTR CALLBACK ProgressProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: SetWindowLongPtrW(dlg, DWLP_USER, lParam); return FALSE;
    case WM_CTLCOLORSTATIC: return LabelColour(dlg, wParam, lParam);
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) DestroyWindow(dlg);
      return TRUE;
    case WM_SYSCOMMAND:
      if ((wParam & 0xFFF0) == SC_CLOSE) DestroyWindow(dlg);
      return (wParam & 0xFFF0) == SC_CLOSE ? TRUE : FALSE;
    case WM_DESTROY: {
      ProgressState* state = StateOf(dlg);
      if (*state->slot == dlg) *state->slot = nullptr;
      if (state->font) DeleteObject(state->font);
      delete state;
      SetWindowLongPtrW(dlg, DWLP_USER, 0);
      return TRUE;
    }
    default: return FALSE;
  }
}

}  // namespace

HWND CreateProgressWindow(HWND owner, HWND* slot) {
  auto* state = new ProgressState{slot};
  *slot = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONFIRM1), owner, &ProgressProc,
                             reinterpret_cast<LPARAM>(state));
  if (!*slot) delete state;
  return *slot;
}

void SetProgressLabelFont(HWND window, int pixelHeight, COLORREF colour) {
  ProgressState* state = StateOf(window);
  if (!state) return;
  HFONT font = CreateFontW(-pixelHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FF_MODERN, L"ＭＳ ゴシック");
  SendDlgItemMessageW(window, IDC_PLABEL1, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  if (state->font) DeleteObject(state->font);
  state->font = font;
  state->colour = colour;
}

void ShowProgressAdvice(HWND window, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) {
    if (line.empty()) continue;
    text += text.empty() ? line : "\r\n" + line;
  }
  SetDlgItemTextW(window, IDC_PADVICE, Widen(text).c_str());
  // Room for the advice: the button moves below it and the window grows.
  RECT unit{0, 0, 210, 186};
  MapDialogRect(window, &unit);
  RECT button{80, 166, 130, 180};
  MapDialogRect(window, &button);
  MoveWindow(GetDlgItem(window, IDOK), button.left, button.top, button.right - button.left,
             button.bottom - button.top, TRUE);
  RECT frame{0, 0, unit.right, unit.bottom};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(window, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(GetDlgItem(window, IDC_PADVICE), SW_SHOW);
  EnableWindow(window, TRUE);
  EnableWindow(GetDlgItem(window, IDOK), TRUE);
  // The failure waits for the person: "確認" takes the keys (Return).
  SetForegroundWindow(window);
  SetFocus(GetDlgItem(window, IDOK));
}
