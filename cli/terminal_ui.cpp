#include "cli/terminal_ui.h"

#include <algorithm>

namespace kv9::cli {

void StdoutLogPane::AppendLine(const std::string& text) {
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
  ++lines_;
}

TerminalUi::TerminalUi(const CliOptions& options, std::FILE* err, bool progressLines)
    : options_(options), err_(err), progressLines_(progressLines), settings_(options.settings) {}

void TerminalUi::ShowMessage(const std::string& text) {
  ++messagesShown_;
  std::fprintf(err_, "error: %s\n", text.c_str());
}
void TerminalUi::ShowError(const std::string& text) { std::fprintf(err_, "error: %s\n", text.c_str()); }
void TerminalUi::ShowModuleError(const std::string& text) { std::fprintf(err_, "error: %s\n", text.c_str()); }

PortOpenDialogResult TerminalUi::RunPortOpenDialog(const PortOpenDialogRequest& request, std::int32_t& reWriteMode) {
  PortOpenDialogResult result;
  result.ok = true;
  result.autoCheck = options_.autoCheck && !options_.reWrite;
  if (options_.reWrite) reWriteMode = 1;
  static constexpr std::int32_t kRates[] = {9600, 19200, 38400, 115200};
  result.comSpeedIndex = static_cast<int>(std::find(std::begin(kRates), std::end(kRates), options_.speed) - kRates);
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

void TerminalUi::ShowSearchProgress(const std::string&, const std::string& banner) { Progress(banner); }

void TerminalUi::SetSearchLabel(const std::string& text) { Progress(text); }

void TerminalUi::CloseSearchProgress() {
  if (progressLines_) std::fprintf(err_, "\n");
}

void TerminalUi::SetUpdateProgressLabel(const std::string& text) {
  if (progressLines_ && !stage_.empty()) std::fprintf(err_, "\n");
  stage_ = text;
  percent_ = -1;
  Progress(stage_);
}

void TerminalUi::SetGauge(int percent) {
  if (percent == percent_ || stage_.empty()) return;
  percent_ = percent;
  Progress(stage_ + " " + std::to_string(percent) + "%");
}

void TerminalUi::CloseUpdateProgress() {
  if (progressLines_ && !stage_.empty()) std::fprintf(err_, "\n");
  stage_.clear();
}

void TerminalUi::Progress(const std::string& text) {
  if (!progressLines_) return;
  std::fprintf(err_, "\r\033[K%s", text.c_str());
  std::fflush(err_);
}

}  // namespace kv9::cli
