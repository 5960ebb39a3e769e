// The single boot commands of the flash steps and the command menu: area
// selection, programming and erase frames, memory read, blank checks, lock
// bits, and the resident loader's restart and CRC.
#include <algorithm>

#include "boot/boot_frames.h"
#include "boot/boot_programmer.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kEndAddress = 0xFFFFFFFF;

// Lock-bit frames carry address bits 23..0 after a fixed area byte.
std::array<std::uint8_t, 4> LockBitData(std::uint32_t address) {
  return {0x01, static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
          static_cast<std::uint8_t>(address)};
}

}  // namespace

int BootProgrammer::SelUserBootArea() {
  return SendCmdByte(boot_cmd::kSelUserBootArea, boot_reply::kAck);
}

int BootProgrammer::SelUserArea() { return SendCmdByte(boot_cmd::kSelUserArea, boot_reply::kAck); }

int BootProgrammer::Write256Bytes(std::uint32_t address, const std::uint8_t* data) {
  link_.RxFlush();
  const BootFrame frame =
      address == kEndAddress ? EndOfProgramFrame() : ProgramFrame(address, data);
  link_.SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
  return WaitResponse(boot_reply::kAck, kBootAckTimeoutMs);
}

int BootProgrammer::SelErase() { return SendCmdByte(boot_cmd::kSelErase, boot_reply::kAck); }

int BootProgrammer::BlockErase(std::uint8_t block) {
  return SendBootFrame(boot_cmd::kBlockErase, &block, 1, boot_reply::kAck);
}

int BootProgrammer::BlockEraseAt(std::uint32_t address) {
  const auto a = Be32Bytes(address);
  return SendBootFrame(boot_cmd::kBlockEraseAt, a.data(), 4, boot_reply::kAck);
}

int BootProgrammer::MemRead(std::uint8_t area, std::uint32_t address, int userBootMode, int& length,
                            std::uint32_t size) {
  link_.RxFlush();
  std::uint8_t data[9];
  data[0] = area;
  const auto a = Be32Bytes(address);
  const auto n = Be32Bytes(size);
  std::copy(a.begin(), a.end(), data + 1);
  std::copy(n.begin(), n.end(), data + 5);
  const BootFrame frame = BootDataFrame(
      userBootMode ? boot_cmd::kMemReadUserBoot : boot_cmd::kMemRead, data, sizeof data);
  link_.SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
  return RecvReadReply(boot_cmd::kMemRead, kMemReadTimeoutMs, length);
}

int BootProgrammer::UserBootBlankCheck() {
  return SendCmdByte(boot_cmd::kUserBootBlankCheck, boot_reply::kAck);
}

int BootProgrammer::UserAreaBlankCheck() {
  return SendCmdByte(boot_cmd::kUserAreaBlankCheck, boot_reply::kAck);
}

void BootProgrammer::LoaderRestart() {
  link_.RxFlush();
  const std::uint8_t command = boot_cmd::kLoaderRestart;
  link_.SendBytes(&command, 1, 1);
  // The loader restarts whatever it answers; nothing depends on the echo.
  WaitResponse(boot_cmd::kLoaderRestart, kLoaderTimeoutMs);
}

int BootProgrammer::LoaderCrcCheck(std::uint16_t imageCrc) {
  std::uint16_t crc = 0;
  if (!ReadLoaderCrc(crc)) return 0;
  loaderCrc_ = crc;
  link_.AddLog("CRC Data: 0x" + Hex4(crc), 0);
  return crc == imageCrc ? 1 : 0;
}

int BootProgrammer::ReadLockBitStatus(std::uint32_t address, std::uint8_t& status) {
  link_.RxFlush();
  const auto data = LockBitData(address);
  const BootFrame frame = BootDataFrame(boot_cmd::kReadLockBitStatus, data.data(), data.size());
  link_.SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
  return RecvLockStatus(kLockStatusTimeoutMs, status);
}

int BootProgrammer::ProgLockBit(std::uint32_t address) {
  const auto data = LockBitData(address);
  return SendBootFrame(boot_cmd::kProgLockBit, data.data(), static_cast<int>(data.size()),
                       boot_reply::kAck);
}

int BootProgrammer::EnLockBit() { return SendCmdByte(boot_cmd::kEnLockBit, boot_reply::kAck); }

int BootProgrammer::DisaLockBit() { return SendCmdByte(boot_cmd::kDisaLockBit, boot_reply::kAck); }

}  // namespace kv9
