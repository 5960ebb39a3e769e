#include "platform/deadline.h"

#include "platform/message_pump.h"
#include "platform/ticks.h"

namespace kv9 {

bool TicksPassed(std::uint32_t start, std::uint32_t ms) {
  // Signed: a start still ahead reads as negative time passed.
  const auto elapsed = static_cast<std::int32_t>(TickCount() - start);
  return elapsed >= 0 && static_cast<std::uint32_t>(elapsed) >= ms;
}

int PollMessagesUntil(const std::function<bool()>& ready, const std::function<bool()>& expired,
                      const std::function<void()>& restart) {
  std::uint32_t stepStart = TickCount();
  // A process stopped a few times in one wait is a person at a terminal; one
  // whose every step takes half a second is a machine that cannot keep up,
  // and its waits must still end.
  int restartsLeft = kMaxWaitRestarts;
  for (;;) {
    ProcessMessages();
    WaitMessages(10);  // returns as soon as received bytes were handed over
    if (ready()) return 1;
    ProcessMessages();
    const std::uint32_t now = TickCount();
    const bool stopped = TicksBetween(stepStart, now) >= kStoppedStepMs;
    stepStart = now;
    if (stopped && restartsLeft > 0) {
      --restartsLeft;
      restart();
      continue;
    }
    if (!expired()) continue;
    ProcessMessages();
    return ready() ? 1 : 0;
  }
}

void PauseProcessingMessages(std::uint32_t ms) {
  const std::uint32_t start = TickCount();
  for (;;) {
    const std::uint32_t passed = TicksBetween(start, TickCount());
    if (passed >= ms) return;
    WaitMessages(ms - passed);
  }
}

}  // namespace kv9
