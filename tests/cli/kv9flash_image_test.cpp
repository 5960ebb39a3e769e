// Image files through kv9flash to the simulated flash: a file either
// reaches the module byte for byte at its addresses, or is refused before
// any frame leaves the tool.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "platform/resources.h"
#include "tests/support/sim_fixture.h"
#include "tests/cli/kv9flash_run.h"
#include "tests/support/child_process.h"

namespace kv9 {
namespace {

using test::Kv9flash;

using Bytes = std::vector<std::uint8_t>;

class Kv9flashImageTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = folder_.Path() + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  // objcopy turns raw bytes at `address` into a file of `format` (ihex, srec).
  std::string MadeByObjcopy(const std::string& name, const Bytes& data, std::uint32_t address,
                            const std::string& format) {
    const std::string bin = Write(name + ".bin", std::string(data.begin(), data.end()));
    const std::string out = folder_.Path() + "/" + name;
    const std::string command = "objcopy -I binary -O " + format + " --change-addresses " +
                                std::to_string(address) + " '" + bin + "' '" + out + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return out;
  }
  test::PortFolder folder_;
};

TEST_F(Kv9flashImageTest, FilesMadeByObjcopyProgramExactlyTheirBytes) {
  std::mt19937 gen(11);
  Bytes data(0x6000);
  for (auto& b : data) b = static_cast<std::uint8_t>(gen());
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  // Intel HEX (type 04 records) is merged into the image the tool carries;
  // S-records start from erased flash.
  const struct {
    const char* name;
    const char* format;
    Bytes rest;
  } files[] = {
      {"app.hex", "ihex", Bytes(image.data + 0x6000, image.data + 245760)},
      {"app.mot", "srec --srec-forceS3", Bytes(245760 - 0x6000, 0xFF)},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.name);
    const std::string path = MadeByObjcopy(file.name, data, 0xFFFC0000, file.format);
    test::TracedSim sim(folder_, 3);
    const auto r = Kv9flash({"--port", "COM3", "--no-init", "--image", path});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    const auto snap = sim->Snapshot();
    EXPECT_EQ(snap.FlashAt(0xFFFC0000, data.size()), data);
    EXPECT_EQ(snap.FlashAt(0xFFFC6000, 245760 - 0x6000), file.rest);
  }
}

// An RX630 carries a 384 KB area from 0xFFFA0000; its loader's CRC covers
// all of it, as the tool's image CRC does with the ROM size that matches.
TEST_F(Kv9flashImageTest, Rx630ImageOfTheWholeAreaPassesTheLoaderCheck) {
  std::mt19937 gen(13);
  Bytes data(0x6000);
  for (auto& b : data) b = static_cast<std::uint8_t>(gen());
  const std::string path = MadeByObjcopy("rx630.mot", data, 0xFFFA0000, "srec --srec-forceS3");
  sim::SimOptions options;
  options.cpu = sim::Cpu::RX630;
  test::TracedSim sim(folder_, 3, options);
  const auto r = Kv9flash({"--port", "COM3", "--no-init", "--cpu", "RX630", "--rom-size", "384K", "--image", path});
  EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
  EXPECT_NE(r.out.find("ベリファイ : OK\n"), std::string::npos) << r.out;
  const auto snap = sim->Snapshot();
  EXPECT_EQ(snap.FlashAt(0xFFFA0000, data.size()), data);
  EXPECT_EQ(snap.FlashAt(0xFFFA6000, 0x5A000 - 0x6000), Bytes(0x5A000 - 0x6000, 0xFF));
}

TEST_F(Kv9flashImageTest, FilesAndSettingsThatWouldMisprogramAreRefusedBeforeAnyFrame) {
  std::mt19937 gen(12);
  Bytes data(0x4000);
  for (auto& b : data) b = static_cast<std::uint8_t>(gen());
  const std::string whole = MadeByObjcopy("whole.mot", data, 0xFFFC0000, "srec --srec-forceS3");
  std::ifstream in(whole);
  std::string truncated;
  for (std::string line; std::getline(in, line) && truncated.size() < 12000;) truncated += line + "\n";

  struct Refused {
    const char* name;
    std::vector<std::string> args;
    std::string error;
  };
  const Refused cases[] = {
      {"S-records without their termination record",
       {"--image", Write("cut.mot", truncated)},
       "error: ファイルが途中で終わっています（終了レコードがありません）。ファイルを確認してください。\n"},
      {"Intel HEX with an end-of-file record only",
       {"--image", Write("empty.hex", ":00000001FF\n")},
       "error: ファイルに書き込むデータがありません。ファイルを確認してください。\n"},
      {"a record line cut short",
       {"--image", Write("short.mot", "S3FFFFFC0500\nS70500000000FA\n")},
       "error: 1行目のレコードが途中で切れています。ファイルを確認してください。\n"},
      {"the built-in image with the 128K ROM size",
       {"--rom-size", "128K"},
       "error: ＲＯＭデータは 0xFFFC0000 からのデータですが、ROMサイズ設定の先頭は 0xFFFE0000 です。設定を確認してください。\n"},
  };
  for (const Refused& c : cases) {
    SCOPED_TRACE(c.name);
    test::TracedSim sim(folder_, 3);
    const Bytes before = sim->Snapshot().flash;
    std::vector<std::string> args = {"--port", "COM3"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = Kv9flash(args);
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, c.error);
    EXPECT_TRUE(sim.Received().empty());
    EXPECT_EQ(sim->Snapshot().flash, before);
    EXPECT_EQ(sim->Snapshot().personality, sim::Personality::Firmware);
  }
}

}  // namespace
}  // namespace kv9
