#include <windows.h>

#include <csignal>
#include <cstdlib>

#include "cli/signals.h"
#include "cli/stop_state.h"

namespace kv9::cli {
namespace {

// The console's events as the signals the rest of kv9flash knows: Ctrl+C and
// Ctrl+Break are the user's interrupt (SIGINT, exit 130); closing the console
// window, logging off and shutting down ask the program to end (SIGTERM, 143).
BOOL WINAPI OnConsoleEvent(DWORD event) {
  const bool interrupt = event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT;
  // Windows calls this on a thread of its own.
  if (!stop_state::Record(interrupt ? SIGINT : SIGTERM)) {
    if (stop_state::progressOnTerminal.load()) {
      static const char kErase[] = "\r\033[K";
      DWORD written = 0;
      ::WriteFile(::GetStdHandle(STD_ERROR_HANDLE), kErase, sizeof kErase - 1, &written, nullptr);
    }
    std::_Exit(128 + stop_state::signal.load());
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

}  // namespace kv9::cli
