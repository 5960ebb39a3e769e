#pragma once
// The waits of the tool, written once. Every wait keeps processing messages,
// so the window stays painted and received bytes reach the ring while it
// runs; they differ only in what ends them.
#include <cstdint>
#include <functional>

namespace kv9 {

// Whether `ms` milliseconds have passed since `start` on the tick counter,
// correct across a wrap. `start` may lie a little ahead (a reply wait counts
// from when its frame will have left the line): until then nothing passed.
bool TicksPassed(std::uint32_t start, std::uint32_t ms);

// The poll loop of a reply wait: processes messages and waits up to 10 ms at
// a time (returning early once the port's thread handed bytes over) until
// `ready` holds (1) or `expired` does (0). Before it gives up it processes
// messages once more and asks `ready` again, so bytes handed over in the
// last step still count.
//
// A step that took far longer than a step takes (kStoppedStepMs) means the
// process did not run: stopped by Ctrl+Z or a debugger, or the machine
// suspended. The reply may well have come meanwhile and not been handed over
// yet, and the time-out was never the module's fault, so the wait calls
// `restart` (which starts its time again) instead of expiring.
int PollMessagesUntil(const std::function<bool()>& ready, const std::function<bool()>& expired,
                      const std::function<void()>& restart);

// A poll step at least this long was not spent waiting.
constexpr std::uint32_t kStoppedStepMs = 500;
// How often one wait starts afresh after such a step.
constexpr int kMaxWaitRestarts = 8;

// A fixed pause: processes messages for the whole of `ms`, however many
// arrive.
void PauseProcessingMessages(std::uint32_t ms);

}  // namespace kv9
