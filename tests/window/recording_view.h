#pragma once
// A window that records what the window model draws, for driving the model
// against the simulated module without a toolkit: both windows' behaviour
// is tested here once.
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "tests/support/recorders.h"
#include "window/window_model.h"
#include "window/window_view.h"

namespace kv9::test {

class RecordingView : public window::WindowView {
 public:
  window::WindowModel* model = nullptr;

  LogPane& LogLines() override { return pane; }
  void ShowBox(window::BoxKind, const std::string& text) override { boxes.push_back(text); }
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    return answerYes;
  }
  void ShowStatus(const std::string& text) override { status = text; }
  void SetCaption(const std::string& text) override { caption = text; }
  void BringToFront() override {}
  void SetWindowEnabled(bool enabled) override { windowEnabled = enabled; }
  void SetItemEnabled(window::ItemId item, bool enabled) override { items[item] = enabled; }
  void SetMenuEnabled(window::MenuId menu, bool enabled) override { menus[menu] = enabled; }
  void SetItemChecked(window::ItemId item, bool checked) override { checks[item] = checked; }
  void ShowReWriteMode(bool on) override { reWriteShown = on; }
  void SetStageTitle(const std::string& text) override { stageTitle = text; }
  void SetGauge(int percent) override { gauge = percent; }
  void SetAddress(const std::string&) override {}
  PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest& request, std::int32_t& reWriteMode) override {
    ++portDialogs;
    if (duringPortDialog) duringPortDialog();
    PortOpenDialogResult result;
    result.ok = !cancelPortDialog;
    reWriteMode = reWriteInDialog ? 1 : reWriteMode;
    for (std::size_t i = 0; i < request.ports.size(); ++i) {
      if (request.ports[i] != port) continue;
      result.selectedIndex = static_cast<int>(i);
      result.selectedText = port;
    }
    result.comSpeedIndex = request.comSpeedIndex;
    return result;
  }
  std::string AskOpenFile(const std::string& title, const std::string&, const std::string&) override {
    fileDialogTitles.push_back(title);
    return fileToOpen;
  }
  bool RunConfigDialog(window::ConfigValues& values) override {
    if (editConfig) editConfig(values);
    return static_cast<bool>(editConfig);
  }
  bool RunPortSetDialog(TCustomComPort&, std::string&) override { return false; }
  void ShowAbout() override {}
  void ShowSearchWindow(const std::string&, const std::string&) override { searchWindow = true; }
  void SetSearchText(const std::string&) override {}
  void CloseSearchWindow() override { searchWindow = false; }
  void ShowProgressWindow() override { progress = "shown"; }
  void SetProgressLabel(const std::string&) override {}
  void SetProgressMessage(const std::string&) override {}
  void ShowProgressResult(bool success) override { progress = success ? "OK" : "NG"; }
  void KeepProgressWindow(const std::vector<std::string>& lines) override {
    progress = "kept";
    advice = lines;
  }
  void CloseProgressWindow() override { progress = "closed"; }
  void PlayResultSound(bool) override {}
  void CloseWindow() override {
    // As a window does: it asks the model, and goes when it may.
    ++closeCalls;
    if (model && model->CloseAsked()) closed = true;
  }

  bool Enabled(const char* item) { return items[window::ItemNamed(item)]; }
  bool Logged(const std::string& line) const {
    for (const std::string& l : pane.lines) {
      if (l == line) return true;
    }
    return false;
  }

  RecordingLogPane pane;
  std::vector<std::string> boxes;
  std::vector<std::string> questions;  // the Yes/No questions, in order
  bool answerYes = false;              // what every question is answered
  std::string status, caption, stageTitle, progress, port = "COM3", fileToOpen;
  std::vector<std::string> advice, fileDialogTitles;
  std::map<window::ItemId, bool> items, checks;
  std::map<window::MenuId, bool> menus;
  bool windowEnabled = true, reWriteShown = false, searchWindow = false, closed = false;
  bool cancelPortDialog = false, reWriteInDialog = false;
  int gauge = 0, portDialogs = 0, closeCalls = 0;
  std::function<void()> duringPortDialog;
  std::function<void(window::ConfigValues&)> editConfig;
};

}  // namespace kv9::test
