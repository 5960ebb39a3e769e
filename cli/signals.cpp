#include "cli/signals.h"

#include "cli/stop_state.h"

namespace kv9::cli {

bool ArmStop() {
  stop_state::armed.store(true);
  return stop_state::signal.load() != 0;
}

bool StopAsked() { return stop_state::signal.load() != 0; }
int StopSignal() { return stop_state::signal.load(); }
void SetProgressOnTerminal(bool on) { stop_state::progressOnTerminal.store(on); }

}  // namespace kv9::cli
