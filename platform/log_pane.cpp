#include "platform/log_pane.h"

namespace kv9 {

void AppendLogLine(LogPane* pane, bool showUnforced, const std::string& text, int force) {
  if (pane == nullptr) return;
  if (!showUnforced && force == 0 && !pane->ShowsUnforced(text)) return;
  if (pane->LineCount() >= kLogPaneMaxLines) pane->Clear();
  pane->AppendLine(text);
}

}  // namespace kv9
