#pragma once
// The words a module renews when its EEPROM is initialised (25, 31 and
// 39..61) with the values kv9sim's firmware renews them to, written out so
// that no test works out its expectation with the tool's own code.
#include <cstdint>
#include <utility>

namespace kv9::test {

inline constexpr std::pair<int, std::uint16_t> kRenewedEepromWords[] = {
    {25, 0x0064}, {31, 0x0003}, {39, 0x3727}, {40, 0x00FA}, {41, 0x3929}, {42, 0x3A2A},
    {43, 0x3B2B}, {44, 0x3C2C}, {45, 0x3D2D}, {46, 0x3E2E}, {47, 0x3F2F}, {48, 0x4030},
    {49, 0x4131}, {50, 0x4232}, {51, 0x4333}, {52, 0x4434}, {53, 0x4535}, {54, 0x4636},
    {55, 0x4737}, {56, 0x4838}, {57, 0x4939}, {58, 0x4A3A}, {59, 0x4B3B}, {60, 0x4C3C},
    {61, 0x4D3D},
};

// `image` (124 bytes, words low byte first) with the renewed words put in.
template <typename Image>
Image WithRenewedWords(Image image) {
  for (const auto& [word, value] : kRenewedEepromWords) {
    image[2 * word] = static_cast<std::uint8_t>(value & 0xFF);
    image[2 * word + 1] = static_cast<std::uint8_t>(value >> 8);
  }
  return image;
}

}  // namespace kv9::test
