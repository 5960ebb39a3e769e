// EEPROM, factory-setting and power commands against the simulated module,
// and against a scripted peer for the replies a sound module never gives.
#include <gtest/gtest.h>

#include <numeric>

#include "link/eeprom_backup_text.h"
#include "link/eeprom_procedures.h"
#include "link/flash_wr_rx_cont.h"
#include "sim/eeprom_images.h"
#include "tests/support/renewed_eeprom_words.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/recorders.h"
#include "tests/support/scripted_module.h"

namespace kv9 {
namespace {

using test::Bytes;
using Lines = std::vector<std::string>;

EepromImage Pattern(std::uint8_t base) {
  EepromImage image;
  for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>(base + i);
  return image;
}

EepromImage FromSim(const sim::EepromImages::Image& image) {
  EepromImage out;
  std::copy(image.begin(), image.end(), out.begin());
  return out;
}

class EepromSimTest : public ::testing::Test {
 protected:
  EepromSimTest() : sim_(folder_, 3), cont_(&ui_, &pane_, TProgSettings{}) {
    cont_.TxLog = cont_.RxLog = 0;
    EXPECT_EQ(cont_.OpenPort(3), 1);
    cont_.CommX1.SetBaudRate(br19200);
  }
  LogLineFn Log() {
    return [this](const std::string& text, int force) { AppendLogLine(&pane_, false, text, force); };
  }
  test::PortFolder folder_;
  test::TracedSim sim_;
  test::RecordingUi ui_;
  test::RecordingLogPane pane_;
  TFlashWrRXCont cont_;
};

TEST_F(EepromSimTest, ReadFramesAndInitFramesOnTheWire) {
  EepromImage image{};
  ASSERT_EQ(cont_.EepromRead(254, 1, 62, image.data()), 1);
  ASSERT_EQ(cont_.EepromRead(255, 1, 62, image.data()), 1);
  EXPECT_EQ(image, FromSim(sim_->Snapshot().eepromAllData));
  ASSERT_EQ(cont_.EepromInit(0), 1);
  ASSERT_EQ(cont_.EepromInit(1), 1);
  EXPECT_EQ(sim_.Received(), (Lines{"02 00 4F 04 83 FE 01 3E 03 18 0D", "02 00 4F 04 83 FF 01 3E 03 19 0D",
                                    "02 00 4E 01 71 03 C5 0D", "02 00 4E 02 71 01 03 C7 0D"}));
}

TEST_F(EepromSimTest, RestoreKeepsOldValuesAndRenewsWords25And31And39On) {
  // Give the module values that differ from its defaults everywhere.
  const EepromImage oldFactory = Pattern(0x10), oldAllData = Pattern(0x90);
  ASSERT_EQ(cont_.EepromWrite(255, 1, 62, oldFactory.data()), 1);
  for (const EepromRegion& r : kAllDataRegions) {
    ASSERT_EQ(cont_.EepromWrite(r.kind, 1, static_cast<std::uint8_t>(r.words), oldAllData.data() + 2 * r.firstWord), 1);
  }
  ASSERT_EQ(FromSim(sim_->Snapshot().eepromFactory), oldFactory);
  ASSERT_EQ(FromSim(sim_->Snapshot().eepromAllData), oldAllData);

  ASSERT_EQ(RestoreFactorySettings(cont_, 0), 1);

  const EepromImage expectedFactory = test::WithRenewedWords(oldFactory);
  const EepromImage expectedAllData = test::WithRenewedWords(oldAllData);
  EXPECT_NE(expectedAllData, oldAllData);
  const auto after = sim_->Snapshot();
  EXPECT_EQ(FromSim(after.eepromFactory), expectedFactory);
  EXPECT_EQ(FromSim(after.eepromAllData), expectedAllData);
}

TEST_F(EepromSimTest, ReferencePowerIsStoredOrReplacedBy250) {
  const std::pair<std::uint16_t, std::uint16_t> cases[] = {{200, 200}, {300, 300}, {301, 250}, {199, 250}};
  for (auto [reported, stored] : cases) {
    const std::uint8_t word[2] = {static_cast<std::uint8_t>(reported & 0xFF), static_cast<std::uint8_t>(reported >> 8)};
    ASSERT_EQ(cont_.EepromWrite(255, 41, 1, word), 1);
    pane_.lines.clear();
    cont_.DebugLog = 1;
    ASSERT_EQ(SetPowerRef(cont_, [this](const std::string& t, int f) { cont_.AddLog(t, f); }), 1);
    cont_.DebugLog = 0;
    EXPECT_EQ(pane_.lines, (Lines{"POWER       : 243", "REF POWER   : " + std::to_string(reported)}));
    const auto& factory = sim_->Snapshot().eepromFactory;
    EXPECT_EQ(factory[80] | (factory[81] << 8), stored) << reported;
  }
  const Lines frames = sim_.Received();
  EXPECT_EQ(frames.back(), "02 00 4E 06 83 FF 29 01 FA 00 03 FF 0D");  // 250 stored
}

TEST_F(EepromSimTest, FactoryDataListingShowsAll124Bytes) {
  ASSERT_EQ(ShowFactoryData(cont_, Log()), 1);
  ASSERT_EQ(pane_.lines.size(), 2u);
  EXPECT_EQ(pane_.lines[0], "EEPROM_FACTALLDATA : OK");
  EXPECT_EQ(pane_.lines[1].size(), 124u * 3);
  const auto factory = sim_->Snapshot().eepromFactory;
  char first[4];
  std::snprintf(first, sizeof first, "%02X ", factory[0]);
  EXPECT_EQ(pane_.lines[1].substr(0, 3), first);
}

// A module with two EEPROM images that can be told to misbehave.
class ScriptedEeprom {
 public:
  EepromImage factory = Pattern(0x20), allData = Pattern(0x60);
  bool corruptLastAllDataRead = false;
  int wrongCountOnRead = 0;  // 0: echo correctly; n: echo n on every read
  int allDataReads = 0;

  Bytes Answer(const Bytes& f) {
    const std::uint8_t code = f[2], sub = f[4];
    if (sub == 0x71) return test::ReplyFrame(0x30, {0x71});
    if (sub == 0x9E) return test::ReplyFrame(0x30, {0x9E, f[5]});
    if (sub == 0x84) return test::ReplyFrame(0x30, {0x84, 0x00, 0xF3, 0x00, 0x2C, 0x01, 0x01, 0x00});
    if (sub != 0x83) return {};
    const std::uint8_t kind = f[5], address = f[6], count = f[7];
    if (code == 0x4F) {
      EepromImage image = kind == 254 ? factory : allData;
      if (kind == 255 && ++allDataReads == 2 && corruptLastAllDataRead) image[17] ^= 0x01;
      Bytes data(3 + 2 * static_cast<std::size_t>(count));
      data[0] = 0x83;
      data[1] = address;
      data[2] = static_cast<std::uint8_t>(wrongCountOnRead ? wrongCountOnRead : count);
      std::copy_n(image.begin() + 2 * (address - 1), 2 * count, data.begin() + 3);
      return test::ReplyFrame(0x30, data);
    }
    static const int kRegionFirst[] = {0, 20, 30, 38};
    EepromImage& target = kind == 255 ? factory : allData;
    const int first = kind == 255 ? address - 1 : kRegionFirst[kind] + address - 1;
    std::copy(f.begin() + 8, f.begin() + 8 + 2 * count, target.begin() + 2 * first);
    return test::ReplyFrame(0x30, {0x83});
  }
};

class EepromScriptedTest : public ::testing::Test {
 protected:
  EepromScriptedTest()
      : port_(5, folder_.Path()),
        peer_(port_, [this](const Bytes& f) { return module_.Answer(f); }),
        cont_(&ui_, &pane_, TProgSettings{}) {
    EXPECT_EQ(cont_.OpenPort(5), 1);
    cont_.CommX1.SetBaudRate(br19200);
  }
  test::PortFolder folder_;
  ScriptedEeprom module_;
  test::PtyPort port_;
  test::ScriptedModule peer_;
  test::RecordingUi ui_;
  test::RecordingLogPane pane_;
  TFlashWrRXCont cont_;
};

TEST_F(EepromScriptedTest, RestoreSucceedsAgainstASoundModule) {
  EXPECT_EQ(RestoreFactorySettings(cont_, 1), 1);
  // Region 2 is written as the eight words 30..37, nothing from past the image.
  bool sawRegion2 = false;
  for (const Bytes& f : peer_.Frames()) {
    if (f[2] == 0x4E && f[4] == 0x83 && f[5] == 2) {
      sawRegion2 = true;
      EXPECT_EQ(f[3], 4 + 16);
      EXPECT_EQ(f[7], 8);
    }
    if (f[2] == 0x4E && f[4] == 0x71) {
      EXPECT_EQ(f[5], 0x01);  // the scan-mode option
    }
  }
  EXPECT_TRUE(sawRegion2);
}

TEST_F(EepromScriptedTest, ReadBackDifferingInOneByteFails) {
  peer_.WithScript([&] { module_.corruptLastAllDataRead = true; });
  EXPECT_EQ(RestoreFactorySettings(cont_, 0), 0);
  peer_.WithScript([&] { EXPECT_EQ(module_.allDataReads, 2); });  // the final read-back was the one that differed
}

TEST_F(EepromScriptedTest, ReadEchoingTheWrongCountFailsAndLeavesTheDestination) {
  peer_.WithScript([&] { module_.wrongCountOnRead = 61; });
  EepromImage image;
  image.fill(0xEE);
  EXPECT_EQ(cont_.EepromRead(254, 1, 62, image.data()), 0);
  EXPECT_EQ(std::count(image.begin(), image.end(), 0xEE), 124);
  EXPECT_EQ(RestoreFactorySettings(cont_, 0), 0);
  EXPECT_EQ(ShowFactoryData(cont_, [this](const std::string& t, int f) { cont_.AddLog(t, f); }), 0);
  EXPECT_EQ(pane_.lines, Lines{"EEPROM_FACTALLDATA : NG"});
}

TEST_F(EepromScriptedTest, RegionWritesCarryTheirTitles) {
  cont_.DebugLog = 1;
  cont_.RxLog = 0;
  const EepromImage image = Pattern(0);
  for (const EepromRegion& r : kAllDataRegions) {
    ASSERT_EQ(cont_.EepromWrite(r.kind, 1, static_cast<std::uint8_t>(r.words), image.data() + 2 * r.firstWord), 1);
  }
  Lines titles;
  for (const auto& line : pane_.lines) {
    if (line.find("EEPROM_") == 0) titles.push_back(line);
  }
  EXPECT_EQ(titles, (Lines{"EEPROM_RDWR_CMD TX: ", "EEPROM_RDWR_CMD2 TX: ", "EEPROM_RDWR_CMD3 TX: ",
                           "EEPROM_RDWR_CMD4 TX: "}));
  peer_.WithScript([&] { EXPECT_EQ(module_.allData, image); });
}

// --- backup files: the check line, the order of the lines, older files ---

std::string Lines6(const EepromImage& factory, const EepromImage& allData) {
  return EepromBackupText({"COM3", "Q508     ", "V2.00.00 "}, 0, factory, allData);
}

// The text with line `index` (0-based) replaced by `line`.
std::string WithLine(const std::string& text, std::size_t index, const std::string& line) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t nl; (nl = text.find('\n', from)) != std::string::npos; from = nl + 1)
    lines.push_back(text.substr(from, nl - from));
  lines.at(index) = line;
  std::string out;
  for (const auto& l : lines) out += l + "\n";
  return out;
}

TEST(EepromBackupText, Crc32IsTheZipOne) {
  EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);
  EXPECT_EQ(Crc32(""), 0u);
}

TEST(EepromBackupText, AWrittenFileReadsBackCheckedWithItsModule) {
  const EepromImage factory = Pattern(0x20), allData = Pattern(0x60);
  const std::string text = Lines6(factory, allData);
  // The check covers every line before it, the first one included.
  const std::size_t check = text.find("CHECK   : CRC-32 ");
  ASSERT_NE(check, std::string::npos);
  char expected[9];
  std::snprintf(expected, sizeof expected, "%08X", static_cast<unsigned>(Crc32(text.substr(0, check))));
  EXPECT_EQ(text.substr(check), "CHECK   : CRC-32 " + std::string(expected) + "\n");
  EepromBackupContent content;
  EXPECT_EQ(ParseEepromBackupText(text, content), "");
  EXPECT_TRUE(content.checked);
  EXPECT_EQ(content.model, "Q508");
  EXPECT_EQ(content.romVersion, "V2.00.00");
  EXPECT_EQ(content.factory, factory);
  EXPECT_EQ(content.allData, allData);
  // CR LF line ends (a file that went through another system) are no change.
  std::string crlf;
  for (const char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(ParseEepromBackupText(crlf, content), "");
}

TEST(EepromBackupText, EditedCutPiecedAndUnknownFilesAreRefused) {
  const std::string text = Lines6(Pattern(0x20), Pattern(0x60));
  const std::string factoryLine = text.substr(text.find("FACTORY"), text.find("ALLDATA") - text.find("FACTORY") - 1);
  const std::string allDataLine = text.substr(text.find("ALLDATA"), text.find("CHECK") - text.find("ALLDATA") - 1);
  std::string edited = factoryLine;
  edited[10] = edited[10] == '2' ? '3' : '2';  // one byte, still hex
  const std::string cut = text.substr(0, text.find("CHECK"));
  const std::pair<std::string, std::string> cases[] = {
      {WithLine(text, 3, edited), "the check does not match: the file was changed after it was written"},
      {WithLine(text, 2, "ROM     : V2.00.01"), "the check does not match: the file was changed after it was written"},
      {cut, "the CHECK line is missing (the file was cut short)"},
      {text.substr(0, text.find("ALLDATA") + 40), "the CHECK line is missing (the file was cut short)"},
      {text + factoryLine + "\n", "FACTORY line twice"},
      // A later ALLDATA line that would replace the earlier one.
      {cut + allDataLine + "\n" + text.substr(text.find("CHECK")), "ALLDATA line twice"},
      {text + "# note\n", "line 7 is not a line of a backup"},
      {WithLine(text, 1, "SERIAL  : 1"), "line 2 is not a line of a backup"},
      {text.substr(text.find('\n') + 1), "the \"# KV9 R/W EEPROM\" line missing"},
  };
  for (const auto& [file, why] : cases) {
    EepromBackupContent content;
    content.model = "untouched";
    EXPECT_EQ(ParseEepromBackupText(file, content), why) << file;
    EXPECT_EQ(content.model, "untouched");  // nothing of a refused file is taken
  }
}

TEST(EepromBackupText, AnOlderFileWithoutACheckIsReadAsUnchecked) {
  const std::string text = Lines6(Pattern(0x20), Pattern(0x60));
  std::string older;
  for (const char* label : {"# KV9", "FACTORY", "ALLDATA"}) {
    const std::size_t at = text.find(label);
    older += text.substr(at, text.find('\n', at) + 1 - at);
  }
  EepromBackupContent content;
  EXPECT_EQ(ParseEepromBackupText(older, content), "");
  EXPECT_FALSE(content.checked);
  EXPECT_EQ(content.factory, Pattern(0x20));
  EXPECT_EQ(content.allData, Pattern(0x60));
  EXPECT_EQ(content.model, "");
  // Its lines still have to be whole and in order.
  EXPECT_EQ(ParseEepromBackupText(older.substr(0, older.size() - 4), content), "the ALLDATA line is not 124 hex bytes");
  const std::size_t all = older.find("ALLDATA");
  EXPECT_EQ(ParseEepromBackupText(older.substr(0, older.find("FACTORY")) + older.substr(all) +
                                      older.substr(older.find("FACTORY"), all - older.find("FACTORY")),
                                  content),
            "the lines are out of order");
}

TEST(EepromBackupText, AModuleIsToldByItsFactoryWordsOutsideTheRenewedOnes) {
  const EepromImage own = Pattern(0x20);
  EepromImage renewedOnly = own, calibrationChanged = own;
  renewedOnly[2 * 25] ^= 0xFF;      // word 25
  renewedOnly[2 * 40 + 1] ^= 0x01;  // the reference power, word 40 of the image
  renewedOnly[2 * 61] ^= 0x10;
  EXPECT_TRUE(SameModuleFactoryData(own, renewedOnly));
  for (const int word : {0, 24, 26, 30, 32, 38}) {
    calibrationChanged = own;
    calibrationChanged[2 * word + 1] ^= 0x01;
    EXPECT_FALSE(SameModuleFactoryData(own, calibrationChanged)) << word;
  }
}

}  // namespace
}  // namespace kv9
