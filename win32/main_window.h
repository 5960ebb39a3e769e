#pragma once
// TRXProgAppForm on Windows: the main window with its tool button, stage
// title, gauge, log pane and menus, the settings, and the one link
// controller; it shows the core's dialogs and windows through kv9::LinkUi,
// as the Qt window does on Linux.
#include <windows.h>
#include <shellapi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/eeprom_procedures.h"
#include "link/flash_wr_rx_cont.h"
#include "log_edit.h"
#include "platform/link_ui.h"
#include "window/window_menus.h"
#include "platform/prog_settings.h"
#include "window/run_log_file.h"
#include "window/run_watch.h"
#include "window/update_command_guard.h"

namespace kv9 {
struct BootMenuCommand;
}

class MainWindow : public kv9::LinkUi {
 public:
  MainWindow();
  ~MainWindow() override;
  // Creates and shows the window; the start-up search follows once shown.
  bool Create(HINSTANCE instance, int show);
  HWND Handle() const { return hwnd_; }
  HACCEL Accelerators() const { return accel_; }

  void AppendLog(const std::string& text, int force);

  // kv9::LinkUi
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowModuleError(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  kv9::PortOpenDialogResult RunPortOpenDialog(const kv9::PortOpenDialogRequest& request,
                                              std::int32_t& reWriteMode) override;
  void ShowSearchProgress(const std::string& caption, const std::string& banner) override;
  void SetSearchLabel(const std::string& text) override;
  void CloseSearchProgress() override;
  void DisableUpdateCommands() override;
  void CloseMainWindow() override;
  void CopySettingsBack(const kv9::TProgSettings& settings) override;
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

  // The program settings record and the window's own settings.
  kv9::TProgSettings ProgSettings;
  std::int32_t ResetWaitMs = 1000;
  std::int32_t UserBootMode = 1;
  std::int32_t DispDebugInfo = 0;
  std::int32_t DispTxInfo = 0;
  std::int32_t DispRecInfo = 0;
  std::int32_t InitAfterUpdate = 1;
  std::int32_t InitScanMode = 0;
  std::int32_t FailStage = 0;
  std::wstring DropFileName;

 private:
  // Marks a stretch that uses the controller; a close asked for inside one
  // releases the controller when the outermost stretch ends.
  class ControllerUse {
   public:
    explicit ControllerUse(MainWindow& w) : w_(w) { ++w_.controllerUses_; }
    ~ControllerUse();

   private:
    MainWindow& w_;
  };

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool Command(int id);
  // main_window_layout.cpp
  void BuildControls();
  void BuildToolBar();
  void LayOut();
  // Per-monitor DPI: pixels of the 96-DPI layout at the window's DPI; the
  // fonts at that DPI; a move to a screen of another scale.
  int Scaled(int pixels) const;
  void MakeFonts();
  void DpiChanged(const RECT& suggested);
  void ShowMenuHint(WPARAM wParam);
  // main_window_menus.cpp: the hidden engineering menus.
  void BuildHiddenMenus();
  HMENU BuildCmdMenu();
  HMENU BuildConfigMenu();
  bool RunMenuCommand(int id);
  void RunBootMenuCommand(const kv9::BootMenuCommand& command);
  void MnCmdCheckClick();
  // main_window_settings.cpp
  void MnSetConfigClick();
  void MnSetCOMPortClick();
  void Open1Click();
  void Clsoe1Click();
  void Rom1Click();
  void Boot1Click();
  void MnGetPowerClick();
  void MnInitClick();
  void MngetInitDataClick();
  void mnSetFactInitClick();
  kv9::LogLineFn LogLine();
  // main_window.cpp
  void FormShow();
  // The port dialog and the search: at start and from "R/Wの再検索...".
  // `again`: from the menu, where Cancel in the port dialog keeps the tool
  // and the earlier verdict.
  void SearchModule(bool again);
  void TB_WriteClick();
  void RefreshUpdateCommands();
  // main_window_run.cpp: the update and what it leaves on screen.
  void RunFirmwareUpdate();
  void OpenRunLog();
  void CloseRunLog(const kv9::UpdateReport& report);
  void ShowRunEnd(const kv9::UpdateReport& report);
  // main_window_files.cpp: the file menu and image files.
  HMENU BuildFileMenu();
  bool RunFileCommand(int id);
  void OpenImageFile(const std::wstring& path);
  std::wstring AskFileName(const std::string& filter);
  void EepromBackupClick(kv9::window::WindowCommand command);
  void CloseQuery();
  void ReleaseController();
  void HelpAbout1Execute();
  void WMDropFiles(HDROP drop);

  HWND hwnd_ = nullptr;
  HINSTANCE instance_ = nullptr;
  HACCEL accel_ = nullptr;
  HMENU popup_ = nullptr;     // PopupMenu1 ("クリア", "書込")
  HMENU cmdMenu_ = nullptr;   // MnCmd, never on the bar
  HMENU configMenu_ = nullptr;  // MnConfig, never on the bar
  HWND toolBar_ = nullptr, stAddr_ = nullptr, stTitle_ = nullptr, gauge_ = nullptr;
  HWND memo_ = nullptr, statusBar_ = nullptr;
  HFONT titleFont_ = nullptr, memoFont_ = nullptr, uiFont_ = nullptr;
  HWND searchWindow_ = nullptr;   // the search's wait window
  HWND progressWindow_ = nullptr;  // "マイコンへの書き込み"
  HFONT progressFont_ = nullptr;
  bool resultShown_ = false;
  ULONGLONG resultTick_ = 0;
  kv9::window::UpdateCommandGuard guard_;
  kv9::window::RunWatch watch_;
  kv9::window::RunLogFile runLog_;
  bool runLogWarned_ = false;  // the person learns once that no record is kept
  LogEdit SPTMemo;
  std::unique_ptr<kv9::TFlashWrRXCont> cont_;
  int controllerUses_ = 0;
  bool releaseRequested_ = false;
  bool shown_ = false;
  bool searchAgain_ = false, portDialogCancelled_ = false;
  bool runActive_ = false;  // an update runs (the guard is also busy while searching)
  bool closing_ = false;
};
