#include "platform/ticks.h"

namespace kv9 {

// Linux timers already resolve a millisecond.
void RaiseTimerResolution() {}

}  // namespace kv9
