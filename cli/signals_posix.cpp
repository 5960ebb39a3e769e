#include "cli/signals.h"

#include <signal.h>
#include <unistd.h>

#include "cli/stop_state.h"

namespace kv9::cli {
namespace {

void OnStopSignal(int sig) {
  if (stop_state::Record(sig)) return;  // the run stops before its next frame
  if (stop_state::progressOnTerminal.load()) {
    static const char kErase[] = "\r\033[K";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kErase, sizeof kErase - 1);
  }
  ::_exit(128 + stop_state::signal.load());
}

}  // namespace

void InstallSignalHandlers() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  ::sigaction(SIGPIPE, &ignore, nullptr);
  ::sigaction(SIGHUP, &ignore, nullptr);
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  sigaddset(&stop.sa_mask, SIGINT);
  sigaddset(&stop.sa_mask, SIGTERM);
  stop.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &stop, nullptr);
  ::sigaction(SIGTERM, &stop, nullptr);
}

}  // namespace kv9::cli
