#pragma once
// What a window draws for the window model: dialogs, the progress window,
// the gauge, log lines, boxes and which items are enabled. The Qt window
// (app/) and the native Win32 window (win32/) implement this and nothing
// that decides: every rule lives in the model (window_model.h), which calls
// these when it has decided. All texts are UTF-8.
#include <string>
#include <vector>

#include "platform/link_ui.h"
#include "platform/log_pane.h"
#include "window/menu_rows.h"

namespace kv9 {
class TCustomComPort;
}

namespace kv9::window {

enum class BoxKind {
  Plain,   // no icon, OK
  Error,   // error icon, OK
  Module,  // error icon, a single Yes button (the module message)
};

// The settings dialog "環境設定" edits these; the numbers as the edits hold
// them, converted by the model.
struct ConfigValues {
  int progSpeedIndex = 4;
  bool dispDebug = false, dispTx = false, dispRec = false;
  double freq = 0, mult1 = 0, mult2 = 0, bootRate = 0, resetWait = 0;
  bool init = true, initScan = false;
  int cpuEntry = 2;
  int romSizeIndex = 11;
};

class WindowView {
 public:
  virtual ~WindowView() = default;

  // The log pane the model (and through it the controller) writes into.
  virtual LogPane& LogLines() = 0;

  virtual void ShowBox(BoxKind kind, const std::string& text) = 0;
  // A question with Yes and No, No the default: true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // A short text in the status bar ("" clears it).
  virtual void ShowStatus(const std::string& text) = 0;
  virtual void SetCaption(const std::string& text) = 0;
  virtual void BringToFront() = 0;
  // The whole window takes clicks and keys, or none.
  virtual void SetWindowEnabled(bool enabled) = 0;
  virtual void SetItemEnabled(ItemId item, bool enabled) = 0;
  virtual void SetMenuEnabled(MenuId menu, bool enabled) = 0;
  virtual void SetItemChecked(ItemId item, bool checked) = 0;
  // The re-write mode indicator ("再書き込みモード" while it is on).
  virtual void ShowReWriteMode(bool on) = 0;
  virtual void SetStageTitle(const std::string& text) = 0;
  virtual void SetGauge(int percent) = 0;
  virtual void SetAddress(const std::string& text) = 0;

  // --- dialogs, each modal until the person answers ---
  virtual PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest& request, std::int32_t& reWriteMode) = 0;
  // A file to open; "" when cancelled. `filter` in the form
  // "Name (*.a *.b);;Other (*)".
  virtual std::string AskOpenFile(const std::string& title, const std::string& folder, const std::string& filter) = 0;
  virtual bool RunConfigDialog(ConfigValues& values) = 0;
  // "COMポートの設定": true on "設定" with the chosen name ("" none).
  virtual bool RunPortSetDialog(TCustomComPort& port, std::string& chosen) = 0;
  virtual void ShowAbout() = 0;

  // --- the search's wait window ---
  virtual void ShowSearchWindow(const std::string& caption, const std::string& text) = 0;
  virtual void SetSearchText(const std::string& text) = 0;
  virtual void CloseSearchWindow() = 0;

  // --- the update's progress window "マイコンへの書き込み" ---
  // Shown disabled (it cannot be closed during the run), labels empty.
  virtual void ShowProgressWindow() = 0;
  virtual void SetProgressLabel(const std::string& text) = 0;
  virtual void SetProgressMessage(const std::string& text) = 0;
  // "OK" in blue or "NG" in red in the large label.
  virtual void ShowProgressResult(bool success) = 0;
  // A failure: the window stays, enabled, with the advice, until confirmed.
  virtual void KeepProgressWindow(const std::vector<std::string>& advice) = 0;
  virtual void CloseProgressWindow() = 0;
  virtual void PlayResultSound(bool success) = 0;

  // The model has decided the window closes: it goes (and the tool ends).
  virtual void CloseWindow() = 0;
};

}  // namespace kv9::window
