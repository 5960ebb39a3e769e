// kv9flash run as a program against the simulated module on a real pty.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>

#include "image/crc16.h"
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

test::ChildResult Kv9flash(const std::vector<std::string>& args) {
  return test::RunChild(KV9FLASH_PATH, args, 60000);
}

const Lines kDiscovery = {"ROM Version : V1.00.00 ", "Find KV9 R/W ", "PORT   : 3", "Speed  : 19200",
                          "Module : Q508     "};
const Lines kStagesOk = {"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK", "ライト     : OK",
                         "ベリファイ : OK"};

Lines Concat(std::initializer_list<Lines> parts) {
  Lines all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

class Kv9flashTest : public ::testing::Test {
 protected:
  test::PortFolder folder_;
};

TEST_F(Kv9flashTest, UpdateWithoutFactoryRestorePrintsTheForcedLinesAndProgramsTheImage) {
  test::TracedSim sim(folder_, 3);
  const auto r = Kv9flash({"--port", "COM3", "--no-init"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out), Concat({kDiscovery, kStagesOk,
                                       {"ROM Verision : V2.00.00 ", "アップデートが正常に終了しました。", ""}}));
  EXPECT_EQ(r.err, "");
  const auto snap = sim->Snapshot();
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  // Everything below the loader's 16 KB is the embedded image now.
  EXPECT_EQ(snap.FlashAt(0xFFFC0000, 245760), std::vector<std::uint8_t>(image.data, image.data + 245760));
  EXPECT_EQ(snap.romVersion, "V2.00.00 ");
}

TEST_F(Kv9flashTest, UpdateWithFactoryRestoreRestoresTheEeprom) {
  test::TracedSim sim(folder_, 3);
  const auto r = Kv9flash({"--port", "COM3"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out),
            Concat({kDiscovery, kStagesOk,
                    {"FLASH DATA : OK", "", "ROM Verision : V2.00.00 ", "アップデートが正常に終了しました。", ""}}));
  const auto counts = sim->Snapshot().commandCounts;
  EXPECT_FALSE(counts.empty());
}

TEST_F(Kv9flashTest, ProgrammingFailureGivesTheStageThreeAdviceAndExitOne) {
  sim::SimOptions options;
  sim::FaultRule refuse;
  refuse.kind = sim::FaultRule::Kind::ErrorReply;
  refuse.site.side = sim::FaultSite::Side::Boot;
  refuse.site.code = 0x50;
  refuse.site.occurrence = 5;
  refuse.errorCode = 0x53;
  options.faults.rules.push_back(refuse);
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(SplitLines(r.out),
            Concat({kDiscovery,
                    {"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK", "ライト     : NG",
                     "アップデートに失敗しました。", "", "ソフトを終了し、R/Wの電源を入れ直してください。",
                     "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。"}}));
  // Four blocks went through; no end-of-programming frame followed the refused fifth.
  EXPECT_EQ(sim->Snapshot().commandCounts.at("boot:50"), 5u);
  for (const auto& frame : sim.Received()) EXPECT_NE(frame.rfind("50 FF FF FF FF", 0), 0u);
}

TEST_F(Kv9flashTest, CheckFailureShowsNoCheckLineWithoutDebug) {
  sim::SimOptions options;
  options.faults.badLoaderCrc = true;
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(SplitLines(r.out),
            Concat({kDiscovery,
                    {"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK", "ライト     : OK",
                     "アップデートに失敗しました。", "", "ソフトを終了し、R/Wの電源を入れ直してください。",
                     "再度ソフトを起動し、もう一度書き込みを行ってください。"}}));
}

TEST_F(Kv9flashTest, ReWriteModeSendsNoModuleFrameAndStartsWithBitRateMatching) {
  sim::SimOptions options;
  options.startIn = sim::StartIn::Boot;
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3", "--rewrite", "--no-init"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const Lines out = SplitLines(r.out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out[0], "再書き込みモードで、ファームのアップデートを実行します。");
  // The first frame the module took in is the boot program's bit-rate matching at 19200.
  const Lines trace = sim.Trace();
  const auto firstRx = std::find_if(trace.begin(), trace.end(), [](const std::string& line) {
    return line.find(" RX @") != std::string::npos || line.find("NOISE") != std::string::npos;
  });
  ASSERT_NE(firstRx, trace.end());
  EXPECT_EQ(firstRx->rfind("kv9sim: RX @19200 [1] 00", 0), 0u) << *firstRx;
  // ...and the boot-mode request never went out (the ROM version query after
  // the restart is the only module frame of the run).
  for (const auto& line : trace) EXPECT_EQ(line.find("] 02 00 4E 0A 9B"), std::string::npos) << line;
  EXPECT_EQ(sim->Snapshot().romVersion, "V2.00.00 ");
}

TEST_F(Kv9flashTest, UnsupportedModelIsRefusedBeforeAnyBootModeFrame) {
  sim::SimOptions options;
  options.modelName = "Q509";
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "error: 対応外のR/Wモジュールです。お使いのRW対応のツールをお使いください。\n");
  for (const auto& frame : sim.Received()) EXPECT_NE(frame.rfind("02 00 4E 0A 9B", 0), 0u) << frame;
  EXPECT_EQ(sim->Snapshot().personality, sim::Personality::Firmware);
}

TEST_F(Kv9flashTest, ModuleVanishingDuringProgrammingEndsTheRunWithoutAHang) {
  sim::SimOptions options;
  options.faults.disconnectAtBlock = 40;
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 1);
  const Lines out = SplitLines(r.out);
  ASSERT_GE(out.size(), 3u);
  EXPECT_EQ(out[out.size() - 3], "");
  const bool waitingForReply = std::find(out.begin(), out.end(), "ライト     : NG") != out.end();
  if (waitingForReply) {
    EXPECT_EQ(out.back(), "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。");
  } else {
    // The port failed while writing: the port's error and the stage-0 advice.
    EXPECT_EQ(out.back(), "再度ソフトを起動し、もう一度書き込みを行ってください。");
    EXPECT_NE(r.err.find("error: WriteFile function failed"), std::string::npos) << r.err;
  }
}

TEST_F(Kv9flashTest, NothingFoundExitsOneWithTheTwoLines) {
  const auto r = Kv9flash({"--auto"});
  EXPECT_EQ(r.exitCode, 1);
  const Lines out = SplitLines(r.out);
  EXPECT_NE(std::find(out.begin(), out.end(), "R/Wモジュールが見つかりませんでした。"), out.end());
  EXPECT_NE(std::find(out.begin(), out.end(), "R/Wの接続を確認してください。"), out.end());
}

TEST_F(Kv9flashTest, APortAnotherProgramHoldsWithoutALockIsLeftAlone) {
  test::TracedSim sim(folder_, 3);
  // This test process is the other program: a plain open(), as a terminal
  // program does, without flock or TIOCEXCL.
  const int fd = ::open((folder_.Path() + "/COM3").c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  const auto busy = Kv9flash({"version", "--port", "COM3"});
  EXPECT_EQ(busy.exitCode, 1);
  // Once, with the reason and the holder (this test program), not a box per try.
  const std::string reason =
      "COM3: 他のプログラムが使用中です（kv9_cli_tests (PID " + std::to_string(::getpid()) + ")）";
  EXPECT_EQ(busy.err, "error: " + reason + "\n");
  EXPECT_EQ(SplitLines(busy.out), (Lines{reason, "R/Wモジュールが見つかりませんでした。", "R/Wの接続を確認してください。"}));
  EXPECT_TRUE(sim->Snapshot().commandCounts.empty());  // not one frame went to the module
  ::close(fd);
  const auto free = Kv9flash({"version", "--port", "COM3"});
  EXPECT_EQ(free.exitCode, 0) << free.err;
  EXPECT_EQ(SplitLines(free.out), kDiscovery);
}

TEST_F(Kv9flashTest, UsageAndInputErrorsExitTwo) {
  EXPECT_EQ(Kv9flash({"--no-such-option"}).exitCode, 2);
  const auto unreadable = Kv9flash({"--image", folder_.Path() + "/missing.mot"});
  EXPECT_EQ(unreadable.exitCode, 2);
  EXPECT_NE(unreadable.err.find("error: "), std::string::npos);
  EXPECT_EQ(Kv9flash({"--port", "COM77"}).exitCode, 2);  // not on this machine
  const auto help = Kv9flash({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("usage: kv9flash"), std::string::npos);
}

TEST_F(Kv9flashTest, PortsListsNameDeviceAndDescription) {
  test::TracedSim sim(folder_, 3);
  const auto r = Kv9flash({"ports"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("COM3\t" + folder_.Path() + "/COM3\t"), std::string::npos) << r.out;
}

TEST_F(Kv9flashTest, VersionReadsTheModulesRomVersion) {
  test::TracedSim sim(folder_, 3);
  const auto r = Kv9flash({"version", "--port", "COM3"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(SplitLines(r.out), kDiscovery);
}

}  // namespace
}  // namespace kv9
