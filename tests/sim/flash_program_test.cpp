// Erase, program, read back, CRC and restart through the boot program and
// the resident loader, as an update does it, plus what the flash refuses.
#include "sim_test_support.h"

#include <fstream>
#include <iterator>

#include "wire/boot_sum.h"
#include "wire/crc16.h"

namespace kv9::sim::test {
namespace {

constexpr std::uint32_t kFirmwareStart = 0xFFFC0000;
constexpr std::uint32_t kVersionBlock = 0xFFFFBF00;

Bytes Pattern(std::uint32_t seed) {
  Bytes b(256);
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(seed * 31 + i * 7);
  return b;
}

Bytes VersionBlock(const std::string& version) {
  Bytes b(256, 0x00);
  for (std::size_t i = 0; i < version.size(); ++i) b[0xF0 + i] = static_cast<std::uint8_t>(version[i]);
  return b;
}

class FlashProgram : public SimTest {
 protected:
  SimModule& StartAt(Cpu cpu, SimOptions o) {
    o.cpu = cpu;
    o.startIn = StartIn::Boot;
    SimModule& sim = Start(o);
    EXPECT_EQ(HandshakeToCommandWait(cpu), cpu == Cpu::RX231 ? 0x06 : 0x26);
    return sim;
  }
  SimModule& StartAt(Cpu cpu) { return StartAt(cpu, Options()); }

  // Erases the user area below the loader, as an update in user-boot mode does.
  void EraseBelowLoader(Cpu cpu) {
    ASSERT_EQ(Line().Exchange({0x4D}, 2), (Bytes{0xCD, 0x52}));  // not blank
    ASSERT_EQ(Line().Exchange({0x48}, 1), Bytes{0x06});
    if (cpu == Cpu::RX231) {
      for (std::uint32_t a = 0xFFFFB800; a >= kFirmwareStart; a -= 0x800) {
        ASSERT_EQ(Line().Exchange(BootFrame(0x59, Be32(a)), 1), Bytes{0x06}) << std::hex << a;
      }
      ASSERT_EQ(Line().Exchange(BootFrame(0x59, Be32(0xFFFFFFFF)), 1), Bytes{0x06});
    } else {
      for (std::uint8_t b = 4; b <= 29; ++b) {
        ASSERT_EQ(Line().Exchange(BootFrame(0x58, {b}), 1), Bytes{0x06}) << int(b);
      }
      ASSERT_EQ(Line().Exchange(BootFrame(0x58, {0xFF}), 1), Bytes{0x06});
    }
    EXPECT_EQ(StatusAndError(), (Bytes{0x3F, 0x00}));
  }

  Bytes Crc() {
    return Line().Exchange({0x9F}, 3);
  }
};

// The expected flash below the loader after programming `blocks` into an
// erased area starting at `areaStart`, and the CRC the loader must report
// over it: the whole area, also below the 256 KB the tool's image fills.
std::uint16_t ExpectedCrc(std::uint32_t areaStart, const std::vector<std::pair<std::uint32_t, Bytes>>& blocks) {
  Bytes area(0xFFFFBFFF - areaStart + 1, 0xFF);
  for (const auto& [address, data] : blocks) {
    std::copy(data.begin(), data.end(), area.begin() + (address - areaStart));
  }
  return Crc16(area.data(), area.size());
}

class FlashProgramEachCpu : public FlashProgram, public ::testing::WithParamInterface<Cpu> {};

TEST_P(FlashProgramEachCpu, EraseProgramCrcAndRestartIntoTheNewFirmware) {
  const Cpu cpu = GetParam();
  SimModule& sim = StartAt(cpu);
  const SimSnapshot before = sim.Snapshot();
  ASSERT_NO_FATAL_FAILURE(EraseBelowLoader(cpu));
  const std::vector<std::pair<std::uint32_t, Bytes>> blocks = {
      {kFirmwareStart, Pattern(1)}, {kFirmwareStart + 0x100, Pattern(2)}, {0xFFFE0000, Pattern(3)},
      {kVersionBlock, VersionBlock("V3.01.02 ")}};
  ASSERT_EQ(Line().Exchange({0x43}, 1), Bytes{0x06});
  EXPECT_EQ(StatusAndError(), (Bytes{0x4F, 0x00}));
  for (const auto& [address, data] : blocks) {
    ASSERT_EQ(Line().Exchange(ProgramFrame(address, data), 1), Bytes{0x06}) << std::hex << address;
  }
  ASSERT_EQ(Line().Exchange({0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4}, 1), Bytes{0x06});

  // Read one block back with a memory read.
  const Bytes read = Line().Exchange(BootFrame(0x52, {0x01, 0xFF, 0xFC, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00}), 262);
  ASSERT_EQ(read.size(), 262u);
  Bytes expectedRead{0x52, 0x00, 0x00, 0x01, 0x00};
  const Bytes p2 = Pattern(2);
  expectedRead.insert(expectedRead.end(), p2.begin(), p2.end());
  expectedRead.push_back(BootSum(expectedRead.data(), expectedRead.size()));
  EXPECT_EQ(read, expectedRead);

  const std::uint16_t crc = ExpectedCrc(cpu == Cpu::RX231 ? 0xFFFC0000 : 0xFFFA0000, blocks);
  EXPECT_EQ(Crc(), (Bytes{0x9F, static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)}));

  // The loader area kept what it held.
  const SimSnapshot after = sim.Snapshot();
  EXPECT_EQ(after.FlashAt(0xFFFFC000, 0x4000), before.FlashAt(0xFFFFC000, 0x4000));
  EXPECT_EQ(after.blocksProgrammed, 4u);

  EXPECT_EQ(Line().Exchange({0x9D}, 1), Bytes{0x9D});
  ASSERT_TRUE(sim.WaitFor([](const SimSnapshot& s) { return s.personality == Personality::Firmware; }, 2000ms));
  Line().SetRate(19200);
  EXPECT_EQ(Line().Exchange({0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D}, 17),
            ModuleReply(0x30, {0x90, 'V', '3', '.', '0', '1', '.', '0', '2', ' '}));
}

INSTANTIATE_TEST_SUITE_P(AllCpus, FlashProgramEachCpu, ::testing::Values(Cpu::RX231, Cpu::RX630, Cpu::RX63T),
                         [](const auto& info) { return std::string(CpuName(info.param)); });

TEST_F(FlashProgram, ProgrammingWithoutEraseIsRefused) {
  SimModule& sim = StartAt(Cpu::RX231);
  const Bytes before = sim.Snapshot().FlashAt(kFirmwareStart, 256);
  ASSERT_EQ(Line().Exchange({0x43}, 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(ProgramFrame(kFirmwareStart, Pattern(9)), 2), (Bytes{0xD0, 0x52}));
  EXPECT_EQ(StatusAndError(), (Bytes{0x4F, 0x52}));
  EXPECT_EQ(sim.Snapshot().FlashAt(kFirmwareStart, 256), before);
  EXPECT_EQ(sim.Snapshot().blocksProgrammed, 0u);
}

TEST_F(FlashProgram, MisalignedAndOutOfAreaAddressesAreRefused) {
  StartAt(Cpu::RX231);
  ASSERT_NO_FATAL_FAILURE(EraseBelowLoader(Cpu::RX231));
  ASSERT_EQ(Line().Exchange({0x43}, 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(ProgramFrame(kFirmwareStart + 0x80, Pattern(1)), 2), (Bytes{0xD0, 0x2A}));
  EXPECT_EQ(Line().Exchange(ProgramFrame(0xFFF00000, Pattern(1)), 2), (Bytes{0xD0, 0x2A}));
  Bytes badSum = ProgramFrame(kFirmwareStart, Pattern(1));
  badSum.back() ^= 0xFF;
  EXPECT_EQ(Line().Exchange(badSum, 2), (Bytes{0xD0, 0x11}));
  // The same block then goes in once, but not twice.
  EXPECT_EQ(Line().Exchange(ProgramFrame(kFirmwareStart, Pattern(1)), 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(ProgramFrame(kFirmwareStart, Pattern(1)), 2), (Bytes{0xD0, 0x52}));
}

TEST_F(FlashProgram, EraseRefusesBadBlocksAndAddresses) {
  StartAt(Cpu::RX630);
  ASSERT_EQ(Line().Exchange({0x48}, 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(BootFrame(0x58, {30}), 2), (Bytes{0xD8, 0x29}));
  EXPECT_EQ(Line().Exchange(BootFrame(0x59, Be32(0xFFFFF000)), 2), (Bytes{0xD9, 0x80}));  // not by address here
  line_.reset();
  sim_.reset();
  StartAt(Cpu::RX231);
  ASSERT_EQ(Line().Exchange({0x48}, 1), Bytes{0x06});
  // An address that starts no block is a block error (0x29), like a block number past the last.
  EXPECT_EQ(Line().Exchange(BootFrame(0x59, Be32(0xFFFFF900)), 2), (Bytes{0xD9, 0x29}));
  EXPECT_EQ(Line().Exchange(BootFrame(0x59, Be32(0xFFF00000)), 2), (Bytes{0xD9, 0x29}));
  EXPECT_EQ(Line().Exchange(BootFrame(0x58, {0}), 2), (Bytes{0xD8, 0x80}));
}

TEST_F(FlashProgram, LockedBlocksRefuseEraseUntilLockBitsAreDisabled) {
  SimModule& sim = StartAt(Cpu::RX630);
  const Bytes lockAddr{0x01, 0xFE, 0xFF, 0xFF};  // 0xFFFEFFFF: block 10 (0xFFFEC000..0xFFFEFFFF)
  EXPECT_EQ(Line().Exchange(BootFrame(0x71, lockAddr), 1), Bytes{0x40});
  EXPECT_EQ(Line().Exchange(BootFrame(0x77, lockAddr), 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(BootFrame(0x71, lockAddr), 1), Bytes{0x00});
  EXPECT_EQ(Line().Exchange(BootFrame(0x71, {0x01, 0x00, 0x00, 0x00}), 2), (Bytes{0xF1, 0x2A}));
  ASSERT_EQ(Line().Exchange({0x48}, 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(BootFrame(0x58, {10}), 2), (Bytes{0xD8, 0x51}));
  EXPECT_EQ(Line().Exchange(BootFrame(0x58, {0xFF}), 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange({0x75}, 1), Bytes{0x06});
  EXPECT_FALSE(sim.Snapshot().lockBitsEnabled);
  ASSERT_EQ(Line().Exchange({0x48}, 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(BootFrame(0x58, {10}), 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(BootFrame(0x58, {0xFF}), 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(BootFrame(0x71, lockAddr), 1), Bytes{0x40});
}

TEST_F(FlashProgram, SumChecksAndBlankChecks) {
  SimModule& sim = StartAt(Cpu::RX231);
  std::uint32_t sum = 0;
  for (auto b : sim.Snapshot().flash) sum += b;
  EXPECT_EQ(Line().Exchange({0x4B}, 7), BootReply(0x5B, Be32(sum)));
  EXPECT_EQ(Line().Exchange({0x4A}, 7), BootReply(0x5A, Be32(0x4000u * 0xFF)));
  EXPECT_EQ(Line().Exchange({0x61}, 7), BootReply(0x71, Be32(0x2000u * 0xFF)));
  EXPECT_EQ(Line().Exchange({0x4C}, 1), Bytes{0x06});  // user boot area is blank
}

TEST_F(FlashProgram, TheGeneratedImageProgramsAndVerifiesByCrc) {
  std::ifstream in(KV9_GENERATED_IMAGE, std::ios::binary);
  ASSERT_TRUE(in) << KV9_GENERATED_IMAGE;
  const Bytes image{std::istreambuf_iterator<char>(in), {}};
  ASSERT_EQ(image.size(), 262144u);
  SimModule& sim = StartAt(Cpu::RX231);
  ASSERT_NO_FATAL_FAILURE(EraseBelowLoader(Cpu::RX231));
  ASSERT_EQ(Line().Exchange({0x43}, 1), Bytes{0x06});
  unsigned sent = 0;
  for (std::uint32_t offset = 0; offset < 0x3C000; offset += 256) {
    const Bytes block(image.begin() + offset, image.begin() + offset + 256);
    if (std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0xFF; })) continue;
    ASSERT_EQ(Line().Exchange(ProgramFrame(kFirmwareStart + offset, block), 1), Bytes{0x06}) << offset;
    ++sent;
  }
  ASSERT_EQ(Line().Exchange({0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4}, 1), Bytes{0x06});
  const std::uint16_t crc = Crc16(image.data(), 0x3C000);
  EXPECT_EQ(Crc(), (Bytes{0x9F, static_cast<std::uint8_t>(crc >> 8), static_cast<std::uint8_t>(crc)}));
  EXPECT_EQ(sim.Snapshot().blocksProgrammed, sent);
  EXPECT_EQ(Line().Exchange({0x9D}, 1), Bytes{0x9D});
  ASSERT_TRUE(sim.WaitFor([](const SimSnapshot& s) { return s.personality == Personality::Firmware; }, 2000ms));
  Line().SetRate(19200);
  EXPECT_EQ(Line().Exchange({0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D}, 17),
            ModuleReply(0x30, {0x90, 'V', '2', '.', '0', '0', '.', '0', '0', ' '}));
}

TEST_F(FlashProgram, AnUnprintableVersionIsReportedAsUnknown) {
  SimModule& sim = StartAt(Cpu::RX231);
  ASSERT_NO_FATAL_FAILURE(EraseBelowLoader(Cpu::RX231));
  EXPECT_EQ(Line().Exchange({0x9D}, 1), Bytes{0x9D});
  ASSERT_TRUE(sim.WaitFor([](const SimSnapshot& s) { return s.personality == Personality::Firmware; }, 2000ms));
  Line().SetRate(19200);
  EXPECT_EQ(Line().Exchange({0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D}, 17),
            ModuleReply(0x30, {0x90, 'V', '?', '.', '?', '?', '.', '?', '?', ' '}));
}

}  // namespace
}  // namespace kv9::sim::test

namespace kv9::sim::test {
namespace {

// The resident loader lives in the top 16 KB: a tool that erases it in
// user-boot mode leaves nothing to answer the loader's two commands.
TEST_F(FlashProgram, ErasedLoaderAnswersNeitherCrcNorRestart) {
  StartAt(Cpu::RX231);
  ASSERT_EQ(Line().Exchange({0x48}, 1), Bytes{0x06});
  for (std::uint32_t a = 0xFFFFF800; a >= 0xFFFFC000; a -= 0x800) {
    ASSERT_EQ(Line().Exchange(BootFrame(0x59, Be32(a)), 1), Bytes{0x06}) << std::hex << a;
  }
  ASSERT_EQ(Line().Exchange(BootFrame(0x59, Be32(0xFFFFFFFF)), 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange({0x9F}, 2), (Bytes{0x9F | 0x80, 0x80}));
  EXPECT_EQ(Line().Exchange({0x9D}, 2), (Bytes{0x9D | 0x80, 0x80}));
}

}  // namespace
}  // namespace kv9::sim::test
