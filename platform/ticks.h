#pragma once
// Millisecond tick counter (unsigned 32-bit, wraps after about 49.7 days),
// sleep, and the timer-resolution request.
#include <cstdint>
#include <functional>

namespace kv9 {

// Milliseconds since an arbitrary start; any thread.
std::uint32_t TickCount();

// Milliseconds from `start` to `now`, correct across a wrap of the counter.
constexpr std::uint32_t TicksBetween(std::uint32_t start, std::uint32_t now) { return now - start; }

void SleepMs(std::uint32_t ms);

// Asks for 1 ms timer resolution (timer_resolution_<os>.cpp). Windows
// rounds sleeps and waits up to its timer period, 15.6 ms by default, which
// would stretch every 10 ms poll of a reply wait; Linux timers are already
// that fine, so there it does nothing.
void RaiseTimerResolution();

// Tests replace the tick source to cross a wrap; an empty function restores
// the real clock. Not for production code.
void SetTickSourceForTest(std::function<std::uint32_t()> source);

}  // namespace kv9
