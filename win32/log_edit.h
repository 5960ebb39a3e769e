#pragma once
// The log pane SPTMemo: a read-only multi-line edit control under the core's
// log rule (platform/log_pane.h). Lines are appended at the end and the
// caret follows them.
#include <windows.h>

#include <string>

#include "platform/log_pane.h"

class LogEdit : public kv9::LogPane {
 public:
  void Attach(HWND edit);
  HWND Handle() const { return edit_; }

  int LineCount() const override { return lines_; }
  void Clear() override;
  void AppendLine(const std::string& text) override;

 private:
  HWND edit_ = nullptr;
  int lines_ = 0;
};
