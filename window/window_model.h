#pragma once
// The main window's behaviour, once, for the Qt window and the native Win32
// window: it owns the one link controller and its use count, the window's
// settings, the update command's guard, the start-up search and the second
// search, the update run and what it leaves on screen, the run's record and
// JSON report, the menu rows' rules and handlers, the close rules, and stops
// asked from outside. It is the core's front end (LinkUi) and draws through
// a WindowView, which is all a window implements.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fleet/report_identity.h"
#include "platform/link_ui.h"
#include "platform/log_pane.h"
#include "platform/prog_settings.h"
#include "window/menu_rows.h"
#include "record/run_record.h"
#include "window/run_watch.h"
#include "window/update_command_guard.h"
#include "window/window_view.h"

namespace kv9 {
class TFlashWrRXCont;
struct BootMenuCommand;
struct UpdateReport;
}  // namespace kv9

namespace kv9::window {

// <user data folder>/kv9update/logs, where a window's run records and JSON
// reports go; "" with `error` when there is none.
std::string RunLogFolder(std::string& error);

// The settings the window keeps (the program settings record among them).
struct WindowSettings {
  TProgSettings ProgSettings;
  std::int32_t ResetWaitMs = 1000;
  std::int32_t UserBootMode = 1;
  std::int32_t DispDebugInfo = 0;
  std::int32_t DispTxInfo = 0;
  std::int32_t DispRecInfo = 0;
  std::int32_t InitAfterUpdate = 1;
  std::int32_t InitScanMode = 0;
  std::int32_t FailStage = 0;
  // "書き込み前にファームをバックアップ": each update first copies the
  // module's firmware into the data folder.
  bool FirmwareBackup = false;
  std::string DropFileName;  // the last image file opened or dropped
};

class WindowModel : public LinkUi {
 public:
  explicit WindowModel(WindowView& view);
  ~WindowModel() override;
  WindowModel(const WindowModel&) = delete;
  WindowModel& operator=(const WindowModel&) = delete;

  // The controller with the embedded image; the items' first state.
  void Start();
  // The window is on screen: the start-up search (once).
  void Shown();
  // A click, key or tool button: the row's handler, when its rule allows.
  void Run(ItemId item);
  void RunNamed(const char* objectName);
  // Files dropped on the window (full paths, UTF-8): the first is loaded.
  void DropFiles(const std::vector<std::string>& files);
  // The window is asked to close (menu, close box, Alt+F4): true when it may
  // go now. Refused during a run or a search; while the controller is in use
  // (a nested loop) it closes when that use has ended.
  bool CloseAsked();
  // A request from outside to end the tool (a signal): the tool ends at
  // once, or when the running update or search has ended; an update stops
  // at its next frame.
  void StopAsked(int signal);

  TFlashWrRXCont* Controller() const { return cont_.get(); }
  WindowSettings& Settings() { return settings_; }
  const UpdateCommandGuard& Guard() const { return guard_; }
  bool UpdateRunning() const { return updateRunning_; }
  bool Searching() const { return searching_; }
  bool ItemEnabled(ItemId item) const;
  // Where the last run's record and JSON report went ("" none).
  const std::string& LastRecordPath() const { return lastRecord_; }
  const std::string& LastReportPath() const { return lastReport_; }
  // The last result the progress window showed ("OK"/"NG"/"").
  const std::string& LastResult() const { return lastResult_; }
  // Every item's and menu's enabled state, the check mark and the re-write
  // indicator drawn anew.
  void Refresh();
  // Appends a line to the log under the pane's rule (force 0: debug only).
  void AppendLog(const std::string& text, int force);
  std::function<void(const std::string&, int)> LogLine();

  // --- the rows' handlers ---
  void OpenImageClick();
  void SearchAgainClick();
  // The EEPROM backup items: the factory-setting step continued from a
  // backup file, and the roll-back that writes one back as it is.
  void EepromRestoreClick();
  void EepromRollBackClick();
  void FactoryFinishClick();
  void ExitClick();
  void TB_WriteClick();
  void FwBackupClick();
  void ClearClick();
  void AboutClick();
  void MnSetConfigClick();
  void MnSetCOMPortClick();
  void Open1Click();
  void Clsoe1Click();
  void Rom1Click();
  void Boot1Click();
  void MnInitClick();
  void MngetInitDataClick();
  void mnSetFactInitClick();
  void MnGetPowerClick();
  void RunBootMenuCommand(const BootMenuCommand& command);
  void MnCmdCheckClick();

  // --- LinkUi ---
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowModuleError(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest& request, std::int32_t& reWriteMode) override;
  void ShowSearchProgress(const std::string& caption, const std::string& banner) override;
  void SetSearchLabel(const std::string& text) override;
  void CloseSearchProgress() override;
  void DisableUpdateCommands() override;
  void CloseMainWindow() override;
  void CopySettingsBack(const TProgSettings& settings) override;
  void SetMainWindowEnabled(bool enabled) override;
  void SetStageTitle(const std::string& text) override;
  void ShowUpdateProgress() override;
  void SetUpdateProgressLabel(const std::string& text) override;
  void SetUpdateProgressMessage(const std::string& text) override;
  void ShowUpdateResult(bool success) override;
  void CloseUpdateProgress() override;
  void PlayResultSound(bool success) override;
  void SetGauge(int percent) override;
  void SetAddress(const std::string& text) override;
  bool StopRequested() const override;
  bool QuitAsked() const { return quitAsked_; }
  void FirmwareChecked() override;

 private:
  // Marks a stretch that uses the controller; a close asked for inside one
  // takes effect when the outermost stretch has ended.
  class ControllerUse {
   public:
    explicit ControllerUse(WindowModel& model) : model_(model) { ++model_.controllerUses_; }
    ~ControllerUse();

   private:
    WindowModel& model_;
  };
  // The log pane as the controller sees it: the view's pane, and every line
  // also into the running update's record.
  class RecordedPane : public LogPane {
   public:
    explicit RecordedPane(WindowModel& model) : model_(model) {}
    int LineCount() const override;
    void Clear() override;
    void AppendLine(const std::string& text) override;

   private:
    WindowModel& model_;
  };

  // window_model_search.cpp
  void Search(bool again);
  void ShowBrokenOffRun();
  // window_model_update.cpp
  void RunFirmwareUpdate();
  void StartRunRecord();
  void EndRun(const UpdateReport& report);
  void EndRunRecord(const UpdateReport& report);
  void KeepMarker(const UpdateReport& report);
  // The run failed and its port is gone from the system's list.
  bool PortVanished(const UpdateReport& report) const;
  // window_model_files.cpp
  void OpenImageFile(const std::string& path);
  // Opens the settings' port afresh at the module rate (the EEPROM items,
  // also right after an update); false: not opened.
  bool PortForEeprom();
  void RunEepromBackupFile(const char* item, bool rollBack);
  void ReleaseController();
  void CloseWhenIdle();
  bool Busy() const { return updateRunning_ || searching_; }

  WindowView& view_;
  RecordedPane pane_{*this};
  WindowSettings settings_;
  std::unique_ptr<TFlashWrRXCont> cont_;
  int controllerUses_ = 0;
  bool closePending_ = false;  // close when the outermost use has ended
  bool released_ = false;
  bool shown_ = false;
  bool searching_ = false;
  bool searchAgain_ = false;
  bool portDialogCancelled_ = false;
  bool updateRunning_ = false;
  bool quitAsked_ = false;
  int stopSignal_ = 0;
  bool firmwareChecked_ = false;
  UpdateCommandGuard guard_;
  RunWatch watch_;
  record::RunRecordFile record_;
  bool recordWarned_ = false;
  std::uint32_t resultTick_ = 0;
  bool resultShown_ = false;
  bool progressShown_ = false;
  bool progressKept_ = false;
  std::string imageFile_;                // the image loaded from a file; "" the one the tool carries
  fleet::ReportIdentity runIdentity_;    // the run report's schema-2 members
  std::string lastRecord_, lastReport_, lastResult_;
};

}  // namespace kv9::window
