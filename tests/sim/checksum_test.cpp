// The two shared checksums, on the values the module and the tool both use.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "wire/boot_sum.h"
#include "wire/frame_sum.h"

namespace {

TEST(FrameSum, RomVersionQuery) {
  const std::uint8_t f[] = {0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03};
  EXPECT_EQ(kv9::FrameSum(f, sizeof f), 0xE6);
}

TEST(FrameSum, KeepsOnlyTheLowEightBits) {
  const std::uint8_t f[] = {0x02, 0x00, 0x4E, 0x06, 0x83, 0xFF, 0x29, 0x01, 0xFA, 0x00, 0x03};
  EXPECT_EQ(kv9::FrameSum(f, sizeof f), 0xFF);  // 0x2FF
  const std::uint8_t g[] = {0x02, 0x00, 0x4F, 0x04, 0x83, 0xFE, 0x01, 0x3E, 0x03};
  EXPECT_EQ(kv9::FrameSum(g, sizeof g), 0x18);
}

TEST(BootSum, DeviceSelectFrame) {
  const std::uint8_t f[] = {0x10, 0x04, 0x38, 0x61, 0x30, 0x32};
  EXPECT_EQ(kv9::BootSum(f, sizeof f), 0xF1);
}

TEST(BootSum, FrameAndSumAddUpToZero) {
  std::vector<std::uint8_t> f = {0x3F, 0x07, 0x04, 0x80, 0x00, 0x00, 0x02, 0x02, 0x01};
  f.push_back(kv9::BootSum(f.data(), f.size()));
  unsigned total = 0;
  for (auto b : f) total += b;
  EXPECT_EQ(total % 256, 0u);
  EXPECT_EQ(f.back(), 0x31);
  const std::uint8_t zero[] = {0x00};
  EXPECT_EQ(kv9::BootSum(zero, 1), 0x00);
  EXPECT_EQ(kv9::BootSum(zero, 0), 0x00);
}

}  // namespace
