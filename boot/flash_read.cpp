// Reading the user area back whole, for a copy of the firmware taken before
// the erase, and the resident loader's CRC to check such a copy against.
#include <algorithm>

#include "boot/boot_frames.h"
#include "boot/boot_programmer.h"
#include "boot/flash_operations.h"
#include "platform/link_ui.h"

namespace kv9 {
namespace {

// Four programming blocks per read: the largest such multiple whose reply
// (with its 6 bytes of code, size and sum) fits the reply buffer, so the
// line carries data nearly all the time.
constexpr std::uint32_t kReadChunk = 4 * kBlockSize;
static_assert(kReadChunk + boot_reply_length::kReadOverhead <= kReplyBufSize);
constexpr int kReadAttempts = 3;
constexpr std::uint8_t kUserArea = 1;

}  // namespace

// One chunk into `to`, tried up to three times; a reply counts only when it
// carries exactly the size asked for (its sum was checked on receipt).
int BootProgrammer::ReadChunk(std::uint32_t address, std::uint32_t size, int userBootMode,
                              std::uint8_t* to) {
  for (int attempt = 0; attempt < kReadAttempts; ++attempt) {
    int length = 0;
    if (link_.Stopped()) return 0;
    if (MemRead(kUserArea, address, userBootMode, length, size) &&
        length == static_cast<int>(size) + boot_reply_length::kReadOverhead &&
        ReadBe32(reply_.data() + 1) == size) {
      std::copy_n(reply_.begin() + 5, size, to);
      return 1;
    }
    link_.AddLog("Read 失敗", 0);
  }
  return 0;
}

int BootProgrammer::ReadUserArea(std::uint32_t first, std::uint32_t last, int userBootMode,
                                 std::vector<std::uint8_t>& out, std::uint32_t& failedAt) {
  LinkUi* ui = link_.Owner();
  const std::uint64_t total = std::uint64_t{last} - first + 1;
  out.assign(static_cast<std::size_t>(total), 0xFF);
  if (ui) ui->SetGauge(0);
  for (std::uint64_t done = 0; done < total;) {
    const std::uint32_t address = first + static_cast<std::uint32_t>(done);
    const auto size = static_cast<std::uint32_t>(std::min<std::uint64_t>(kReadChunk, total - done));
    if (ui) ui->SetAddress(Hex8(address));
    if (!ReadChunk(address, size, userBootMode, out.data() + done)) {
      failedAt = address;
      link_.AddLog("NG: Read", 0);
      return 0;
    }
    done += size;
    if (ui)
      ui->SetGauge(GaugePercent(static_cast<std::uint32_t>(done / kBlockSize),
                                static_cast<std::uint32_t>(total / kBlockSize)));
  }
  link_.AddLog("OK: Read", 0);
  return 1;
}

int BootProgrammer::ReadLoaderCrc(std::uint16_t& crc) {
  link_.RxFlush();
  const std::uint8_t command = boot_cmd::kLoaderCrcCheck;
  link_.SendBytes(&command, 1, 1);
  if (!link_.WaitRxCount(kLoaderTimeoutMs, boot_reply_length::kLoaderCrc)) return 0;
  if (link_.RxByte() != boot_cmd::kLoaderCrcCheck) return 0;
  const std::uint8_t high = link_.RxByte();
  const std::uint8_t low = link_.RxByte();
  crc = static_cast<std::uint16_t>((high << 8) | low);
  return 1;
}

}  // namespace kv9
