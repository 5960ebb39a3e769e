#include "link/settings_conversions.h"

#include <cmath>
#include <limits>

namespace kv9 {

std::int32_t CpuCodeOfEntry(int entry) {
  switch (entry) {
    case 0: return 6;
    case 1: return 7;
    default: return 5;
  }
}

int CpuEntryOfCode(std::int32_t cpuCode) {
  switch (cpuCode) {
    case 6: return 0;
    case 7: return 1;
    default: return 2;
  }
}

std::int32_t TruncToInt32(double value) {
  using Limits = std::numeric_limits<std::int32_t>;
  if (std::isnan(value)) return 0;
  const double whole = std::trunc(value);
  // Converting a double outside the target range is undefined; clamp first.
  if (whole >= static_cast<double>(Limits::max())) return Limits::max();
  if (whole <= static_cast<double>(Limits::min())) return Limits::min();
  return static_cast<std::int32_t>(whole);
}

std::uint8_t MultiplierOf(double value) {
  // Two's complement low byte, also for negative numbers.
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(TruncToInt32(value)) & 0xFFu);
}

}  // namespace kv9
