#pragma once
// The log pane as the core sees it, and the one rule every log line obeys.
#include <string>

namespace kv9 {

class LogPane {
 public:
  virtual ~LogPane() = default;
  virtual int LineCount() const = 0;
  virtual void Clear() = 0;
  virtual void AppendLine(const std::string& text) = 0;  // UTF-8
  // An unforced line the pane shows although the debug display is off (the
  // terminal front end's byte traces on their own). None by default.
  virtual bool ShowsUnforced(const std::string& /*text*/) const { return false; }
};

constexpr int kLogPaneMaxLines = 1000;

// Appends one line under the rule shared by the main window and the
// controller: a line with force 0 is shown only while `showUnforced` (the
// debug display switch) is on or the pane asks for it; a pane that already holds 1000 lines is
// cleared completely first, so it never grows without bound. A null pane
// takes nothing.
void AppendLogLine(LogPane* pane, bool showUnforced, const std::string& text, int force);

}  // namespace kv9
