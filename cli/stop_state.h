#pragma once
// What the signal or console-event handler of each system shares with the
// rest of kv9flash (signals.cpp). Handlers touch only these lock-free atomics.
#include <atomic>

namespace kv9::cli::stop_state {

inline std::atomic<bool> armed{false};
inline std::atomic<int> signal{0};
inline std::atomic<bool> progressOnTerminal{false};
static_assert(std::atomic<bool>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

// Keeps the first signal, which names the exit status; true when the run is
// armed and stops before its next frame, false when the program must end now.
inline bool Record(int sig) {
  int none = 0;
  signal.compare_exchange_strong(none, sig);
  return armed.load();
}

}  // namespace kv9::cli::stop_state
