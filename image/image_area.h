#pragma once
// The flash area an image buffer describes, chosen by the CPU and ROM size
// settings. Pure.
#include <array>
#include <cstdint>

namespace kv9 {

constexpr std::uint32_t kRomEnd = 0xFFFFFFFF;
constexpr int kRomSizeCount = 19;
// The ROM size list of the settings dialog, index 0 first.
extern const char* const kRomSizeNames[kRomSizeCount];

struct ImageArea {
  std::array<char, 4> deviceCode;  // "8a02" RX231, "7505" RX630, "7n05" RX63T
  std::uint32_t romStart;          // the area always ends at 0xFFFFFFFF
};

// Sizes without a row of their own (0 to 4, "192K", "320K", anything out of
// range) fall back to the 64 KB area at 0xFFFF0000.
std::uint32_t RomStartFor(int romSizeIndex);
// CPU codes other than 6 and 7 use the RX231 code.
std::array<char, 4> DeviceCodeFor(int cpuCode);
ImageArea AreaFor(int cpuCode, int romSizeIndex);

}  // namespace kv9
