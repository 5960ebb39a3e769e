// The "ポートの確認..." buttons open the system's device manager, where the
// serial ports and their numbers are listed.
#include <windows.h>
#include <shellapi.h>

#include "dialogs.h"

void OpenDeviceManager(HWND owner) {
  ShellExecuteW(owner, L"open", L"devmgmt.msc", L"", L"", SW_SHOWNORMAL);
}
