#include <ctime>

#include "fleet/clock_text.h"

namespace kv9::fleet {

std::string IsoTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_s(&local, &now);
  // The local fields read as if they were UTC, less the real UTC time, is
  // the zone's offset with summer time included.
  std::tm asUtc = local;
  const long offset = static_cast<long>(::_mkgmtime(&asUtc) - now);
  return IsoTimeText(local, offset);
}

}  // namespace kv9::fleet
