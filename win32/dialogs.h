#pragma once
// The window's dialogs, each a function that shows it and returns what the
// person chose. Dialog templates are in kv9update.rc.in.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/link_ui.h"

// "シリアルポートのオープン" (open_com1_dialog.cpp). Its "再書込み設定..."
// switches `reWriteMode` while it is open.
kv9::PortOpenDialogResult RunOpenCom1Dialog(HWND owner, const kv9::PortOpenDialogRequest& request,
                                            std::int32_t& reWriteMode);

// "書き込みエラー時の設定" (conf_err_dialog.cpp): true on "設定", with the box's state.
bool RunConfErrDialog(HWND owner, bool& reWrite);

// The settings dialog "環境設定" (config_dialog.cpp) edits these, the numbers as
// the edits show them.
struct ConfigTexts {
  int progSpeedIndex = 4;
  bool dispDebug = false, dispTx = false, dispRec = false;
  std::string freq, mult1, mult2, bootRate, resetWait;  // the numeric edits' texts
  bool init = true, initScan = false;
  int cpuEntry = 2, romSizeIndex = 11;
};
bool RunConfigDialog(HWND owner, ConfigTexts& values);

// "COMポートの設定" (port_set_dialog.cpp): the system's port names with
// `current` selected; true on "設定" with the selected name ("" none).
bool RunPortSetDialog(HWND owner, const std::string& current, std::string& chosen);

// "ﾊﾞｰｼﾞｮﾝ情報" (about_box.cpp), and the text it shows after the name.
void RunAboutBox(HWND owner);
std::wstring GetProductVersion();

// The system's device manager, for the "ポートの確認..." buttons.
void OpenDeviceManager(HWND owner);

// The search's wait window (search_window.cpp): modeless, on top, no close box.
HWND CreateSearchWindow(HWND owner);

// "マイコンへの書き込み" (progress_window.cpp): modeless and on top; it
// clears *slot when it is destroyed.
HWND CreateProgressWindow(HWND owner, HWND* slot);
void SetProgressLabelFont(HWND window, int pixelHeight, COLORREF colour);
// After a failure: the advice lines under the result, the button enabled.
void ShowProgressAdvice(HWND window, const std::vector<std::string>& lines);
