#pragma once
// Facts about the firmware image the tool carries that the simulated module
// also relies on: the new firmware announces its ROM version from a fixed
// place in the last 256-byte block below the loader area, so whatever image
// reached the flash decides the version the module reports after restart.
#include <cstdint>

namespace kv9 {

constexpr std::uint32_t kEmbeddedImageStart = 0xFFFC0000;
constexpr std::uint32_t kEmbeddedImageSize = 262144;
// Nine characters of ROM version text, e.g. "V2.00.00 ".
constexpr std::uint32_t kRomVersionAddress = 0xFFFFBFF0;
constexpr std::uint32_t kRomVersionLength = 9;
// First address of the top 16 KB that hold the resident loader.
constexpr std::uint32_t kLoaderAreaStart = 0xFFFFC000;
constexpr std::uint32_t kCrcEnd = 0xFFFFBFFF;

}  // namespace kv9
