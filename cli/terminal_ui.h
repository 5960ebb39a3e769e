#pragma once
// The terminal front end: log lines to stdout (the log pane's rule applies),
// message boxes to stderr as "error: ...", and, when stderr is a terminal,
// one progress line per stage with its percentage. The port dialog is
// answered from the command line instead of a person.
#include <cstdio>
#include <string>

#include "cli/cli_options.h"
#include "platform/link_ui.h"
#include "platform/log_pane.h"

namespace kv9::cli {

class StdoutLogPane : public LogPane {
 public:
  explicit StdoutLogPane(std::FILE* out) : out_(out) {}
  int LineCount() const override { return lines_; }
  // What was printed stays printed; the count starts again like a cleared pane.
  void Clear() override { lines_ = 0; }
  void AppendLine(const std::string& text) override;

 private:
  std::FILE* out_;
  int lines_ = 0;
};

class TerminalUi : public LinkUi {
 public:
  TerminalUi(const CliOptions& options, std::FILE* err, bool progressLines);

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowModuleError(const std::string& text) override;
  PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest& request, std::int32_t& reWriteMode) override;
  void ShowSearchProgress(const std::string& caption, const std::string& banner) override;
  void SetSearchLabel(const std::string& text) override;
  void CloseSearchProgress() override;
  void DisableUpdateCommands() override {}
  void CloseMainWindow() override {}
  void CopySettingsBack(const TProgSettings& settings) override { settings_ = settings; }
  void SetMainWindowEnabled(bool) override {}
  void SetStageTitle(const std::string&) override {}
  void ShowUpdateProgress() override {}
  void SetUpdateProgressLabel(const std::string& text) override;
  void SetUpdateProgressMessage(const std::string&) override {}
  void ShowUpdateResult(bool) override {}
  void CloseUpdateProgress() override;
  void PlayResultSound(bool) override {}
  void SetGauge(int percent) override;
  void SetAddress(const std::string&) override {}

  // The port the person asked for was not in the port list.
  bool PortMissing() const { return portMissing_; }
  // How many message texts went to stderr so far.
  std::size_t MessagesShown() const { return messagesShown_; }
  const TProgSettings& Settings() const { return settings_; }

 private:
  void Progress(const std::string& text);
  const CliOptions& options_;
  std::FILE* err_;
  bool progressLines_;
  bool portMissing_ = false;
  std::size_t messagesShown_ = 0;
  std::string stage_;
  int percent_ = -1;
  TProgSettings settings_;
};

}  // namespace kv9::cli
