#pragma once
// The boot-mode programmer: from bit-rate matching to the resident loader's
// CRC, built on nothing but the link interface. The controller owns one and
// lends it its settings and buffers, whose names callers and tests read;
// its members of the same names are one-line calls of these.
//
// Every command flushes the ring, sends its frame and waits with the reply
// wait (messages keep being processed); results are 1 for success, 0
// otherwise. Inquiry buffers hold at least kInquiryBufSize bytes; memory-read
// replies land whole in the reply buffer.
#include <array>
#include <cstdint>
#include <vector>

#include "boot/boot_protocol.h"
#include "boot/cpu_profile.h"
#include "image/memory_stream.h"
#include "boot/line_link.h"
#include "platform/prog_settings.h"

namespace kv9 {

using ReplyBuffer = std::array<std::uint8_t, kReplyBufSize>;
using BlockBuffer = std::array<std::uint8_t, kBlockSize>;

// The flash area of the image and the image itself, as a run programs it.
struct FlashImage {
  TMemoryStream& stream;  // the bytes from romStart on
  std::uint32_t romStart;
  std::uint32_t romEnd;
};

// How far the last programming run got.
struct ProgramTally {
  std::uint32_t accepted = 0;  // bytes the module accepted in programming frames
  std::uint32_t passed = 0;    // bytes of the area passed (blank blocks need no frame)
  bool completed = false;      // every block and the end-of-programming frame went through
};

class BootProgrammer {
 public:
  BootProgrammer(LineLink& link, TProgSettings& settings, ReplyBuffer& reply, BlockBuffer& block,
                 std::int32_t& loaderCrc);

  // Transport (boot_transport.cpp).
  int WaitResponse(std::uint8_t expected, std::uint32_t timeoutMs);
  int RecvInquiryReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length,
                       std::uint8_t* buffer);
  int RecvReadReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length);
  int SendCmdByte(std::uint8_t command, std::uint8_t expected);
  int Inquire(std::uint8_t command, std::uint8_t expected, std::uint8_t* buffer, int& length);
  // An inquiry by its command code, answered by its own reply code.
  int InquireCode(std::uint8_t command, std::uint8_t* buffer, int& length);
  // The erase-block inquiry, whose reply carries a two-byte size (or a
  // one-byte one, when the lengths say so: EraseBlockReplyLength).
  int RecvEraseBlockReply(std::uint32_t timeoutMs, int& length, std::uint8_t* buffer);
  int InquireEraseBlocks(std::uint8_t* buffer, int& length);
  int RecvLockStatus(std::uint32_t timeoutMs, std::uint8_t& status);
  // Sends command, size, data and BootSum, then WaitResponse(expected, 1000 ms).
  int SendBootFrame(std::uint8_t command, const std::uint8_t* data, int count,
                    std::uint8_t expected);

  // Handshake (boot_handshake.cpp). The caller opens the port at 19200
  // bit/s and flushes before BitRateMatch / BootHandshake.
  int BitRateMatch();
  int DeviceSelect(const std::array<char, 4>& deviceCode);
  int SelectClockMode(std::uint8_t mode);
  // On success the local port runs at (bitRate100 x 100) bit/s.
  int SelectBitRate(std::uint16_t bitRate100, std::uint16_t inputFreq100, std::uint8_t multiplier1,
                    std::uint8_t multiplier2);
  int EraseStatusSet(std::uint8_t& status);
  int BootHandshake(const std::array<char, 4>& deviceCode);

  // ID code (flash_operations.cpp).
  int IDCheck(const std::uint8_t* idCode);
  int TryIdCode(int pieceA, std::uint8_t status);
  int TryIdCodes(int pieceA, std::uint8_t status);
  int IdCodeStep(int pieceA);

  // Single flash commands (flash_commands.cpp).
  int SelUserBootArea();
  int SelUserArea();
  // Address 0xFFFFFFFF sends the end-of-programming frame (data unused).
  int Write256Bytes(std::uint32_t address, const std::uint8_t* data);
  int SelErase();
  int BlockErase(std::uint8_t block);
  int BlockEraseAt(std::uint32_t address);
  int MemRead(std::uint8_t area, std::uint32_t address, int userBootMode, int& length,
              std::uint32_t size);
  int UserBootBlankCheck();
  int UserAreaBlankCheck();
  void LoaderRestart();
  // Reads the loader's CRC into the lent field and compares it with `imageCrc`.
  int LoaderCrcCheck(std::uint16_t imageCrc);
  // The loader's CRC alone (0x9F), neither compared nor kept.
  int ReadLoaderCrc(std::uint16_t& crc);
  int ReadLockBitStatus(std::uint32_t address, std::uint8_t& status);
  int ProgLockBit(std::uint32_t address);
  int EnLockBit();
  int DisaLockBit();

  // Erase, program and verify the user area (flash_operations.cpp).
  int EraseUserArea(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode);
  // showAddress: the current address goes to the front end's address label.
  int ProgramUserArea(const FlashImage& image, int showAddress, int userBootMode);
  int VerifyUserArea(const FlashImage& image, int showAddress, int userBootMode);
  const ProgramTally& LastProgramTally() const { return tally_; }
  // Erase frames the module acknowledged in the last EraseUserArea (the
  // frame that closes the sequence not counted): 0 means the flash is as it
  // was before, whatever the erase's outcome.
  std::uint32_t LastErasesAcknowledged() const { return erasesAcknowledged_; }

  // Reads first..last of the user area (flash_read.cpp) into `out` with the
  // memory read of the mode (0xFF in user-boot mode), a few blocks a
  // frame, each read tried up to three times; gauge and address move as in
  // the other steps. 0 with `failedAt` the address of the read that failed.
  int ReadUserArea(std::uint32_t first, std::uint32_t last, int userBootMode, std::vector<std::uint8_t>& out,
                   std::uint32_t& failedAt);

 private:
  const CpuProfile& Cpu() const { return CpuProfileFor(settings_.CpuCode); }
  int TakeReply(std::uint8_t* to, int count);
  int EraseByAddress(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode);
  int EraseByNumber(int userBootMode);
  // The next block of the image into the block buffer, 0xFF past its end;
  // the number of image bytes it holds.
  std::size_t NextBlock(TMemoryStream& stream);
  int ReadChunk(std::uint32_t address, std::uint32_t size, int userBootMode, std::uint8_t* to);
  int BlockMatches(std::uint32_t address, std::size_t held, int userBootMode);

  LineLink& link_;
  TProgSettings& settings_;
  ReplyBuffer& reply_;
  BlockBuffer& block_;
  std::int32_t& loaderCrc_;
  ProgramTally tally_;
  std::uint32_t erasesAcknowledged_ = 0;
};

}  // namespace kv9
