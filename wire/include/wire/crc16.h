#pragma once
// CRC-16/X-25 (also published as CRC-16/IBM-SDLC): reflected polynomial
// 0x8408, initial value 0xFFFF, final XOR 0xFFFF. The module's resident
// loader reports this CRC over its flash; the tool compares it with the
// same CRC over the image buffer.
#include <cstddef>
#include <cstdint>

namespace kv9 {

// Pure; safe from any thread. Check value: Crc16("123456789", 9) == 0x906E.
std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count);

// Continues a running CRC so a large area can be summed in pieces. Start with
// kCrc16Init, feed every piece, then finish with Crc16Final.
constexpr std::uint16_t kCrc16Init = 0xFFFF;
std::uint16_t Crc16Update(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count);
constexpr std::uint16_t Crc16Final(std::uint16_t crc) { return static_cast<std::uint16_t>(crc ^ 0xFFFF); }

}  // namespace kv9
