#include "platform/log_pane.h"

namespace kv9 {

void AppendLogLine(LogPane* pane, bool showUnforced, const std::string& text, int force) {
  if (!showUnforced && force == 0) return;
  if (pane == nullptr) return;
  if (pane->LineCount() >= kLogPaneMaxLines) pane->Clear();
  pane->AppendLine(text);
}

}  // namespace kv9
