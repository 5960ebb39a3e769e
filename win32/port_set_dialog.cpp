// "COMポートの設定": the system's port names (the registry's list, as the
// core reads it) with the current port selected, and the device manager.
#include <vector>

#include "dialogs.h"
#include "resource_ids.h"
#include "serial/port_table.h"
#include "wide_text.h"

namespace {

struct PortSetState {
  const std::string* current;
  std::string chosen;
};

void FillPorts(HWND dlg, const std::string& current) {
  HWND combo = GetDlgItem(dlg, IDC_COMCOMBO);
  std::vector<std::string> names;
  kv9::EnumComPorts(names);
  for (const std::string& name : names) {
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(name).c_str()));
  }
  // The port's name, letter case ignored; no entry selected when it is not listed.
  const std::wstring wanted = Widen(current.empty() ? "COM1" : current);
  SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (CompareStringOrdinal(Widen(names[i]).c_str(), -1, wanted.c_str(), -1, TRUE) == CSTR_EQUAL) {
      SendMessageW(combo, CB_SETCURSEL, i, 0);
    }
  }
}

std::string SelectedName(HWND dlg) {
  HWND combo = GetDlgItem(dlg, IDC_COMCOMBO);
  const LRESULT row = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (row < 0) return {};
  std::wstring text(static_cast<std::size_t>(SendMessageW(combo, CB_GETLBTEXTLEN, row, 0)) + 1, L'\0');
  SendMessageW(combo, CB_GETLBTEXT, row, reinterpret_cast<LPARAM>(text.data()));
  return Narrow(text.c_str());
}

INT_PTR CALLBACK PortSetProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<PortSetState*>(GetWindowLongPtrW(dlg, DWLP_USER));
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(dlg, DWLP_USER, lParam);
    FillPorts(dlg, *reinterpret_cast<PortSetState*>(lParam)->current);
    return TRUE;
  }
  if (message != WM_COMMAND || !state) return FALSE;
  switch (LOWORD(wParam)) {
    case IDC_BTCHECKPORT: OpenDeviceManager(dlg); return TRUE;
    case IDOK: state->chosen = SelectedName(dlg); [[fallthrough]];
    case IDCANCEL: EndDialog(dlg, LOWORD(wParam)); return TRUE;
    default: return FALSE;
  }
}

}  // namespace

bool RunPortSetDialog(HWND owner, const std::string& current, std::string& chosen) {
  PortSetState state{&current, {}};
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_PORTSET), owner,
                                         &PortSetProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return false;
  chosen = state.chosen;
  return true;
}
