#include "boot/boot_pause.h"

#include "platform/deadline.h"

namespace kv9 {

void BootPause(std::uint32_t ms) { PauseProcessingMessages(ms); }

}  // namespace kv9
