#include "cli/terminal_ui.h"

#include <algorithm>
#include <cstdlib>

#include "cli/signals.h"
#include "link/module_rates.h"

namespace kv9::cli {

void StdoutLogPane::AppendLine(const std::string& text) {
  console_->LogLine(text);
  ++lines_;
}

bool StdoutLogPane::ShowsUnforced(const std::string& text) const {
  return (options_.txLog && text.rfind("TX: ", 0) == 0) ||
         (options_.rxLog && text.rfind("RX: ", 0) == 0);
}

std::string ProgressText(const std::string& label, int percent, long bytes, double seconds) {
  std::string text = label;
  if (percent < 0) return text;
  constexpr int kBarWidth = 20;
  const int filled = std::clamp(percent, 0, 100) * kBarWidth / 100;
  text += " [" + std::string(static_cast<std::size_t>(filled), '#') +
          std::string(static_cast<std::size_t>(kBarWidth - filled), '-') + "]";
  char tail[80];
  std::snprintf(tail, sizeof tail, " %3d%%", percent);
  text += tail;
  if (bytes >= 0) {
    std::snprintf(tail, sizeof tail, "  %ld bytes", bytes);
    text += tail;
    if (seconds > 0.2) {
      std::snprintf(tail, sizeof tail, "  %.1f KB/s",
                    static_cast<double>(bytes) / 1024.0 / seconds);
      text += tail;
    }
  }
  return text;
}

TerminalUi::TerminalUi(const CliOptions& options, Console* console)
    : options_(options), console_(console), settings_(options.settings) {}

void TerminalUi::ShowMessage(const std::string& text) {
  ++messagesShown_;
  console_->Message("error: " + text);
}
void TerminalUi::ShowError(const std::string& text) { console_->Message("error: " + text); }
void TerminalUi::ShowModuleError(const std::string& text) { console_->Message("error: " + text); }
void TerminalUi::ShowNote(const std::string& text) { console_->Message("note: " + text); }

PortOpenDialogResult TerminalUi::RunPortOpenDialog(const PortOpenDialogRequest& request,
                                                   std::int32_t& reWriteMode) {
  PortOpenDialogResult result;
  result.ok = true;
  result.autoCheck = options_.autoCheck && !options_.reWrite;
  if (options_.reWrite) reWriteMode = 1;
  result.comSpeedIndex = ModuleRateIndex(options_.speed);
  const auto it = std::find(request.ports.begin(), request.ports.end(), options_.port);
  if (it != request.ports.end()) {
    result.selectedIndex = static_cast<int>(it - request.ports.begin());
    result.selectedText = *it;
  } else if (!result.autoCheck) {
    // The person named a port this machine does not have: nothing to open.
    portMissing_ = true;
    result.ok = false;
  }
  return result;
}

void TerminalUi::ShowSearchProgress(const std::string&, const std::string& banner) {
  console_->Progress(banner);
}

void TerminalUi::SetSearchLabel(const std::string& text) { console_->Progress(text); }

void TerminalUi::CloseSearchProgress() { console_->EndProgress(); }

void TerminalUi::SetUpdateProgressLabel(const std::string& text) {
  stage_ = text;
  percent_ = -1;
  bytes_ = -1;
  stageStart_ = std::chrono::steady_clock::now();
  Draw();
}

void TerminalUi::SetGauge(int percent) {
  if (percent == percent_ || stage_.empty()) return;
  percent_ = percent;
  Draw();
}

void TerminalUi::SetAddress(const std::string& text) {
  if (text.empty() || stage_.empty()) return;
  // The address of the block about to be programmed: the bytes before it are done.
  const unsigned long address = std::strtoul(text.c_str(), nullptr, 16);
  if (address >= romStart_) bytes_ = static_cast<long>(address - romStart_);
}

void TerminalUi::CloseUpdateProgress() {
  stage_.clear();
  console_->EndProgress();
}

bool TerminalUi::StopRequested() const {
  if (!updating_ || stopWindowEnded_) return false;
  return ArmStop();
}

void TerminalUi::Draw() {
  console_->Stage(stage_, percent_);
  if (!console_->ProgressOn()) return;
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - stageStart_).count();
  console_->Progress(ProgressText(stage_, percent_, bytes_, seconds));
}

}  // namespace kv9::cli
