// Runs that leave the straight path: a module at an unexpected rate in
// re-write mode, a model name that is only a prefix, the EEPROM copy kept
// before the factory initialisation, a failure after a verified write.
#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/resources.h"
#include "tests/link/sim_fixture.h"
#include "tests/support/child_process.h"

namespace kv9 {
namespace {

using Lines = std::vector<std::string>;

Lines SplitLines(const std::string& text) {
  Lines lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

test::ChildResult Kv9flash(const std::vector<std::string>& args) {
  return test::RunChild(KV9FLASH_PATH, args, 60000);
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
  ::setenv("XDG_DATA_HOME", data.c_str(), 1);
  const auto r = Kv9flash({"--port", "COM3", "--debug"});
  ::unsetenv("XDG_DATA_HOME");
  ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(data + "/kv9update/eeprom")) files.push_back(entry.path());
  ASSERT_EQ(files.size(), 1u);
  EXPECT_TRUE(Has(SplitLines(r.out), "EEPROM BACKUP : " + files[0].string())) << r.out;
  std::ifstream in(files[0]);
  std::stringstream text;
  text << in.rdbuf();
  const Lines lines = SplitLines(text.str());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("# KV9 R/W EEPROM COM3 ", 0), 0u);
  EXPECT_EQ(lines[1], HexLine("FACTORY :", before.eepromFactory));
  EXPECT_EQ(lines[2], HexLine("ALLDATA :", before.eepromAllData));
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
  ASSERT_GE(out.size(), 7u);
  EXPECT_EQ(Lines(out.end() - 7, out.end()),
            (Lines{"NG : Get ROM Version", "アップデートに失敗しました。", "", "R/Wの接続、設定を確認してください。",
                   "ソフトを終了し、R/Wの電源を入れ直してください。", "再度ソフトを起動し、もう一度書き込みを行ってください。",
                   "ファームウェアの書き込みとチェックは正常に終了しています。もう一度書き込む必要はありません。"
                   "R/Wの電源を入れ直し、接続とROMバージョンを確認してください。"}));
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

}  // namespace
}  // namespace kv9
