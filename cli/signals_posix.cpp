#include "cli/signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace kv9::cli {
namespace {

// Only lock-free atomics are touched by the handler.
std::atomic<bool> g_armed{false};
std::atomic<int> g_signal{0};
std::atomic<bool> g_progressOnTerminal{false};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

void OnStopSignal(int sig) {
  int none = 0;
  g_signal.compare_exchange_strong(none, sig);  // the first signal names the exit status
  if (g_armed.load()) return;                   // the run stops before its next frame
  if (g_progressOnTerminal.load()) {
    static const char kErase[] = "\r\033[K";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kErase, sizeof kErase - 1);
  }
  ::_exit(128 + g_signal.load());
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

bool ArmStop() {
  g_armed.store(true);
  return g_signal.load() != 0;
}

bool StopAsked() { return g_signal.load() != 0; }
int StopSignal() { return g_signal.load(); }
void SetProgressOnTerminal(bool on) { g_progressOnTerminal.store(on); }

}  // namespace kv9::cli
