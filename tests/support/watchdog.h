#pragma once
// Bounded waits for tests: a guard for tests whose failure would be a
// deadlock, a pumping wait with a deadline, and the clock they use.
// Header only and portable: the Windows suites use it too.
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

namespace kv9::test {

using Clock = std::chrono::steady_clock;

// Runs `fn` on this thread under a watchdog: if it has not returned within
// timeoutMs, the process ends with a message instead of hanging the suite
// (used where the failure being tested for is a deadlock).
template <typename Fn>
void WithWatchdog(int timeoutMs, const char* what, Fn fn) {
  std::mutex m;
  std::condition_variable cv;
  bool finished = false;
  std::thread dog([&] {
    std::unique_lock<std::mutex> lock(m);
    if (!cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return finished; })) {
      std::fprintf(stderr, "FATAL: %s did not return within %d ms (deadlock)\n", what, timeoutMs);
      std::fflush(stderr);
      std::abort();
    }
  });
  fn();
  {
    std::lock_guard<std::mutex> lock(m);
    finished = true;
  }
  cv.notify_all();
  dog.join();
}

// Runs `step` (which should pump messages briefly) until `done` holds or the
// bound runs out; returns whether `done` held. Keeps every wait bounded.
template <typename Done, typename Step>
bool PumpUntil(Done done, Step step, int timeoutMs = 2000) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!done()) {
    if (Clock::now() >= deadline) return false;
    step();
  }
  return true;
}

}  // namespace kv9::test
