#pragma once
// Recording stand-ins for the front end, for tests of the core.
#include <functional>
#include <string>
#include <vector>

#include "platform/link_ui.h"
#include "platform/log_pane.h"

namespace kv9::test {

class RecordingLogPane : public LogPane {
 public:
  int LineCount() const override { return static_cast<int>(lines.size()); }
  void Clear() override {
    lines.clear();
    ++clears;
  }
  void AppendLine(const std::string& text) override { lines.push_back(text); }
  std::vector<std::string> lines;
  int clears = 0;
};

class RecordingUi : public LinkUi {
 public:
  void ShowMessage(const std::string& text) override { messages.push_back(text); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void ShowModuleError(const std::string& text) override { moduleErrors.push_back(text); }

  PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest& request,
                                         std::int32_t& reWriteMode) override {
    dialogRequests.push_back(request);
    if (onPortDialog) return onPortDialog(request, reWriteMode);
    PortOpenDialogResult result;
    result.ok = true;
    result.selectedIndex = request.selectedIndex;
    if (request.selectedIndex >= 0) result.selectedText = request.ports[request.selectedIndex];
    result.comSpeedIndex = request.comSpeedIndex;
    return result;
  }
  void ShowSearchProgress(const std::string& caption, const std::string& banner) override {
    events.push_back("progress:" + caption + "|" + banner);
  }
  void SetSearchLabel(const std::string& text) override { searchLabels.push_back(text); }
  void CloseSearchProgress() override { events.push_back("progress closed"); }
  void DisableUpdateCommands() override { updateCommandsDisabled = true; }
  void CloseMainWindow() override { mainWindowClosed = true; }
  void CopySettingsBack(const TProgSettings& settings) override { copiedSettings.push_back(settings); }
  void SetMainWindowEnabled(bool enabled) override {
    events.push_back(enabled ? "main enabled" : "main disabled");
  }
  void SetStageTitle(const std::string& text) override { titles.push_back(text); }
  void ShowUpdateProgress() override { events.push_back("update progress shown"); }
  void SetUpdateProgressLabel(const std::string& text) override { progressLabels.push_back(text); }
  void SetUpdateProgressMessage(const std::string& text) override { progressMessages.push_back(text); }
  void ShowUpdateResult(bool success) override { events.push_back(success ? "result OK" : "result NG"); }
  void CloseUpdateProgress() override { events.push_back("update progress closed"); }
  void PlayResultSound(bool success) override { events.push_back(success ? "ring sound" : "alarm sound"); }
  void SetGauge(int percent) override { gauge.push_back(percent); }
  void SetAddress(const std::string& text) override { addresses.push_back(text); }

  std::vector<std::string> messages;
  std::vector<std::string> errors;
  std::vector<std::string> moduleErrors;
  std::vector<PortOpenDialogRequest> dialogRequests;
  std::function<PortOpenDialogResult(const PortOpenDialogRequest&, std::int32_t&)> onPortDialog;
  std::vector<std::string> events;
  std::vector<std::string> searchLabels;
  bool updateCommandsDisabled = false;
  bool mainWindowClosed = false;
  std::vector<TProgSettings> copiedSettings;
  std::vector<std::string> titles;
  std::vector<std::string> progressLabels;
  std::vector<std::string> progressMessages;
  std::vector<int> gauge;
  std::vector<std::string> addresses;
};

}  // namespace kv9::test
