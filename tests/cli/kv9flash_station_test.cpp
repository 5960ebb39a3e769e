// kv9flash station against simulated benches: a shift of modules swapped
// on a slot and one stopped by Ctrl+C, two slots with one module refusing a
// frame and one losing a probe, two names of one device, a module swapped
// behind a port that stays open, an NG module switched off and on in its
// fixture, and a stop while waiting.
#include <signal.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/resources.h"
#include "tests/cli/spawned_child.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_dir.h"

namespace kv9 {
namespace {

using test::SpawnedChild;

constexpr int kWatchdogMs = 60000;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

unsigned Count(const sim::SimSnapshot& s, const std::string& key) {
  const auto it = s.commandCounts.find(key);
  return it == s.commandCounts.end() ? 0u : it->second;
}

// The image as the update programs it, for a module's flash dump.
std::string ImageBytes() {
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  return std::string(reinterpret_cast<const char*>(image.data), 245760);
}

std::string SnapshotFlash(const sim::SimSnapshot& s) {
  return std::string(s.flash.begin(), s.flash.begin() + 245760);
}

class Kv9flashStationTest : public ::testing::Test {
 protected:
  test::PortFolder folder_;
  test::TempDir out_;
};

TEST_F(Kv9flashStationTest, AShiftOfModulesHoldsOneReportLinePerRunAndAStoppedRunSaysWhereItLeftItsModule) {
  const auto dump = out_.Path() / "dump";
  SpawnedChild sim(KV9SIM_PATH, {"--com", "3", "--dump", dump.string(), "--away-ms", "300"});
  ASSERT_TRUE(sim.WaitForOutput("kv9sim: ready on COM3", kWatchdogMs));
  const auto report = out_.Path() / "report.jsonl";
  SpawnedChild station(KV9FLASH_PATH,
                       {"station", "--port", "COM3,COM4", "--no-init", "--report", report.string()});
  for (int k = 1; k <= 3; ++k) {
    ASSERT_TRUE(station.WaitForOutput("#" + std::to_string(k) + " OK V2.00.00 in ", kWatchdogMs)) << k;
    if (k == 3) break;
    // The bench takes the module away; the next one comes on the same port.
    ::kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(sim.WaitForOutput("module " + std::to_string(k + 1) + " connected", kWatchdogMs));
  }
  // A paced module on the station's second port, which appears only now;
  // Ctrl+C in the middle of its write stops it there.
  sim::SimOptions pacing;
  pacing.pace = true;
  test::TracedSim paced(folder_, 4, pacing);
  ASSERT_TRUE(paced->WaitFor([](const sim::SimSnapshot& s) { return s.blocksProgrammed >= 3; },
                             std::chrono::milliseconds(kWatchdogMs)));
  ::kill(station.Pid(), SIGINT);
  const auto r = station.Finish(kWatchdogMs);
  ::kill(sim.Pid(), SIGINT);
  sim.Finish(kWatchdogMs);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(" 3 OK, 1 NG, mean "), std::string::npos) << r.out;
  EXPECT_EQ(r.err.rfind("station: 3 OK, 1 NG, mean ", 0), 0u) << r.err;
  // The stopped run says so, and in which state it left its module.
  EXPECT_NE(r.out.find(" #4 NG write (stopped by SIGINT (Ctrl+C), module partly programmed) in "),
            std::string::npos)
      << r.out;
  const std::vector<std::string> lines = Lines(test::FileText(report));
  ASSERT_EQ(lines.size(), 4u) << test::FileText(report);
  EXPECT_EQ(lines[3].rfind("{\"port\":\"COM4\",\"seq\":4,\"start\":\"", 0), 0u) << lines[3];
  EXPECT_NE(lines[3].find("\"mode\":\"update\",\"outcome\":\"stopped\",\"exit\":130,\"stage\":\"write\","
                          "\"module_state\":\"partly programmed\""),
            std::string::npos)
      << lines[3];
  const sim::SimSnapshot stopped = paced->Snapshot();
  EXPECT_EQ(Count(stopped, "fw:4E:9B"), 1u);
  EXPECT_LT(stopped.blocksProgrammed, 421u);  // of the area's 421
  for (int k = 1; k <= 3; ++k) {
    const auto module = dump / ("module-" + std::to_string(k));
    const std::string summary = test::FileText(module / "summary.json");
    // One boot-mode request per module: none was updated twice.
    EXPECT_NE(summary.find("\"fw:4E:9B\": 1,"), std::string::npos) << k << summary;
    EXPECT_NE(summary.find("\"romVersion\": \"V2.00.00 \""), std::string::npos) << k;
    EXPECT_EQ(test::FileText(module / "flash.bin").substr(0, 245760), ImageBytes()) << k;
    const std::string line = "{\"port\":\"COM3\",\"seq\":" + std::to_string(k) + ",\"start\":\"";
    EXPECT_EQ(lines[k - 1].rfind(line, 0), 0u) << lines[k - 1];
    EXPECT_NE(lines[k - 1].find("\"mode\":\"update\",\"outcome\":\"ok\","), std::string::npos) << lines[k - 1];
  }
}

TEST_F(Kv9flashStationTest, TwoSlotsOneModuleRefusingAFrameOneLosingAProbeEachRunOnce) {
  const sim::SimOptions failing = test::SimOptionsFrom({"--error-reply", "boot:50/5=53"});
  // The OK module leaves one presence probe unanswered: its ROM version
  // queries are the station's search, the update's search, the update's
  // read after the restart, then the presence probes.
  const sim::SimOptions losing = test::SimOptionsFrom({"--no-reply", "fw:4F:90/5"});
  test::TracedSim com3(folder_, 3, losing), com4(folder_, 4, failing);
  SpawnedChild station(KV9FLASH_PATH, {"station", "--port", "COM3,COM4", "--no-init"});
  ASSERT_TRUE(station.WaitForOutput(" NG write in ", kWatchdogMs));
  ASSERT_TRUE(station.WaitForOutput(" OK V2.00.00 in ", kWatchdogMs));
  // The NG module, left in its boot program's session, stays: the slot
  // finds it there by the session's status inquiry and never starts its
  // update again. The OK module answers presence probes past the lost one,
  // and is not updated again.
  EXPECT_TRUE(com4->WaitFor([](const sim::SimSnapshot& s) { return Count(s, "boot:4F") >= 3; },
                            std::chrono::milliseconds(kWatchdogMs)));
  EXPECT_TRUE(com3->WaitFor([](const sim::SimSnapshot& s) { return Count(s, "fw:4F:90") >= 8; },
                            std::chrono::milliseconds(kWatchdogMs)));
  ::kill(station.Pid(), SIGINT);
  const auto r = station.Finish(kWatchdogMs);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(" 1 OK, 1 NG, mean "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("continue with: kv9flash --port COM4 --rewrite --speed 19200 --no-init update"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("switch the module off and on in its fixture: this slot then updates it in re-write mode"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.out.find("module no longer answers"), std::string::npos) << r.out;
  EXPECT_EQ(r.err.rfind("station: 1 OK, 1 NG, mean ", 0), 0u) << r.err;
  for (auto* sim : {&com3, &com4}) {
    const auto counts = (*sim)->Snapshot().commandCounts;
    EXPECT_EQ(counts.at("fw:4E:9B"), 1u);
  }
  // The four blocks before the refused one, and none of a second run.
  EXPECT_EQ(com4->Snapshot().blocksReceived, 4u);
  EXPECT_EQ(com3->Snapshot().romVersion, "V2.00.00 ");
}

TEST_F(Kv9flashStationTest, TwoNamesOfOneDeviceAndAMissingBackupFolderAreRefusedBeforeAnyFrame) {
  test::TracedSim com3(folder_, 3);
  // A second name for the same pty, and a link to the first name.
  folder_.Link("COM5", com3->SlavePath());
  folder_.Link("COM6", (std::filesystem::path(folder_.Path()) / "COM3").string());
  const auto r = test::RunChild(KV9FLASH_PATH, {"station", "--port", "COM3,COM4,COM5,COM6", "--no-init"}, kWatchdogMs);
  EXPECT_EQ(r.exitCode, 2) << r.out << r.err;
  EXPECT_EQ(r.out, "");
  const std::string device = " are one device (" + com3->SlavePath() + "); a station takes each device once\n";
  EXPECT_EQ(r.err, "error: COM3 and COM5" + device + "error: COM3 and COM6" + device + "error: COM5 and COM6" + device);
  EXPECT_TRUE(com3.Received().empty());
  EXPECT_TRUE(com3->Snapshot().commandCounts.empty());

  // A mistyped backup folder stops the station at start, not each module
  // after its boot-mode request.
  const std::string missing = std::string(folder_.Path()) + "/no-such-folder/";
  const auto b = test::RunChild(KV9FLASH_PATH, {"station", "--port", "COM3", "--no-init", "--backup", missing},
                                kWatchdogMs);
  EXPECT_EQ(b.exitCode, 2) << b.out << b.err;
  EXPECT_EQ(b.out, "");
  EXPECT_EQ(b.err.rfind("error: ファームウェアのバックアップができないため、書き込みを中止しました。", 0), 0u) << b.err;
  EXPECT_TRUE(com3.Received().empty());
}

TEST_F(Kv9flashStationTest, AModuleSwappedBehindAPortThatStaysOpenIsANewModuleUpdatedOnce) {
  const auto dump = out_.Path() / "dump";
  // The line is dead for 0.8 s while the operator changes the module.
  SpawnedChild sim(KV9SIM_PATH, {"--com", "3", "--dump", dump.string(), "--swap-in-place", "--away-ms", "800"});
  ASSERT_TRUE(sim.WaitForOutput("kv9sim: ready on COM3", kWatchdogMs));
  SpawnedChild station(KV9FLASH_PATH, {"station", "--port", "COM3", "--no-init"});
  for (int k = 1; k <= 3; ++k) {
    ASSERT_TRUE(station.WaitForOutput("#" + std::to_string(k) + " OK V2.00.00 in ", kWatchdogMs)) << k;
    if (k == 3) break;
    ::kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(sim.WaitForOutput("module " + std::to_string(k + 1) + " connected", kWatchdogMs));
  }
  ::kill(station.Pid(), SIGINT);
  const auto r = station.Finish(kWatchdogMs);
  ::kill(sim.Pid(), SIGINT);
  sim.Finish(kWatchdogMs);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_EQ(r.err.rfind("station: 3 OK, 0 NG, mean ", 0), 0u) << r.err;
  // The port never went: no slot saw it go or wait again.
  EXPECT_EQ(r.out.find("port gone"), std::string::npos) << r.out;
  for (int k = 1; k <= 3; ++k) {
    const auto module = dump / ("module-" + std::to_string(k));
    const std::string summary = test::FileText(module / "summary.json");
    EXPECT_NE(summary.find("\"fw:4E:9B\": 1,"), std::string::npos) << k << summary;
    EXPECT_NE(summary.find("\"romVersion\": \"V2.00.00 \""), std::string::npos) << k;
    EXPECT_EQ(test::FileText(module / "flash.bin").substr(0, 245760), ImageBytes()) << k;
  }
}

TEST_F(Kv9flashStationTest, AnNgModuleSwitchedOffAndOnInItsFixtureIsReWrittenOnce) {
  const sim::SimOptions failing = test::SimOptionsFrom({"--error-reply", "boot:50/5=53"});
  test::TracedSim com3(folder_, 3, failing);
  const auto report = out_.Path() / "report.jsonl";
  SpawnedChild station(KV9FLASH_PATH, {"station", "--port", "COM3", "--no-init", "--report", report.string()});
  ASSERT_TRUE(station.WaitForOutput("#1 NG write in ", kWatchdogMs));
  // The slot sees the broken-off session before the module is switched off.
  ASSERT_TRUE(com3->WaitFor([](const sim::SimSnapshot& s) { return Count(s, "boot:4F") >= 1; },
                            std::chrono::milliseconds(kWatchdogMs)));
  com3->PowerCycle(std::chrono::milliseconds(400));
  ASSERT_TRUE(station.WaitForOutput("#2 module found in its boot program at 19200 bit/s: update in re-write mode",
                                    kWatchdogMs));
  ASSERT_TRUE(station.WaitForOutput("#2 OK V2.00.00 in ", kWatchdogMs));
  // It is probed as the module it now is, and not re-written again.
  const unsigned queries = Count(com3->Snapshot(), "fw:4F:90");
  EXPECT_TRUE(com3->WaitFor([queries](const sim::SimSnapshot& s) { return Count(s, "fw:4F:90") >= queries + 3; },
                            std::chrono::milliseconds(kWatchdogMs)));
  ::kill(station.Pid(), SIGINT);
  const auto r = station.Finish(kWatchdogMs);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_EQ(r.err.rfind("station: 1 OK, 1 NG, mean ", 0), 0u) << r.err;
  const sim::SimSnapshot s = com3->Snapshot();
  EXPECT_EQ(SnapshotFlash(s), ImageBytes());
  EXPECT_EQ(s.romVersion, "V2.00.00 ");
  EXPECT_EQ(Count(s, "fw:4E:9B"), 1u);  // one boot-mode request: the first run's
  EXPECT_EQ(Count(s, "boot:3F"), 2u);   // a handshake per run
  EXPECT_EQ(Count(s, "boot:9D"), 1u);   // one restart into the new firmware
  const std::vector<std::string> lines = Lines(test::FileText(report));
  ASSERT_EQ(lines.size(), 2u) << test::FileText(report);
  EXPECT_NE(lines[0].find("\"seq\":1,"), std::string::npos) << lines[0];
  EXPECT_NE(lines[0].find("\"mode\":\"update\",\"outcome\":\"failed\",\"exit\":1,\"stage\":\"write\""),
            std::string::npos)
      << lines[0];
  EXPECT_NE(lines[1].find("\"seq\":2,"), std::string::npos) << lines[1];
  EXPECT_NE(lines[1].find("\"mode\":\"rewrite\",\"outcome\":\"ok\",\"exit\":0,\"stage\":\"done\""),
            std::string::npos)
      << lines[1];
}

TEST_F(Kv9flashStationTest, CtrlCWhileWaitingEndsAtOnceWithExitZero) {
  SpawnedChild station(KV9FLASH_PATH, {"station", "--port", "COM9"});
  ASSERT_TRUE(station.WaitForOutput("COM9 ", kWatchdogMs));
  ::kill(station.Pid(), SIGINT);
  // A short watchdog: a waiting slot has no frame to finish.
  const auto r = station.Finish(3000);
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(" waiting for a module"), std::string::npos) << r.out;
  EXPECT_EQ(r.err, "station: 0 OK, 0 NG, mean 0.0 s per module, 0.0 modules per hour\n");
}

}  // namespace
}  // namespace kv9
