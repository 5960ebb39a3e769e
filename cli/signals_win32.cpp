#include <windows.h>

#include <atomic>
#include <csignal>
#include <cstdlib>

#include "cli/signals.h"

namespace kv9::cli {
namespace {

// Windows calls the handler on a thread of its own; it touches only these.
std::atomic<bool> g_armed{false};
std::atomic<int> g_signal{0};
std::atomic<bool> g_progressOnTerminal{false};

// The console's events as the signals the rest of kv9flash knows: Ctrl+C and
// Ctrl+Break are the user's interrupt (SIGINT, exit 130); closing the console
// window, logging off and shutting down ask the program to end (SIGTERM, 143).
BOOL WINAPI OnConsoleEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  int none = 0;
  g_signal.compare_exchange_strong(none, interrupt ? SIGINT : SIGTERM);  // the first one counts
  if (!g_armed.load()) {
    if (g_progressOnTerminal.load()) {
      static const char kErase[] = "\r\033[K";
      DWORD written = 0;
      ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), kErase, sizeof kErase - 1, &written, nullptr);
    }
    std::_Exit(128 + g_signal.load());
  }
  if (interrupt) return TRUE;  // the run stops before its next frame
  // After a close, log-off or shut-down event Windows ends the process as
  // soon as this handler returns (and after a few seconds' grace anyway).
  // Holding the handler gives the run that time to stop at a frame boundary
  // and print its failure closing; the process ends when main returns.
  ::Sleep(INFINITE);
  return TRUE;
}

}  // namespace

// Windows has no SIGPIPE (a write to a closed pipe fails, nothing more) and
// no SIGHUP: a closed console window is an end request, not a hang-up a
// program could outlive.
void InstallSignalHandlers() { ::SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool ArmStop() {
  g_armed.store(true);
  return g_signal.load() != 0;
}

bool StopAsked() { return g_signal.load() != 0; }
int StopSignal() { return g_signal.load(); }
void SetProgressOnTerminal(bool on) { g_progressOnTerminal.store(on); }

}  // namespace kv9::cli
