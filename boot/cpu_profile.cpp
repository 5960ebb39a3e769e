#include "boot/cpu_profile.h"

#include <cstring>

#include "boot/boot_protocol.h"

namespace kv9 {
namespace {

constexpr std::array<CpuProfile, 3> kProfiles{{
    {kCpuRx630,
     "RX630",
     {'7', '5', '0', '5'},
     boot_reply::kAck,
     boot_reply::kTransitionAck,
     true,
     false,
     0,
     0,
     EraseScheme::NumberedBlocks},
    {kCpuRx63T,
     "RX63T",
     {'7', 'n', '0', '5'},
     boot_reply::kAck,
     boot_reply::kTransitionAck,
     true,
     false,
     0,
     0,
     EraseScheme::NumberedBlocks},
    {kCpuRx231,
     "RX231",
     {'8', 'a', '0', '2'},
     boot_reply::kDeviceSelectAckRx231,
     boot_reply::kAck,
     false,
     true,
     2,
     1,
     EraseScheme::BlockAddresses},
}};

}  // namespace

const std::array<CpuProfile, 3>& CpuProfiles() { return kProfiles; }

const CpuProfile& CpuProfileFor(std::int32_t cpuCode) {
  for (const CpuProfile& p : kProfiles) {
    if (p.code == cpuCode) return p;
  }
  return kProfiles[2];
}

const CpuProfile* CpuProfileNamed(const char* name) {
  for (const CpuProfile& p : kProfiles) {
    if (std::strcmp(p.name, name) == 0) return &p;
  }
  return nullptr;
}

}  // namespace kv9
