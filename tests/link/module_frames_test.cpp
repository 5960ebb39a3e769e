// Pure pieces of the module link: frames, checksums, names, EEPROM images.
#include <gtest/gtest.h>

#include "link/eeprom_procedures.h"
#include "link/flash_wr_rx_cont.h"
#include "link/hex_trace.h"
#include "link/module_frame.h"
#include "serial/port_name.h"

namespace kv9 {
namespace {

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string s = HexTrace("", bytes.data(), bytes.size());
  return s.substr(0, s.size() - 1);
}

TEST(FrameSum, LowEightBitsOfTheSumFromStxToEtx) {
  const std::uint8_t rom[] = {0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D};
  EXPECT_EQ(TFlashWrRXCont::FrameSum(rom), 0xE6);
  const std::uint8_t big[] = {0x02, 0x00, 0x4F, 0x03, 0xFF, 0xFF, 0xFF, 0x03};  // 0x354
  EXPECT_EQ(TFlashWrRXCont::FrameSum(big), 0x54);
}

TEST(ModuleFrame, FixedFramesByteForByte) {
  EXPECT_EQ(Hex(BuildModuleFrame(0x4E, {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00})),
            "02 00 4E 07 00 00 00 08 01 00 00 03 63 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4F, {0x90, 0x00})), "02 00 4F 02 90 00 03 E6 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4F, {0x93})), "02 00 4F 01 93 03 E8 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4E, {0x9E, 0x01})), "02 00 4E 02 9E 01 03 F4 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4E, {0x9E, 0x00})), "02 00 4E 02 9E 00 03 F3 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4F, {0x83, 0xFE, 0x01, 0x3E})), "02 00 4F 04 83 FE 01 3E 03 18 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4F, {0x83, 0xFF, 0x01, 0x3E})), "02 00 4F 04 83 FF 01 3E 03 19 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4E, {0x71})), "02 00 4E 01 71 03 C5 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4E, {0x71, 0x01})), "02 00 4E 02 71 01 03 C7 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4F, {0x84, 0x00})), "02 00 4F 02 84 00 03 DA 0D");
  EXPECT_EQ(Hex(BuildModuleFrame(0x4E, {0x83, 0xFF, 0x29, 0x01, 0xFA, 0x00})),
            "02 00 4E 06 83 FF 29 01 FA 00 03 FF 0D");
}

TEST(ModuleReply, OnlyAWholeFrameOfTheAwaitedLengthPasses) {
  using B = std::vector<std::uint8_t>;
  // A reply has the layout of a command frame with the status in the code's
  // place: the ROM version reply, 17 bytes with sum 0x92.
  const B rom = BuildModuleFrame(0x30, {0x90, 'V', '1', '.', '0', '0', '.', '0', '0', ' '});
  auto spoilt = [&](std::size_t at, std::uint8_t value) {
    B r = rom;
    r[at] = value;
    return r;
  };
  const std::pair<B, std::string> cases[] = {
      {rom, ""},
      {BuildModuleFrame(0x31, {0x83}), ""},  // a refusal is a whole reply too
      {spoilt(0, 0x03), "STX at byte 0 is 03, expected 02"},
      {spoilt(1, 0x01), "byte 1 at byte 1 is 01, expected 00"},
      {spoilt(3, 0x0B), "LEN at byte 3 is 0B, expected 0A"},
      {spoilt(14, 0x0D), "ETX at byte 14 is 0D, expected 03"},
      {spoilt(15, 0x93), "SUM at byte 15 is 93, expected 92"},
      {spoilt(9, '9'), "SUM at byte 15 is 92, expected 9B"},  // data changed under the sum
      {spoilt(16, 0x0A), "CR at byte 16 is 0A, expected 0D"},
      {B(rom.begin(), rom.begin() + 6), "too short for a frame"},
  };
  for (const auto& [reply, fault] : cases) {
    const ReplyVerdict v = CheckModuleReply(reply);
    EXPECT_EQ(v.Whole(), fault.empty()) << fault;
    EXPECT_EQ(ReplyVerdictText(v), fault.empty() ? "" : "Reply rejected: " + fault);
  }
}

TEST(ComNumber, NumberAfterTheFirstThreeCharacters) {
  EXPECT_EQ(ComNumberOf("COM1"), 1);
  EXPECT_EQ(ComNumberOf("COM128"), 128);
  EXPECT_EQ(ComNumberOf("com7"), 7);
  try {
    ComNumberOf("COMx");
    FAIL() << "no conversion error";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x' is not a valid integer value");
  }
  EXPECT_THROW(ComNumberOf("COM"), EConvertError);
  EXPECT_THROW(ComNumberOf("COM1a"), EConvertError);
  EXPECT_THROW(StrToInt("99999999999"), EConvertError);
  EXPECT_EQ(StrToInt(" -12 "), -12);
}

// A number the port's byte cannot hold must not wrap round to another port
// ("COM256" to COM0, "COM-1" to COM255): the same names the port table refuses.
TEST(ComNumber, NamesThePortTableRefusesRaiseTheConversionError) {
  for (const char* name : {"COM256", "COM0", "COM-1", "COM01", "COM 5", "LPT5"}) {
    EXPECT_THROW(ComNumberOf(name), EConvertError) << name;
  }
}

TEST(EepromImage, RenewedWordsAreTwentyFiveThirtyOneAndThirtyNineOn) {
  EepromImage fresh{}, image{};
  fresh.fill(0xAA);
  image.fill(0x11);
  TakeRenewedWords(fresh, image);
  for (int word = 0; word < kEepromWords; ++word) {
    const bool renewed = word == 25 || word == 31 || word >= 39;
    EXPECT_EQ(image[2 * word], renewed ? 0xAA : 0x11) << word;
    EXPECT_EQ(image[2 * word + 1], renewed ? 0xAA : 0x11) << word;
  }
}

TEST(EepromImage, RegionsCoverTheSixtyTwoWordsExactlyOnce) {
  int next = 0;
  for (const EepromRegion& region : kAllDataRegions) {
    EXPECT_EQ(region.firstWord, next);
    next += region.words;
  }
  EXPECT_EQ(next, kEepromWords);
}

TEST(ReferencePower, OutsideTwoHundredToThreeHundredBecomes250) {
  EXPECT_EQ(ClampReferencePower(300), 300);
  EXPECT_EQ(ClampReferencePower(200), 200);
  EXPECT_EQ(ClampReferencePower(301), 250);
  EXPECT_EQ(ClampReferencePower(199), 250);
  EXPECT_EQ(ClampReferencePower(0), 250);
}

}  // namespace
}  // namespace kv9
