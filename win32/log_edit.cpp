#include "log_edit.h"

#include <commctrl.h>

#include "wide_text.h"

namespace {

// The edit control would show the system's own edit menu on a right click;
// the log pane has the window's pop-up ("クリア", "書込"), so the click goes
// to the main window.
LRESULT CALLBACK PaneProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  if (message == WM_CONTEXTMENU) {
    SendMessageW(GetParent(edit), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), lParam);
    return 0;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void LogEdit::Attach(HWND edit) {
  edit_ = edit;
  SetWindowSubclass(edit_, &PaneProc, 1, 0);
  // 1000 lines of traces exceed the default 32 K characters.
  SendMessageW(edit_, EM_SETLIMITTEXT, 0, 0);
  Clear();
}

void LogEdit::Clear() {
  lines_ = 0;
  if (edit_) SetWindowTextW(edit_, L"");
}

void LogEdit::AppendLine(const std::string& text) {
  if (!edit_) return;
  // The first line has no line break before it; every later one has.
  std::wstring line = lines_ == 0 ? Widen(text) : L"\r\n" + Widen(text);
  const int end = GetWindowTextLengthW(edit_);
  SendMessageW(edit_, EM_SETSEL, end, end);
  SendMessageW(edit_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(line.c_str()));
  ++lines_;
  // The caret at the end: the pane follows the newest line, which wraps at
  // the pane's width rather than running off to the right.
  const int end2 = GetWindowTextLengthW(edit_);
  SendMessageW(edit_, EM_SETSEL, end2, end2);
  SendMessageW(edit_, EM_SCROLLCARET, 0, 0);
}
