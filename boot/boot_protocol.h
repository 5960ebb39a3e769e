#pragma once
// The microcontroller's boot-mode protocol as the tool speaks it: command
// codes, the replies that count as success, the time-out of each kind of
// wait, and the texts of the boot program's status and error codes.
#include <cstdint>
#include <string>

namespace kv9 {

// A data reply is code, size (0..255), data, sum: at most 258 bytes. Every
// buffer handed to an inquiry holds at least this much.
constexpr int kInquiryBufSize = 258;
// A memory-read reply (code, size, up to 1274 data bytes, sum) fits whole.
constexpr int kReplyBufSize = 1280;
// The unit of programming and checking.
constexpr int kBlockSize = 256;

// Time-outs, one per kind of wait, in milliseconds.
constexpr std::uint32_t kBootAckTimeoutMs = 1000;     // one-byte acknowledgement
constexpr std::uint32_t kInquiryTimeoutMs = 1000;     // data reply
constexpr std::uint32_t kLockStatusTimeoutMs = 1000;  // lock-bit status byte
constexpr std::uint32_t kLoaderTimeoutMs = 1000;      // resident loader replies
constexpr std::uint32_t kMemReadTimeoutMs = 3000;     // memory-read reply
// Bit-rate matching: a settling pause, then one 0x00 byte per pause, at most
// kMatchMaxZeros of them; 0x55 must be answered within the ack time-out.
constexpr std::uint32_t kMatchStartPauseMs = 100;
constexpr std::uint32_t kMatchZeroPauseMs = 50;
constexpr int kMatchMaxZeros = 30;
// Between the new-bit-rate acknowledgement and switching the local port, so
// the boot program has re-programmed its own UART first.
constexpr std::uint32_t kNewRatePauseMs = 100;

namespace boot_cmd {
constexpr std::uint8_t kMatchZero = 0x00;
constexpr std::uint8_t kMatchConfirm = 0x55;
constexpr std::uint8_t kMatchConfirmAck = 0xE6;
constexpr std::uint8_t kDeviceSelect = 0x10;
constexpr std::uint8_t kClockModeSelect = 0x11;
constexpr std::uint8_t kSupportDevice = 0x20;
constexpr std::uint8_t kClockInfo = 0x21;
constexpr std::uint8_t kTeibaiInfo = 0x22;
constexpr std::uint8_t kGetClockInfo = 0x23;
constexpr std::uint8_t kBootAreaInfo = 0x24;
constexpr std::uint8_t kUserAreaInfo = 0x25;
constexpr std::uint8_t kEraseBlockInfo = 0x26;
constexpr std::uint8_t kWriteSizeInfo = 0x27;
constexpr std::uint8_t kDataAreaChk = 0x2A;
constexpr std::uint8_t kDataAreaInfo = 0x2B;
constexpr std::uint8_t kSelectBitRate = 0x3F;
constexpr std::uint8_t kEraseStatusSet = 0x40;
constexpr std::uint8_t kSelUserBootArea = 0x42;
constexpr std::uint8_t kSelUserArea = 0x43;
constexpr std::uint8_t kSelErase = 0x48;
constexpr std::uint8_t kUserBootSumCheck = 0x4A;
constexpr std::uint8_t kUserAreaSumCheck = 0x4B;
constexpr std::uint8_t kUserBootBlankCheck = 0x4C;
constexpr std::uint8_t kUserAreaBlankCheck = 0x4D;
constexpr std::uint8_t kBootProgInfo = 0x4F;
constexpr std::uint8_t kWrite256Bytes = 0x50;
constexpr std::uint8_t kMemRead = 0x52;
constexpr std::uint8_t kMemReadUserBoot = 0xFF;  // memory read in user-boot mode
constexpr std::uint8_t kBlockErase = 0x58;
constexpr std::uint8_t kBlockEraseAt = 0x59;
constexpr std::uint8_t kIdCheck = 0x60;
constexpr std::uint8_t kDataSumCheck = 0x61;
constexpr std::uint8_t kReadLockBitStatus = 0x71;
constexpr std::uint8_t kDisaLockBit = 0x75;
constexpr std::uint8_t kProgLockBit = 0x77;
constexpr std::uint8_t kEnLockBit = 0x7A;
constexpr std::uint8_t kLoaderRestart = 0x9D;
constexpr std::uint8_t kLoaderCrcCheck = 0x9F;
}  // namespace boot_cmd

namespace boot_reply {
constexpr std::uint8_t kAck = 0x06;
constexpr std::uint8_t kDeviceSelectAckRx231 = 0x46;
constexpr std::uint8_t kTransitionAck = 0x26;    // also the ID check's answer
constexpr std::uint8_t kIdProtected = 0x16;      // state transition: ID code needed
constexpr std::uint8_t kLockStatusError = 0xF1;  // followed by an error code
constexpr std::uint8_t kLockUnlockedBit = 0x40;
}  // namespace boot_reply

// The lengths the receivers wait for.
namespace boot_reply_length {
constexpr int kInquiryHeader = 2;    // reply code, size
constexpr int kInquiryOverhead = 3;  // reply code, size, sum around the data
constexpr int kReadHeader = 5;       // 0x52, 32-bit size
constexpr int kReadOverhead = 6;     // 0x52, 32-bit size, sum around the data
constexpr int kLoaderCrc = 3;        // 0x9F, CRC high, CRC low
// The erase-block inquiry's reply, whose size the chips send in two bytes.
constexpr int kWideInquiryHeader = 3;    // reply code, 16-bit size
constexpr int kWideInquiryOverhead = 4;  // reply code, 16-bit size, sum around the data
}  // namespace boot_reply_length

// The data-reply code of an inquiry is its command code + 0x10, except the
// data sum check (0x61 -> 0x71).
std::uint8_t InquiryReplyCode(std::uint8_t command);

// Texts of the boot program's status and error codes; "????" for others.
std::string BootStatusText(std::uint8_t status);
std::string BootErrorText(std::uint8_t error);

}  // namespace kv9
