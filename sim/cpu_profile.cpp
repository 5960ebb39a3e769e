#include "cpu_profile.h"

namespace kv9::sim {

const char* CpuName(Cpu cpu) {
  switch (cpu) {
    case Cpu::RX231: return "RX231";
    case Cpu::RX630: return "RX630";
    case Cpu::RX63T: return "RX63T";
  }
  return "?";
}

namespace {

// RX231: 256 KB of 2048-byte blocks, numbered from the top down so that
// block 0 is the one just below 0xFFFFFFFF, like the numbered parts.
std::vector<AddressRange> SmallUniformBlocks() {
  std::vector<AddressRange> blocks;
  for (std::uint32_t start = 0xFFFFF800; start >= 0xFFFC0000; start -= 0x800) {
    blocks.push_back({start, start + 0x7FF});
  }
  return blocks;
}

// RX630 / RX63T: eight 4 KB blocks from the top of memory downward, then
// 16 KB blocks, 30 in all, which makes a 384 KB user area from 0xFFFA0000.
std::vector<AddressRange> NumberedBlocks() {
  std::vector<AddressRange> blocks;
  for (std::uint32_t b = 0; b < 8; ++b) {
    const std::uint32_t start = 0xFFFFF000 - b * 0x1000;
    blocks.push_back({start, start + 0xFFF});
  }
  for (std::uint32_t b = 8; b < 30; ++b) {
    const std::uint32_t start = 0xFFFF8000 - (b - 7) * 0x4000;
    blocks.push_back({start, start + 0x3FFF});
  }
  return blocks;
}

const std::vector<std::uint8_t> kMultipliers{1, 2, 4, 8};
// The user boot area sits apart from the user area, 16 KB below 0xFF800000.
constexpr AddressRange kUserBootArea{0xFF7FC000, 0xFF7FFFFF};

CpuProfile MakeRx231() {
  CpuProfile p{Cpu::RX231, "RX231", {'8', 'a', '0', '2'}, 0x46, 0x06, false, {0x00},
                    {{kMultipliers, 100, 5400}, {kMultipliers, 100, 3200}}, 100, 2000,
                    32000000,  // internal oscillator: input frequency 0 selects it
                    {0xFFFC0000, 0xFFFFFFFF}, kUserBootArea, {0x00100000, 0x00101FFF}, true,
                    SmallUniformBlocks()};
  p.clockFieldsIgnored = true;
  p.eraseBlockSize = 0x800;
  p.dataEraseBlockSize = 0x400;
  return p;
}

CpuProfile MakeNumbered(Cpu cpu, const char* name, std::array<std::uint8_t, 4> code) {
  return CpuProfile{cpu, name, code, 0x06, 0x26, true, {0x00},
                    {{kMultipliers, 800, 10000}, {kMultipliers, 800, 5000}}, 800, 1600,
                    std::nullopt, {0xFFFA0000, 0xFFFFFFFF}, kUserBootArea,
                    {0x00100000, 0x00107FFF}, false, NumberedBlocks()};
}

}  // namespace

std::optional<std::size_t> CpuProfile::BlockOf(std::uint32_t address) const {
  for (std::size_t i = 0; i < eraseBlocks.size(); ++i) {
    if (eraseBlocks[i].Contains(address)) return i;
  }
  return std::nullopt;
}

const CpuProfile& ProfileFor(Cpu cpu) {
  static const CpuProfile rx231 = MakeRx231();
  static const CpuProfile rx630 = MakeNumbered(Cpu::RX630, "RX630", {'7', '5', '0', '5'});
  static const CpuProfile rx63t = MakeNumbered(Cpu::RX63T, "RX63T", {'7', 'n', '0', '5'});
  switch (cpu) {
    case Cpu::RX231: return rx231;
    case Cpu::RX630: return rx630;
    case Cpu::RX63T: return rx63t;
  }
  return rx231;
}

}  // namespace kv9::sim
