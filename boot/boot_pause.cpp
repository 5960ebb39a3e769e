#include "boot/boot_pause.h"

#include "platform/message_pump.h"
#include "platform/ticks.h"

namespace kv9 {

void BootPause(std::uint32_t ms) {
  const std::uint32_t start = TickCount();
  for (;;) {
    const std::uint32_t passed = TicksBetween(start, TickCount());
    if (passed >= ms) return;
    WaitMessages(ms - passed);
  }
}

}  // namespace kv9
