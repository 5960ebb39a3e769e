// Every injected fault does what it says, and only where it is aimed.
#include "sim_test_support.h"

#include "wire/boot_sum.h"
#include "sim/command_line.h"

namespace kv9::sim::test {
namespace {

const Bytes kRomVersionQuery{0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D};
const Bytes kModelQuery{0x02, 0x00, 0x4F, 0x01, 0x93, 0x03, 0xE8, 0x0D};
const Bytes kRomVersionReply = ModuleReply(0x30, {0x90, 'V', '1', '.', '0', '0', '.', '0', '0', ' '});
const Bytes kModelReply = ModuleReply(0x30, {0x93, 'Q', '5', '0', '8', ' ', ' ', ' ', ' ', ' '});

class Faults : public SimTest {
 protected:
  SimModule& StartWith(FaultRule::Kind kind, const std::string& site, std::uint8_t code = 0) {
    SimOptions o = Options();
    FaultRule r;
    r.kind = kind;
    r.errorCode = code;
    EXPECT_TRUE(ParseFaultSite(site, &r.site));
    o.faults.rules.push_back(r);
    return Start(o);
  }
};

TEST_F(Faults, NoReplySwallowsOnlyTheTargetedFrame) {
  StartWith(FaultRule::Kind::NoReply, "fw:90");
  EXPECT_TRUE(Line().Exchange(kRomVersionQuery, 1, 300ms).empty());
  EXPECT_EQ(Line().Exchange(kModelQuery, 17), kModelReply);
}

TEST_F(Faults, NoReplyOnTheSecondOccurrenceOnly) {
  StartWith(FaultRule::Kind::NoReply, "fw:4F:90/2");
  EXPECT_EQ(Line().Exchange(kRomVersionQuery, 17), kRomVersionReply);
  EXPECT_TRUE(Line().Exchange(kRomVersionQuery, 1, 300ms).empty());
  EXPECT_EQ(Line().Exchange(kRomVersionQuery, 17), kRomVersionReply);
}

TEST_F(Faults, FirmwareErrorReplyKeepsTheLengthAndChangesTheStatus) {
  StartWith(FaultRule::Kind::ErrorReply, "fw:90", 0x31);
  EXPECT_EQ(Line().Exchange(kRomVersionQuery, 17),
            ModuleReply(0x31, {0x90, 'V', '1', '.', '0', '0', '.', '0', '0', ' '}));
}

TEST_F(Faults, FirmwareErrorReplyToTheBootRequestKeepsTheFirmwareRunning) {
  SimModule& sim = StartWith(FaultRule::Kind::ErrorReply, "fw:9B", 0x31);
  const Bytes request{0x02, 0x00, 0x4E, 0x0A, 0x9B, '5', '8', '3', '9', '1', '4', '2', '0', '7', 0x03, 0xCF, 0x0D};
  EXPECT_EQ(Line().Exchange(request, 8), ModuleReply(0x31, {0x9B}));
  EXPECT_EQ(Line().Exchange(kRomVersionQuery, 17), kRomVersionReply);
  EXPECT_EQ(sim.Snapshot().personality, Personality::Firmware);
}

TEST_F(Faults, FirmwareBadSumIsOffByOne) {
  StartWith(FaultRule::Kind::BadSum, "fw:93");
  Bytes expected = kModelReply;
  expected[15] = static_cast<std::uint8_t>(expected[15] + 1);
  EXPECT_EQ(Line().Exchange(kModelQuery, 17), expected);
  EXPECT_EQ(Line().Exchange(kRomVersionQuery, 17), kRomVersionReply);
}

class BootFaults : public SimTest {
 protected:
  SimModule& StartBoot(SimOptions o) {
    o.startIn = StartIn::Boot;
    SimModule& sim = Start(o);
    EXPECT_EQ(HandshakeToCommandWait(Cpu::RX231), 0x06);
    return sim;
  }
  void EraseAll() {
    ASSERT_EQ(Line().Exchange({0x48}, 1), Bytes{0x06});
    for (std::uint32_t a = 0xFFFFB800; a >= 0xFFFC0000; a -= 0x800) {
      ASSERT_EQ(Line().Exchange(BootFrame(0x59, Be32(a)), 1), Bytes{0x06});
    }
    ASSERT_EQ(Line().Exchange(BootFrame(0x59, Be32(0xFFFFFFFF)), 1), Bytes{0x06});
    ASSERT_EQ(Line().Exchange({0x43}, 1), Bytes{0x06});
  }
  static Bytes Block(std::uint8_t fill) { return Bytes(256, fill); }
};

TEST_F(BootFaults, ErrorReplyAtTheSecondProgrammingBlock) {
  SimOptions o = Options();
  FaultRule r{FaultRule::Kind::ErrorReply, {FaultSite::Side::Boot, std::nullopt, 0x50, 2}, 0x53};
  o.faults.rules.push_back(r);
  SimModule& sim = StartBoot(o);
  ASSERT_NO_FATAL_FAILURE(EraseAll());
  EXPECT_EQ(Line().Exchange(ProgramFrame(0xFFFC0000, Block(0x11)), 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(ProgramFrame(0xFFFC0100, Block(0x22)), 2), (Bytes{0xD0, 0x53}));
  EXPECT_EQ(StatusAndError(), (Bytes{0x4F, 0x53}));
  EXPECT_EQ(sim.Snapshot().FlashAt(0xFFFC0100, 256), Bytes(256, 0xFF));  // refused: not written
  EXPECT_EQ(Line().Exchange(ProgramFrame(0xFFFC0100, Block(0x22)), 1), Bytes{0x06});
}

TEST_F(BootFaults, NoReplyToBitRateMatching) {
  SimOptions o = Options();
  o.startIn = StartIn::Boot;
  o.faults.rules.push_back({FaultRule::Kind::NoReply, {FaultSite::Side::Boot, std::nullopt, 0x55, 0}, 0});
  Start(o);
  Bytes got;
  for (int i = 0; i < 30 && got.empty(); ++i) {
    Line().Send({0x00});
    got = Line().Read(1, 50ms);
  }
  ASSERT_EQ(got, Bytes{0x00});
  EXPECT_TRUE(Line().Exchange({0x55}, 1, 300ms).empty());
}

TEST_F(BootFaults, BadSumOnAnInquiryReply) {
  SimOptions o = Options();
  o.faults.rules.push_back({FaultRule::Kind::BadSum, {FaultSite::Side::Boot, std::nullopt, 0x4F, 0}, 0});
  StartBoot(o);
  const Bytes r = Line().Exchange({0x4F}, 5);
  ASSERT_EQ(r.size(), 5u);
  EXPECT_EQ(Bytes(r.begin(), r.end() - 1), (Bytes{0x5F, 0x02, 0x3F, 0x00}));
  EXPECT_EQ(r[4], static_cast<std::uint8_t>(BootSum(r.data(), 4) + 1));
}

TEST_F(BootFaults, LoaderReportsAWrongCrc) {
  SimOptions good = Options();
  SimModule& sim = StartBoot(good);
  const Bytes right = Line().Exchange({0x9F}, 3);
  ASSERT_EQ(right.size(), 3u);
  EXPECT_EQ(right[0], 0x9F);
  line_.reset();
  sim.Stop();
  SimOptions bad = Options();
  bad.faults.badLoaderCrc = true;
  StartBoot(bad);
  const Bytes wrong = Line().Exchange({0x9F}, 3);
  ASSERT_EQ(wrong.size(), 3u);
  const unsigned r = right[1] << 8 | right[2];
  const unsigned w = wrong[1] << 8 | wrong[2];
  EXPECT_EQ(w, (r + 1) & 0xFFFF);
}

TEST_F(BootFaults, DisconnectAtABlockPullsTheCable) {
  SimOptions o = Options();
  o.faults.disconnectAtBlock = 3;
  SimModule& sim = StartBoot(o);
  ASSERT_NO_FATAL_FAILURE(EraseAll());
  EXPECT_EQ(Line().Exchange(ProgramFrame(0xFFFC0000, Block(0x11)), 1), Bytes{0x06});
  EXPECT_EQ(Line().Exchange(ProgramFrame(0xFFFC0100, Block(0x22)), 1), Bytes{0x06});
  EXPECT_TRUE(Line().Exchange(ProgramFrame(0xFFFC0200, Block(0x33)), 1, 500ms).empty());
  ASSERT_TRUE(sim.WaitFor([](const SimSnapshot& s) { return s.personality == Personality::Gone; }, 2000ms));
  // The tool's side sees the line gone: the port is hung up and the link removed.
  EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(sim.LinkPath())));
  std::uint8_t byte = 0;
  EXPECT_LE(::read(Line().Fd(), &byte, 1), 0);
  const SimSnapshot s = sim.Snapshot();
  EXPECT_EQ(s.blocksProgrammed, 2u);
  EXPECT_EQ(s.FlashAt(0xFFFC0100, 256), Block(0x22));
  EXPECT_EQ(s.FlashAt(0xFFFC0200, 256), Bytes(256, 0xFF));
}

TEST_F(BootFaults, PowerLossKeepsProgrammedBlocksAndRestartsInBootMode) {
  SimOptions o = Options();
  o.faults.powerLossAtBlock = 2;
  SimModule& sim = StartBoot(o);
  ASSERT_NO_FATAL_FAILURE(EraseAll());
  EXPECT_EQ(Line().Exchange(ProgramFrame(0xFFFC0000, Block(0x11)), 1), Bytes{0x06});
  EXPECT_TRUE(Line().Exchange(ProgramFrame(0xFFFC0100, Block(0x22)), 1, 300ms).empty());
  ASSERT_TRUE(sim.WaitFor([](const SimSnapshot& s) { return s.restarts == 1 && s.personality == Personality::Boot; },
                          2000ms));
  const SimSnapshot s = sim.Snapshot();
  EXPECT_EQ(s.FlashAt(0xFFFC0000, 256), Block(0x11));
  EXPECT_EQ(s.FlashAt(0xFFFC0100, 256), Bytes(256, 0xFF));
  EXPECT_EQ(s.listenRate, 19200u);
  // It is back at the start of the boot protocol.
  EXPECT_EQ(HandshakeToCommandWait(Cpu::RX231), 0x06);
}

TEST_F(BootFaults, AnswersOnlyAtTheGivenRates) {
  SimOptions o = Options();
  o.startIn = StartIn::Boot;
  o.faults.answerRates = {19200};
  SimModule& sim = Start(o);
  ASSERT_NO_FATAL_FAILURE(MatchBitRate());
  ASSERT_EQ(Line().Exchange(BootFrame(0x10, Text("8a02")), 1), Bytes{0x46});
  ASSERT_EQ(Line().Exchange(BootFrame(0x3F, {0x04, 0x80, 0x00, 0x00, 0x02, 0x02, 0x01}), 1), Bytes{0x06});
  Line().SetRate(115200);
  EXPECT_TRUE(Line().Exchange({0x06}, 1, 300ms).empty());
  EXPECT_GE(sim.Snapshot().noiseBytes, 1u);
}

// Bit errors and bad sums spoil only the bytes on the line, each on the
// frame it is aimed at, from the firmware through to the boot program.
TEST_F(Faults, LineFaultsChangeOnlyTheReplyBytes) {
  SimOptions o = Options();
  std::string error;
  ASSERT_EQ(ParseCommandLine({"--bad-sum", "fw:4F:83/3", "--bit-flip-summed", "fw:4F:90=6.1", "--bit-flip",
                              "boot:4F/1=2.0", "--bit-flip-summed", "boot:4F/2=3.7", "--bit-flip-summed",
                              "boot:52=5.0", "--bit-flip", "boot:9F=1.3"},
                             o.portDir.string(), &o, &error),
            ParseOutcome::Run)
      << error;
  o.resetDelay = 50ms;
  SimModule& sim = Start(o);
  const Bytes read = ModuleFrame(0x4F, {0x83, 0xFE, 0x01, 0x02});
  const Bytes good = Line().Exchange(read, 14);
  ASSERT_EQ(good.size(), 14u);
  EXPECT_EQ(Line().Exchange(read, 14), good);
  Bytes badSum = good;
  badSum[12] = static_cast<std::uint8_t>(badSum[12] + 1);
  EXPECT_EQ(Line().Exchange(read, 14), badSum);
  EXPECT_EQ(Line().Exchange(read, 14), good);
  // '1' (0x31) becomes '3' and the frame sum follows; the firmware still holds its version.
  EXPECT_EQ(Line().Exchange(kRomVersionQuery, 17),
            ModuleReply(0x30, {0x90, 'V', '3', '.', '0', '0', '.', '0', '0', ' '}));
  EXPECT_EQ(sim.Snapshot().romVersion, "V1.00.00 ");

  ASSERT_NO_FATAL_FAILURE(RequestBootMode());
  ASSERT_EQ(HandshakeToCommandWait(Cpu::RX231), 0x06);
  const Bytes status = BootReply(0x5F, {0x3F, 0x00});
  Bytes flipped = status;
  flipped[2] = 0x3E;  // the sum stays as sent
  EXPECT_EQ(Line().Exchange({0x4F}, 5), flipped);
  EXPECT_EQ(Line().Exchange({0x4F}, 5), BootReply(0x5F, {0x3F, 0x80}));
  EXPECT_EQ(Line().Exchange({0x4F}, 5), status);

  const Bytes before = sim.Snapshot().FlashAt(0xFFFC0000, 4);
  Bytes data = before;
  data[0] ^= 0x01;
  Bytes readReply{0x52};
  for (std::uint8_t b : Be32(4)) readReply.push_back(b);
  readReply.insert(readReply.end(), data.begin(), data.end());
  readReply.push_back(BootSum(readReply.data(), readReply.size()));
  EXPECT_EQ(Line().Exchange(BootFrame(0x52, {0x01, 0xFF, 0xFC, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04}), 10),
            readReply);
  EXPECT_EQ(sim.Snapshot().FlashAt(0xFFFC0000, 4), before);

  // The factory firmware's CRC is 0x43B8; bit 3 of its high byte flips on the line.
  EXPECT_EQ(Line().Exchange({0x9F}, 3), (Bytes{0x9F, 0x4B, 0xB8}));
}

}  // namespace
}  // namespace kv9::sim::test
