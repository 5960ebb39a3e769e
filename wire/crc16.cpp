#include "wire/crc16.h"

#include <array>

namespace kv9 {
namespace {

constexpr std::array<std::uint16_t, 256> MakeTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    std::uint16_t crc = static_cast<std::uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) {
      crc = (crc & 1) ? static_cast<std::uint16_t>((crc >> 1) ^ 0x8408) : static_cast<std::uint16_t>(crc >> 1);
    }
    table[i] = crc;
  }
  return table;
}

constexpr auto kTable = MakeTable();

}  // namespace

std::uint16_t Crc16Update(std::uint16_t crc, const std::uint8_t* bytes, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    crc = static_cast<std::uint16_t>(kTable[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8));
  }
  return crc;
}

std::uint16_t Crc16(const std::uint8_t* bytes, std::size_t count) {
  return Crc16Final(Crc16Update(kCrc16Init, bytes, count));
}

}  // namespace kv9
