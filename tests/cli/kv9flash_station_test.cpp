// kv9flash station against simulated benches: modules swapped on a slot,
// two slots at once with one module refusing a frame, and a stop while
// waiting.
#include <signal.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "platform/resources.h"
#include "tests/cli/spawned_child.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_dir.h"

namespace kv9 {
namespace {

using test::SpawnedChild;

constexpr int kWatchdogMs = 60000;

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class Kv9flashStationTest : public ::testing::Test {
 protected:
  test::PortFolder folder_;
  test::TempDir out_;
};

TEST_F(Kv9flashStationTest, ThreeModulesInARowOnOneSlotAreEachUpdatedOnce) {
  const auto dump = out_.Path() / "dump";
  SpawnedChild sim(KV9SIM_PATH, {"--com", "3", "--dump", dump.string(), "--away-ms", "300"});
  ASSERT_TRUE(sim.WaitForOutput("kv9sim: ready on COM3", kWatchdogMs));
  const auto report = out_.Path() / "report.jsonl";
  SpawnedChild station(KV9FLASH_PATH, {"station", "--port", "COM3", "--no-init", "--report", report.string()});
  for (int k = 1; k <= 3; ++k) {
    ASSERT_TRUE(station.WaitForOutput("#" + std::to_string(k) + " OK V2.00.00 in ", kWatchdogMs)) << k;
    if (k == 3) break;
    // The bench takes the module away; the next one comes on the same port.
    ::kill(sim.Pid(), SIGUSR1);
    ASSERT_TRUE(sim.WaitForOutput("module " + std::to_string(k + 1) + " connected", kWatchdogMs));
  }
  ::kill(station.Pid(), SIGINT);
  const auto r = station.Finish(kWatchdogMs);
  ::kill(sim.Pid(), SIGINT);
  sim.Finish(kWatchdogMs);
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find(" 3 OK, 0 NG, mean "), std::string::npos) << r.out;
  EXPECT_EQ(r.err.rfind("station: 3 OK, 0 NG, mean ", 0), 0u) << r.err;
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  for (int k = 1; k <= 3; ++k) {
    const auto module = dump / ("module-" + std::to_string(k));
    const std::string summary = ReadText(module / "summary.json");
    // One boot-mode request per module: none was updated twice.
    EXPECT_NE(summary.find("\"fw:4E:9B\": 1,"), std::string::npos) << k << summary;
    EXPECT_NE(summary.find("\"romVersion\": \"V2.00.00 \""), std::string::npos) << k;
    EXPECT_EQ(ReadText(module / "flash.bin").substr(0, 245760),
              std::string(reinterpret_cast<const char*>(image.data), 245760))
        << k;
    const std::string line = "{\"port\":\"COM3\",\"seq\":" + std::to_string(k) + ",\"start\":\"";
    EXPECT_NE(ReadText(report).find(line), std::string::npos) << k;
  }
}

TEST_F(Kv9flashStationTest, TwoSlotsOneModuleRefusingAFrameTallyOneOkOneNgAndTheNgModuleIsNotRetried) {
  sim::SimOptions failing;
  sim::FaultRule refuse;
  refuse.kind = sim::FaultRule::Kind::ErrorReply;
  refuse.site.code = 0x50;
  refuse.site.occurrence = 5;
  refuse.errorCode = 0x53;
  failing.faults.rules.push_back(refuse);
  test::TracedSim com3(folder_, 3), com4(folder_, 4, failing);
  SpawnedChild station(KV9FLASH_PATH, {"station", "--port", "COM3,COM4", "--no-init"});
  ASSERT_TRUE(station.WaitForOutput("COM4 ", kWatchdogMs));
  ASSERT_TRUE(station.WaitForOutput(" NG write in ", kWatchdogMs));
  ASSERT_TRUE(station.WaitForOutput(" OK V2.00.00 in ", kWatchdogMs));
  // The NG module, left in its boot program, stays: the slot searches it at
  // every module rate and never starts its update again; the OK module is
  // asked for its ROM version again while it stays, and not updated again.
  EXPECT_TRUE(com4->WaitFor([](const sim::SimSnapshot& s) { return s.ratesSeen.count(9600) > 0; },
                            std::chrono::milliseconds(kWatchdogMs)));
  EXPECT_TRUE(com3->WaitFor(
      [](const sim::SimSnapshot& s) {
        const auto it = s.commandCounts.find("fw:4F:90");
        return it != s.commandCounts.end() && it->second >= 4;
      },
      std::chrono::milliseconds(kWatchdogMs)));
  ::kill(station.Pid(), SIGINT);
  const auto r = station.Finish(kWatchdogMs);
  EXPECT_EQ(r.exitCode, 1) << r.out << r.err;
  EXPECT_NE(r.out.find(" 1 OK, 1 NG, mean "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("continue with: kv9flash --port COM4 --rewrite --speed 19200 --no-init update"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(r.err.rfind("station: 1 OK, 1 NG, mean ", 0), 0u) << r.err;
  for (auto* sim : {&com3, &com4}) {
    const auto counts = (*sim)->Snapshot().commandCounts;
    EXPECT_EQ(counts.at("fw:4E:9B"), 1u);
  }
  // The four blocks before the refused one, and none of a second run.
  EXPECT_EQ(com4->Snapshot().blocksReceived, 4u);
  EXPECT_EQ(com3->Snapshot().romVersion, "V2.00.00 ");
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
