#include "window/settings_conversions.h"

#include <cmath>
#include <limits>
#include <type_traits>

#include "boot/cpu_profile.h"

namespace kv9 {

static_assert(std::tuple_size_v<std::remove_cvref_t<decltype(CpuProfiles())>> == kCpuEntryCount);

// The dialog lists the CPU table's rows in its order; the last is the RX231,
// the tool's default.
std::int32_t CpuCodeOfEntry(int entry) {
  const auto& rows = CpuProfiles();
  if (entry < 0 || entry >= kCpuEntryCount) return kDefaultCpuCode;
  return rows[static_cast<std::size_t>(entry)].code;
}

int CpuEntryOfCode(std::int32_t cpuCode) {
  const auto& rows = CpuProfiles();
  const CpuProfile& row = CpuProfileFor(cpuCode);
  for (int i = 0; i < kCpuEntryCount; ++i) {
    if (&rows[static_cast<std::size_t>(i)] == &row) return i;
  }
  return kCpuEntryCount - 1;
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
