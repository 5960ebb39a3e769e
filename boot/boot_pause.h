#pragma once
// A fixed pause of the boot-mode protocol. Messages keep being processed
// (the window stays painted and received bytes reach the ring), but the
// pause always lasts its full time.
#include <cstdint>

namespace kv9 {

void BootPause(std::uint32_t ms);

}  // namespace kv9
