#include "boot/cpu_profile.h"

#include <cstring>

#include "boot/boot_protocol.h"

namespace kv9 {
namespace {

// The RX630 and RX63T erase numbered blocks; 0 to 3 are the top 16 KB.
constexpr EraseGeometry kNumbered30{.scheme = EraseScheme::NumberedBlocks,
                                    .userBootBlocks = 4,
                                    .lastBlock = 29,
                                    .blockSize = 0,
                                    .topBlock = 0};

constexpr std::array<CpuProfile, 3> kProfiles{{
    {.code = kCpuRx630,
     .name = "RX630",
     .deviceCode = {'7', '5', '0', '5'},
     .deviceSelectAck = boot_reply::kAck,
     .transitionAck = boot_reply::kTransitionAck,
     .selectsClockMode = true,
     .internalClock = false,
     .fixedMultiplier1 = 0,
     .fixedMultiplier2 = 0,
     .erase = kNumbered30},
    {.code = kCpuRx63T,
     .name = "RX63T",
     .deviceCode = {'7', 'n', '0', '5'},
     .deviceSelectAck = boot_reply::kAck,
     .transitionAck = boot_reply::kTransitionAck,
     .selectsClockMode = true,
     .internalClock = false,
     .fixedMultiplier1 = 0,
     .fixedMultiplier2 = 0,
     .erase = kNumbered30},
    {.code = kCpuRx231,
     .name = "RX231",
     .deviceCode = {'8', 'a', '0', '2'},
     .deviceSelectAck = boot_reply::kDeviceSelectAckRx231,
     .transitionAck = boot_reply::kAck,
     .selectsClockMode = false,
     .internalClock = true,
     .fixedMultiplier1 = 2,
     .fixedMultiplier2 = 1,
     // 2 KB blocks; the top 8 hold the user boot program.
     .erase = {.scheme = EraseScheme::BlockAddresses,
               .userBootBlocks = 8,
               .lastBlock = 0,
               .blockSize = 2048,
               .topBlock = 0xFFFFF800}},
}};

constexpr std::size_t RowOf(std::int32_t code) {
  for (std::size_t i = 0; i < kProfiles.size(); ++i) {
    if (kProfiles[i].code == code) return i;
  }
  return kProfiles.size();
}

constexpr std::size_t kDefaultRow = RowOf(kDefaultCpuCode);
static_assert(kDefaultRow < kProfiles.size(), "the default CPU needs a row");

}  // namespace

const std::array<CpuProfile, 3>& CpuProfiles() { return kProfiles; }

const CpuProfile& CpuProfileFor(std::int32_t cpuCode) {
  const std::size_t row = RowOf(cpuCode);
  return kProfiles[row < kProfiles.size() ? row : kDefaultRow];
}

const CpuProfile* CpuProfileNamed(const char* name) {
  for (const CpuProfile& p : kProfiles) {
    if (std::strcmp(p.name, name) == 0) return &p;
  }
  return nullptr;
}

std::string CpuNameList(const std::string& separator, const std::string& last) {
  std::string list = kProfiles[kDefaultRow].name;
  std::size_t left = kProfiles.size() - 1;
  for (std::size_t i = 0; i < kProfiles.size(); ++i) {
    if (i == kDefaultRow) continue;
    list += (--left == 0 ? last : separator) + kProfiles[i].name;
  }
  return list;
}

}  // namespace kv9
