#pragma once
// TRXProgAppForm, the main window: menus, the update tool button, stage
// title, progress gauge and the log pane, the program settings record, and
// the one link controller.
#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QStringList>
#include <QPointer>
#include <memory>

#include "link/eeprom_procedures.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/prog_settings.h"
#include "platform/link_ui.h"
#include "window/run_log_file.h"
#include "window/run_watch.h"
#include "window/update_command_guard.h"
#include "window/window_menus.h"

class QAction;
class QDragEnterEvent;
class QDropEvent;
class QLabel;
class QMenu;
class QMenuBar;
class QProgressBar;
class QToolBar;
class QToolButton;
class TLogMemo;
class TAboutBox;
class TGuage1Dlg;
class TConfigDlg;  // main_window_settings_menu.cpp
class TConfirm1Dlg;
class SoundPlayer;
namespace kv9 {
struct BootMenuCommand;
}

class TRXProgAppForm : public QMainWindow, public kv9::LinkUi {
  Q_OBJECT
 public:
  explicit TRXProgAppForm(QWidget* owner = nullptr);
  ~TRXProgAppForm() override;

  // Appends a line to the log pane; force 0 lines only with DispDebugInfo.
  void AppendLog(const std::string& text, int force);

  // kv9::LinkUi: message boxes and controls for the core. A box shown
  // during an update also goes to the run's record.
  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowModuleError(const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void DisableUpdateCommands() override;
  void CloseMainWindow() override;
  void CopySettingsBack(const kv9::TProgSettings& settings) override;
  void SetGauge(int percent) override;
  void SetAddress(const std::string& text) override;
  // kv9::LinkUi: the update's progress window and sounds (main_window_update.cpp).
  void SetMainWindowEnabled(bool enabled) override;
  void SetStageTitle(const std::string& text) override;
  void ShowUpdateProgress() override;
  void SetUpdateProgressLabel(const std::string& text) override;
  void SetUpdateProgressMessage(const std::string& text) override;
  void ShowUpdateResult(bool success) override;
  void CloseUpdateProgress() override;
  void PlayResultSound(bool success) override;
  // kv9::LinkUi: a stop asked from outside ends a run at its next frame,
  // until the firmware is written and checked (main_window_quit.cpp).
  bool StopRequested() const override;
  void FirmwareChecked() override;
  // The large label's last result text ("OK"/"NG"), for tests.
  QString LastUpdateResult() const { return lastUpdateResult_; }
  // kv9::LinkUi: the discovery dialogs (main_window_discovery.cpp).
  kv9::PortOpenDialogResult RunPortOpenDialog(const kv9::PortOpenDialogRequest& request,
                                              std::int32_t& reWriteMode) override;
  void ShowSearchProgress(const std::string& caption, const std::string& banner) override;
  void SetSearchLabel(const std::string& text) override;
  void CloseSearchProgress() override;

  // The controller; null once the window has released it at close.
  kv9::TFlashWrRXCont* FlashWrRXCont() const { return flashWrRXCont_.get(); }
  void SetAboutBox(TAboutBox* box) { AboutBox = box; }

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
  QString DropFileName;
  QByteArray RingSound;
  QByteArray AlarmSound;

  // Controls, by the names the tool has always used.
  QWidget* Panel3;
  QWidget* Panel2;
  QToolBar* ToolBar1;
  QToolButton* TB_Write;
  QLabel* STAddr;
  QWidget* Panel1;
  QLabel* STTitle;
  QWidget* Panel4;
  QProgressBar* CGauge1;
  TLogMemo* SPTMemo;
  QMenu* File1;
  QMenu* MnCmd;
  QMenu* MnConfig;
  QMenu* MnFarm;
  QMenu* Help1;
  QMenu* PopupMenu1;
  QAction* FileExit1;
  QAction* HelpAbout1;
  QAction* N2;
  // Ticked: each update first copies the module's firmware into the data
  // folder (kept for the session only).
  QAction* MnFwBackup;
  QAction* MnClear;
  QAction* MnProgram;
  TAboutBox* AboutBox = nullptr;

 public slots:
  void FormShow();
  void FileExit1Execute();
  void HelpAbout1Execute();
  void MnClearClick();
  // --- the window's own items of ファイル and the settings menu (main_window_file_menu.cpp) ---
  // "ROMデータを開く...": a file dialog, then what a drop of that file does.
  void OpenImageClick();
  // "R/Wの再検索...": the port dialog and the search again; its Cancel
  // keeps the window and the earlier verdict.
  void SearchAgainClick();
  // "EEPROMバックアップから工場出荷時設定..." and "EEPROMのロールバック...":
  // a backup file from the backup folder, then the command of the row.
  void EepromBackupClick(kv9::window::WindowCommand command);
  // The update command of the tool button, "アップデート" and "書込".
  void TB_WriteClick();
  // A request from outside to end the tool (StopSignals): the window closes
  // and the tool ends at once, or when the running update or start-up
  // search has ended; an update stops at its next frame.
  void StopAsked();

  // --- EEPROM, factory-setting and power items (main_window_eeprom_menu.cpp) ---
  void MnGetPowerClick();
  void MnInitClick();
  void MngetInitDataClick();
  void mnSetFactInitClick();

 public:
  // The dropped-files handler (main_window_drop.cpp): brings the window to
  // the front, keeps the first of `files` (full paths) in DropFileName and
  // loads it as the firmware image, logging "OK: Read ROM Data" and a line
  // naming file, bytes, CRC and version, or "NG: Read ROM Data" (a file of
  // another type gets the tool's box first). No files: nothing is loaded.
  void WMDropFiles(const QStringList& files);

  // --- boot-mode command menu MnCmd (main_window_cmd_menu.cpp) ---
  // Runs one row of the boot-mode command table on the controller and logs
  // its OK text and detail lines (debug lines) or its NG text (always shown).
  // Every command item of the menu is connected to this with its row.
  void RunBootMenuCommand(const kv9::BootMenuCommand& command);
  // The row of the item named `item`; nothing when the table has none.
  void RunBootMenuItem(const char* item);
  // Each item's handler by its own name, for callers that name it.
  void MnBitRateClick() { RunBootMenuItem("MnBitRate"); }
  void MnSupportDeviceClick() { RunBootMenuItem("MnSupportDevice"); }
  void MnDeviceSelectClick() { RunBootMenuItem("MnDeviceSelect"); }
  void MnClockInfoClick() { RunBootMenuItem("MnClockInfo"); }
  void MnSelectClockModeClick() { RunBootMenuItem("MnSelectClockMode"); }
  void MnTeibaiInfoClick() { RunBootMenuItem("MnTeibaiInfo"); }
  void MnGetClockInfoClick() { RunBootMenuItem("MnGetClockInfo"); }
  void MnBootAreaInfoClick() { RunBootMenuItem("MnBootAreaInfo"); }
  void MnUserAreaInfoClick() { RunBootMenuItem("MnUserAreaInfo"); }
  void MnEraseBlockInfoClick() { RunBootMenuItem("MnEraseBlockInfo"); }
  void MnWriteSizeinfoClick() { RunBootMenuItem("MnWriteSizeinfo"); }
  void MnDataAreaChkClick() { RunBootMenuItem("MnDataAreaChk"); }
  void MnDataAreaInfoClick() { RunBootMenuItem("MnDataAreaInfo"); }
  void MnSelectBitRateClick() { RunBootMenuItem("MnSelectBitRate"); }
  void MnEraseStatusSetClick() { RunBootMenuItem("MnEraseStatusSet"); }
  void MnBootProgInfoClick() { RunBootMenuItem("MnBootProgInfo"); }
  void MnRX210_IDCheckClick() { RunBootMenuItem("MnRX210_IDCheck"); }
  void MnSelUserBootAreaClick() { RunBootMenuItem("MnSelUserBootArea"); }
  void MnSelUSerAreaClick() { RunBootMenuItem("MnSelUSerArea"); }
  void MnWrite256BytesClick() { RunBootMenuItem("MnWrite256Bytes"); }
  void MnSelEraseClick() { RunBootMenuItem("MnSelErase"); }
  void MnBlockEraseClick() { RunBootMenuItem("MnBlockErase"); }
  void MnMemReadClick() { RunBootMenuItem("MnMemRead"); }
  void MnUserBootSumCheckClick() { RunBootMenuItem("MnUserBootSumCheck"); }
  void MnUserAreaSumCheckClick() { RunBootMenuItem("MnUserAreaSumCheck"); }
  void MnDataSumCheckClick() { RunBootMenuItem("MnDataSumCheck"); }
  void MnUserBootBlankCheckClick() { RunBootMenuItem("MnUserBootBlankCheck"); }
  void MnUserAreaBlankCheckClick() { RunBootMenuItem("MnUserAreaBlankCheck"); }
  void MnReadLockBitStatusClick() { RunBootMenuItem("MnReadLockBitStatus"); }
  void MnProgLockBitClick() { RunBootMenuItem("MnProgLockBit"); }
  void MnEnLockBitClick() { RunBootMenuItem("MnEnLockBit"); }
  void MnDisaLockBitClick() { RunBootMenuItem("MnDisaLockBit"); }
  // The fifteen handshake and inquiry commands in protocol order, each
  // whatever the previous one gave.
  void MnCmdCheckClick();

  // --- settings menu MnConfig: dialogs and port items (main_window_settings_menu.cpp) ---
  void MnSetConfigClick();
  void MnSetCOMPortClick();
  void Open1Click();
  void Clsoe1Click();
  void Rom1Click();
  void Boot1Click();
  // The settings dialog shows the current settings / OK takes its values into
  // the settings and the controller.
  void FillConfigDlg(TConfigDlg& dlg) const;
  void TakeConfigDlg(const TConfigDlg& dlg);
  // Connects the items BuildMenus made to the handlers above.
  void ConnectSettingsMenu();
  // --- end of the settings menu block ---

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  // Files dragged from a file manager (main_window_drop.cpp).
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // Marks a stretch of code that uses the controller. A close that comes in
  // while one runs (a nested event loop inside a reply wait or a dialog)
  // releases the controller only when the outermost stretch has ended.
  class ControllerUse {
   public:
    explicit ControllerUse(TRXProgAppForm& form);
    ~ControllerUse();

   private:
    TRXProgAppForm& form_;
  };

  void ConnectEepromMenu();
  // ファイル(&F) from the window's menu rows (main_window_file_menu.cpp).
  void BuildFileMenu(QMenuBar* bar);
  QString RunFileDialog(const QString& caption, const QString& folder, const char* filter);
  void ConnectUpdateCommand();
  void RunFirmwareUpdate();
  // The run's record file, and what the windows keep showing once it ended.
  void StartRunLog();
  void EndRun(const kv9::UpdateReport& report);
  // A failed run's progress window stays, enabled, until "確認".
  void KeepFailedProgress();
  kv9::LogLineFn LogLine();
  void BuildControls();
  // The panel with the tool bar and the address display / the panel with
  // the stage title, the gauge and the log pane.
  QWidget* BuildToolPanel(QWidget* client);
  QWidget* BuildLogPanel(QWidget* client);
  void BuildMenus();
  // The settings menu MnConfig (its handlers: ConnectSettingsMenu) and the
  // log pane's pop-up menu.
  void BuildConfigMenu(QMenuBar* bar);
  void BuildPopupMenu();
  // The command menu MnCmd with its handlers (main_window_cmd_menu.cpp).
  void BuildCmdMenu(QMenuBar* bar);
  void AddBootMenuItem(QMenu* menu, const char* objectName, const QString& caption,
                       const kv9::BootMenuCommand& command);
  void FormCloseQuery();
  // Ending the tool on request (main_window_quit.cpp).
  void QuitWhenIdle();
  // Queues QuitWhenIdle when a request is pending (an update or the search ended).
  void QuitWhenIdleLater();
  // A logout asked for while an update runs is refused where the desktop asks.
  void ConnectSessionManager();
  void ReleaseController();
  QAction* AddItem(QMenu* menu, const char* objectName, const QString& caption);

  std::unique_ptr<kv9::TFlashWrRXCont> flashWrRXCont_;
  int controllerUses_ = 0;
  bool releaseRequested_ = false;
  bool shown_ = false;
  bool updateRunning_ = false;
  // From construction until the start-up search has given its verdict the
  // update commands are disabled and refused.
  bool startupRunning_ = true;
  bool searchRunning_ = false;
  // A request from outside to end the tool came in.
  bool quitAsked_ = false;
  // The running update has written and checked the firmware.
  bool firmwareChecked_ = false;
  // Whether the update command runs; the tool button, the firmware menu and
  // "書込" follow it.
  kv9::window::UpdateCommandGuard guard_;
  void RefreshUpdateCommands();
  // Re-write mode stays in sight in the status bar while it is on.
  QLabel* reWriteModeLabel_ = nullptr;
  void ShowReWriteMode();
  // A search from the menu: Cancel in its port dialog does not end the tool.
  bool searchAgain_ = false;
  bool portDialogCancelled_ = false;
  kv9::window::RunWatch runWatch_;
  kv9::window::RunLogFile runLog_;
  // When the progress window began to show its result.
  QElapsedTimer resultShown_;
  QPointer<TConfirm1Dlg> confirm1Dlg_;
  SoundPlayer* soundPlayer_ = nullptr;
  QString lastUpdateResult_;
  // Registers the window as a target for dropped files while it is built;
  // defined beside the drop handler so construction needs no drop code.
  bool EnableFileDrops();
  bool acceptsDrops_ = EnableFileDrops();

  // The search's wait window while ShowSearchProgress .. CloseSearchProgress
  // (main_window_discovery.cpp); a child of this window.
  QPointer<TGuage1Dlg> guage1Dlg_;
};
