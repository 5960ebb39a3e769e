// What the log says about the USB serial adapter behind the port: the
// latency timer in force (debug), and, where it slows the update and the
// tool cannot lower it itself (an FTDI adapter on Windows), how much and
// where the technician sets it.
#include <sstream>

#include "link/flash_wr_rx_cont.h"
#include "serial/adapter_latency.h"

namespace kv9 {

void TFlashWrRXCont::NoteAdapterLatency() {
  if (!CommX1.Connected()) return;
  const std::string port = CommX1.Port();
  const AdapterLatency latency = CommX1.Latency();
  if (latencyLogged_.insert(port).second) {
    if (const std::string line = LatencyDebugLine(port, latency); !line.empty()) AddLog(line, 0);
  }
  // A port tried by a search may not be the module's: advice only where the
  // person chose the port or the module was found.
  if (QuietOpen) return;
  const std::string advice = LatencyAdviceLog(port, latency);
  if (advice.empty() || !latencyAdvised_.insert(port).second) return;
  std::istringstream lines(advice);
  for (std::string line; std::getline(lines, line);) AddLog(line, 1);
  if (owner_) owner_->ShowNote(LatencyAdviceNote(port, latency));
}

}  // namespace kv9
