// The boot program's handshake for each microcontroller, its status and
// error codes, and its refusals, driven with hand-built frames.
#include "sim_test_support.h"

#include "wire/boot_sum.h"
#include "wire/id_code_table.h"

namespace kv9::sim::test {
namespace {

class BootHandshake : public SimTest, public ::testing::WithParamInterface<Cpu> {
 protected:
  SimModule& StartInBoot(Cpu cpu, IdProtect protect = IdProtect::Off) {
    SimOptions o = Options();
    o.cpu = cpu;
    o.startIn = StartIn::Boot;
    o.idProtect = protect;
    return Start(o);
  }
};

TEST_P(BootHandshake, ReachesTheCommandStateWithTheRightCodes) {
  const Cpu cpu = GetParam();
  SimOptions o = Options();
  o.cpu = cpu;
  SimModule& sim = Start(o);
  ASSERT_NO_FATAL_FAILURE(RequestBootMode());
  ASSERT_NO_FATAL_FAILURE(MatchBitRate());
  EXPECT_EQ(StatusAndError(), (Bytes{0x11, 0x00}));

  const CpuProfile& p = ProfileFor(cpu);
  const Bytes code(p.deviceCode.begin(), p.deviceCode.end());
  const std::uint8_t deviceAck = cpu == Cpu::RX231 ? 0x46 : 0x06;
  EXPECT_EQ(Line().Exchange(BootFrame(0x10, code), 1), Bytes{deviceAck});
  std::uint16_t freq = 0;
  std::uint8_t m1 = 2, m2 = 1;
  if (cpu != Cpu::RX231) {
    EXPECT_EQ(StatusAndError(), (Bytes{0x12, 0x00}));
    EXPECT_EQ(Line().Exchange({0x21}, 4), (Bytes{0x31, 0x01, 0x00, 0xCE}));
    EXPECT_EQ(Line().Exchange(BootFrame(0x11, {0x00}), 1), Bytes{0x06});
    freq = 1200;
    m1 = 8;
    m2 = 4;
  }
  EXPECT_EQ(StatusAndError(), (Bytes{0x13, 0x00}));
  // 115200 bit/s, then the confirmation at the new rate.
  EXPECT_EQ(Line().Exchange(BootFrame(0x3F, {0x04, 0x80, static_cast<std::uint8_t>(freq >> 8),
                                             static_cast<std::uint8_t>(freq), 0x02, m1, m2}),
                            1),
            Bytes{0x06});
  EXPECT_EQ(sim.Snapshot().listenRate, 115200u);
  Line().SetRate(115200);
  EXPECT_EQ(Line().Exchange({0x06}, 1), Bytes{0x06});
  EXPECT_EQ(StatusAndError(), (Bytes{0x1F, 0x00}));
  EXPECT_EQ(Line().Exchange({0x40}, 1), Bytes{static_cast<std::uint8_t>(cpu == Cpu::RX231 ? 0x06 : 0x26)});
  EXPECT_EQ(StatusAndError(), (Bytes{0x3F, 0x00}));
  EXPECT_EQ(sim.Snapshot().ratesSeen, (std::set<std::uint32_t>{19200, 115200}));
}

TEST_P(BootHandshake, RefusesAnotherDeviceCode) {
  StartInBoot(GetParam());
  ASSERT_NO_FATAL_FAILURE(MatchBitRate());
  const Bytes other = GetParam() == Cpu::RX231 ? Text("7505") : Text("8a02");
  EXPECT_EQ(Line().Exchange(BootFrame(0x10, other), 2), (Bytes{0x90, 0x21}));
  EXPECT_EQ(StatusAndError(), (Bytes{0x11, 0x21}));
}

TEST_P(BootHandshake, SupportedDeviceInquiryNamesTheDevice) {
  StartInBoot(GetParam());
  ASSERT_NO_FATAL_FAILURE(MatchBitRate());
  const CpuProfile& p = ProfileFor(GetParam());
  Bytes data{0x01, 0x09};
  data.insert(data.end(), p.deviceCode.begin(), p.deviceCode.end());
  const Bytes name = Text(CpuName(GetParam()));
  data.insert(data.end(), name.begin(), name.end());
  EXPECT_EQ(Line().Exchange({0x20}, 14), BootReply(0x30, data));
}

INSTANTIATE_TEST_SUITE_P(AllCpus, BootHandshake, ::testing::Values(Cpu::RX231, Cpu::RX630, Cpu::RX63T),
                         [](const auto& info) { return std::string(CpuName(info.param)); });

class BootRefusals : public SimTest {
 protected:
  void SetUp() override {
    SimOptions o = Options();
    o.cpu = Cpu::RX630;
    o.startIn = StartIn::Boot;
    Start(o);
    ASSERT_NO_FATAL_FAILURE(MatchBitRate());
  }
};

TEST_F(BootRefusals, ExactSupportedDeviceReplyForRx630) {
  EXPECT_EQ(Line().Exchange({0x20}, 14),
            (Bytes{0x30, 0x0B, 0x01, 0x09, '7', '5', '0', '5', 'R', 'X', '6', '3', '0', 0xA7}));
}

TEST_F(BootRefusals, WrongStateWrongSumAndUnknownCommand) {
  EXPECT_EQ(Line().Exchange({0x48}, 2), (Bytes{0xC8, 0x80}));  // erase selection before the transition
  Bytes bad = BootFrame(0x10, Text("7505"));
  bad.back() ^= 0x01;
  EXPECT_EQ(Line().Exchange(bad, 2), (Bytes{0x90, 0x11}));
  EXPECT_EQ(StatusAndError(), (Bytes{0x11, 0x11}));
  EXPECT_EQ(Line().Exchange({0x33}, 2), (Bytes{0xB3, 0x80}));
  EXPECT_EQ(Line().Exchange(BootFrame(0x10, Text("7505")), 1), Bytes{0x06});
  EXPECT_EQ(StatusAndError(), (Bytes{0x12, 0x00}));  // a success clears the error
  EXPECT_EQ(Line().Exchange(BootFrame(0x11, {0x05}), 2), (Bytes{0x91, 0x22}));
}

TEST_F(BootRefusals, NewBitRateChecksFrequencyMultipliersAndRate) {
  Line().Exchange(BootFrame(0x10, Text("7505")), 1);
  Line().Exchange(BootFrame(0x11, {0x00}), 1);
  // Input frequency 0 is only for parts with an internal oscillator.
  EXPECT_EQ(Line().Exchange(BootFrame(0x3F, {0x04, 0x80, 0x00, 0x00, 0x02, 0x02, 0x01}), 2), (Bytes{0xBF, 0x25}));
  EXPECT_EQ(Line().Exchange(BootFrame(0x3F, {0x04, 0x80, 0x05, 0x4C, 0x02, 0x03, 0x02}), 2), (Bytes{0xBF, 0x26}));
  // 13.56 MHz × 8 is above the 100 MHz the system clock allows.
  EXPECT_EQ(Line().Exchange(BootFrame(0x3F, {0x04, 0x80, 0x05, 0x4C, 0x02, 0x08, 0x02}), 2), (Bytes{0xBF, 0x27}));
  // 3 Mbit/s cannot be divided out of a 27.12 MHz peripheral clock.
  EXPECT_EQ(Line().Exchange(BootFrame(0x3F, {0x75, 0x30, 0x05, 0x4C, 0x02, 0x04, 0x02}), 2), (Bytes{0xBF, 0x24}));
  EXPECT_EQ(StatusAndError(), (Bytes{0x13, 0x24}));
  EXPECT_EQ(sim_->Snapshot().listenRate, 19200u);  // nothing changed
}

// RX231's boot program runs from its fixed internal clock: the frequency and
// multiplier fields are dummies and only the rate is checked against it.
TEST_F(BootRefusals, Rx231NewBitRateChecksOnlyTheRate) {
  line_.reset();
  sim_.reset();
  SimOptions o = Options();
  o.startIn = StartIn::Boot;
  Start(o);
  ASSERT_NO_FATAL_FAILURE(MatchBitRate());
  ASSERT_EQ(Line().Exchange(BootFrame(0x10, Text("8a02")), 1), Bytes{0x46});
  // 3 Mbit/s cannot be divided out of 32 MHz, whatever the other fields say.
  EXPECT_EQ(Line().Exchange(BootFrame(0x3F, {0x75, 0x30, 0x00, 0x00, 0x02, 0x02, 0x01}), 2), (Bytes{0xBF, 0x24}));
  // 12 MHz × 8 × 4 would be refused by the numbered parts; here it is ignored.
  EXPECT_EQ(Line().Exchange(BootFrame(0x3F, {0x04, 0x80, 0x04, 0xB0, 0x02, 0x08, 0x04}), 1), Bytes{0x06});
  Line().SetRate(115200);
  EXPECT_EQ(Line().Exchange({0x06}, 1), Bytes{0x06});
  EXPECT_EQ(StatusAndError(), (Bytes{0x1F, 0x00}));
}

// Matching measures the 0x00 bytes at whatever rate they come and keeps that
// rate until a new one is acknowledged; --match-rates narrows the choice.
TEST_F(BootRefusals, MatchesAt9600AndTalksThereUntilTheNewRate) {
  line_.reset();
  sim_.reset();
  SimOptions o = Options();
  o.startIn = StartIn::Boot;
  SimModule& sim = Start(o);
  ASSERT_NO_FATAL_FAILURE(MatchBitRate(9600));
  EXPECT_EQ(sim.Snapshot().listenRate, 9600u);
  // Once matched, 19200 is noise.
  Line().SetRate(19200);
  EXPECT_TRUE(Line().Exchange(BootFrame(0x10, Text("8a02")), 1, 300ms).empty());
  Line().SetRate(9600);
  EXPECT_EQ(Line().Exchange(BootFrame(0x10, Text("8a02")), 1), Bytes{0x46});
  EXPECT_EQ(Line().Exchange(BootFrame(0x3F, {0x04, 0x80, 0x00, 0x00, 0x02, 0x02, 0x01}), 1), Bytes{0x06});
  Line().SetRate(115200);
  EXPECT_EQ(Line().Exchange({0x06}, 1), Bytes{0x06});
  EXPECT_EQ(sim.Snapshot().ratesSeen, (std::set<std::uint32_t>{9600, 19200, 115200}));

  line_.reset();
  sim_.reset();
  o.matchRates = {19200};
  SimModule& narrow = Start(o);
  Line(9600).Send({0x00, 0x00, 0x00, 0x00, 0x00});
  EXPECT_TRUE(Line().Read(1, 300ms).empty());
  EXPECT_TRUE(narrow.WaitFor([](const SimSnapshot& s) { return s.noiseBytes == 5; }, 1000ms));
  ASSERT_NO_FATAL_FAILURE(MatchBitRate(19200));
}

// A two-byte size, as the chips send it: every block of an RX630.
TEST_F(BootRefusals, EraseBlockInformationListsAllThirtyBlocks) {
  const Bytes r = Line().Exchange({0x26}, 245);
  ASSERT_EQ(r.size(), 245u);
  EXPECT_EQ(Bytes(r.begin(), r.begin() + 4), (Bytes{0x36, 0x00, 241, 30}));
  EXPECT_EQ(Bytes(r.begin() + 4, r.begin() + 12), (Bytes{0xFF, 0xFF, 0xF0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Bytes(r.begin() + 4 + 8 * 8, r.begin() + 12 + 8 * 8), (Bytes{0xFF, 0xFF, 0x40, 0x00, 0xFF, 0xFF, 0x7F, 0xFF}));
  EXPECT_EQ(Bytes(r.end() - 9, r.end() - 1), (Bytes{0xFF, 0xFA, 0x00, 0x00, 0xFF, 0xFA, 0x3F, 0xFF}));
  EXPECT_EQ(r.back(), BootSum(r.data(), r.size() - 1));
}

TEST_F(BootRefusals, OtherInquiriesHaveTheirLayouts) {
  EXPECT_EQ(Line().Exchange({0x22}, 14), BootReply(0x32, {0x02, 0x04, 1, 2, 4, 8, 0x04, 1, 2, 4, 8}));
  EXPECT_EQ(Line().Exchange({0x23}, 12),
            BootReply(0x33, {0x02, 0x03, 0x20, 0x27, 0x10, 0x03, 0x20, 0x13, 0x88}));
  EXPECT_EQ(Line().Exchange({0x24}, 12), BootReply(0x34, {0x01, 0xFF, 0x7F, 0xC0, 0x00, 0xFF, 0x7F, 0xFF, 0xFF}));
  EXPECT_EQ(Line().Exchange({0x25}, 12), BootReply(0x35, {0x01, 0xFF, 0xFA, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(Line().Exchange({0x27}, 5), BootReply(0x37, {0x01, 0x00}));
  EXPECT_EQ(Line().Exchange({0x2A}, 4), BootReply(0x3A, {0x21}));
  EXPECT_EQ(Line().Exchange({0x2B}, 12), BootReply(0x3B, {0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x7F, 0xFF}));
}

TEST_F(BootRefusals, IdCodeProtectionNeedsTheRightPiece) {
  line_.reset();
  sim_.reset();
  SimOptions o = Options();
  o.cpu = Cpu::RX630;
  o.startIn = StartIn::Boot;
  o.idProtect = IdProtect::PieceB;
  Start(o);
  EXPECT_EQ(HandshakeToCommandWait(Cpu::RX630), 0x16);
  EXPECT_EQ(StatusAndError(), (Bytes{0x1F, 0x00}));
  EXPECT_EQ(Line().Exchange({0x48}, 2), (Bytes{0xC8, 0x80}));  // still locked
  const auto a = IdCodePiece(true);
  const auto b = IdCodePiece(false);
  EXPECT_EQ(Line().Exchange(BootFrame(0x60, Bytes(a.begin(), a.end())), 2), (Bytes{0xE0, 0x61}));
  // The second piece is accepted without repeating the state transition.
  EXPECT_EQ(Line().Exchange(BootFrame(0x60, Bytes(b.begin(), b.end())), 1), Bytes{0x26});
  EXPECT_EQ(StatusAndError(), (Bytes{0x3F, 0x00}));
}

TEST_F(BootRefusals, Rx231IdCheckAcknowledgesWith06) {
  line_.reset();
  sim_.reset();
  SimOptions o = Options();
  o.startIn = StartIn::Boot;
  o.idProtect = IdProtect::PieceA;
  Start(o);
  EXPECT_EQ(HandshakeToCommandWait(Cpu::RX231), 0x16);
  const auto a = IdCodePiece(true);
  EXPECT_EQ(Line().Exchange(BootFrame(0x60, Bytes(a.begin(), a.end())), 1), Bytes{0x06});
}

}  // namespace
}  // namespace kv9::sim::test

namespace kv9::sim::test {
namespace {

// A real UART switches rate at once: bytes that followed the new-rate frame
// in the same burst were sent at the old rate and are noise to it.
TEST_F(BootRefusals, ConfirmationSentAtTheOldRateIsNotAccepted) {
  Line().Exchange(BootFrame(0x10, Text("7505")), 1);
  Line().Exchange(BootFrame(0x11, {0x00}), 1);
  Bytes burst = BootFrame(0x3F, {0x04, 0x80, 0x04, 0xB0, 0x02, 0x08, 0x04});
  burst.push_back(0x06);  // the confirmation, still at 19200
  EXPECT_EQ(Line().Exchange(burst, 1), Bytes{0x06});
  EXPECT_EQ(Line().Read(1, 300ms), Bytes{});  // no second acknowledgement
  // The module still waits for the confirmation, now at the new rate.
  Line().SetRate(115200);
  EXPECT_EQ(Line().Exchange({0x06}, 1), Bytes{0x06});
  EXPECT_EQ(StatusAndError(), (Bytes{0x1F, 0x00}));
}

}  // namespace
}  // namespace kv9::sim::test
