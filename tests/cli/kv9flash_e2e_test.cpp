// kv9flash run as a program against the simulated module on a real pty.
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <signal.h>

#include <condition_variable>
#include <fstream>
#include <memory>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

#include "wire/crc16.h"
#include "link/eeprom_procedures.h"
#include "sim/eeprom_images.h"
#include "platform/resources.h"
#include "tests/cli/spawned_child.h"
#include "tests/support/renewed_eeprom_words.h"
#include "tests/support/sim_fixture.h"
#include "tests/cli/kv9flash_run.h"
#include "tests/support/child_process.h"

namespace kv9 {
namespace {

using Lines = std::vector<std::string>;
using test::Kv9flash;
using test::SplitLines;

const Lines kDiscovery = {"ROM Version : V1.00.00 ", "Find KV9 R/W ", "PORT   : 3",
                          "Speed  : 19200", "Module : Q508     "};
const Lines kStagesOk = {"",
                         "書込設定   : OK",
                         "ID照合     : OK",
                         "イレース   : OK",
                         "ライト     : OK",
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
  // Through a USB adapter with the FTDI default timer (kv9sim
  // --adapter-latency 16): every reply held back, the same update and lines.
  sim::SimOptions options;
  options.adapterLatency = std::chrono::milliseconds(16);
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3", "--no-init"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out),
            Concat({kDiscovery,
                    kStagesOk,
                    {"ROM Verision : V2.00.00 ", "アップデートが正常に終了しました。", ""}}));
  // stderr holds only the closing summary.
  EXPECT_EQ(SplitLines(r.err).size(), 6u) << r.err;
  EXPECT_EQ(
      r.err.rfind(
          "summary: update OK\n  port     COM3\n  module   Q508\n  ROM      V1.00.00 -> V2.00.00\n",
          0),
      0u)
      << r.err;
  const auto snap = sim->Snapshot();
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  // Everything below the loader's 16 KB is the embedded image now.
  EXPECT_EQ(snap.FlashAt(0xFFFC0000, 245760),
            std::vector<std::uint8_t>(image.data, image.data + 245760));
  EXPECT_EQ(snap.romVersion, "V2.00.00 ");
}

sim::FaultRule FlippedReply(std::uint8_t subCommand, unsigned occurrence, unsigned byte) {
  sim::FaultRule flip;
  flip.kind = sim::FaultRule::Kind::BitFlip;
  flip.site.side = sim::FaultSite::Side::Firmware;
  flip.site.frameCode = 0x4F;
  flip.site.code = subCommand;
  flip.site.occurrence = occurrence;
  flip.flipByte = byte;
  return flip;
}

// One bit error in a reply to a read-only query (discovery's ROM version,
// the one after the restart, an EEPROM read) is asked again: the run ends
// as a clean one does, every log line the same.
TEST_F(Kv9flashTest, UpdateWithFactoryRestoreRestoresTheEeprom) {
  sim::SimOptions options;
  // Discovery's version query, then its second try; the first after the restart.
  options.faults.rules = {FlippedReply(0x90, 1, 6), FlippedReply(0x90, 3, 7), FlippedReply(0x83, 2, 20)};
  test::TracedSim sim(folder_, 3, options);
  const auto before = sim->Snapshot();
  const auto r = Kv9flash({"--port", "COM3", "--quiet"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const Lines frames = sim.Received();
  EXPECT_EQ(std::count_if(frames.begin(), frames.end(),
                          [](const std::string& f) { return f.rfind("02 00 4F 02 90 00 ", 0) == 0; }),
            4);
  EXPECT_EQ(SplitLines(r.out), Concat({kDiscovery,
                                       kStagesOk,
                                       {"FLASH DATA : OK", "", "ROM Verision : V2.00.00 ",
                                        "アップデートが正常に終了しました。", ""}}));
  EXPECT_EQ(r.err, "");  // --quiet: no summary
  // The customer's values are back; only the words the initialisation renews changed.
  const auto after = sim->Snapshot();
  EXPECT_EQ(after.eepromFactory, test::WithRenewedWords(before.eepromFactory));
  EXPECT_EQ(after.eepromAllData, test::WithRenewedWords(before.eepromAllData));
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  EXPECT_EQ(after.FlashAt(0xFFFC0000, 245760), std::vector<std::uint8_t>(image.data, image.data + 245760));
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
  EXPECT_EQ(SplitLines(r.out), Concat({kDiscovery,
                                       {"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK",
                                        "ライト     : NG", "アップデートに失敗しました。", "",
                                        "ソフトを終了し、R/Wの電源を入れ直してください。",
                                        "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう"
                                        "一度書き込みを行ってください。"}}));
  // Four blocks went through; no end-of-programming frame followed the refused fifth.
  Lines programming;
  for (const auto& frame : sim.Received()) {
    if (frame.rfind("50 ", 0) == 0) programming.push_back(frame);
  }
  ASSERT_EQ(programming.size(), 5u);
  EXPECT_EQ(programming[4].rfind("50 FF FC 04 00", 0), 0u) << programming[4];
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
                     "アップデートに失敗しました。", "",
                     "ソフトを終了し、R/Wの電源を入れ直してください。",
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
  for (const auto& line : trace)
    EXPECT_EQ(line.find("] 02 00 4E 0A 9B"), std::string::npos) << line;
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
    EXPECT_EQ(
        out.back(),
        "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。");
  } else {
    // The port failed while writing: the port's error and the stage-0 advice.
    EXPECT_EQ(out.back(), "再度ソフトを起動し、もう一度書き込みを行ってください。");
    EXPECT_NE(r.err.find("error: WriteFile function failed"), std::string::npos) << r.err;
  }
}

// A module a failed update left in its boot program answers no search: the
// lines say it may be there, and kv9flash names the command that reaches it.
TEST_F(Kv9flashTest, NothingFoundNamesTheReWriteThatReachesAModuleInItsBootProgram) {
  const Lines notFound{"R/Wモジュールが見つかりませんでした。", "R/Wの接続を確認してください。",
                       "アップデートに失敗したR/Wは、ブートプログラムで待機していることがあります。"
                       "その場合は［再書込み行う］にチェックを入れてもう一度書き込みを行ってください。"};
  const std::string hint = "if a failed update left the module in its boot program, reach it with: ";
  // The port folder is the child's whole port table: no machine port is touched.
  const auto none = Kv9flash({"--auto"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(SplitLines(none.out), notFound);
  EXPECT_EQ(none.err, hint + "kv9flash --port COMn --rewrite --speed 19200 update\n");

  sim::SimOptions options;
  options.startIn = sim::StartIn::Boot;
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3", "--no-init"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(SplitLines(r.out), notFound);
  const std::string command = "kv9flash --port COM3 --rewrite --speed 19200 --no-init update";
  EXPECT_EQ(r.err, hint + command + "\n");
  const auto reached = Kv9flash({"--port", "COM3", "--rewrite", "--speed", "19200", "--no-init", "update"});
  EXPECT_EQ(reached.exitCode, 0) << reached.err;
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  EXPECT_EQ(sim->Snapshot().FlashAt(0xFFFC0000, 245760), std::vector<std::uint8_t>(image.data, image.data + 245760));
}

// Re-write mode for a module that runs its firmware: the handshake finds no
// boot program, the module answers its ROM version, and the run says that
// a plain update is the way on, with no power cycle asked for.
TEST_F(Kv9flashTest, ReWriteModeOnAModuleInItsFirmwareNamesAPlainUpdate) {
  test::TracedSim sim(folder_, 3);
  const std::string report = folder_.Path() + "/r.json";
  const auto r = Kv9flash({"--port", "COM3", "--rewrite", "--no-init", "--report", report});
  EXPECT_EQ(r.exitCode, 1);
  const Lines out = SplitLines(r.out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(),
            "R/Wはファームウェアで動作しています。再書き込みモードは必要ありません。"
            "［再書込み行う］のチェックを外してもう一度書き込みを行ってください。");
  EXPECT_NE(r.err.find("\ncontinue with: kv9flash --port COM3 --no-init update\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("first switch the module off and on"), std::string::npos) << r.err;
  std::ifstream in(report);
  const std::string json((std::istreambuf_iterator<char>(in)), {});
  EXPECT_NE(json.find("\"module_state\":\"untouched\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"rom_before\":\"V1.00.00\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"power_cycle_first\":false"), std::string::npos) << json;
  EXPECT_EQ(sim->Snapshot().blocksErased, 0u);
  const auto plain = Kv9flash({"--port", "COM3", "--no-init", "update"});
  EXPECT_EQ(plain.exitCode, 0) << plain.err;
  EXPECT_EQ(sim->Snapshot().romVersion, "V2.00.00 ");
}

TEST_F(Kv9flashTest, APortAnotherProgramHoldsOrTheUserMayNotOpenIsReportedOnceAndLeftAlone) {
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
  // The reason is what to act on; the cable is not.
  EXPECT_EQ(SplitLines(busy.out), (Lines{reason, "R/Wモジュールが見つかりませんでした。"}));
  EXPECT_TRUE(sim->Snapshot().commandCounts.empty());  // not one frame went to the module
  ::close(fd);
  const auto free = Kv9flash({"version", "--port", "COM3"});
  EXPECT_EQ(free.exitCode, 0) << free.err;
  EXPECT_EQ(SplitLines(free.out), kDiscovery);

  // A device the user may not open is reported the same way, with what to do
  // about it. (root may open anything: then the run is made as nobody.)
  const std::size_t framesBefore = sim.Received().size();
  ASSERT_EQ(::chmod(folder_.Path().c_str(), 0755), 0);
  ASSERT_EQ(::chmod(sim->SlavePath().c_str(), 0), 0);
  const std::vector<std::string> args{"version", "--port", "COM3"};
  std::vector<std::string> asNobody{"--reuid=65534", "--regid=65534", "--clear-groups", KV9FLASH_PATH};
  asNobody.insert(asNobody.end(), args.begin(), args.end());
  const auto denied = ::geteuid() == 0 ? test::RunChild("/usr/bin/setpriv", asNobody, 60000) : Kv9flash(args);
  EXPECT_EQ(denied.exitCode, 1);
  const std::string noAccess =
      "COM3: アクセス権がありません（ユーザーを dialout グループに加え、ログインし直してください）";
  EXPECT_EQ(denied.err, "error: " + noAccess + "\n");
  // The reason was given; no line sends the person to the cable.
  EXPECT_EQ(SplitLines(denied.out), (Lines{noAccess, "R/Wモジュールが見つかりませんでした。"}));
  EXPECT_EQ(sim.Received().size(), framesBefore);
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
  const auto version = Kv9flash({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "kv9flash 1.0.8.4\n");
}

TEST_F(Kv9flashTest, PortsListsNameDeviceAndDescription) {
  test::TracedSim sim(folder_, 3);
  const auto r = Kv9flash({"ports"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_NE(r.out.find("COM3\t" + folder_.Path() + "/COM3\t"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("latency"), std::string::npos) << r.out;  // a pty has no latency timer
}

TEST_F(Kv9flashTest, VersionReadsTheModulesRomVersion) {
  test::TracedSim sim(folder_, 3);
  const auto r = Kv9flash({"version", "--port", "COM3"});
  EXPECT_EQ(r.exitCode, 0);
  EXPECT_EQ(SplitLines(r.out), kDiscovery);
  // --tx-log alone adds the bytes sent (and the forced hex line of the version query), nothing
  // else.
  const Lines traced = SplitLines(Kv9flash({"version", "--port", "COM3", "--tx-log"}).out);
  Lines untraced;
  for (const auto& line : traced) {
    if (line.rfind("TX: ", 0) != 0 && line != "02 00 4F 02 90 00 03 E6 0D ")
      untraced.push_back(line);
  }
  EXPECT_EQ(untraced, kDiscovery);
  EXPECT_EQ(std::count_if(traced.begin(), traced.end(),
                          [](const std::string& l) { return l.rfind("TX: ", 0) == 0; }),
            3);
  // --rx-log alone adds the bytes received, nothing else: the replies to the
  // mode setting, the ROM version and the model name, however the line cut
  // them into batches.
  const Lines received = SplitLines(Kv9flash({"version", "--port", "COM3", "--rx-log"}).out);
  Lines rest;
  std::string rxBytes;
  for (const auto& line : received) {
    if (line.rfind("RX: ", 0) == 0)
      rxBytes += line.substr(4);
    else
      rest.push_back(line);
  }
  EXPECT_EQ(rest, kDiscovery);
  EXPECT_EQ(rxBytes,
            "02 00 30 00 03 35 0D "
            "02 00 30 0A 90 56 31 2E 30 30 2E 30 30 20 03 92 0D "
            "02 00 30 0A 93 51 35 30 38 20 20 20 20 20 03 60 0D ");
}

// --- signals ---

// Lines after "continue with: " on stderr, split into arguments (the command
// quotes nothing here: no image file name).
std::vector<std::string> ContinueArguments(const std::string& err) {
  const std::string marker = "continue with: kv9flash ";
  const auto at = err.find(marker);
  if (at == std::string::npos) return {};
  std::istringstream words(err.substr(at + marker.size(), err.find('\n', at) - at - marker.size()));
  std::vector<std::string> args;
  for (std::string w; words >> w;) args.push_back(w);
  return args;
}

TEST_F(Kv9flashTest, SigintDuringProgrammingStopsAtAFrameBoundaryAndTheCommandItPrintsRecovers) {
  std::vector<std::uint8_t> flashAfterStop;
  {
    sim::SimOptions paced;  // the line's own pace leaves the signal plenty of blocks to land in
    paced.pace = true;
    test::TracedSim sim(folder_, 3, paced);
    test::SpawnedChild run(KV9FLASH_PATH, {"--port", "COM3", "--no-init"});
    // A dropped session half-way changes nothing...
    ASSERT_TRUE(sim->WaitFor([](const sim::SimSnapshot& s) { return s.blocksReceived >= 50; },
                             std::chrono::seconds(30)));
    ASSERT_EQ(::kill(run.Pid(), SIGHUP), 0);
    // ...Ctrl+C stops the run.
    ASSERT_TRUE(sim->WaitFor([](const sim::SimSnapshot& s) { return s.blocksReceived >= 100; },
                             std::chrono::seconds(30)));
    ASSERT_EQ(::kill(run.Pid(), SIGINT), 0);
    ::kill(run.Pid(), SIGINT);  // a second Ctrl+C changes nothing
    const auto r = run.Finish(30000);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitCode, 130) << r.err;
    EXPECT_EQ(SplitLines(r.out),
              Concat({kDiscovery,
                      {"", "書込設定   : OK", "ID照合     : OK", "イレース   : OK",
                       "ライト     : NG", "アップデートに失敗しました。", "",
                       "ソフトを終了し、R/Wの電源を入れ直してください。",
                       "再度ソフトを起動し、［再書込み行う］にチェックを入れてもう一度書き込みを行"
                       "ってください。"}}));
    EXPECT_NE(r.err.find("summary: update NG (stopped by SIGINT)"), std::string::npos) << r.err;
    EXPECT_EQ(ContinueArguments(r.err),
              (std::vector<std::string>{"--port", "COM3", "--rewrite", "--speed", "19200",
                                        "--no-init", "update"}));
    // Every frame the module took in was whole: the last is a full programming
    // frame (command, four address bytes, 256 data bytes, sum), nothing was noise.
    const auto trace = sim.Trace();
    const auto lastRx = std::find_if(trace.rbegin(), trace.rend(), [](const std::string& line) {
      return line.rfind("kv9sim: RX @", 0) == 0;
    });
    ASSERT_NE(lastRx, trace.rend());
    EXPECT_EQ(lastRx->rfind("kv9sim: RX @115200 [262] 50 ", 0), 0u) << *lastRx;
    const auto snap = sim->Snapshot();
    EXPECT_EQ(snap.noiseBytes, 0u);
    EXPECT_EQ(snap.blocksProgrammed, snap.blocksReceived);
    EXPECT_GE(snap.blocksProgrammed, 100u);
    EXPECT_LT(snap.blocksProgrammed, 400u);
    EXPECT_EQ(snap.personality, sim::Personality::Boot);
    flashAfterStop = snap.flash;
  }
  // The advice asks for a power cycle: the module restarts in its boot
  // program with the half-written flash. (kv9sim has no power switch; a new
  // one started in boot mode with that flash stands for it.)
  const std::string flashFile = folder_.Path() + "/half-written.bin";
  std::ofstream(flashFile, std::ios::binary)
      .write(reinterpret_cast<const char*>(flashAfterStop.data()),
             static_cast<std::streamsize>(flashAfterStop.size()));
  sim::SimOptions boot;
  boot.startIn = sim::StartIn::Boot;
  boot.flashFile = flashFile;
  test::TracedSim sim(folder_, 3, boot);
  const auto r =
      Kv9flash({"--port", "COM3", "--rewrite", "--speed", "19200", "--no-init", "update"});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  EXPECT_EQ(sim->Snapshot().FlashAt(0xFFFC0000, 245760),
            std::vector<std::uint8_t>(image.data, image.data + 245760));
  EXPECT_EQ(sim->Snapshot().romVersion, "V2.00.00 ");
}

TEST_F(Kv9flashTest, StoppedAndContinuedDuringTheWriteTheUpdateStillSucceeds) {
  // Ctrl+Z, then fg seconds later: the reply that came meanwhile is taken,
  // no wait counts the stopped seconds as its own.
  sim::SimOptions paced;
  paced.pace = true;
  test::TracedSim sim(folder_, 3, paced);
  test::SpawnedChild run(KV9FLASH_PATH, {"--port", "COM3", "--no-init"});
  ASSERT_TRUE(sim->WaitFor([](const sim::SimSnapshot& s) { return s.blocksReceived >= 50; },
                           std::chrono::seconds(30)));
  ASSERT_EQ(::kill(run.Pid(), SIGSTOP), 0);
  int status = 0;
  ASSERT_EQ(::waitpid(run.Pid(), &status, WUNTRACED), run.Pid());
  ASSERT_TRUE(WIFSTOPPED(status));
  std::this_thread::sleep_for(std::chrono::seconds(3));  // how long it stays stopped
  ASSERT_EQ(::kill(run.Pid(), SIGCONT), 0);
  const auto r = run.Finish(90000);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  EXPECT_EQ(sim->Snapshot().FlashAt(0xFFFC0000, 245760),
            std::vector<std::uint8_t>(image.data, image.data + 245760));
}

// Holds the module's thread on the first frame after the loader's restart
// command until the test opens the gate.
struct AfterRestartGate {
  std::mutex m;
  std::condition_variable cv;
  bool restartSeen = false, held = false, open = false;

  void OnTrace(const std::string& line) {
    if (line.rfind("kv9sim: RX @", 0) != 0) return;
    std::unique_lock lock(m);
    if (!restartSeen) {
      restartSeen = line.find("] 9D") != std::string::npos;
      return;
    }
    held = true;
    cv.notify_all();
    cv.wait_for(lock, std::chrono::seconds(10), [this] { return open; });
  }
};

TEST_F(Kv9flashTest, SigtermAfterTheVerifiedWriteLetsTheRestoreFinish) {
  auto gate = std::make_shared<AfterRestartGate>();
  sim::SimOptions options;
  options.portDir = folder_.Path();
  options.comNumber = 3;
  options.trace = true;
  sim::SimModule sim(options);
  sim.SetTraceSink([gate](const std::string& line) { gate->OnTrace(line); });
  sim.Start();
  const auto before = sim.Snapshot();
  test::SpawnedChild run(KV9FLASH_PATH, {"--port", "COM3"});
  {
    // The firmware is in and checked, the module restarted, and the run is
    // asking it for its ROM version when the signal comes.
    std::unique_lock lock(gate->m);
    ASSERT_TRUE(gate->cv.wait_for(lock, std::chrono::seconds(30), [&] { return gate->held; }));
  }
  ASSERT_EQ(::kill(run.Pid(), SIGTERM), 0);
  {
    std::lock_guard lock(gate->m);
    gate->open = true;
  }
  gate->cv.notify_all();
  const auto r = run.Finish(30000);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out), Concat({kDiscovery,
                                       kStagesOk,
                                       {"FLASH DATA : OK", "", "ROM Verision : V2.00.00 ",
                                        "アップデートが正常に終了しました。", ""}}));
  EXPECT_EQ(r.err.rfind("summary: update OK (SIGTERM came after the check; the run was finished)\n", 0), 0u)
      << r.err;
  const auto after = sim.Snapshot();
  EXPECT_EQ(after.eepromFactory, test::WithRenewedWords(before.eepromFactory));
  EXPECT_EQ(after.eepromAllData, test::WithRenewedWords(before.eepromAllData));
  EXPECT_EQ(after.romVersion, "V2.00.00 ");
}

TEST_F(Kv9flashTest, SigtermBeforeTheBootModeRequestEndsAtOnceAndLeavesTheModuleAlone) {
  sim::SimOptions silent;
  sim::FaultRule noName;
  noName.kind = sim::FaultRule::Kind::NoReply;
  noName.site.side = sim::FaultSite::Side::Firmware;
  noName.site.frameCode = 0x4F;
  noName.site.code = 0x93;
  silent.faults.rules.push_back(noName);
  test::TracedSim sim(folder_, 3, silent);
  test::SpawnedChild run(KV9FLASH_PATH, {"--port", "COM3"});
  // The model name query goes unanswered: the tool is waiting in discovery.
  ASSERT_TRUE(
      sim->WaitFor([](const sim::SimSnapshot& s) { return s.commandCounts.count("fw:4F:93") > 0; },
                   std::chrono::seconds(10)));
  ASSERT_EQ(::kill(run.Pid(), SIGTERM), 0);
  const auto r = run.Finish(10000);
  EXPECT_EQ(r.exitCode, 143);
  EXPECT_EQ(r.out.find("アップデート"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "");
  for (const auto& frame : sim.Received()) EXPECT_NE(frame.rfind("02 00 4E 0A 9B", 0), 0u) << frame;
  EXPECT_EQ(sim->Snapshot().personality, sim::Personality::Firmware);
}

TEST_F(Kv9flashTest, AClosedOutputPipeDoesNotStopTheUpdate) {
  test::TracedSim sim(folder_, 3);
  const std::string command =
      std::string("'") + KV9FLASH_PATH + "' --port COM3 --no-init | head -3; exit ${PIPESTATUS[0]}";
  const auto r = test::RunChild("/bin/bash", {"-c", command}, 60000);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(SplitLines(r.out).size(), 3u);
  EXPECT_EQ(sim->Snapshot().romVersion, "V2.00.00 ");
}

// --- the terminal ---

// What a terminal shows once all bytes arrived: carriage returns, "erase to
// the end of the line" and line feeds replayed, one cell per character.
Lines Screen(const std::string& bytes) {
  std::vector<std::vector<std::string>> rows(1);
  std::size_t row = 0, col = 0;
  for (std::size_t i = 0; i < bytes.size();) {
    const unsigned char b = static_cast<unsigned char>(bytes[i]);
    if (b == '\r') {
      col = 0, ++i;
    } else if (b == '\n') {
      if (++row == rows.size()) rows.emplace_back();
      ++i;
    } else if (b == 0x1B && i + 1 < bytes.size() && bytes[i + 1] == '[') {
      std::size_t end = i + 2;
      while (end < bytes.size() && !(bytes[end] >= 0x40 && bytes[end] <= 0x7E)) ++end;
      if (end < bytes.size() && bytes[end] == 'K' && rows[row].size() > col) rows[row].resize(col);
      i = end + 1;
    } else {
      const std::size_t n = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : 2;
      if (rows[row].size() < col + 1) rows[row].resize(col + 1, " ");
      rows[row][col++] = bytes.substr(i, n);
      i += n;
    }
  }
  Lines screen;
  for (const auto& cells : rows) {
    std::string line;
    for (const auto& c : cells) line += c;
    screen.push_back(line);
  }
  if (!screen.empty() && screen.back().empty()) screen.pop_back();
  return screen;
}

TEST_F(Kv9flashTest, OnATerminalTheProgressIsDrawnAndErasedLeavingTheLogAndTheSummary) {
  sim::SimOptions paced;
  paced.pace = true;
  test::TracedSim sim(folder_, 3, paced);
  test::SpawnedChild run(KV9FLASH_PATH, {"--port", "COM3", "--no-init"},
                         test::SpawnedChild::Output::Pty);
  const auto r = run.Finish(90000);
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0);
  // The progress line was there while the stages ran...
  EXPECT_NE(r.out.find("\r\x1b[Kライト中... [#"), std::string::npos);
  EXPECT_NE(r.out.find(" bytes  "), std::string::npos);
  // ...and the screen keeps only the log lines and the summary.
  const Lines expected = Concat(
      {kDiscovery,
       kStagesOk,
       {"ROM Verision : V2.00.00 ", "アップデートが正常に終了しました。", "", "summary: update OK",
        "  port     COM3", "  module   Q508", "  ROM      V1.00.00 -> V2.00.00"}});
  const Lines screen = Screen(r.out);
  ASSERT_EQ(screen.size(), expected.size() + 2) << r.out;
  EXPECT_EQ(Lines(screen.begin(), screen.begin() + static_cast<std::ptrdiff_t>(expected.size())),
            expected);
  EXPECT_TRUE(
      std::regex_match(screen[expected.size()],
                       std::regex("  written  107776 bytes in [0-9.]+ s \\([0-9.]+ KB/s\\)")))
      << screen[expected.size()];
  EXPECT_TRUE(std::regex_match(
      screen.back(), std::regex("  CRC      module (0x[0-9A-F]{4}), image \\1 \\(match\\)")))
      << screen.back();
}

// --- several modules, image info, run records ---

TEST_F(Kv9flashTest, ThreePortsAtOnceWithOneFailingGiveTheTableAndExitOne) {
  sim::SimOptions failing;
  sim::FaultRule refuse;
  refuse.kind = sim::FaultRule::Kind::ErrorReply;
  refuse.site.code = 0x50;
  refuse.site.occurrence = 5;
  refuse.errorCode = 0x53;
  failing.faults.rules.push_back(refuse);
  test::TracedSim com3(folder_, 3), com4(folder_, 4, failing), com5(folder_, 5);
  const auto r = Kv9flash({"--port", "COM3,COM4", "--port", "COM5", "--no-init"});
  ASSERT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 1);
  const Lines out = SplitLines(r.out);
  for (const auto& line : out)
    EXPECT_TRUE(std::regex_search(line, std::regex("^COM[345]: "))) << line;
  for (const char* port : {"COM3: ", "COM5: "}) {
    EXPECT_NE(
        std::find(out.begin(), out.end(), port + std::string("アップデートが正常に終了しました。")),
        out.end());
  }
  EXPECT_NE(std::find(out.begin(), out.end(), "COM4: ライト     : NG"), out.end());
  const Lines err = SplitLines(r.err);
  ASSERT_GE(err.size(), 4u) << r.err;
  EXPECT_EQ(err[err.size() - 4], "port     module     before     after      result time");
  EXPECT_EQ(err[err.size() - 3].rfind("COM3     Q508       V1.00.00   V2.00.00   OK     ", 0), 0u)
      << r.err;
  EXPECT_EQ(err[err.size() - 2].rfind("COM4     Q508       V1.00.00   -          NG     ", 0), 0u)
      << r.err;
  EXPECT_EQ(err[err.size() - 1].rfind("COM5     Q508       V1.00.00   V2.00.00   OK     ", 0), 0u)
      << r.err;
  EXPECT_EQ(com3->Snapshot().romVersion, "V2.00.00 ");
  EXPECT_EQ(com5->Snapshot().romVersion, "V2.00.00 ");
  EXPECT_EQ(com4->Snapshot().personality, sim::Personality::Boot);
}

TEST_F(Kv9flashTest, InfoTellsTheCrcTheUpdateReportsAndTheRunRecordHoldsTheLog) {
  const auto info = Kv9flash({"info"});
  EXPECT_EQ(info.exitCode, 0);
  std::smatch crc;
  ASSERT_TRUE(std::regex_search(info.out, crc, std::regex("\nCRC       (0x[0-9A-F]{4}) ")))
      << info.out;
  EXPECT_NE(info.out.find("\nversion   V2.00.00 \n"), std::string::npos) << info.out;
  EXPECT_EQ(Kv9flash({"info", "--image", folder_.Path() + "/missing.hex"}).exitCode, 2);

  test::TracedSim sim(folder_, 3);
  const std::string records = folder_.Path() + "/records";
  // The folder from the environment, as a production line sets it once.
  ::setenv("KV9FLASH_LOG_DIR", records.c_str(), 1);
  const auto r = Kv9flash({"--port", "COM3", "--no-init"});
  ::unsetenv("KV9FLASH_LOG_DIR");
  EXPECT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(
      r.err.find("  CRC      module " + crc[1].str() + ", image " + crc[1].str() + " (match)"),
      std::string::npos)
      << r.err;
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(records)) files.push_back(e.path());
  // The text record and the report object beside it.
  ASSERT_EQ(files.size(), 2u);
  std::sort(files.begin(), files.end());
  EXPECT_TRUE(std::regex_match(files[1].filename().string(),
                               std::regex("kv9flash-[0-9]{8}-[0-9]{6}-COM3\\.log")));
  EXPECT_EQ(files[0].stem(), files[1].stem());
  std::ifstream json(files[0]);
  std::string object;
  std::getline(json, object);
  EXPECT_NE(object.find("\"outcome\":\"ok\",\"exit\":0,\"stage\":\"done\",\"module_state\":\"running new firmware\""),
            std::string::npos)
      << object;
  std::ifstream in(files[1]);
  Lines logged;
  std::string settings, outcome;
  const std::regex stamped("[0-9-]{10} [0-9:.]{12}  (.*)");
  for (std::string line; std::getline(in, line);) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(line, m, stamped)) << line;
    const std::string text = m[1];
    if (text.rfind("# settings: ", 0) == 0)
      settings = text;
    else if (text.rfind("# outcome: ", 0) == 0)
      outcome = text;
    else if (text.rfind("# ", 0) != 0 && text.rfind("! ", 0) != 0)
      logged.push_back(text);
  }
  EXPECT_EQ(logged, SplitLines(r.out));
  EXPECT_EQ(
      settings.rfind(
          "# settings: --port COM3 --no-init (cpu code 5, ROM size 256K, boot rate 115200", 0),
      0u)
      << settings;
  EXPECT_EQ(outcome, "# outcome: OK (exit status 0)");
}

}  // namespace
}  // namespace kv9
