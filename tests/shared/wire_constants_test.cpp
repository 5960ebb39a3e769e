// The constants both ends of the line must agree on, pinned to their literal
// values. The simulated module shares the ID code table and the checksum with
// the tool, so a corrupted constant would pass every run against it while a
// real module refused it. BootSum, the module frames and the boot-mode
// access code are pinned byte by byte in the boot and link tests.
#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "boot/boot_protocol.h"
#include "wire/id_code_table.h"

namespace kv9 {
namespace {

std::string Text(const std::array<std::uint8_t, kIdCodeLength>& code) { return {code.begin(), code.end()}; }

TEST(WireConstants, IdCodePiecesAreTheProductValues) {
  EXPECT_EQ(Text(IdCodePiece(true)), "KV9Q508-RXBOOT-A");
  EXPECT_EQ(Text(IdCodePiece(false)), "#kv9q508+rxbootB");
  EXPECT_STREQ(IdCodeTable, "KV9Q508-RXBOOT-A#kv9q508+rxbootB!");
}

TEST(WireConstants, BootCommandAndReplyCodes) {
  using namespace boot_cmd;
  using namespace boot_reply;
  const std::uint8_t codes[] = {
      kMatchZero, kMatchConfirm, kMatchConfirmAck, kDeviceSelect, kClockModeSelect, kSupportDevice, kClockInfo,
      kTeibaiInfo, kGetClockInfo, kBootAreaInfo, kUserAreaInfo, kWriteSizeInfo, kDataAreaChk, kDataAreaInfo,
      kSelectBitRate, kEraseStatusSet, kSelUserBootArea, kSelUserArea, kSelErase, kUserBootSumCheck,
      kUserAreaSumCheck, kUserBootBlankCheck, kUserAreaBlankCheck, kBootProgInfo, kWrite256Bytes, kMemRead,
      kMemReadUserBoot, kBlockErase, kBlockEraseAt, kIdCheck, kDataSumCheck, kReadLockBitStatus, kDisaLockBit,
      kProgLockBit, kEnLockBit, kLoaderRestart, kLoaderCrcCheck, kAck, kDeviceSelectAckRx231, kTransitionAck,
      kIdProtected};
  const std::vector<std::uint8_t> literal = {
      0x00, 0x55, 0xE6, 0x10, 0x11, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x27, 0x2A, 0x2B,
      0x3F, 0x40, 0x42, 0x43, 0x48, 0x4A, 0x4B, 0x4C, 0x4D, 0x4F, 0x50, 0x52, 0xFF, 0x58,
      0x59, 0x60, 0x61, 0x71, 0x75, 0x77, 0x7A, 0x9D, 0x9F, 0x06, 0x46, 0x26, 0x16};
  EXPECT_EQ(std::vector<std::uint8_t>(std::begin(codes), std::end(codes)), literal);
}

}  // namespace
}  // namespace kv9
