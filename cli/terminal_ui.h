#pragma once
// The terminal front end: log lines to stdout (the log pane's rule applies),
// message boxes to stderr as "error: ...", and, when stderr is a terminal,
// one progress line per stage (label, bar, percent, bytes and rate while
// programming) redrawn in place. The port dialog is answered from the
// command line instead of a person.
#include <chrono>
#include <cstdio>
#include <string>

#include "cli/cli_options.h"
#include "cli/console.h"
#include "platform/link_ui.h"
#include "platform/log_pane.h"

namespace kv9::cli {

class StdoutLogPane : public LogPane {
 public:
  StdoutLogPane(Console* console, const CliOptions& options)
      : console_(console), options_(options) {}
  int LineCount() const override { return lines_; }
  // What was printed stays printed; the count starts again like a cleared pane.
  void Clear() override { lines_ = 0; }
  void AppendLine(const std::string& text) override;
  // --tx-log / --rx-log show their trace lines without --debug.
  bool ShowsUnforced(const std::string& text) const override;

 private:
  Console* console_;
  const CliOptions& options_;
  int lines_ = 0;
};

// The progress line of a stage: "ライト中... [#####-----]  45%  110592 bytes  10.4 KB/s".
// bytes < 0 leaves out bytes and rate. Pure.
std::string ProgressText(const std::string& label, int percent, long bytes, double seconds);

class TerminalUi : public LinkUi {
 public:
  TerminalUi(const CliOptions& options, Console* console);

  void ShowMessage(const std::string& text) override;
  void ShowError(const std::string& text) override;
  void ShowModuleError(const std::string& text) override;
  // "note: ...", on stderr.
  void ShowNote(const std::string& text) override;
  PortOpenDialogResult RunPortOpenDialog(const PortOpenDialogRequest& request,
                                         std::int32_t& reWriteMode) override;
  void ShowSearchProgress(const std::string& caption, const std::string& banner) override;
  void SetSearchLabel(const std::string& text) override;
  void CloseSearchProgress() override;
  void DisableUpdateCommands() override {}
  void CloseMainWindow() override {}
  void CopySettingsBack(const TProgSettings& settings) override { settings_ = settings; }
  void SetMainWindowEnabled(bool) override {}
  void SetStageTitle(const std::string&) override {}
  void ShowUpdateProgress() override { updating_ = true; }
  void SetUpdateProgressLabel(const std::string& text) override;
  void SetUpdateProgressMessage(const std::string&) override {}
  void ShowUpdateResult(bool) override {}
  void CloseUpdateProgress() override;
  void PlayResultSound(bool) override {}
  void SetGauge(int percent) override;
  void SetAddress(const std::string& text) override;
  // From the update's first frame on, a signal stops the run before the
  // next frame instead of ending the program; not once the firmware was
  // written and checked (see EndStopWindow).
  bool StopRequested() const override;

  // The rest of the run (restart, ROM version, factory restore) is not cut
  // short: stopping inside the factory restore could lose the module's data.
  void EndStopWindow() { stopWindowEnded_ = true; }
  void FirmwareChecked() override { EndStopWindow(); }
  // The port the person asked for was not in the port list.
  bool PortMissing() const { return portMissing_; }
  // How many message texts went to stderr so far.
  std::size_t MessagesShown() const { return messagesShown_; }
  const TProgSettings& Settings() const { return settings_; }
  // Bytes of the image area before the block the write stage was at (-1 none).
  long BytesReached() const { return bytes_; }
  // The first address of the image area, so the address display gives bytes.
  void SetAreaStart(std::uint32_t romStart) { romStart_ = romStart; }

 private:
  void Draw();
  const CliOptions& options_;
  Console* console_;
  bool portMissing_ = false;
  std::size_t messagesShown_ = 0;
  bool updating_ = false;
  bool stopWindowEnded_ = false;
  std::string stage_;
  int percent_ = -1;
  long bytes_ = -1;
  std::uint32_t romStart_ = 0;
  std::chrono::steady_clock::time_point stageStart_{};
  TProgSettings settings_;
};

}  // namespace kv9::cli
