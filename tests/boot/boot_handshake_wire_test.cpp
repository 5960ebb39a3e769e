// The handshake on the wire: exact frames, log lines, and the local port
// really following the new bit rate (the module answers only at its rate).
#include "boot_wire_fixture.h"

#include "wire/boot_sum.h"

namespace kv9::test {
namespace {

Bytes WithSum(Bytes frame) {
  frame.push_back(BootSum(frame.data(), frame.size()));
  return frame;
}

TEST_F(BootWire, Rx231DefaultHandshake) {
  Start(BootOptions(sim::Cpu::RX231));
  ASSERT_EQ(cont_->BootHandshake(), 1);
  EXPECT_EQ(SentFrames({0x10}), (std::vector<Bytes>{{0x10, 0x04, 0x38, 0x61, 0x30, 0x32, 0xF1}}));
  EXPECT_TRUE(SentFrames({0x11}).empty());  // no clock-mode step on the RX231
  EXPECT_TRUE(SentFrames({0x21}).empty());
  EXPECT_EQ(SentFrames({0x3F}), (std::vector<Bytes>{WithSum({0x3F, 0x07, 0x04, 0x80, 0x00, 0x00, 0x02, 0x02, 0x01})}));
  const int speed = LogIndex("SPEED :115200");
  ASSERT_GE(speed, 0);
  EXPECT_EQ(pane_.lines[speed + 1], "FREQ :13.56MHz");
  EXPECT_EQ(pane_.lines[speed + 2], "逓倍比１ :2");
  EXPECT_EQ(pane_.lines[speed + 3], "逓倍比２ :1");
  EXPECT_EQ(cont_->Settings.Multiplier1, 2);
  EXPECT_EQ(cont_->Settings.Multiplier2, 1);
  EXPECT_EQ(cont_->CommX1.BaudRate(), brCustom);
  EXPECT_EQ(cont_->CommX1.CustomBaudRate(), 115200u);
  const sim::SimSnapshot s = sim_->Snapshot();
  EXPECT_EQ(s.bootStatus, 0x1F);  // waits for the state transition
  EXPECT_EQ(s.ratesSeen, (std::set<std::uint32_t>{19200, 115200}));
}

TEST_F(BootWire, Rx630SelectsTheListedClockModeAndSendsItsSettings) {
  TProgSettings settings;
  settings.CpuCode = 6;
  settings.InputFreqMHz = 12.00f;
  settings.Multiplier1 = 8;
  settings.Multiplier2 = 4;
  Start(BootOptions(sim::Cpu::RX630), settings);
  ASSERT_EQ(cont_->BootHandshake(), 1);
  EXPECT_EQ(SentFrames({0x10}), (std::vector<Bytes>{WithSum({0x10, 0x04, '7', '5', '0', '5'})}));
  EXPECT_EQ(SentFrames({0x21}).size(), 1u);
  EXPECT_EQ(SentFrames({0x11}), (std::vector<Bytes>{WithSum({0x11, 0x01, 0x00})}));
  EXPECT_EQ(SentFrames({0x3F}), (std::vector<Bytes>{WithSum({0x3F, 0x07, 0x04, 0x80, 0x04, 0xB0, 0x02, 0x08, 0x04})}));
  EXPECT_TRUE(Logged("FREQ :12.00MHz"));
  EXPECT_TRUE(Logged("逓倍比１ :8"));
  EXPECT_TRUE(Logged("逓倍比２ :4"));
  EXPECT_EQ(sim_->Snapshot().bootStatus, 0x1F);
}

TEST_F(BootWire, InputFrequencyIsTruncatedNotRounded) {
  TProgSettings settings;
  settings.CpuCode = 7;
  settings.InputFreqMHz = 12.29f;
  settings.Multiplier1 = 8;
  settings.Multiplier2 = 4;
  Start(BootOptions(sim::Cpu::RX63T), settings);
  ASSERT_EQ(cont_->BootHandshake(), 1);
  EXPECT_EQ(SentFrames({0x10}), (std::vector<Bytes>{WithSum({0x10, 0x04, '7', 'n', '0', '5'})}));
  EXPECT_EQ(SentFrames({0x3F}), (std::vector<Bytes>{WithSum({0x3F, 0x07, 0x04, 0x80, 0x04, 0xCC, 0x02, 0x08, 0x04})}));
  EXPECT_TRUE(Logged("FREQ :12.29MHz"));
}

TEST_F(BootWire, OddBitRateRunsAtTheNextLowerHundred) {
  TProgSettings settings;
  settings.BootBitRate = 57650;
  Start(BootOptions(sim::Cpu::RX231), settings);
  ASSERT_EQ(cont_->BootHandshake(), 1);
  EXPECT_EQ(SentFrames({0x3F}), (std::vector<Bytes>{WithSum({0x3F, 0x07, 0x02, 0x40, 0x00, 0x00, 0x02, 0x02, 0x01})}));
  EXPECT_TRUE(Logged("SPEED :57600"));
  EXPECT_EQ(cont_->CommX1.CustomBaudRate(), 57600u);
  const sim::SimSnapshot s = sim_->Snapshot();
  EXPECT_EQ(s.listenRate, 57600u);
  EXPECT_EQ(s.ratesSeen, (std::set<std::uint32_t>{19200, 57600}));
  // The confirmation was understood at the new rate, so the port really switched.
  EXPECT_EQ(s.bootStatus, 0x1F);
  EXPECT_EQ(s.noiseBytes, 0u);
}

TEST_F(BootWire, UnansweredMatchingFailsAfterThirtyZeros) {
  sim::SimOptions o = BootOptions(sim::Cpu::RX231);
  o.faults.rules.push_back({sim::FaultRule::Kind::NoReply, {sim::FaultSite::Side::Boot, {}, 0x00, 0}, 0});
  Start(o);
  EXPECT_EQ(cont_->BootHandshake(), 0);
  // The last zero may still be on its way to the module when the tool gives up.
  const auto thirty = [](const sim::SimSnapshot& x) { return x.commandCounts.count("boot:00") && x.commandCounts.at("boot:00") >= 30; };
  EXPECT_TRUE(sim_->WaitFor(thirty, std::chrono::seconds(5)));
  EXPECT_EQ(SentFrames({0x00}), std::vector<Bytes>(30, Bytes{0x00}));
  EXPECT_TRUE(SentFrames({0x55}).empty());
  EXPECT_TRUE(Logged("NG: ビットレート合わせ込み"));
  EXPECT_FALSE(Logged("SPEED :115200"));
}

TEST_F(BootWire, RefusedDeviceEndsTheHandshakeBeforeTheBitRateCommand) {
  TProgSettings settings;
  settings.CpuCode = 6;  // sends "7505" to an RX231
  Start(BootOptions(sim::Cpu::RX231), settings);
  EXPECT_EQ(cont_->BootHandshake(), 0);
  EXPECT_TRUE(Logged("エラーコード: 21"));
  EXPECT_TRUE(Logged("NG: デバイス選択"));
  EXPECT_TRUE(SentFrames({0x3F}).empty());
}

TEST_F(BootWire, RefusedBitRateIsAlwaysShownAndLeavesThePort) {
  TProgSettings settings;
  settings.CpuCode = 6;
  settings.Multiplier1 = 3;  // not a ratio the boot program offers
  Start(BootOptions(sim::Cpu::RX630), settings);
  cont_->DebugLog = 0;
  EXPECT_EQ(cont_->BootHandshake(), 0);
  // With the debug display off only the forced line shows.
  EXPECT_EQ(pane_.lines, std::vector<std::string>{"NG: 新ビットレート選択"});
  EXPECT_EQ(cont_->CommX1.BaudRate(), br19200);
  EXPECT_EQ(sim_->Snapshot().bootError, 0x26);
}

}  // namespace
}  // namespace kv9::test
