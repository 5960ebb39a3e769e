// "ﾊﾞｰｼﾞｮﾝ情報": the icon, the product name and the version from the
// program's own version resource.
#include <vector>

#include "dialogs.h"
#include "resource_ids.h"

std::wstring GetProductVersion() {
  wchar_t path[MAX_PATH];
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &handle);
  if (size == 0) return {};
  std::vector<wchar_t> block(size + 1);
  if (!GetFileVersionInfoW(path, 0, size, block.data())) return {};
  void* value = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\StringFileInfo\\041103a4\\ProductVersion", &value, &length) || !value) {
    return {};
  }
  return std::wstring(static_cast<const wchar_t*>(value));
}

namespace {

INT_PTR CALLBACK AboutProc(HWND dlg, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    SetDlgItemTextW(dlg, IDC_VERSION, (L"KV9Update   Version " + GetProductVersion()).c_str());
    return TRUE;
  }
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dlg, IDOK);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void RunAboutBox(HWND owner) {
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, &AboutProc, 0);
}
