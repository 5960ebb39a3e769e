#include "window/window_model.h"

#include "link/flash_wr_rx_cont.h"
#include "platform/message_pump.h"
#include "platform/ticks.h"
#include "window/window_texts.h"

namespace kv9::window {

WindowModel::ControllerUse::~ControllerUse() {
  if (--model_.controllerUses_ == 0 && model_.closePending_) {
    model_.closePending_ = false;
    model_.view_.CloseWindow();
  }
}

int WindowModel::RecordedPane::LineCount() const { return model_.view_.LogLines().LineCount(); }
void WindowModel::RecordedPane::Clear() { model_.view_.LogLines().Clear(); }
void WindowModel::RecordedPane::AppendLine(const std::string& text) {
  model_.record_.Line(text);
  model_.view_.LogLines().AppendLine(text);
}

WindowModel::WindowModel(WindowView& view) : view_(view) {}

WindowModel::~WindowModel() { ReleaseController(); }

void WindowModel::Start() {
  // Fine timer resolution for the 10 ms sleeps of every reply wait.
  RaiseTimerResolution();
  cont_ = std::make_unique<TFlashWrRXCont>(this, &pane_, settings_.ProgSettings);
  // Its log switches follow the window's.
  cont_->DebugLog = settings_.DispDebugInfo;
  cont_->TxLog = settings_.DispTxInfo;
  cont_->RxLog = settings_.DispRecInfo;
  // The firmware image the tool carries.
  cont_->LoadEmbeddedImage();
  // The update command waits for the start-up search's verdict (the guard).
  Refresh();
}

void WindowModel::ReleaseController() {
  released_ = true;
  cont_.reset();  // closes the port
}

void WindowModel::AppendLog(const std::string& text, int force) {
  AppendLogLine(&pane_, settings_.DispDebugInfo != 0, text, force);
}

std::function<void(const std::string&, int)> WindowModel::LogLine() {
  return [this](const std::string& text, int force) { AppendLog(text, force); };
}

bool WindowModel::ItemEnabled(ItemId item) const {
  const auto rows = AllItems();
  if (item < 0 || item >= static_cast<ItemId>(rows.size())) return false;
  if (!cont_) return false;
  switch (rows[static_cast<std::size_t>(item)].rule) {
    case EnableRule::Always: return true;
    case EnableRule::Idle: return !Busy();
    case EnableRule::Update: return guard_.Enabled() && !Busy();
  }
  return false;
}

void WindowModel::Refresh() {
  const auto rows = AllItems();
  for (std::size_t i = 0; i < rows.size(); ++i) view_.SetItemEnabled(static_cast<ItemId>(i), ItemEnabled(static_cast<ItemId>(i)));
  for (const MenuRow& menu : MenuRows()) {
    view_.SetMenuEnabled(menu.menu, menu.rule != EnableRule::Update || (guard_.Enabled() && !Busy() && cont_));
  }
  view_.SetItemChecked(ItemNamed("MnFwBackup"), settings_.FirmwareBackup);
  view_.ShowReWriteMode(cont_ && cont_->ReWriteMode);
}

void WindowModel::Run(ItemId item) {
  const auto rows = AllItems();
  // Keys reach a window's items also while they are drawn disabled.
  if (!ItemEnabled(item)) return;
  const MenuItemRow& row = rows[static_cast<std::size_t>(item)];
  row.run(*this, row);
}

void WindowModel::RunNamed(const char* objectName) { Run(ItemNamed(objectName)); }

bool WindowModel::CloseAsked() {
  if (released_ && controllerUses_ == 0) return true;
  // Closing in the middle of an update or of the search would hide the run
  // while it goes on writing to the module, and its outcome and advice would
  // never be seen: the window stays until the run has ended.
  if (Busy() && !quitAsked_) {
    view_.ShowStatus(updateRunning_ ? kRefusedDuringRun : kRefusedDuringSearch);
    return false;
  }
  if (Busy()) return false;  // a stop asked from outside: at the run's end
  if (controllerUses_ > 0) {
    // A command is still inside the controller (this close came from a
    // nested loop): the window goes when that stretch has ended.
    closePending_ = true;
    return false;
  }
  ReleaseController();
  return true;
}

void WindowModel::ExitClick() { view_.CloseWindow(); }

void WindowModel::CloseMainWindow() {
  // Cancel in the port dialog of a search from the menu keeps the tool;
  // at start-up it ends the tool.
  if (searchAgain_) {
    portDialogCancelled_ = true;
    return;
  }
  // The controller goes once the search's stretch has ended.
  portDialogCancelled_ = true;
  closePending_ = true;
}

void WindowModel::StopAsked(int signal) {
  quitAsked_ = true;
  if (!stopSignal_) stopSignal_ = signal;
  CloseWhenIdle();
}

void WindowModel::CloseWhenIdle() {
  // An update or a search ends first and asks again at its end.
  if (!quitAsked_ || Busy()) return;
  if (controllerUses_ > 0) {
    closePending_ = true;
    return;
  }
  ReleaseController();
  view_.CloseWindow();
}

bool WindowModel::StopRequested() const {
  // Only the update stops at a frame; other commands end on their own soon.
  return updateRunning_ && quitAsked_ && !firmwareChecked_;
}

void WindowModel::FirmwareChecked() { firmwareChecked_ = true; }

void WindowModel::ShowMessage(const std::string& text) {
  record_.Message(text);
  view_.ShowBox(BoxKind::Plain, text);
}

void WindowModel::ShowError(const std::string& text) {
  record_.Message(text);
  view_.ShowBox(BoxKind::Error, text);
}

bool WindowModel::AskYesNo(const std::string& text) {
  record_.Message(text);
  return view_.AskYesNo(text);
}

void WindowModel::ShowModuleError(const std::string& text) {
  record_.Message(text);
  view_.ShowBox(BoxKind::Module, text);
}

void WindowModel::DisableUpdateCommands() {
  guard_.Lock();
  Refresh();
}

void WindowModel::CopySettingsBack(const TProgSettings& settings) { settings_.ProgSettings = settings; }

void WindowModel::SetMainWindowEnabled(bool enabled) {
  // A disabled window takes no clicks and no keys, so the update cannot be
  // started a second time while it runs.
  view_.SetWindowEnabled(enabled);
}

void WindowModel::SetGauge(int percent) {
  if (updateRunning_) watch_.Gauge(percent);
  view_.SetGauge(percent);
}

void WindowModel::SetAddress(const std::string& text) { view_.SetAddress(text); }

void WindowModel::SetStageTitle(const std::string& text) {
  if (updateRunning_) watch_.StageTitle(text);
  view_.SetStageTitle(text);
}

void WindowModel::ClearClick() { pane_.Clear(); }

void WindowModel::AboutClick() { view_.ShowAbout(); }

void WindowModel::FwBackupClick() {
  settings_.FirmwareBackup = !settings_.FirmwareBackup;
  Refresh();
}

}  // namespace kv9::window
