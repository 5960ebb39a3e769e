// The inquiries and lock-bit commands of the command menu.
#include "boot/boot_frames.h"
#include "boot/boot_protocol.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9 {
namespace {

// Lock-bit frames carry address bits 23..0 after a fixed area byte.
std::array<std::uint8_t, 4> LockBitData(std::uint32_t address) {
  return {0x01, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address)};
}

}  // namespace

#define KV9_BOOT_INQUIRY(Name, code)                                               \
  int TFlashWrRXCont::Name(std::uint8_t* buffer, int& length) {                    \
    return Inquire(boot_cmd::code, InquiryReplyCode(boot_cmd::code), buffer, length); \
  }

KV9_BOOT_INQUIRY(SupportDevice, kSupportDevice)
KV9_BOOT_INQUIRY(ClockInfo, kClockInfo)
KV9_BOOT_INQUIRY(TeibaiInfo, kTeibaiInfo)
KV9_BOOT_INQUIRY(GetClockInfo, kGetClockInfo)
KV9_BOOT_INQUIRY(BootAreaInfo, kBootAreaInfo)
KV9_BOOT_INQUIRY(UserAreaInfo, kUserAreaInfo)
KV9_BOOT_INQUIRY(EraseBlockInfo, kEraseBlockInfo)
KV9_BOOT_INQUIRY(WriteSizeInfo, kWriteSizeInfo)
KV9_BOOT_INQUIRY(DataAreaChk, kDataAreaChk)
KV9_BOOT_INQUIRY(DataAreaInfo, kDataAreaInfo)
KV9_BOOT_INQUIRY(BootProgInfo, kBootProgInfo)
KV9_BOOT_INQUIRY(UserBootSumCheck, kUserBootSumCheck)
KV9_BOOT_INQUIRY(UserAreaSumCheck, kUserAreaSumCheck)
KV9_BOOT_INQUIRY(DataSumCheck, kDataSumCheck)

#undef KV9_BOOT_INQUIRY

int TFlashWrRXCont::ReadLockBitStatus(std::uint32_t address, std::uint8_t& status) {
  RxFlush();
  const auto data = LockBitData(address);
  const BootFrame frame = BootDataFrame(boot_cmd::kReadLockBitStatus, data.data(), data.size());
  SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
  return RecvLockStatus(kLockStatusTimeoutMs, status);
}

int TFlashWrRXCont::ProgLockBit(std::uint32_t address) {
  const auto data = LockBitData(address);
  return SendBootFrame(boot_cmd::kProgLockBit, data.data(), static_cast<int>(data.size()), boot_reply::kAck);
}

int TFlashWrRXCont::EnLockBit() { return SendCmdByte(boot_cmd::kEnLockBit, boot_reply::kAck); }

int TFlashWrRXCont::DisaLockBit() { return SendCmdByte(boot_cmd::kDisaLockBit, boot_reply::kAck); }

}  // namespace kv9
