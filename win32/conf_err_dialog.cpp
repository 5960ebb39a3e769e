// "書き込みエラー時の設定": switches re-write mode on or off.
#include "dialogs.h"
#include "resource_ids.h"

namespace {

// The indented lines begin with one ideographic space.
constexpr wchar_t kMemo[] =
    L"書き込みに失敗した場合\r\n"
    L"\u3000・上のチェックボックスにチェックをいれる\r\n"
    L"\u3000・R/Wの電源を入れ直す\r\n"
    L"\u3000・再度書き込みを行う\r\n"
    L"\r\n"
    L"ベリファイに失敗した場合\r\n"
    L"\u3000・上のチェックボックスにチェックをいれない\r\n"
    L"\u3000・R/Wの電源を入れ直す\r\n"
    L"\u3000・再度書き込みを行う";

INT_PTR CALLBACK ConfErrProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* reWrite = reinterpret_cast<bool*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dlg, DWLP_USER, lParam);
      reWrite = reinterpret_cast<bool*>(lParam);
      CheckDlgButton(dlg, IDC_CBREWRITE, *reWrite ? BST_CHECKED : BST_UNCHECKED);
      SetDlgItemTextW(dlg, IDC_MEMO1, kMemo);
      return TRUE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      // The check box's text in blue.
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dlg, IDC_CBREWRITE)) {
        SetTextColor(reinterpret_cast<HDC>(wParam), RGB(0, 0, 255));
        SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
        return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
      }
      return FALSE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) *reWrite = IsDlgButtonChecked(dlg, IDC_CBREWRITE) == BST_CHECKED;
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dlg, LOWORD(wParam));
        return TRUE;
      }
      return FALSE;
    default: return FALSE;
  }
}

}  // namespace

bool RunConfErrDialog(HWND owner, bool& reWrite) {
  bool value = reWrite;
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONFERR), owner,
                                         &ConfErrProc, reinterpret_cast<LPARAM>(&value));
  if (result != IDOK) return false;
  reWrite = value;
  return true;
}
