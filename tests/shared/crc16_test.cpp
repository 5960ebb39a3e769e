#include "image/crc16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(Crc16, PublishedCheckValueOfX25) {
  const std::string text = "123456789";
  EXPECT_EQ(kv9::Crc16(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), 0x906E);
}

TEST(Crc16, EmptyInputIsInitXorFinal) { EXPECT_EQ(kv9::Crc16(nullptr, 0), 0x0000); }

TEST(Crc16, PiecewiseUpdateEqualsOneShot) {
  std::vector<std::uint8_t> data(1000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  std::uint16_t crc = kv9::kCrc16Init;
  crc = kv9::Crc16Update(crc, data.data(), 333);
  crc = kv9::Crc16Update(crc, data.data() + 333, data.size() - 333);
  EXPECT_EQ(kv9::Crc16Final(crc), kv9::Crc16(data.data(), data.size()));
}

TEST(Crc16, KnownVectorsOfAllFF) {
  // 0xFF bytes are what erased flash reads as; a reference bitwise CRC gives this value.
  std::vector<std::uint8_t> ff(4, 0xFF);
  std::uint16_t crc = 0xFFFF;
  for (auto b : ff) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0x8408 : crc >> 1;
  }
  EXPECT_EQ(kv9::Crc16(ff.data(), ff.size()), static_cast<std::uint16_t>(crc ^ 0xFFFF));
}

}  // namespace
