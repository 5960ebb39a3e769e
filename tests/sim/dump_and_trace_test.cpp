// The exit dump and the frame trace: what tests and people read afterwards.
#include "sim_test_support.h"

#include <fstream>
#include <iterator>
#include <sstream>

namespace kv9::sim::test {
namespace {

Bytes ReadFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string ReadText(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class DumpAndTrace : public SimTest {};

TEST_F(DumpAndTrace, DumpHoldsFlashEepromAndSummary) {
  SimOptions o = Options();
  o.dumpDir = dir_ / "dump";
  SimModule& sim = Start(o);
  const Bytes store{0x02, 0x00, 0x4E, 0x06, 0x83, 0xFF, 0x29, 0x01, 0xFA, 0x00, 0x03, 0xFF, 0x0D};
  ASSERT_EQ(Line().Exchange(store, 8).size(), 8u);
  Line().SetRate(9600);
  EXPECT_TRUE(Line().Exchange({0x02, 0x00, 0x4F, 0x01, 0x93, 0x03, 0xE8, 0x0D}, 1, 200ms).empty());
  Line().SetRate(19200);
  ASSERT_EQ(Line().Exchange({0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D}, 17).size(), 17u);
  ASSERT_EQ(Line().Exchange({0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D}, 17).size(), 17u);
  const SimSnapshot live = sim.Snapshot();
  line_.reset();
  sim.Stop();

  const auto dump = dir_ / "dump";
  const Bytes factory = ReadFile(dump / "eeprom_factory.bin");
  ASSERT_EQ(factory.size(), 124u);
  EXPECT_EQ(factory[80], 0xFA);  // the stored reference power reached the factory image
  EXPECT_EQ(factory[81], 0x00);
  EXPECT_EQ(ReadFile(dump / "eeprom_all.bin"), Bytes(live.eepromAllData.begin(), live.eepromAllData.end()));
  const Bytes flash = ReadFile(dump / "flash.bin");
  EXPECT_EQ(flash.size(), 262144u);
  EXPECT_EQ(flash, live.flash);
  EXPECT_EQ(ReadFile(dump / "userboot.bin").size(), 16384u);
  const std::string json = ReadText(dump / "summary.json");
  EXPECT_NE(json.find("\"personality\": \"firmware\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"ratesSeen\": [9600, 19200]"), std::string::npos) << json;
  EXPECT_NE(json.find("\"fw:4F:90\": 2"), std::string::npos) << json;
  EXPECT_NE(json.find("\"fw:4E:83\": 1"), std::string::npos) << json;
  EXPECT_EQ(json.find("fw:4F:93"), std::string::npos) << json;  // sent at the wrong rate: never seen
  EXPECT_NE(json.find("\"noiseBytes\": 8"), std::string::npos) << json;
  EXPECT_NE(json.find("\"first\": \"0xFFFC0000\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"romVersion\": \"V1.00.00 \""), std::string::npos) << json;
}

// A module of its own (--module-id) has calibration words of its own, and a
// module started on a dump's EEPROM (--eeprom) holds exactly that EEPROM.
TEST_F(DumpAndTrace, AModuleOfItsOwnKeepsItsEepromAcrossAPowerCycle) {
  SimOptions o = Options();
  o.serial = 3;
  o.dumpDir = dir_ / "first";
  SimModule& first = Start(o);
  const Bytes store{0x02, 0x00, 0x4E, 0x06, 0x83, 0xFF, 0x29, 0x01, 0xFA, 0x00, 0x03, 0xFF, 0x0D};
  ASSERT_EQ(Line().Exchange(store, 8).size(), 8u);
  const SimSnapshot held = first.Snapshot();
  // Words 0 and 1 of module 3: 0x5100 + 3 and 0x5107 + 2 * 3, low byte first.
  EXPECT_EQ(Bytes(held.eepromFactory.begin(), held.eepromFactory.begin() + 4), (Bytes{0x03, 0x51, 0x0D, 0x51}));
  line_.reset();
  first.Stop();

  SimOptions again = Options();
  again.eepromDir = dir_ / "first";
  SimModule& second = Start(again);
  EXPECT_EQ(second.Snapshot().eepromFactory, held.eepromFactory);
  EXPECT_EQ(second.Snapshot().eepromAllData, held.eepromAllData);
}

TEST_F(DumpAndTrace, TraceLogsBothDirectionsWithTheRate) {
  SimOptions o = Options();
  o.trace = true;
  std::vector<std::string> lines;
  std::mutex m;
  sim_ = std::make_unique<SimModule>(o);
  sim_->SetTraceSink([&](const std::string& l) {
    std::lock_guard lock(m);
    lines.push_back(l);
  });
  sim_->Start();
  ASSERT_EQ(Line().Exchange({0x02, 0x00, 0x4F, 0x02, 0x90, 0x00, 0x03, 0xE6, 0x0D}, 17).size(), 17u);
  Line().SetRate(38400);
  Line().Send({0x02, 0x00});
  ASSERT_TRUE(sim_->WaitFor([](const SimSnapshot& s) { return s.noiseBytes == 2; }, 1000ms));
  sim_->Stop();
  std::lock_guard lock(m);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "kv9sim: RX @19200 [9] 02 00 4F 02 90 00 03 E6 0D");
  EXPECT_EQ(lines[1], "kv9sim: TX @19200 [17] 02 00 30 0A 90 56 31 2E 30 30 2E 30 30 20 03 92 0D");
  EXPECT_EQ(lines[2], "kv9sim: NOISE @38400 [2] dropped (module listens at 19200)");
}

// A module that never ran its firmware has no version to report, and
// matching bytes are labelled with the rate they came at, not the one the
// boot program listened at before.
TEST_F(DumpAndTrace, BootStartHasNoVersionAndMatchingIsTracedAtItsRate) {
  SimOptions o = Options();
  o.startIn = StartIn::Boot;
  o.trace = true;
  o.dumpDir = dir_ / "dump";
  std::vector<std::string> lines;
  std::mutex m;
  sim_ = std::make_unique<SimModule>(o);
  sim_->SetTraceSink([&](const std::string& l) {
    std::lock_guard lock(m);
    lines.push_back(l);
  });
  sim_->Start();
  Line(9600).Send({0x00, 0x00, 0x00});
  EXPECT_EQ(Line().Read(1), Bytes{0x00});
  sim_->Stop();
  std::lock_guard lock(m);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "kv9sim: RX @9600 [1] 00");
  EXPECT_EQ(lines.back(), "kv9sim: TX @9600 [1] 00");
  const std::string json = ReadText(dir_ / "dump" / "summary.json");
  EXPECT_NE(json.find("\"romVersion\": null,"), std::string::npos) << json;
}

}  // namespace
}  // namespace kv9::sim::test
