// The normal firmware's replies, byte for byte, over the real pty.
#include "sim_test_support.h"

#include "wire/frame_sum.h"

namespace kv9::sim::test {
namespace {

class FirmwareFrames : public SimTest {};

const Bytes kRomVersionQuery{0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D};
const Bytes kModelQuery{0x02, 0x00, 0x4F, 0x01, 0x93, 0x03, 0xE8, 0x0D};
const Bytes kFactoryRead{0x02, 0x00, 0x4F, 0x04, 0x83, 0xFE, 0x01, 0x3E, 0x03, 0x18, 0x0D};
const Bytes kAllDataRead{0x02, 0x00, 0x4F, 0x04, 0x83, 0xFF, 0x01, 0x3E, 0x03, 0x19, 0x0D};
const Bytes kPowerQuery{0x02, 0x00, 0x4F, 0x02, 0x84, 0x00, 0x03, 0xDA, 0x0D};

std::uint16_t WordAt(const Bytes& reply, std::size_t word) {
  // Words start after STX 00 status LEN 83 address count.
  return static_cast<std::uint16_t>(reply[7 + word * 2] | (reply[8 + word * 2] << 8));
}

TEST_F(FirmwareFrames, RomVersionReplyIsExact) {
  Start();
  EXPECT_EQ(Line().Exchange(kRomVersionQuery, 17),
            (Bytes{0x02, 0x00, 0x30, 0x0A, 0x90, 'V', '1', '.', '0', '0', '.', '0', '0', ' ', 0x03, 0x92, 0x0D}));
}

TEST_F(FirmwareFrames, ModelNameReplyIsExactAndCanBeOverridden) {
  Start();
  EXPECT_EQ(Line().Exchange(kModelQuery, 17),
            (Bytes{0x02, 0x00, 0x30, 0x0A, 0x93, 'Q', '5', '0', '8', ' ', ' ', ' ', ' ', ' ', 0x03, 0x60, 0x0D}));
  line_.reset();
  sim_.reset();
  SimOptions o = Options();
  o.modelName = "Q999X";
  Start(o);
  EXPECT_EQ(Line().Exchange(kModelQuery, 17),
            (Bytes{0x02, 0x00, 0x30, 0x0A, 0x93, 'Q', '9', '9', '9', 'X', ' ', ' ', ' ', ' ', 0x03, 0xA6, 0x0D}));
}

TEST_F(FirmwareFrames, OperationModeAndTransmitterSwitch) {
  Start();
  const Bytes mode{0x02, 0x00, 0x4E, 0x07, 0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x03, 0x63, 0x0D};
  EXPECT_EQ(Line().Exchange(mode, 7), (Bytes{0x02, 0x00, 0x30, 0x00, 0x03, 0x35, 0x0D}));
  const Bytes txOn{0x02, 0x00, 0x4E, 0x02, 0x9E, 0x01, 0x03, 0xF4, 0x0D};
  EXPECT_EQ(Line().Exchange(txOn, 9), (Bytes{0x02, 0x00, 0x30, 0x02, 0x9E, 0x01, 0x03, 0xD6, 0x0D}));
}

TEST_F(FirmwareFrames, PowerQueryReportsPowerOnlyWithTransmitterOn) {
  Start();
  EXPECT_EQ(Line().Exchange(kPowerQuery, 15),
            (Bytes{0x02, 0x00, 0x30, 0x08, 0x84, 0x00, 0x00, 0x00, 0x06, 0x01, 0x00, 0x00, 0x03, 0xC8, 0x0D}));
  Line().Exchange({0x02, 0x00, 0x4E, 0x02, 0x9E, 0x01, 0x03, 0xF4, 0x0D}, 9);
  // Power 243 (F3 00), reference power 262 (06 01) from the factory image.
  EXPECT_EQ(Line().Exchange(kPowerQuery, 15),
            (Bytes{0x02, 0x00, 0x30, 0x08, 0x84, 0x00, 0xF3, 0x00, 0x06, 0x01, 0x01, 0x00, 0x03, 0xBC, 0x0D}));
}

TEST_F(FirmwareFrames, EepromReadsEchoAndCarryBothImages) {
  SimModule& sim = Start();
  const Bytes f = Line().Exchange(kFactoryRead, 134);
  ASSERT_EQ(f.size(), 134u);
  EXPECT_EQ(Bytes(f.begin(), f.begin() + 7), (Bytes{0x02, 0x00, 0x30, 0x7F, 0x83, 0x01, 0x3E}));
  // The whole frame, ETX, FrameSum and CR included, is what a 127-byte reply must be.
  EXPECT_EQ(f, ModuleReply(0x30, Bytes(f.begin() + 4, f.end() - 3)));
  EXPECT_EQ(WordAt(f, 40), 262);  // reference power of this module
  const Bytes a = Line().Exchange(kAllDataRead, 134);
  ASSERT_EQ(a.size(), 134u);
  EXPECT_EQ(WordAt(a, 0), 0x2200);  // owner settings differ from the factory image
  EXPECT_NE(WordAt(f, 0), WordAt(a, 0));
  const SimSnapshot s = sim.Snapshot();
  EXPECT_TRUE(std::equal(s.eepromFactory.begin(), s.eepromFactory.end(), f.begin() + 7));
  EXPECT_TRUE(std::equal(s.eepromAllData.begin(), s.eepromAllData.end(), a.begin() + 7));
}

TEST_F(FirmwareFrames, EepromReadOutsideTheImageIsRefused) {
  Start();
  // 62 words from address 2 would run past word 62.
  const Bytes r = Line().Exchange(ModuleFrame(0x4F, {0x83, 0xFE, 0x02, 0x3E}), 8);
  EXPECT_EQ(r, ModuleReply(0x31, {0x83}));
}

TEST_F(FirmwareFrames, AllDataKindWritesTheFactoryImage) {
  SimModule& sim = Start();
  const Bytes store{0x02, 0x00, 0x4E, 0x06, 0x83, 0xFF, 0x29, 0x01, 0xFA, 0x00, 0x03, 0xFF, 0x0D};
  EXPECT_EQ(Line().Exchange(store, 8), (Bytes{0x02, 0x00, 0x30, 0x01, 0x83, 0x03, 0xB9, 0x0D}));
  EXPECT_EQ(WordAt(Line().Exchange(kFactoryRead, 134), 40), 250);
  EXPECT_EQ(WordAt(Line().Exchange(kAllDataRead, 134), 40), 262);
  EXPECT_EQ(sim.Snapshot().eepromFactory[80], 0xFA);
}

TEST_F(FirmwareFrames, RegionWritesLandInTheirPartOfTheAllDataImage) {
  SimModule& sim = Start();
  const auto factoryBefore = sim.Snapshot().eepromFactory;
  const auto before = sim.Snapshot().eepromAllData;
  auto words = [](std::size_t n, std::uint8_t fill) {
    Bytes d;
    for (std::size_t i = 0; i < n; ++i) {
      d.push_back(static_cast<std::uint8_t>(fill + i));
      d.push_back(fill);
    }
    return d;
  };
  struct Region {
    std::uint8_t kind;
    std::size_t first, words;
  } regions[] = {{0, 0, 20}, {1, 20, 10}, {2, 30, 8}, {3, 38, 24}};
  for (const auto& r : regions) {
    Bytes d{0x83, r.kind, 0x01, static_cast<std::uint8_t>(r.words)};
    const Bytes w = words(r.words, static_cast<std::uint8_t>(0x40 + r.kind * 0x20));
    d.insert(d.end(), w.begin(), w.end());
    ASSERT_EQ(Line().Exchange(ModuleFrame(0x4E, d), 8), ModuleReply(0x30, {0x83})) << int(r.kind);
  }
  const auto after = sim.Snapshot().eepromAllData;
  for (const auto& r : regions) {
    const Bytes w = words(r.words, static_cast<std::uint8_t>(0x40 + r.kind * 0x20));
    EXPECT_TRUE(std::equal(w.begin(), w.end(), after.begin() + static_cast<std::ptrdiff_t>(r.first * 2)))
        << int(r.kind);
  }
  EXPECT_NE(before, after);
  EXPECT_EQ(sim.Snapshot().eepromFactory, factoryBefore);

  // A region-2 write sized for 39 words does not fit its 8 words: it is
  // refused and nothing of it is stored, so a wrongly sized write shows.
  Bytes d{0x83, 0x02, 0x01, 39};
  const Bytes big = words(39, 0x11);
  d.insert(d.end(), big.begin(), big.end());
  ASSERT_EQ(Line().Exchange(ModuleFrame(0x4E, d), 8), ModuleReply(0x31, {0x83}));
  EXPECT_EQ(sim.Snapshot().eepromAllData, after);
}

TEST_F(FirmwareFrames, InitialisationRenewsOnlyTheFactoryWordsItOwns) {
  SimModule& sim = Start();
  const auto before = sim.Snapshot();
  EXPECT_EQ(Line().Exchange({0x02, 0x00, 0x4E, 0x01, 0x71, 0x03, 0xC5, 0x0D}, 8),
            (Bytes{0x02, 0x00, 0x30, 0x01, 0x71, 0x03, 0xA7, 0x0D}));
  const auto after = sim.Snapshot();
  const auto defaults = EepromImages::Defaults();
  for (std::size_t w = 0; w < EepromImages::kWords; ++w) {
    const auto& expected = EepromImages::IsRenewedWord(w) ? defaults : before.eepromFactory;
    EXPECT_EQ(after.eepromFactory[w * 2], expected[w * 2]) << w;
    EXPECT_EQ(after.eepromFactory[w * 2 + 1], expected[w * 2 + 1]) << w;
  }
  EXPECT_NE(after.eepromFactory, before.eepromFactory);
  EXPECT_EQ(after.eepromAllData, before.eepromAllData);
  // With the option the all-data image is renewed in the same words.
  EXPECT_EQ(Line().Exchange({0x02, 0x00, 0x4E, 0x02, 0x71, 0x01, 0x03, 0xC7, 0x0D}, 8),
            (Bytes{0x02, 0x00, 0x30, 0x01, 0x71, 0x03, 0xA7, 0x0D}));
  const auto all = sim.Snapshot().eepromAllData;
  EXPECT_EQ(all[40 * 2], 250);
  EXPECT_EQ(all[0], before.eepromAllData[0]);
}

TEST_F(FirmwareFrames, BadSumAndUnknownCommandsAreRefused) {
  Start();
  Bytes bad = kRomVersionQuery;
  bad[7] = 0xE7;
  EXPECT_EQ(Line().Exchange(bad, 7), ModuleReply(0x33, {}));
  EXPECT_EQ(Line().Exchange(ModuleFrame(0x4F, {0x77}), 8), ModuleReply(0x32, {0x77}));
}

TEST_F(FirmwareFrames, BootModeRequestNeedsTheAccessCode) {
  SimModule& sim = Start();
  Bytes wrong{0x9B};
  for (char c : std::string("583914208")) wrong.push_back(static_cast<std::uint8_t>(c));
  EXPECT_EQ(Line().Exchange(ModuleFrame(0x4E, wrong), 8), (Bytes{0x02, 0x00, 0x31, 0x01, 0x9B, 0x03, 0xD2, 0x0D}));
  EXPECT_EQ(Line().Exchange(kRomVersionQuery, 17).size(), 17u);  // still the firmware

  const Bytes request{0x02, 0x00, 0x4E, 0x0A, 0x9B, '5', '8', '3', '9', '1', '4', '2', '0', '7', 0x03, 0xCF, 0x0D};
  EXPECT_EQ(Line().Exchange(request, 8), (Bytes{0x02, 0x00, 0x30, 0x01, 0x9B, 0x03, 0xD1, 0x0D}));
  ASSERT_TRUE(sim.WaitFor([](const SimSnapshot& s) { return s.personality == Personality::Boot; }, 2000ms));
  EXPECT_EQ(sim.Snapshot().listenRate, 19200u);
  EXPECT_EQ(sim.Snapshot().restarts, 1u);
  // The boot program does not understand firmware frames: no 17-byte reply.
  EXPECT_LT(Line().Exchange(kRomVersionQuery, 17, 300ms).size(), 17u);
}

TEST_F(FirmwareFrames, FirmwareAtAnotherRateAnswersThere) {
  SimOptions o = Options();
  o.firmwareRate = 115200;
  Start(o);
  EXPECT_EQ(Line(115200).Exchange(kModelQuery, 17).size(), 17u);
}

}  // namespace
}  // namespace kv9::sim::test

namespace kv9::sim::test {
namespace {

// The firmware refuses frames that differ from the fixed ones, so a tool that
// sends a wrong byte sees status "1" rather than a reply that looks right.
TEST_F(FirmwareFrames, FramesThatDifferFromTheFixedOnesAreRefused) {
  Start();
  Bytes strayByte = ModuleFrame(0x4F, {0x90, 0x00});
  strayByte[1] = 0x55;
  strayByte[strayByte.size() - 2] = FrameSum(strayByte.data(), strayByte.size() - 2);
  EXPECT_EQ(Line().Exchange(strayByte, 7)[2], 0x31);
  EXPECT_EQ(Line().Exchange(ModuleFrame(0x4F, {0x90}), 17)[2], 0x31);           // version query without its 00
  EXPECT_EQ(Line().Exchange(ModuleFrame(0x4F, {0x93, 0x77, 0x77}), 17)[2], 0x31);  // name query with extra data
  EXPECT_EQ(Line().Exchange(ModuleFrame(0x4E, {0x00, 0x00, 0x00, 0x08, 0x02, 0x00, 0x00}), 7),
            ModuleReply(0x31, {}));                                              // operation mode without its 01
  EXPECT_EQ(Line().Exchange(ModuleFrame(0x4E, {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00}), 7),
            ModuleReply(0x30, {}));
}

}  // namespace
}  // namespace kv9::sim::test
