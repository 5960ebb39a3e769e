#include "wire/crc16.h"

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

TEST(Crc16, ErasedFlashValues) {
  // 0xFF is what erased flash reads as; the values come from a reference
  // bitwise CRC-16/X-25 outside this code.
  const std::vector<std::uint8_t> four(4, 0xFF), block(256, 0xFF);
  EXPECT_EQ(kv9::Crc16(four.data(), four.size()), 0x0F47);
  EXPECT_EQ(kv9::Crc16(block.data(), block.size()), 0x0B25);
}

}  // namespace
