#include <windows.h>
// After windows.h, whose types it uses.
#include <timeapi.h>

#include "platform/ticks.h"

namespace kv9 {

// The request lasts until the program ends, as the tool needs it throughout;
// Windows drops it with the process.
void RaiseTimerResolution() { ::timeBeginPeriod(1); }

}  // namespace kv9
