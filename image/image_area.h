#pragma once
// The flash area an image buffer describes, chosen by the ROM size setting;
// it always ends at 0xFFFFFFFF. Pure.
#include <cstdint>

namespace kv9 {

constexpr std::uint32_t kRomEnd = 0xFFFFFFFF;
constexpr int kRomSizeCount = 19;
// The ROM size list of the settings dialog, index 0 first.
extern const char* const kRomSizeNames[kRomSizeCount];

// Sizes without a row of their own (0 to 4, "192K", "320K", anything out of
// range) fall back to the 64 KB area at 0xFFFF0000.
std::uint32_t RomStartFor(int romSizeIndex);

}  // namespace kv9
