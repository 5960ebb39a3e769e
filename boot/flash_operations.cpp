// ID code check, erasure, programming and checking of the user area, built
// from the single boot commands. Every step logs its own OK/NG debug line
// and reports progress through the front end (gauge, address label).
#include "boot/flash_operations.h"

#include <algorithm>

#include "boot/boot_frames.h"
#include "boot/boot_protocol.h"
#include "wire/id_code_table.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kUserBootReserve = 0x4000;  // top 16 KB kept in user-boot mode
constexpr std::uint32_t kRx231EraseBlock = 2048;
constexpr std::uint32_t kRx231TopBlock = 0xFFFFF800;
constexpr std::uint8_t kFirstNumberedBlock = 0;
constexpr std::uint8_t kFirstNumberedBlockUserBoot = 4;
constexpr std::uint8_t kLastNumberedBlock = 29;
constexpr std::uint8_t kEraseEndBlock = 0xFF;
constexpr std::uint32_t kEndAddress = 0xFFFFFFFF;
constexpr int kVerifyAttempts = 3;
constexpr std::uint8_t kUserArea = 1;  // memory-read area of the user flash

}  // namespace

bool BlockHasData(const std::uint8_t* bytes, int count) {
  for (int i = 0; i < count; ++i) {
    if (bytes[i] != 0xFF) return true;
  }
  return false;
}

int GaugePercent(std::uint32_t done, std::uint32_t total) {
  if (total == 0) return 0;
  return static_cast<int>(static_cast<std::uint64_t>(done) * 100u / total);
}

std::uint32_t ProgramBlockCount(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode) {
  std::uint64_t bytes = std::uint64_t{romEnd} - romStart + 1;
  if (userBootMode) bytes = bytes > kUserBootReserve ? bytes - kUserBootReserve : 0;
  return static_cast<std::uint32_t>(bytes / kBlockSize);
}

AddressEraseRange Rx231EraseRange(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode) {
  AddressEraseRange r{(romEnd - romStart) / kRx231EraseBlock + 1, kRx231TopBlock};
  if (userBootMode) {
    r.count = r.count > 8 ? r.count - 8 : 0;
    r.first = kRx231TopBlock - 8 * kRx231EraseBlock;
  }
  return r;
}

// --- single commands ---

int TFlashWrRXCont::IDCheck(const std::uint8_t* idCode) {
  const std::uint8_t ack = Settings.CpuCode == kCpuRx231 ? boot_reply::kAck : boot_reply::kTransitionAck;
  return SendBootFrame(boot_cmd::kIdCheck, idCode, static_cast<int>(kIdCodeLength), ack);
}

int TFlashWrRXCont::SelUserBootArea() { return SendCmdByte(boot_cmd::kSelUserBootArea, boot_reply::kAck); }

int TFlashWrRXCont::SelUserArea() { return SendCmdByte(boot_cmd::kSelUserArea, boot_reply::kAck); }

int TFlashWrRXCont::Write256Bytes(std::uint32_t address, const std::uint8_t* data) {
  RxFlush();
  const BootFrame frame = address == kEndAddress ? EndOfProgramFrame() : ProgramFrame(address, data);
  SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
  return WaitResponse(boot_reply::kAck, kBootAckTimeoutMs);
}

int TFlashWrRXCont::SelErase() { return SendCmdByte(boot_cmd::kSelErase, boot_reply::kAck); }

int TFlashWrRXCont::BlockErase(std::uint8_t block) {
  return SendBootFrame(boot_cmd::kBlockErase, &block, 1, boot_reply::kAck);
}

int TFlashWrRXCont::BlockEraseAt(std::uint32_t address) {
  const auto a = Be32Bytes(address);
  return SendBootFrame(boot_cmd::kBlockEraseAt, a.data(), 4, boot_reply::kAck);
}

int TFlashWrRXCont::MemRead(std::uint8_t area, std::uint32_t address, int userBootMode, int& length,
                            std::uint32_t size) {
  RxFlush();
  std::uint8_t data[9];
  data[0] = area;
  const auto a = Be32Bytes(address);
  const auto n = Be32Bytes(size);
  std::copy(a.begin(), a.end(), data + 1);
  std::copy(n.begin(), n.end(), data + 5);
  const BootFrame frame =
      BootDataFrame(userBootMode ? boot_cmd::kMemReadUserBoot : boot_cmd::kMemRead, data, sizeof data);
  SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
  return RecvReadReply(boot_cmd::kMemRead, kMemReadTimeoutMs, length);
}

int TFlashWrRXCont::UserBootBlankCheck() { return SendCmdByte(boot_cmd::kUserBootBlankCheck, boot_reply::kAck); }

int TFlashWrRXCont::UserAreaBlankCheck() { return SendCmdByte(boot_cmd::kUserAreaBlankCheck, boot_reply::kAck); }

void TFlashWrRXCont::LoaderRestart() {
  RxFlush();
  const std::uint8_t command = boot_cmd::kLoaderRestart;
  SendBytes(&command, 1, 1);
  // The loader restarts whatever it answers; nothing depends on the echo.
  WaitResponse(boot_cmd::kLoaderRestart, kLoaderTimeoutMs);
}

int TFlashWrRXCont::LoaderCrcCheck() {
  RxFlush();
  const std::uint8_t command = boot_cmd::kLoaderCrcCheck;
  SendBytes(&command, 1, 1);
  if (!WaitRxCount(kLoaderTimeoutMs, 3)) return 0;
  if (RxByte() != boot_cmd::kLoaderCrcCheck) return 0;
  const std::uint8_t high = RxByte();
  const std::uint8_t low = RxByte();
  const std::uint16_t crc = static_cast<std::uint16_t>((high << 8) | low);
  LoaderCrc = crc;
  AddLog("CRC Data: 0x" + Hex4(crc), 0);
  return crc == ImageCrc() ? 1 : 0;
}

// --- ID code ---

int TFlashWrRXCont::TryIdCode(int pieceA, std::uint8_t status) {
  if (status != boot_reply::kIdProtected) return 1;
  // The code exists only while it is being sent.
  const auto code = IdCodePiece(pieceA != 0);
  return IDCheck(code.data());
}

int TFlashWrRXCont::TryIdCodes(int pieceA, std::uint8_t status) {
  if (TryIdCode(pieceA, status)) return 1;
  return TryIdCode(pieceA ? 0 : 1, status);
}

int TFlashWrRXCont::IdCodeStep(int pieceA) {
  std::uint8_t status = 0;
  int ok = EraseStatusSet(status);
  if (ok && status == boot_reply::kIdProtected) ok = TryIdCodes(pieceA, status);
  if (!ok) AddLog("NG: ID コードチェック", 0);
  return ok;
}

// --- erase, program, verify ---

int TFlashWrRXCont::EraseUserArea(int userBootMode) {
  LinkUi* ui = Owner();
  if (ui) ui->SetGauge(0);
  if (UserAreaBlankCheck()) {
    AddLog("User ROM : BLANK", 0);
    return 1;
  }
  AddLog("User ROM : NO BLANK", 0);
  if (!SelErase()) {
    AddLog("NG: 消去選択", 0);
    return 0;
  }
  int ok = 1;
  if (Settings.CpuCode == kCpuRx231) {
    const AddressEraseRange range = Rx231EraseRange(RomStart, RomEnd, userBootMode);
    std::uint32_t address = range.first;
    for (std::uint32_t i = 0; i < range.count; ++i) {
      if (!BlockEraseAt(address)) {
        AddLog(std::to_string(i) + "Erase 失敗 : 0x" + Hex8(address), 0);
        ok = 0;
        break;
      }
      address -= kRx231EraseBlock;
      if (ui) ui->SetGauge(GaugePercent(i + 1, range.count));
    }
    BlockEraseAt(RomEnd);  // closes the erase sequence whatever happened
  } else {
    const std::uint8_t first = userBootMode ? kFirstNumberedBlockUserBoot : kFirstNumberedBlock;
    const std::uint32_t blocks = kLastNumberedBlock - first + 1u;
    for (unsigned b = first; b <= kLastNumberedBlock; ++b) {
      if (!BlockErase(static_cast<std::uint8_t>(b))) {
        AddLog(std::to_string(b) + "Erase 失敗", 0);
        ok = 0;
        break;
      }
      AddLog(std::to_string(b) + "Erase 成功", 0);
      if (ui) ui->SetGauge(GaugePercent(b + 1 - first, blocks));
    }
    BlockErase(kEraseEndBlock);
  }
  AddLog(ok ? "OK: 消去" : "NG: 消去", 0);
  return ok;
}

int TFlashWrRXCont::ProgramUserArea(int showAddress, int userBootMode) {
  LinkUi* ui = Owner();
  if (ui) ui->SetGauge(0);
  if (!SelUserArea()) {
    AddLog("NG: ユーザ領域書き込み選択", 0);
    return 0;
  }
  const std::uint32_t count = ProgramBlockCount(RomStart, RomEnd, userBootMode);
  std::uint32_t address = RomStart;
  ImageStream.Rewind();
  int ok = 1;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (showAddress && ui) ui->SetAddress(Hex8(address));
    // The area may describe more than the buffer holds (a larger ROM size
    // chosen after start-up): what lies beyond the buffer's end is not
    // image data and is neither padded nor sent.
    const std::size_t got = ImageStream.Read(BlockBuf.data(), BlockBuf.size());
    if (got < BlockBuf.size()) std::fill(BlockBuf.begin() + static_cast<std::ptrdiff_t>(got), BlockBuf.end(), 0xFF);
    if (got > 0 && BlockHasData(BlockBuf.data(), kBlockSize)) {
      if (!Write256Bytes(address, BlockBuf.data())) {
        AddLog("Write 失敗", 0);
        ok = 0;
        break;
      }
    }
    address += kBlockSize;
    if (ui) ui->SetGauge(GaugePercent(i + 1, count));
  }
  if (ok) Write256Bytes(kEndAddress, nullptr);
  AddLog(ok ? "OK: Prog" : "NG: Prog", 0);
  return ok;
}

int TFlashWrRXCont::VerifyUserArea(int showAddress, int userBootMode) {
  LinkUi* ui = Owner();
  const std::uint32_t count = ProgramBlockCount(RomStart, RomEnd, userBootMode);
  if (ui) ui->SetGauge(0);
  std::uint32_t address = RomStart;
  ImageStream.Rewind();
  int ok = 1;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (showAddress && ui) ui->SetAddress(Hex8(address));
    const std::size_t got = ImageStream.Read(BlockBuf.data(), BlockBuf.size());
    if (got < BlockBuf.size()) std::fill(BlockBuf.begin() + static_cast<std::ptrdiff_t>(got), BlockBuf.end(), 0xFF);
    if (got > 0 && BlockHasData(BlockBuf.data(), kBlockSize)) {
      // Only the bytes the buffer really holds are compared.
      int matched = 0;
      for (int attempt = 0; attempt < kVerifyAttempts && !matched; ++attempt) {
        int length = 0;
        if (!MemRead(kUserArea, address, userBootMode, length, kBlockSize)) {
          AddLog("Read 失敗", 0);
          continue;
        }
        matched = length == kBlockSize + 6 &&
                  std::equal(BlockBuf.begin(), BlockBuf.begin() + static_cast<std::ptrdiff_t>(got),
                             ReplyBuf.begin() + 5);
      }
      if (!matched) {
        ok = 0;
        break;
      }
    }
    address += kBlockSize;
    if (ui) ui->SetGauge(GaugePercent(i + 1, count));
  }
  AddLog(ok ? "OK: Verify" : "NG: Verify", 0);
  return ok;
}

}  // namespace kv9
