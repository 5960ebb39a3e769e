// The controller's boot-mode members: each is the BootProgrammer's
// operation of the same name, given the controller's device code and image
// where it needs them.
#include "link/flash_wr_rx_cont.h"

namespace kv9 {

int TFlashWrRXCont::WaitResponse(std::uint8_t expected, std::uint32_t timeoutMs) {
  return boot_.WaitResponse(expected, timeoutMs);
}

int TFlashWrRXCont::RecvInquiryReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length,
                                     std::uint8_t* buffer) {
  return boot_.RecvInquiryReply(expected, timeoutMs, length, buffer);
}

int TFlashWrRXCont::RecvReadReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length) {
  return boot_.RecvReadReply(expected, timeoutMs, length);
}

int TFlashWrRXCont::SendCmdByte(std::uint8_t command, std::uint8_t expected) {
  return boot_.SendCmdByte(command, expected);
}

int TFlashWrRXCont::Inquire(std::uint8_t command, std::uint8_t expected, std::uint8_t* buffer,
                            int& length) {
  return boot_.Inquire(command, expected, buffer, length);
}

int TFlashWrRXCont::RecvLockStatus(std::uint32_t timeoutMs, std::uint8_t& status) {
  return boot_.RecvLockStatus(timeoutMs, status);
}

int TFlashWrRXCont::BitRateMatch() { return boot_.BitRateMatch(); }

int TFlashWrRXCont::DeviceSelect(const std::array<char, 4>& deviceCode) {
  return boot_.DeviceSelect(deviceCode);
}

int TFlashWrRXCont::SelectClockMode(std::uint8_t mode) { return boot_.SelectClockMode(mode); }

int TFlashWrRXCont::SelectBitRate(std::uint16_t bitRate100, std::uint16_t inputFreq100,
                                  std::uint8_t multiplier1, std::uint8_t multiplier2) {
  return boot_.SelectBitRate(bitRate100, inputFreq100, multiplier1, multiplier2);
}

int TFlashWrRXCont::EraseStatusSet(std::uint8_t& status) { return boot_.EraseStatusSet(status); }

int TFlashWrRXCont::BootHandshake() { return boot_.BootHandshake(DeviceCode); }

int TFlashWrRXCont::IDCheck(const std::uint8_t* idCode) { return boot_.IDCheck(idCode); }

int TFlashWrRXCont::IdCodeStep(int pieceA) { return boot_.IdCodeStep(pieceA); }

int TFlashWrRXCont::SelUserBootArea() { return boot_.SelUserBootArea(); }

int TFlashWrRXCont::SelUserArea() { return boot_.SelUserArea(); }

int TFlashWrRXCont::Write256Bytes(std::uint32_t address, const std::uint8_t* data) {
  return boot_.Write256Bytes(address, data);
}

int TFlashWrRXCont::SelErase() { return boot_.SelErase(); }

int TFlashWrRXCont::BlockErase(std::uint8_t block) { return boot_.BlockErase(block); }

int TFlashWrRXCont::MemRead(std::uint8_t area, std::uint32_t address, int userBootMode, int& length,
                            std::uint32_t size) {
  return boot_.MemRead(area, address, userBootMode, length, size);
}

int TFlashWrRXCont::UserBootBlankCheck() { return boot_.UserBootBlankCheck(); }

int TFlashWrRXCont::UserAreaBlankCheck() { return boot_.UserAreaBlankCheck(); }

int TFlashWrRXCont::EraseUserArea(int userBootMode) {
  return boot_.EraseUserArea(RomStart, RomEnd, userBootMode);
}

int TFlashWrRXCont::ProgramUserArea(int showAddress, int userBootMode) {
  return boot_.ProgramUserArea({ImageStream, RomStart, RomEnd}, showAddress, userBootMode);
}

int TFlashWrRXCont::VerifyUserArea(int showAddress, int userBootMode) {
  return boot_.VerifyUserArea({ImageStream, RomStart, RomEnd}, showAddress, userBootMode);
}

void TFlashWrRXCont::LoaderRestart() { boot_.LoaderRestart(); }

int TFlashWrRXCont::LoaderCrcCheck() { return boot_.LoaderCrcCheck(ImageCrc()); }

int TFlashWrRXCont::ReadLoaderCrc(std::uint16_t& crc) { return boot_.ReadLoaderCrc(crc); }

int TFlashWrRXCont::ReadUserArea(std::uint32_t first, std::uint32_t last, int userBootMode,
                                 std::vector<std::uint8_t>& out, std::uint32_t& failedAt) {
  return boot_.ReadUserArea(first, last, userBootMode, out, failedAt);
}

int TFlashWrRXCont::SupportDevice(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kSupportDevice, buffer, length);
}

int TFlashWrRXCont::ClockInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kClockInfo, buffer, length);
}

int TFlashWrRXCont::TeibaiInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kTeibaiInfo, buffer, length);
}

int TFlashWrRXCont::GetClockInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kGetClockInfo, buffer, length);
}

int TFlashWrRXCont::BootAreaInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kBootAreaInfo, buffer, length);
}

int TFlashWrRXCont::UserAreaInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kUserAreaInfo, buffer, length);
}

int TFlashWrRXCont::EraseBlockInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireEraseBlocks(buffer, length);
}

int TFlashWrRXCont::WriteSizeInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kWriteSizeInfo, buffer, length);
}

int TFlashWrRXCont::DataAreaChk(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kDataAreaChk, buffer, length);
}

int TFlashWrRXCont::DataAreaInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kDataAreaInfo, buffer, length);
}

int TFlashWrRXCont::BootProgInfo(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kBootProgInfo, buffer, length);
}

int TFlashWrRXCont::UserBootSumCheck(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kUserBootSumCheck, buffer, length);
}

int TFlashWrRXCont::UserAreaSumCheck(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kUserAreaSumCheck, buffer, length);
}

int TFlashWrRXCont::DataSumCheck(std::uint8_t* buffer, int& length) {
  return boot_.InquireCode(boot_cmd::kDataSumCheck, buffer, length);
}

int TFlashWrRXCont::ReadLockBitStatus(std::uint32_t address, std::uint8_t& status) {
  return boot_.ReadLockBitStatus(address, status);
}

int TFlashWrRXCont::ProgLockBit(std::uint32_t address) { return boot_.ProgLockBit(address); }

int TFlashWrRXCont::EnLockBit() { return boot_.EnLockBit(); }

int TFlashWrRXCont::DisaLockBit() { return boot_.DisaLockBit(); }

}  // namespace kv9
