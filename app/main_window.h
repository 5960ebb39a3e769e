#pragma once
// TRXProgAppForm, the main window: menus, the update tool button, stage
// title, progress gauge and the log pane. It draws for the window model
// (window/window_model.h), which owns the controller and decides everything
// the window does; every item's click goes to the model.
#include <QByteArray>
#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <vector>

#include "platform/prog_settings.h"
#include "window/window_model.h"
#include "window/window_view.h"

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
class TConfirm1Dlg;
class SoundPlayer;

class TRXProgAppForm : public QMainWindow, public kv9::window::WindowView {
  Q_OBJECT
  // First, so the settings' references below bind to a model that exists.
  kv9::window::WindowModel model_{*this};

 public:
  explicit TRXProgAppForm(QWidget* owner = nullptr);
  ~TRXProgAppForm() override;

  kv9::window::WindowModel& Model() { return model_; }
  void SetAboutBox(TAboutBox* box) { AboutBox = box; }
  // Appends a line to the log pane; force 0 lines only with DispDebugInfo.
  void AppendLog(const std::string& text, int force) { model_.AppendLog(text, force); }
  // The large label's last result text ("OK"/"NG"), for tests.
  QString LastUpdateResult() const { return QString::fromStdString(model_.LastResult()); }
  // The core's dialogs as this window shows them (for tests: the model's).
  kv9::PortOpenDialogResult RunPortOpenDialog(const kv9::PortOpenDialogRequest& request,
                                              std::int32_t& reWriteMode) override;
  void ShowSearchProgress(const std::string& caption, const std::string& banner) { model_.ShowSearchProgress(caption, banner); }
  void SetSearchLabel(const std::string& text) { model_.SetSearchLabel(text); }
  void CloseSearchProgress() { model_.CloseSearchProgress(); }
  // Dropped files (full paths): the model loads the first.
  void WMDropFiles(const QStringList& files);

  // The window's settings, the model's.
  kv9::TProgSettings& ProgSettings;
  std::int32_t& ResetWaitMs;
  std::int32_t& UserBootMode;
  std::int32_t& DispDebugInfo;
  std::int32_t& DispTxInfo;
  std::int32_t& DispRecInfo;
  std::int32_t& InitAfterUpdate;
  std::int32_t& InitScanMode;
  std::int32_t& FailStage;
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
  QMenu* File1 = nullptr;
  QMenu* MnCmd = nullptr;
  QMenu* MnConfig = nullptr;
  QMenu* MnFarm = nullptr;
  QMenu* Help1 = nullptr;
  QMenu* PopupMenu1 = nullptr;
  QAction* FileExit1 = nullptr;
  QAction* HelpAbout1 = nullptr;
  QAction* N2 = nullptr;
  QAction* MnFwBackup = nullptr;
  QAction* MnClear = nullptr;
  QAction* MnProgram = nullptr;
  TAboutBox* AboutBox = nullptr;

 public slots:
  // A request from outside to end the tool (StopSignals).
  void StopAsked(int signal = 15) { model_.StopAsked(signal); }
  // The handlers tests and callers name, each the model's row.
  void TB_WriteClick() { model_.TB_WriteClick(); }
  void MnSetConfigClick() { model_.MnSetConfigClick(); }
  void MnSetCOMPortClick() { model_.MnSetCOMPortClick(); }
  void Open1Click() { model_.Open1Click(); }
  void Clsoe1Click() { model_.Clsoe1Click(); }
  void Rom1Click() { model_.Rom1Click(); }
  void Boot1Click() { model_.Boot1Click(); }
  void FileExit1Execute() { close(); }

 public:
  // --- kv9::window::WindowView (main_window.cpp, main_window_view.cpp) ---
  kv9::LogPane& LogLines() override;
  void ShowBox(kv9::window::BoxKind kind, const std::string& text) override;
  bool AskYesNo(const std::string& text) override;
  void ShowStatus(const std::string& text) override;
  void SetCaption(const std::string& text) override;
  void BringToFront() override;
  void SetWindowEnabled(bool enabled) override;
  void SetItemEnabled(kv9::window::ItemId item, bool enabled) override;
  void SetMenuEnabled(kv9::window::MenuId menu, bool enabled) override;
  void SetItemChecked(kv9::window::ItemId item, bool checked) override;
  void ShowReWriteMode(bool on) override;
  void SetStageTitle(const std::string& text) override;
  void SetGauge(int percent) override;
  void SetAddress(const std::string& text) override;
  std::string AskOpenFile(const std::string& title, const std::string& folder, const std::string& filter) override;
  bool RunConfigDialog(kv9::window::ConfigValues& values) override;
  bool RunPortSetDialog(kv9::TCustomComPort& port, std::string& chosen) override;
  void ShowAbout() override;
  void ShowSearchWindow(const std::string& caption, const std::string& text) override;
  void SetSearchText(const std::string& text) override;
  void CloseSearchWindow() override;
  void ShowProgressWindow() override;
  void SetProgressLabel(const std::string& text) override;
  void SetProgressMessage(const std::string& text) override;
  void ShowProgressResult(bool success) override;
  void KeepProgressWindow(const std::vector<std::string>& advice) override;
  void CloseProgressWindow() override;
  void PlayResultSound(bool success) override;
  void CloseWindow() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void BuildControls();
  QWidget* BuildToolPanel(QWidget* client);
  QWidget* BuildLogPanel(QWidget* client);
  // Every menu and item from the model's rows.
  void BuildMenus();
  QMenu* MenuFor(const kv9::window::MenuItemRow& row);
  void NameItems();
  // A logout asked for while an update runs is refused where the desktop asks.
  void ConnectSessionManager();

  std::vector<QMenu*> menus_;  // by MenuId
  std::vector<QAction*> items_;  // by ItemId; null for the tool button
  std::vector<std::pair<const char*, QMenu*>> submenus_;
  bool shown_ = false;
  QLabel* reWriteModeLabel_ = nullptr;
  QPointer<TConfirm1Dlg> confirm1Dlg_;
  QPointer<TGuage1Dlg> guage1Dlg_;
  SoundPlayer* soundPlayer_ = nullptr;
};
