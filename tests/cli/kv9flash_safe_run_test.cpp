// Runs that leave the straight path: a module at an unexpected rate in
// re-write mode, a model name that is only a prefix, the EEPROM copy kept
// before the factory initialisation, a failure after a verified write.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/resources.h"
#include "tests/support/sim_fixture.h"
#include "tests/cli/kv9flash_run.h"
#include "tests/support/child_process.h"

namespace kv9 {
namespace {

using Lines = std::vector<std::string>;
using test::Kv9flash;
using test::SplitLines;

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string HexLine(const std::string& label, const std::array<std::uint8_t, 124>& bytes) {
  std::string line = label;
  char byte[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(byte, sizeof byte, " %02X", static_cast<unsigned>(b));
    line += byte;
  }
  return line;
}

class Kv9flashSafeRunTest : public ::testing::Test {
 protected:
  test::PortFolder folder_;
};

TEST_F(Kv9flashSafeRunTest, ReWriteModeFindsTheNewFirmwaresRateAndRestoresTheFactorySettings) {
  sim::SimOptions options;
  options.startIn = sim::StartIn::Boot;
  options.firmwareRate = 115200;
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3", "--rewrite"});  // 19200 assumed
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const Lines out = SplitLines(r.out);
  EXPECT_TRUE(Has(out, "Speed  : 115200")) << r.out;
  EXPECT_TRUE(Has(out, "FLASH DATA : OK")) << r.out;
  EXPECT_TRUE(Has(out, "ROM Verision : V2.00.00 ")) << r.out;
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  EXPECT_EQ(sim->Snapshot().FlashAt(0xFFFC0000, 245760), std::vector<std::uint8_t>(image.data, image.data + 245760));
}

TEST_F(Kv9flashSafeRunTest, EepromImagesAreKeptInAFileBeforeTheInitialisation) {
  test::TracedSim sim(folder_, 3);
  const auto before = sim->Snapshot();
  const std::string data = folder_.Path() + "/data";
  const auto r = [&] {
    test::ScopedEnv dataHome("XDG_DATA_HOME", data);
    return Kv9flash({"--port", "COM3", "--debug"});
  }();
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(data + "/kv9update/eeprom")) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(Has(SplitLines(r.out), "EEPROM BACKUP : " + files[0].string())) << r.out;
  std::ifstream in(files[0]);
  std::stringstream text;
  text << in.rdbuf();
  const Lines lines = SplitLines(text.str());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0].rfind("# KV9 R/W EEPROM COM3 ", 0), 0u);
  // The module it came from: the model and the firmware it runs by then.
  EXPECT_EQ(lines[1], "MODEL   : Q508");
  EXPECT_EQ(lines[2], "ROM     : V2.00.00");
  EXPECT_EQ(lines[3], HexLine("FACTORY :", before.eepromFactory));
  EXPECT_EQ(lines[4], HexLine("ALLDATA :", before.eepromAllData));
  EXPECT_EQ(lines[5].rfind("CHECK   : CRC-32 ", 0), 0u) << lines[5];
  EXPECT_EQ(lines[5].size(), std::string("CHECK   : CRC-32 ").size() + 8) << lines[5];
}

TEST_F(Kv9flashSafeRunTest, AFailureAfterTheVerifiedWriteSaysTheFirmwareIsIn) {
  // The write and its check succeed; the new firmware does not answer its
  // first ROM version query (discovery asked once before).
  sim::SimOptions options;
  sim::FaultRule mute;
  mute.kind = sim::FaultRule::Kind::NoReply;
  mute.site.side = sim::FaultSite::Side::Firmware;
  mute.site.code = 0x90;
  mute.site.occurrence = 2;
  options.faults.rules.push_back(mute);
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3"});
  EXPECT_EQ(r.exitCode, 1);
  const Lines out = SplitLines(r.out);
  ASSERT_GE(out.size(), 4u);
  // One text: the firmware is in, and how the settings are finished; none
  // of the stage advice that asks for the write again.
  EXPECT_EQ(Lines(out.end() - 4, out.end()),
            (Lines{"NG : Get ROM Version", "アップデートに失敗しました。", "",
                   "ファームウェアの書き込みとチェックは正常に終了しています。もう一度書き込む必要はありません。"
                   "R/Wの電源を入れ直し、接続とROMバージョンを確認してから、工場出荷時設定を行ってください。"}));
}

bool Initialised(test::TracedSim& sim) {
  for (const auto& frame : sim.Received()) {
    if (frame.rfind("02 00 4E 01 71", 0) == 0 || frame.rfind("02 00 4E 02 71", 0) == 0) return true;
  }
  return false;
}

// No factory initialisation without an agreed copy of the EEPROM on disk;
// a copy written back restores exactly its images.
TEST_F(Kv9flashSafeRunTest, TheEepromIsOnlyTouchedWithAnAgreedCopyOnDisk) {
  const std::string blocker = folder_.Path() + "/not-a-folder";
  std::ofstream(blocker) << "x";
  {
    // The data folder cannot be made (root may write anywhere, but not
    // below a file): the firmware goes in, the settings stay as they were.
    test::TracedSim sim(folder_, 3);
    const auto before = sim->Snapshot();
    test::ScopedEnv dataHome("XDG_DATA_HOME", blocker);
    const auto r = Kv9flash({"--port", "COM3", "--report", folder_.Path() + "/r1.json"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    const Lines out = SplitLines(r.out);
    EXPECT_TRUE(Has(out, "EEPROMの内容をファイルに保存できないため、工場出荷時設定を中止しました。"
                         "R/Wの設定は変更されていません。")) << r.out;
    EXPECT_TRUE(Has(out, "ライト     : OK")) << r.out;
    EXPECT_FALSE(Initialised(sim));
    EXPECT_EQ(sim->Snapshot().eepromFactory, before.eepromFactory);
    EXPECT_EQ(sim->Snapshot().eepromAllData, before.eepromAllData);
    EXPECT_NE(r.err.find("continue with: kv9flash --port COM3 restore\n"), std::string::npos) << r.err;
  }
  {
    // A bit error in one of the two factory-image reads that no frame check
    // sees (its sum made right): the reads disagree, nothing is initialised.
    sim::SimOptions options;
    sim::FaultRule flip;
    flip.kind = sim::FaultRule::Kind::BitFlipSummed;
    flip.site.side = sim::FaultSite::Side::Firmware;
    flip.site.frameCode = 0x4F;
    flip.site.code = 0x83;
    flip.site.occurrence = 3;
    flip.flipByte = 20;
    flip.flipBit = 2;
    options.faults.rules.push_back(flip);
    test::TracedSim sim(folder_, 3, options);
    const auto before = sim->Snapshot();
    test::ScopedEnv dataHome("XDG_DATA_HOME", folder_.Path() + "/data");
    const auto r = Kv9flash({"--port", "COM3"});
    EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
    EXPECT_TRUE(Has(SplitLines(r.out), "EEPROMを2回読み出した内容が一致しないため、工場出荷時設定を中止しました。"
                                       "R/Wの設定は変更されていません。")) << r.out;
    EXPECT_FALSE(Initialised(sim));
    EXPECT_EQ(sim->Snapshot().eepromFactory, before.eepromFactory);
    EXPECT_EQ(sim->Snapshot().eepromAllData, before.eepromAllData);
  }
  // A backup file written before files carried a check, of other settings
  // and another module's calibration: the roll-back writes it as it is once
  // the person says the other module's file is meant.
  std::array<std::uint8_t, 124> factory{}, allData{};
  for (std::size_t i = 0; i < 124; ++i) {
    factory[i] = static_cast<std::uint8_t>(i * 3);
    allData[i] = static_cast<std::uint8_t>(0xA0 ^ i);
  }
  const std::string file = folder_.Path() + "/eeprom-old.txt";
  std::ofstream(file) << "# KV9 R/W EEPROM COM3 2026-01-02 03:04:05\n"
                      << HexLine("FACTORY :", factory) << "\n" << HexLine("ALLDATA :", allData) << "\n";
  test::TracedSim sim(folder_, 3);
  const auto before = sim->Snapshot();
  test::ScopedEnv dataHome("XDG_DATA_HOME", folder_.Path() + "/data");
  const auto r =
      Kv9flash({"--auto", "restore", "--roll-back", file, "--other-module", "--report", folder_.Path() + "/r2.json"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_TRUE(Has(SplitLines(r.out), "EEPROM BACKUP FILE : " + file +
                                         ": a file written before backup files carried a check; whether its bytes are "
                                         "still as written cannot be told")) << r.out;
  EXPECT_FALSE(Initialised(sim));
  EXPECT_EQ(sim->Snapshot().eepromFactory, factory);
  EXPECT_EQ(sim->Snapshot().eepromAllData, allData);
  // What the module held before is kept in a new copy; --auto names the
  // port it found the module on.
  std::ifstream report(folder_.Path() + "/r2.json");
  std::string json;
  std::getline(report, json);
  EXPECT_EQ(json.rfind("{\"port\":\"COM3\",\"outcome\":\"ok\",\"exit\":0,\"stage\":\"done\","
                       "\"module_state\":\"restored\"", 0), 0u) << json;
  const std::string backupKey = "\"eeprom_backup\":\"";
  const std::size_t at = json.find(backupKey);
  ASSERT_NE(at, std::string::npos) << json;
  std::ifstream copy(json.substr(at + backupKey.size(), json.find('"', at + backupKey.size()) - at - backupKey.size()));
  std::stringstream copied;
  copied << copy.rdbuf();
  const Lines lines = SplitLines(copied.str());
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[3], HexLine("FACTORY :", before.eepromFactory));
  EXPECT_EQ(lines[4], HexLine("ALLDATA :", before.eepromAllData));
}

TEST_F(Kv9flashSafeRunTest, APacedUpdateAtTwoThousandFourHundredBitsPerSecondSucceeds) {
  // A 262-byte programming frame takes 1092 ms on the line at 2400 bit/s,
  // longer than the 1000 ms reply wait: the wait must count from when the
  // frame has left.
  std::string records;
  char line[80];
  for (std::uint32_t address = 0xFFFFB000; address < 0xFFFFC000; address += 16) {
    unsigned sum = 21 + (address >> 24) + ((address >> 16) & 0xFF) + ((address >> 8) & 0xFF) + (address & 0xFF);
    std::snprintf(line, sizeof line, "S315%08X", static_cast<unsigned>(address));
    records += line;
    for (unsigned k = 0; k < 16; ++k) {
      const unsigned b = (address + k * 7) & 0xFF;
      std::snprintf(line, sizeof line, "%02X", b);
      records += line;
      sum += b;
    }
    std::snprintf(line, sizeof line, "%02X\n", 0xFF - (sum & 0xFF));
    records += line;
  }
  records += "S70500000000FA\n";
  const std::string mot = folder_.Path() + "/small.mot";
  std::ofstream(mot) << records;

  sim::SimOptions options;
  options.pace = true;
  test::TracedSim sim(folder_, 3, options);
  const auto r = test::RunChild(KV9FLASH_PATH, {"--port", "COM3", "--boot-rate", "2400", "--no-init", "--image", mot},
                                110000);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const auto snap = sim->Snapshot();
  EXPECT_TRUE(snap.ratesSeen.count(2400));
  const std::vector<std::uint8_t> programmed = snap.FlashAt(0xFFFFB000, 4096);
  ASSERT_EQ(programmed.size(), 4096u);
  for (unsigned i = 0; i < 4096; ++i) ASSERT_EQ(programmed[i], ((0xFFFFB000u + i / 16 * 16) + (i % 16) * 7) & 0xFF) << i;
}

TEST_F(Kv9flashSafeRunTest, AModelNameThatIsOnlyAPrefixIsRefused) {
  sim::SimOptions options;
  options.modelName = std::string("Q5\0", 3);
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "error: 対応外のR/Wモジュールです。お使いのRW対応のツールをお使いください。\n");
  for (const auto& frame : sim.Received()) EXPECT_NE(frame.rfind("02 00 4E 0A 9B", 0), 0u) << frame;
}

// The report's string field `field` ("" when null or missing).
std::string JsonField(const std::string& json, const std::string& field) {
  const std::string key = "\"" + field + "\":\"";
  const std::size_t at = json.find(key);
  if (at == std::string::npos) return {};
  return json.substr(at + key.size(), json.find('"', at + key.size()) - at - key.size());
}

std::string FirstLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

bool SentAnEepromWrite(const std::vector<std::string>& frames) {
  for (const auto& frame : frames) {
    // 02 00 4E LEN, then 83 for an EEPROM write or 71 for the initialisation.
    if (frame.rfind("02 00 4E", 0) == 0 && (frame.substr(12, 2) == "83" || frame.substr(12, 2) == "71")) return true;
  }
  return false;
}

// A backup file is only written into the module it came from, and only as
// it was written: an edited copy is refused before the port is opened, and
// another module's copy is refused before anything is written unless the
// person says it is meant.
TEST_F(Kv9flashSafeRunTest, EditedOrAnotherModulesBackupFilesAreRefusedAndTheModuleIsUntouched) {
  test::ScopedEnv dataHome("XDG_DATA_HOME", folder_.Path() + "/data");
  const std::string report = folder_.Path() + "/r.json";
  test::TracedSim own(folder_, 3);
  ASSERT_EQ(Kv9flash({"--port", "COM3", "restore", "--report", report}).exitCode, 0);
  const std::string file = JsonField(FirstLine(report), "eeprom_backup");
  ASSERT_FALSE(file.empty()) << FirstLine(report);
  const auto restored = own->Snapshot();

  // One byte of the all-data image changed, still a hex digit.
  std::stringstream text;
  text << std::ifstream(file).rdbuf();
  std::string edited = text.str();
  const std::size_t byte = edited.find("ALLDATA : ") + 10;
  edited[byte] = edited[byte] == '0' ? '1' : '0';
  const std::string editedFile = folder_.Path() + "/edited.txt";
  std::ofstream(editedFile) << edited;
  const std::size_t framesBefore = own.Received().size();
  auto r = Kv9flash({"--port", "COM3", "restore", "--from", editedFile});
  EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
  EXPECT_EQ(r.err, "error: " + editedFile +
                       ": not a whole EEPROM backup: the check does not match: the file was changed after it was "
                       "written\n");
  EXPECT_EQ(own.Received().size(), framesBefore);  // the module was not even asked
  EXPECT_EQ(own->Snapshot().eepromFactory, restored.eepromFactory);
  EXPECT_EQ(own->Snapshot().eepromAllData, restored.eepromAllData);

  // Another module: its own calibration words.
  sim::SimOptions options;
  options.serial = 7;
  test::TracedSim other(folder_, 4, options);
  const auto otherBefore = other->Snapshot();
  for (const char* mode : {"--from", "--roll-back"}) {
    r = Kv9flash({"--port", "COM4", "restore", mode, file, "--report", report});
    EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
    EXPECT_TRUE(Has(SplitLines(r.out), "EEPROM BACKUP FILE : NG " + file +
                                           ": another module's file (its factory data differs from this module's)"))
        << r.out;
    EXPECT_NE(r.err.find("--other-module writes it all the same"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("continue with:"), std::string::npos) << r.err;
    EXPECT_EQ(JsonField(FirstLine(report), "outcome"), "refused");
    EXPECT_FALSE(SentAnEepromWrite(other.Received()));
    EXPECT_EQ(other->Snapshot().eepromFactory, otherBefore.eepromFactory);
    EXPECT_EQ(other->Snapshot().eepromAllData, otherBefore.eepromAllData);
  }
  // Said so: the step continued from that file leaves the other module as
  // the first one after its good restore.
  r = Kv9flash({"--port", "COM4", "restore", "--from", file, "--other-module"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(other->Snapshot().eepromFactory, restored.eepromFactory);
  EXPECT_EQ(other->Snapshot().eepromAllData, restored.eepromAllData);
}

}  // namespace
}  // namespace kv9
