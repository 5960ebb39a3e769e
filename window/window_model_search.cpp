// The start-up search and "R/Wの再検索...": the port dialog and the search
// for the module, and what the update command may do after it.
#include <exception>
#include <filesystem>

#include "link/flash_wr_rx_cont.h"
#include "platform/atomic_file.h"
#include "platform/message_pump.h"
#include "window/broken_off_run.h"
#include "window/window_model.h"
#include "window/window_texts.h"

namespace kv9::window {

void WindowModel::Shown() {
  if (shown_ || !cont_) return;
  shown_ = true;
  ProcessMessages();
  view_.BringToFront();
  view_.SetCaption(std::string(kCaption) + kCaptionModel);
  ShowBrokenOffRun();
  Search(false);
}

void WindowModel::SearchAgainClick() { Search(true); }

void WindowModel::Search(bool again) {
  if (!cont_ || updateRunning_) return;
  ControllerUse use(*this);
  // Whatever way the search ends, the window is idle again afterwards: an
  // error from the port must not leave it with nothing that works.
  struct SearchEnd {
    WindowModel& m;
    ~SearchEnd() {
      m.searching_ = false;
      m.searchAgain_ = false;
      m.Refresh();
    }
  } end{*this};
  searching_ = true;
  searchAgain_ = again;
  portDialogCancelled_ = false;
  guard_.SearchStarted();
  Refresh();
  // A port that went away and came back (cable, adapter, another module)
  // is a new device: the search opens it afresh, never through the handle
  // of the one that vanished.
  if (again) cont_->ClosePort();
  try {
    const int found = cont_->OpenAtStartup(settings_.ProgSettings.WriteSpeedIndex);
    if (portDialogCancelled_) {
      guard_.SearchCancelled();
      if (!again) return;  // the tool ends once this stretch is over
    } else {
      cont_->ConfirmModule(found);
      guard_.SearchEnded(cont_->ModuleSupported == 1);
    }
  } catch (const std::exception& e) {
    guard_.SearchEnded(false);
    cont_->ClosePort();
    searching_ = false;
    Refresh();
    ShowError(e.what());
  }
  searching_ = false;
  Refresh();
  CloseWhenIdle();  // a stop asked for during the search
}

void WindowModel::ShowBrokenOffRun() {
  const BrokenOffRun run = ReadBrokenOffRun();
  if (run.recordPath.empty()) return;
  AppendLog(kBrokenOffRun + run.recordPath, 1);
  for (const std::string& line : run.advice) AppendLog(line, 1);
  ForgetBrokenOffRun();
}

PortOpenDialogResult WindowModel::RunPortOpenDialog(const PortOpenDialogRequest& request, std::int32_t& reWriteMode) {
  const PortOpenDialogResult result = view_.RunPortOpenDialog(request, reWriteMode);
  view_.ShowReWriteMode(reWriteMode != 0);  // the dialog's re-write box may have switched it
  return result;
}

void WindowModel::ShowSearchProgress(const std::string& caption, const std::string& banner) {
  view_.ShowSearchWindow(caption, banner);
  view_.ShowStatus(banner);
  ProcessMessages();
}

void WindowModel::SetSearchLabel(const std::string& text) { view_.SetSearchText(text); }

void WindowModel::CloseSearchProgress() {
  view_.ShowStatus("");
  view_.CloseSearchWindow();
}

}  // namespace kv9::window
