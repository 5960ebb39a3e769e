// "環境設定": the page "マイコン設定" (CPU, ROM size, clock, boot rate,
// reset wait) and the page "プログラム設定" (R/W speed, log displays, what
// follows an update). One dialog; the tab shows one page's controls.
#include <windows.h>
#include <commctrl.h>

#include <iterator>

#include "boot/cpu_profile.h"
#include "dialogs.h"
#include "image/image_area.h"
#include "resource_ids.h"
#include "wide_text.h"

namespace {

constexpr int kMcuControls[] = {IDC_CBSELCPU, IDC_CBROMSIZE, IDC_EDFREQ, IDC_EDTEIBAI1,
                                IDC_EDTEIBAI2, IDC_EDSPEED,  IDC_EDRESTIME};
constexpr int kProgControls[] = {IDC_DISPDEBUG, IDC_DISPTX, IDC_DISPREC, IDC_CBINIT, IDC_CBINITSCAN};

void ShowPage(HWND dlg, int page) {
  const int mcu = page == 0 ? SW_SHOW : SW_HIDE, prog = page == 0 ? SW_HIDE : SW_SHOW;
  for (int id : kMcuControls) ShowWindow(GetDlgItem(dlg, id), mcu);
  for (int i = 0; i < 8; ++i) ShowWindow(GetDlgItem(dlg, IDC_MCU_FIRST + i), mcu);
  for (int id : kProgControls) ShowWindow(GetDlgItem(dlg, id), prog);
  for (int i = 0; i < 3; ++i) ShowWindow(GetDlgItem(dlg, IDC_PROG_FIRST + i), prog);
  for (int i = 0; i < 5; ++i) ShowWindow(GetDlgItem(dlg, IDC_PROGSPEED0 + i), prog);
}

void AddEntry(HWND dlg, int id, const char* text) {
  SendDlgItemMessageW(dlg, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(text).c_str()));
}

void AddTabs(HWND dlg) {
  HWND tabs = GetDlgItem(dlg, IDC_TABS);
  const wchar_t* names[] = {L"マイコン設定", L"プログラム設定"};
  for (int i = 0; i < 2; ++i) {
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(names[i]);
    SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
  }
  // The tab control sits behind the pages' controls.
  SetWindowPos(tabs, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void Fill(HWND dlg, const ConfigTexts& v) {
  AddTabs(dlg);
  for (const kv9::CpuProfile& cpu : kv9::CpuProfiles()) AddEntry(dlg, IDC_CBSELCPU, cpu.name);
  for (const char* name : kv9::kRomSizeNames) AddEntry(dlg, IDC_CBROMSIZE, name);
  SendDlgItemMessageW(dlg, IDC_CBSELCPU, CB_SETCURSEL, v.cpuEntry, 0);
  SendDlgItemMessageW(dlg, IDC_CBROMSIZE, CB_SETCURSEL, v.romSizeIndex, 0);
  const std::pair<int, const std::string*> edits[] = {{IDC_EDFREQ, &v.freq},       {IDC_EDTEIBAI1, &v.mult1},
                                                      {IDC_EDTEIBAI2, &v.mult2},   {IDC_EDSPEED, &v.bootRate},
                                                      {IDC_EDRESTIME, &v.resetWait}};
  for (const auto& [id, text] : edits) SetDlgItemTextW(dlg, id, Widen(*text).c_str());
  if (v.progSpeedIndex >= 0 && v.progSpeedIndex < 5) CheckDlgButton(dlg, IDC_PROGSPEED0 + v.progSpeedIndex, BST_CHECKED);
  CheckDlgButton(dlg, IDC_DISPDEBUG, v.dispDebug ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_DISPTX, v.dispTx ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_DISPREC, v.dispRec ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_CBINIT, v.init ? BST_CHECKED : BST_UNCHECKED);
  CheckDlgButton(dlg, IDC_CBINITSCAN, v.initScan ? BST_CHECKED : BST_UNCHECKED);
  ShowPage(dlg, 0);
}

std::string EditText(HWND dlg, int id) {
  wchar_t text[64] = {};
  GetDlgItemTextW(dlg, id, text, static_cast<int>(std::size(text)));
  return Narrow(text);
}

void Take(HWND dlg, ConfigTexts& v) {
  v.progSpeedIndex = -1;
  for (int i = 0; i < 5; ++i) {
    if (IsDlgButtonChecked(dlg, IDC_PROGSPEED0 + i) == BST_CHECKED) v.progSpeedIndex = i;
  }
  v.dispDebug = IsDlgButtonChecked(dlg, IDC_DISPDEBUG) == BST_CHECKED;
  v.dispTx = IsDlgButtonChecked(dlg, IDC_DISPTX) == BST_CHECKED;
  v.dispRec = IsDlgButtonChecked(dlg, IDC_DISPREC) == BST_CHECKED;
  v.freq = EditText(dlg, IDC_EDFREQ);
  v.mult1 = EditText(dlg, IDC_EDTEIBAI1);
  v.mult2 = EditText(dlg, IDC_EDTEIBAI2);
  v.bootRate = EditText(dlg, IDC_EDSPEED);
  v.resetWait = EditText(dlg, IDC_EDRESTIME);
  v.init = IsDlgButtonChecked(dlg, IDC_CBINIT) == BST_CHECKED;
  v.initScan = IsDlgButtonChecked(dlg, IDC_CBINITSCAN) == BST_CHECKED;
  v.cpuEntry = static_cast<int>(SendDlgItemMessageW(dlg, IDC_CBSELCPU, CB_GETCURSEL, 0, 0));
  v.romSizeIndex = static_cast<int>(SendDlgItemMessageW(dlg, IDC_CBROMSIZE, CB_GETCURSEL, 0, 0));
}

INT_PTR CALLBACK ConfigProc(HWND dlg, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* values = reinterpret_cast<ConfigTexts*>(GetWindowLongPtrW(dlg, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dlg, DWLP_USER, lParam);
      Fill(dlg, *reinterpret_cast<ConfigTexts*>(lParam));
      return TRUE;
    case WM_NOTIFY:
      if (reinterpret_cast<NMHDR*>(lParam)->code == TCN_SELCHANGE) {
        ShowPage(dlg, static_cast<int>(SendDlgItemMessageW(dlg, IDC_TABS, TCM_GETCURSEL, 0, 0)));
      }
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) Take(dlg, *values);
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dlg, LOWORD(wParam));
      return TRUE;
    default: return FALSE;
  }
}

}  // namespace

bool RunConfigDialog(HWND owner, ConfigTexts& values) {
  ConfigTexts edited = values;
  const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONFIG), owner,
                                         &ConfigProc, reinterpret_cast<LPARAM>(&edited));
  if (result != IDOK) return false;
  values = edited;
  return true;
}
