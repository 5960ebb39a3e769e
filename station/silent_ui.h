#pragma once
// A front end that shows nothing: a slot looking for its module must not
// fill the screen with "not found" while the bench is empty. A stop is
// whatever the slot's stop predicate says.
#include <functional>
#include <string>
#include <utility>

#include "platform/link_ui.h"
#include "platform/log_pane.h"

namespace kv9::station {

class SilentUi : public LinkUi {
 public:
  explicit SilentUi(std::function<bool()> stopAsked) : stopAsked_(std::move(stopAsked)) {}
  void ShowMessage(const std::string&) override {}
  void ShowError(const std::string&) override {}
  void ShowModuleError(const std::string&) override {}
  PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest&, std::int32_t&) override { return {}; }
  void ShowSearchProgress(const std::string&, const std::string&) override {}
  void SetSearchLabel(const std::string&) override {}
  void CloseSearchProgress() override {}
  void DisableUpdateCommands() override {}
  void CloseMainWindow() override {}
  void CopySettingsBack(const TProgSettings&) override {}
  void SetMainWindowEnabled(bool) override {}
  void SetStageTitle(const std::string&) override {}
  void ShowUpdateProgress() override {}
  void SetUpdateProgressLabel(const std::string&) override {}
  void SetUpdateProgressMessage(const std::string&) override {}
  void ShowUpdateResult(bool) override {}
  void CloseUpdateProgress() override {}
  void PlayResultSound(bool) override {}
  void SetGauge(int) override {}
  void SetAddress(const std::string&) override {}
  bool StopRequested() const override { return stopAsked_(); }

 private:
  std::function<bool()> stopAsked_;
};

class SilentPane : public LogPane {
 public:
  int LineCount() const override { return 0; }
  void Clear() override {}
  void AppendLine(const std::string&) override {}
};

}  // namespace kv9::station
