// The search's wait window: one line that the search rewrites for every
// port and rate it tries. It cannot be closed by the person (no close box,
// Esc and Alt+F4 do nothing); the search closes it.
#include "dialogs.h"
#include "resource_ids.h"

namespace {

INT_PTR CALLBACK SearchProc(HWND, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return FALSE;
  // Esc (IDCANCEL) and the system's close are swallowed.
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) return TRUE;
  if (message == WM_SYSCOMMAND && (wParam & 0xFFF0) == SC_CLOSE) return TRUE;
  return FALSE;
}

}  // namespace

HWND CreateSearchWindow(HWND owner) {
  return CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_GUAGE1), owner, &SearchProc, 0);
}
