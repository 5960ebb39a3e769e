#pragma once
// The bit rates the module's own firmware talks at, and the write-speed list
// that offers them (index 0 to 3). Discovery, the update's rate retry and the
// terminal front end all read them from here. Pure.
#include <array>
#include <cstdint>

namespace kv9 {

// In the order of the write-speed list.
constexpr std::array<std::int32_t, 4> kModuleRates = {9600, 19200, 38400, 115200};
constexpr std::array<const char*, 4> kModuleRateTexts = {"9600bps", "19.2kbps", "38.4kbps",
                                                         "115.2kbps"};
// The order a search of a single chosen port tries them: the module's usual
// rates first.
constexpr std::array<std::int32_t, 4> kSinglePortRateOrder = {19200, 38400, 9600, 115200};
// The rate the list preselects for a setting it does not offer.
constexpr std::int32_t kDefaultModuleRate = 19200;

// The list index of `rate`, or -1 when the list does not offer it.
constexpr int ModuleRateIndex(std::int32_t rate) {
  for (std::size_t i = 0; i < kModuleRates.size(); ++i) {
    if (kModuleRates[i] == rate) return static_cast<int>(i);
  }
  return -1;
}

constexpr bool IsModuleRate(std::int32_t rate) { return ModuleRateIndex(rate) >= 0; }

// The rate at a list index; an index outside the list takes the last rate.
constexpr std::int32_t ModuleRateAt(int index) {
  return index >= 0 && index < static_cast<int>(kModuleRates.size())
             ? kModuleRates[static_cast<std::size_t>(index)]
             : kModuleRates.back();
}

// The list's text of a rate it offers ("19.2kbps"); "" for any other.
constexpr const char* ModuleRateText(std::int32_t rate) {
  const int index = ModuleRateIndex(rate);
  return index >= 0 ? kModuleRateTexts[static_cast<std::size_t>(index)] : "";
}

}  // namespace kv9
