// Image files through kv9flash to the simulated flash: a file either
// reaches the module byte for byte at its addresses, or is refused before
// any frame leaves the tool.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>

#include "image/sha256.h"
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

Bytes RandomBytes(std::size_t count, unsigned seed) {
  std::mt19937 gen(seed);
  Bytes data(count);
  for (auto& b : data) b = static_cast<std::uint8_t>(gen());
  return data;
}

// A file is the whole image, also when loaded after the built-in one: the
// flash below the loader area holds the file's bytes and is erased wherever
// the file has no records.
TEST_F(Kv9flashImageTest, FilesProgramExactlyTheirBytesAndErasedFlashElsewhere) {
  const Bytes low = RandomBytes(0x6000, 11);
  const Bytes high = RandomBytes(0x2000, 13);
  const ResourceBlob image = FindResource("HEXDATA", "HexData1");
  // The built-in image has data between the two sections, where a load that
  // kept it would show.
  ASSERT_LT(std::count(image.data + 0x6000, image.data + 0x20000, 0xFF), 0x1A000);
  // Two sections with a gap between, as objcopy writes a program's: no
  // records for the gap.
  const std::string lowBin = Write("low.bin", std::string(low.begin(), low.end()));
  const std::string highBin = Write("high.bin", std::string(high.begin(), high.end()));
  const std::string hex = folder_.Path() + "/app.hex";
  const std::string command = "srec_cat '" + lowBin + "' -binary -offset 0xFFFC0000 '" + highBin +
                              "' -binary -offset 0xFFFE0000 -o '" + hex + "' -intel 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  Bytes twoSections(245760, 0xFF);
  std::copy(low.begin(), low.end(), twoSections.begin());
  std::copy(high.begin(), high.end(), twoSections.begin() + 0x20000);
  Bytes oneSection(245760, 0xFF);
  std::copy(low.begin(), low.end(), oneSection.begin());

  const struct {
    std::string path;
    const Bytes& flash;
  } files[] = {
      {hex, twoSections},
      {MadeByObjcopy("app.mot", low, 0xFFFC0000, "srec --srec-forceS3"), oneSection},
      {MadeByObjcopy("app1.hex", low, 0xFFFC0000, "ihex"), oneSection},
  };
  for (const auto& file : files) {
    SCOPED_TRACE(file.path);
    test::TracedSim sim(folder_, 3);
    const std::string report = folder_.Path() + "/report.json";
    const auto r = Kv9flash({"--port", "COM3", "--no-init", "--image", file.path, "--report", report});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(sim->Snapshot().FlashAt(0xFFFC0000, 245760), file.flash);
    // The image's identity is what reached the flash over the CRC area,
    // whatever format carried it: app.mot and app1.hex are one firmware.
    const std::string sha = DigestHex(Sha256Of(file.flash.data(), file.flash.size()));
    std::ifstream in(report);
    const std::string json((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(json.find("\"image\":{\"source\":\"" + file.path + "\",\"sha256\":\"" + sha + "\",\"crc\":\"0x"),
              std::string::npos)
        << json;
    EXPECT_NE(Kv9flash({"info", "--image", file.path}).out.find("\nsha256    " + sha + " (the CRC area"),
              std::string::npos);
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
  std::string truncated, all;
  std::size_t lines = 0;
  for (std::string line; std::getline(in, line); ++lines) {
    if (truncated.size() < 12000) truncated += line + "\n";
    all += line + "\n";
  }
  // A second file appended whole: its S0 header, then its first data record.
  const std::string joined = all + all;
  const std::string afterEnd = std::to_string(lines + 2);

  struct Refused {
    const char* name;
    std::vector<std::string> args;
    std::string error;
  };
  const Refused cases[] = {
      {"S-records without their termination record",
       {"--image", Write("cut.mot", truncated)},
       "error: ファイルが途中で終わっています（終了レコードがありません）。ファイルを確認してください。\n"},
      {"two S-record files joined",
       {"--image", Write("joined.mot", joined)},
       "error: " + afterEnd +
           "行目のデータレコードが終了レコードの後にあります（ファイルが連結されていませんか）。ファイルを確認してください。\n"},
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
  // info tells only what an update would program: bytes past 0xFFFFFFFF are
  // refused there too, never shown as an address range that wraps to 0.
  const auto info = Kv9flash({"info", "--image", Write("wraps.mot", "S315FFFFFFF800112233445566778899AABBCCDDEEFFFD\nS70500000000FA\n")});
  EXPECT_EQ(info.exitCode, 2);
  EXPECT_EQ(info.err, "error: データが、範囲外です！！\n");
  EXPECT_EQ(info.out, "");
}

}  // namespace
}  // namespace kv9
