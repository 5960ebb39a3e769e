#pragma once
// What the core must show a person, implemented by each front end: the Qt
// shell with real widgets, the terminal front end on stdout/stderr, tests
// with recorders. The core never includes a toolkit header; every dialog the
// controller needs is reached through this interface.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/prog_settings.h"

namespace kv9 {

// What discovery puts into the port-open dialog.
struct PortOpenDialogRequest {
  std::string caption;                   // "シリアルポートのオープン"
  std::vector<std::string> ports;        // the port list, in list order
  int selectedIndex = -1;                // preselected entry; -1 none
  int comSpeedIndex = 1;                 // re-write speed preselection (0 9600 .. 3 115200)
  std::vector<std::string> writeSpeeds;  // the hidden write-speed list
  int writeSpeedIndex = 0;
};

// What the person chose.
struct PortOpenDialogResult {
  bool ok = false;           // "Open" (true) or "キャンセル"
  int selectedIndex = -1;    // -1 when no entry is selected
  std::string selectedText;  // the selected entry's text, "" when none
  int comSpeedIndex = 1;
  bool autoCheck = false;    // "Auto Check" ticked
};

class LinkUi {
 public:
  virtual ~LinkUi() = default;

  // A plain message box the person confirms (blocks until confirmed).
  virtual void ShowMessage(const std::string& text) = 0;
  // An error box with an OK button.
  virtual void ShowError(const std::string& text) = 0;
  // An error box with a single Yes button (the module message).
  virtual void ShowModuleError(const std::string& text) = 0;
  // A question box with Yes and No (blocks until answered): true for Yes.
  // A front end that cannot ask answers No.
  virtual bool AskYesNo(const std::string& text) {
    (void)text;
    return false;
  }
  // A remark that needs no answer and is in the log already (an adapter that
  // slows the update): kv9flash repeats it on stderr; a window shows only
  // its log.
  virtual void ShowNote(const std::string& /*text*/) {}

  // --- discovery ---
  // Shows the port-open dialog modally. The re-write settings dialog it
  // offers switches `reWriteMode` (the controller's field) while it is open.
  virtual PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest& request,
                                                 std::int32_t& reWriteMode) = 0;
  // The search's wait window (stays on top, cannot be cancelled) with its
  // caption and label; `banner` also goes to the main window's status bar.
  virtual void ShowSearchProgress(const std::string& caption, const std::string& banner) = 0;
  virtual void SetSearchLabel(const std::string& text) = 0;
  // Clears the status bar text and closes the wait window.
  virtual void CloseSearchProgress() = 0;
  // Disables the update tool button and the firmware menu.
  virtual void DisableUpdateCommands() = 0;
  // Closes the main window, which ends the tool (Cancel in the port dialog).
  virtual void CloseMainWindow() = 0;
  // Copies the controller's settings record back into the main window's.
  virtual void CopySettingsBack(const TProgSettings& settings) = 0;

  // --- the one-click update ---
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  // The stage title of the main window.
  virtual void SetStageTitle(const std::string& text) = 0;
  // The progress window: shown (not modal, stays on top, disabled so it
  // cannot be closed during the run) with both labels empty.
  virtual void ShowUpdateProgress() = 0;
  virtual void SetUpdateProgressLabel(const std::string& text) = 0;    // the large label
  virtual void SetUpdateProgressMessage(const std::string& text) = 0;  // the message line
  // The result in the large label: "OK" in blue or "NG" in red.
  virtual void ShowUpdateResult(bool success) = 0;
  // Enables the progress window and its button, closes and releases it.
  virtual void CloseUpdateProgress() = 0;
  // Plays the success or the failure sound without waiting for its end.
  virtual void PlayResultSound(bool success) = 0;

  // --- boot-mode programmer ---
  // The progress gauge (0..100) and the address display of the flash steps.
  virtual void SetGauge(int percent) = 0;
  virtual void SetAddress(const std::string& text) = 0;

  // Asked before every frame leaves: true when the person wants the run to
  // end (a terminal's Ctrl+C). The frame is then not sent and the current
  // stage fails at once, so a run never stops in the middle of a frame and
  // still ends through its failure closing and advice. A front end that
  // cannot be interrupted keeps the default.
  virtual bool StopRequested() const { return false; }
  // Called by the update once the firmware is written and the check passed.
  // What follows (restart, ROM version, factory restore) is short and must
  // not be cut short: stopping inside the restore could lose the module's
  // factory data. A front end that stops runs ends its stop window here.
  virtual void FirmwareChecked() {}
};

}  // namespace kv9
