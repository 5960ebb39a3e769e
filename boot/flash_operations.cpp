// ID code check, erasure, programming and checking of the user area, built
// from the single boot commands. Every step logs its own OK/NG debug line
// and reports progress through the front end (gauge, address label).
#include "boot/flash_operations.h"

#include <algorithm>

#include "boot/boot_frames.h"
#include "boot/boot_programmer.h"
#include "platform/link_ui.h"
#include "wire/id_code_table.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kUserBootReserve = 0x4000;  // top 16 KB kept in user-boot mode
constexpr std::uint8_t kEraseEndBlock = 0xFF;         // closes an erase by block numbers
constexpr std::uint32_t kEndAddress = 0xFFFFFFFF;
constexpr int kVerifyAttempts = 3;
constexpr std::uint8_t kUserArea = 1;  // memory-read area of the user flash

void ShowGauge(LinkUi* ui, int percent) {
  if (ui) ui->SetGauge(percent);
}

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

std::uint32_t ProgrammedBytes(const std::uint8_t* image, std::size_t size, std::uint32_t romStart,
                              std::uint32_t romEnd) {
  const std::uint32_t blocks = ProgramBlockCount(romStart, romEnd, 1);
  std::uint32_t bytes = 0;
  for (std::uint32_t i = 0; i < blocks; ++i) {
    const std::size_t at = static_cast<std::size_t>(i) * kBlockSize;
    if (at >= size) break;
    const int count = static_cast<int>(std::min<std::size_t>(kBlockSize, size - at));
    if (BlockHasData(image + at, count)) bytes += kBlockSize;
  }
  return bytes;
}

AddressEraseRange EraseAddressRange(const EraseGeometry& erase, std::uint32_t romStart,
                                    std::uint32_t romEnd, int userBootMode) {
  if (erase.blockSize == 0) return {0, erase.topBlock};  // a CPU erasing by number
  AddressEraseRange r{(romEnd - romStart) / erase.blockSize + 1, erase.topBlock};
  if (userBootMode) {
    r.count = r.count > erase.userBootBlocks ? r.count - erase.userBootBlocks : 0;
    r.first = erase.topBlock - erase.userBootBlocks * erase.blockSize;
  }
  return r;
}

// --- ID code ---

int BootProgrammer::IDCheck(const std::uint8_t* idCode) {
  return SendBootFrame(boot_cmd::kIdCheck, idCode, static_cast<int>(kIdCodeLength),
                       Cpu().transitionAck);
}

int BootProgrammer::TryIdCode(int pieceA, std::uint8_t status) {
  if (status != boot_reply::kIdProtected) return 1;
  // The code exists only while it is being sent.
  const auto code = IdCodePiece(pieceA != 0);
  return IDCheck(code.data());
}

int BootProgrammer::TryIdCodes(int pieceA, std::uint8_t status) {
  if (TryIdCode(pieceA, status)) return 1;
  return TryIdCode(pieceA ? 0 : 1, status);
}

int BootProgrammer::IdCodeStep(int pieceA) {
  std::uint8_t status = 0;
  int ok = EraseStatusSet(status);
  if (ok && status == boot_reply::kIdProtected) ok = TryIdCodes(pieceA, status);
  if (!ok) link_.AddLog("NG: ID コードチェック", 0);
  return ok;
}

// --- erase ---

int BootProgrammer::EraseUserArea(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode) {
  ShowGauge(link_.Owner(), 0);
  erasesAcknowledged_ = 0;
  if (UserAreaBlankCheck()) {
    link_.AddLog("User ROM : BLANK", 0);
    return 1;
  }
  link_.AddLog("User ROM : NO BLANK", 0);
  if (!SelErase()) {
    link_.AddLog("NG: 消去選択", 0);
    return 0;
  }
  const int ok = Cpu().erase.scheme == EraseScheme::BlockAddresses
                     ? EraseByAddress(romStart, romEnd, userBootMode)
                     : EraseByNumber(userBootMode);
  link_.AddLog(ok ? "OK: 消去" : "NG: 消去", 0);
  return ok;
}

int BootProgrammer::EraseByAddress(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode) {
  const EraseGeometry& erase = Cpu().erase;
  const AddressEraseRange range = EraseAddressRange(erase, romStart, romEnd, userBootMode);
  std::uint32_t address = range.first;
  int ok = 1;
  for (std::uint32_t i = 0; i < range.count; ++i) {
    if (!BlockEraseAt(address)) {
      link_.AddLog(std::to_string(i) + "Erase 失敗 : 0x" + Hex8(address), 0);
      ok = 0;
      break;
    }
    ++erasesAcknowledged_;
    address -= erase.blockSize;
    ShowGauge(link_.Owner(), GaugePercent(i + 1, range.count));
  }
  BlockEraseAt(romEnd);  // closes the erase sequence whatever happened
  return ok;
}

int BootProgrammer::EraseByNumber(int userBootMode) {
  const EraseGeometry& erase = Cpu().erase;
  const unsigned first = userBootMode ? erase.userBootBlocks : 0u;
  const std::uint32_t blocks = erase.lastBlock - first + 1u;
  int ok = 1;
  for (unsigned b = first; b <= erase.lastBlock; ++b) {
    if (!BlockErase(static_cast<std::uint8_t>(b))) {
      link_.AddLog(std::to_string(b) + "Erase 失敗", 0);
      ok = 0;
      break;
    }
    ++erasesAcknowledged_;
    link_.AddLog(std::to_string(b) + "Erase 成功", 0);
    ShowGauge(link_.Owner(), GaugePercent(b + 1 - first, blocks));
  }
  BlockErase(kEraseEndBlock);
  return ok;
}

// --- program, verify ---

std::size_t BootProgrammer::NextBlock(TMemoryStream& stream) {
  // The area may describe more than the buffer holds (a larger ROM size
  // chosen after start-up): what lies beyond the buffer's end is not image
  // data and is neither padded nor sent.
  const std::size_t got = stream.Read(block_.data(), block_.size());
  if (got < block_.size())
    std::fill(block_.begin() + static_cast<std::ptrdiff_t>(got), block_.end(), 0xFF);
  return got;
}

int BootProgrammer::ProgramUserArea(const FlashImage& image, int showAddress, int userBootMode) {
  LinkUi* ui = link_.Owner();
  ShowGauge(ui, 0);
  tally_ = {};
  if (!SelUserArea()) {
    link_.AddLog("NG: ユーザ領域書き込み選択", 0);
    return 0;
  }
  const std::uint32_t count = ProgramBlockCount(image.romStart, image.romEnd, userBootMode);
  std::uint32_t address = image.romStart;
  image.stream.Rewind();
  int ok = 1;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (showAddress && ui) ui->SetAddress(Hex8(address));
    const std::size_t got = NextBlock(image.stream);
    if (got > 0 && BlockHasData(block_.data(), kBlockSize) &&
        !Write256Bytes(address, block_.data())) {
      link_.AddLog("Write 失敗", 0);
      ok = 0;
      break;
    }
    if (got > 0 && BlockHasData(block_.data(), kBlockSize)) tally_.accepted += kBlockSize;
    address += kBlockSize;
    tally_.passed += kBlockSize;
    ShowGauge(ui, GaugePercent(i + 1, count));
  }
  if (ok) tally_.completed = Write256Bytes(kEndAddress, nullptr) != 0;
  link_.AddLog(ok ? "OK: Prog" : "NG: Prog", 0);
  return ok;
}

// Up to three reads of the block at `address`; only the bytes the image
// really holds are compared.
int BootProgrammer::BlockMatches(std::uint32_t address, std::size_t held, int userBootMode) {
  for (int attempt = 0; attempt < kVerifyAttempts; ++attempt) {
    int length = 0;
    if (!MemRead(kUserArea, address, userBootMode, length, kBlockSize)) {
      link_.AddLog("Read 失敗", 0);
      continue;
    }
    if (length == kBlockSize + boot_reply_length::kReadOverhead &&
        std::equal(block_.begin(), block_.begin() + static_cast<std::ptrdiff_t>(held),
                   reply_.begin() + 5)) {
      return 1;
    }
  }
  return 0;
}

int BootProgrammer::VerifyUserArea(const FlashImage& image, int showAddress, int userBootMode) {
  LinkUi* ui = link_.Owner();
  const std::uint32_t count = ProgramBlockCount(image.romStart, image.romEnd, userBootMode);
  ShowGauge(ui, 0);
  std::uint32_t address = image.romStart;
  image.stream.Rewind();
  int ok = 1;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (showAddress && ui) ui->SetAddress(Hex8(address));
    const std::size_t got = NextBlock(image.stream);
    if (got > 0 && BlockHasData(block_.data(), kBlockSize) &&
        !BlockMatches(address, got, userBootMode)) {
      ok = 0;
      break;
    }
    address += kBlockSize;
    ShowGauge(ui, GaugePercent(i + 1, count));
  }
  link_.AddLog(ok ? "OK: Verify" : "NG: Verify", 0);
  return ok;
}

}  // namespace kv9
