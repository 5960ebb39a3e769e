// The constants both ends of the line must agree on, pinned to their literal
// values. The simulated module shares the ID code table and the checksum with
// the tool, so a corrupted constant would pass every run against it while a
// real module refused it. The module frames and the boot-mode access code
// are pinned byte by byte in the link tests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "boot/boot_protocol.h"
#include "boot/boot_sum.h"
#include "boot/id_code_table.h"

namespace kv9 {
namespace {

std::string Text(const std::array<std::uint8_t, kIdCodeLength>& code) { return {code.begin(), code.end()}; }

TEST(WireConstants, IdCodePiecesAreTheProductValues) {
  EXPECT_EQ(Text(IdCodePiece(true)), "KV9Q508-RXBOOT-A");
  EXPECT_EQ(Text(IdCodePiece(false)), "#kv9q508+rxbootB");
  EXPECT_STREQ(IdCodeTable, "KV9Q508-RXBOOT-A#kv9q508+rxbootB!");
}

TEST(WireConstants, BootSumMakesTheFrameAddUpToZero) {
  const std::uint8_t frame[] = {0x10, 0x04, 0x38, 0x61, 0x30, 0x32};
  EXPECT_EQ(BootSum(frame, sizeof frame), 0xF1);
  EXPECT_EQ(BootSum(frame, 0), 0x00);
}

TEST(WireConstants, BootCommandAndReplyCodes) {
  using namespace boot_cmd;
  const std::vector<std::pair<std::uint8_t, int>> codes = {
      {kMatchZero, 0x00},         {kMatchConfirm, 0x55},       {kMatchConfirmAck, 0xE6},
      {kDeviceSelect, 0x10},      {kClockModeSelect, 0x11},    {kSupportDevice, 0x20},
      {kClockInfo, 0x21},         {kTeibaiInfo, 0x22},         {kGetClockInfo, 0x23},
      {kBootAreaInfo, 0x24},      {kUserAreaInfo, 0x25},       {kWriteSizeInfo, 0x27},
      {kDataAreaChk, 0x2A},       {kDataAreaInfo, 0x2B},       {kSelectBitRate, 0x3F},
      {kEraseStatusSet, 0x40},    {kSelUserBootArea, 0x42},    {kSelUserArea, 0x43},
      {kSelErase, 0x48},          {kUserBootSumCheck, 0x4A},   {kUserAreaSumCheck, 0x4B},
      {kUserBootBlankCheck, 0x4C}, {kUserAreaBlankCheck, 0x4D}, {kBootProgInfo, 0x4F},
      {kWrite256Bytes, 0x50},     {kMemRead, 0x52},            {kMemReadUserBoot, 0xFF},
      {kBlockErase, 0x58},        {kBlockEraseAt, 0x59},       {kIdCheck, 0x60},
      {kDataSumCheck, 0x61},      {kReadLockBitStatus, 0x71},  {kDisaLockBit, 0x75},
      {kProgLockBit, 0x77},       {kEnLockBit, 0x7A},          {kLoaderRestart, 0x9D},
      {kLoaderCrcCheck, 0x9F},
      {boot_reply::kAck, 0x06},   {boot_reply::kDeviceSelectAckRx231, 0x46},
      {boot_reply::kTransitionAck, 0x26}, {boot_reply::kIdProtected, 0x16}};
  for (std::size_t i = 0; i < codes.size(); ++i) EXPECT_EQ(codes[i].first, codes[i].second) << "entry " << i;
}

}  // namespace
}  // namespace kv9
