// "シリアルポートのオープン", the port dialog of discovery. The list shows
// the ports sorted as text (COM10 before COM2); each entry keeps its index
// in the request's list, which is what the result reports.
#include <windows.h>
#include <windowsx.h>

#include "dialogs.h"
#include "resource_ids.h"
#include "wide_text.h"

namespace {

constexpr wchar_t kCaption[] = L"シリアルポートのオープン";
constexpr wchar_t kCaptionReWrite[] = L"シリアルポートのオープン［再書込みモード］";

struct OpenCom1State {
  const kv9::PortOpenDialogRequest* request;
  std::int32_t* reWriteMode;
  kv9::PortOpenDialogResult result;
};

std::wstring ItemText(HWND list, int row) {
  const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, row, 0);
  if (length < 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(length));
  return text;
}

void FillDialog(HWND dlg, const OpenCom1State& state) {
  const kv9::PortOpenDialogRequest& request = *state.request;
  SetWindowTextW(dlg, *state.reWriteMode ? kCaptionReWrite : Widen(request.caption).c_str());
  EnableWindow(GetDlgItem(dlg, IDC_AUTOCHECK), *state.reWriteMode ? FALSE : TRUE);
  HWND speeds = GetDlgItem(dlg, IDC_CB_WRSPEED);
  for (const std::string& speed : request.writeSpeeds) {
    SendMessageW(speeds, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(speed).c_str()));
  }
  SendMessageW(speeds, CB_SETCURSEL, request.writeSpeedIndex, 0);
  HWND list = GetDlgItem(dlg, IDC_LBCOMPORT);
  for (std::size_t i = 0; i < request.ports.size(); ++i) {
    const LRESULT row = SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(request.ports[i]).c_str()));
    SendMessageW(list, LB_SETITEMDATA, row, static_cast<LPARAM>(i));
  }
  const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
  for (int row = 0; row < count; ++row) {
    if (SendMessageW(list, LB_GETITEMDATA, row, 0) != request.selectedIndex) continue;
    SendMessageW(list, LB_SETCURSEL, row, 0);
    SetDlgItemTextW(dlg, IDC_STCOMPORT, ItemText(list, row).c_str());
  }
  if (request.comSpeedIndex >= 0 && request.comSpeedIndex < 4) {
    CheckRadioButton(dlg, IDC_COMSPEED0, IDC_COMSPEED0 + 3, IDC_COMSPEED0 + request.comSpeedIndex);
  }
  SetFocus(list);
}

void ReadResult(HWND dlg, OpenCom1State& state, bool ok) {
  kv9::PortOpenDialogResult& r = state.result;
  r.ok = ok;
  HWND list = GetDlgItem(dlg, IDC_LBCOMPORT);
  const int row = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
  r.selectedIndex = row >= 0 ? static_cast<int>(SendMessageW(list, LB_GETITEMDATA, row, 0)) : -1;
  r.selectedText = row >= 0 ? Narrow(ItemText(list, row)) : "";
  r.comSpeedIndex = -1;
  for (int i = 0; i < 4; ++i) {
    if (IsDlgButtonChecked(dlg, IDC_COMSPEED0 + i) == BST_CHECKED) r.comSpeedIndex = i;
  }
  r.autoCheck = IsDlgButtonChecked(dlg, IDC_AUTOCHECK) == BST_CHECKED;
}

// "再書込み設定...": switches re-write mode, which turns the search off.
void MnBtErrClick(HWND dlg, OpenCom1State& state) {
  bool reWrite = *state.reWriteMode != 0;
  if (!RunConfErrDialog(dlg, reWrite)) return;
  *state.reWriteMode = reWrite ? 1 : 0;
  if (reWrite) CheckDlgButton(dlg, IDC_AUTOCHECK, BST_UNCHECKED);
  EnableWindow(GetDlgItem(dlg, IDC_AUTOCHECK), reWrite ? FALSE : TRUE);
  SetWindowTextW(dlg, reWrite ? kCaptionReWrite : kCaption);
}

// A double click in the list with Ctrl held shows or hides the write speed.
void LBComPortDblClick(HWND dlg) {
  if (!(GetKeyState(VK_CONTROL) & 0x8000)) return;
  const bool show = !IsWindowVisible(GetDlgItem(dlg, IDC_STATICTEXT1));
  ShowWindow(GetDlgItem(dlg, IDC_STATICTEXT1), show ? SW_SHOW : SW_HIDE);
  ShowWindow(GetDlgItem(dlg, IDC_CB_WRSPEED), show ? SW_SHOW : SW_HIDE);
}

bool OnCommand(HWND dlg, OpenCom1State& state, int id, int code) {
  switch (id) {
    case IDOK:
    case IDCANCEL:
      ReadResult(dlg, state, id == IDOK);
      EndDialog(dlg, id);
      return true;
    case IDC_CHECKPORT: OpenDeviceManager(dlg); return true;
    case IDC_MNBTERR: MnBtErrClick(dlg, state); return true;
    case IDC_LBCOMPORT: {
      HWND list = GetDlgItem(dlg, IDC_LBCOMPORT);
      const int row = static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
      if (code == LBN_SELCHANGE && row >= 0) SetDlgItemTextW(dlg, IDC_STCOMPORT, ItemText(list, row).c_str());
      if (code == LBN_DBLCLK) LBComPortDblClick(dlg);
      return true;
    }
    default: return false;
  }
}

INT_PTR CALLBACK OpenCom1Proc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<OpenCom1State*>(GetWindowLongPtrW(dlg, DWLP_USER));
  if (message == WM_INITDIALOG) {
    state = reinterpret_cast<OpenCom1State*>(lParam);
    SetWindowLongPtrW(dlg, DWLP_USER, lParam);
    FillDialog(dlg, *state);
    return FALSE;  // the focus is on the list
  }
  if (message == WM_COMMAND && state) return OnCommand(dlg, *state, LOWORD(wParam), HIWORD(wParam)) ? TRUE : FALSE;
  return FALSE;
}

}  // namespace

kv9::PortOpenDialogResult RunOpenCom1Dialog(HWND owner, const kv9::PortOpenDialogRequest& request,
                                            std::int32_t& reWriteMode) {
  OpenCom1State state{&request, &reWriteMode, {}};
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OPENCOM1), owner, &OpenCom1Proc,
                  reinterpret_cast<LPARAM>(&state));
  return state.result;
}
