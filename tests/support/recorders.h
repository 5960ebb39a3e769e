#pragma once
// Recording stand-ins for the front end, for tests of the core.
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
  std::vector<std::string> messages;
  std::vector<std::string> errors;
};

}  // namespace kv9::test
