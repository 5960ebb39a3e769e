#include <ctime>

#include "fleet/clock_text.h"

namespace kv9::fleet {

std::string IsoTimeNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  return IsoTimeText(local, local.tm_gmtoff);
}

}  // namespace kv9::fleet
