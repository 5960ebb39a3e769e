// kv9flash --backup and --skip-current against the simulated module: what
// reached the file and the flash, and what never went on the wire.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>

#include "image/image_file_loader.h"
#include "image/srecord_writer.h"
#include "tests/cli/kv9flash_run.h"
#include "tests/support/sim_fixture.h"
#include "tests/support/temp_dir.h"

namespace kv9 {
namespace {

using Lines = std::vector<std::string>;
using test::Kv9flash;
using test::SplitLines;

constexpr std::uint32_t kAreaStart = 0xFFFC0000;
constexpr std::size_t kBelowLoader = 245760;  // 0xFFFC0000..0xFFFFBFFF

bool Contains(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// The first frame at or after `from` that starts with `prefix`.
std::size_t FindFrame(const Lines& frames, const std::string& prefix, std::size_t from = 0) {
  for (std::size_t i = from; i < frames.size(); ++i) {
    if (frames[i].rfind(prefix, 0) == 0) return i;
  }
  return frames.size();
}

std::vector<std::uint8_t> LoadedBelowLoader(const std::string& file) {
  ImageBuffer image;
  image.SetArea(kAreaStart);
  image.Reset();
  EXPECT_TRUE(LoadImageByExtension(image, file).ok) << file;
  const std::uint8_t* bytes = image.bytes.Memory();
  return {bytes, bytes + kBelowLoader};
}

class Kv9flashBackupTest : public ::testing::Test {
 protected:
  test::PortFolder folder_;
  test::TempDir dir_;
};

// One summed bit flip in a read reply passes every frame check; only the
// module's CRC shows it, and the area is read again.
TEST_F(Kv9flashBackupTest, BackupUpdateAndRollBackPutTheOldFirmwareBack) {
  sim::SimOptions options;
  sim::FaultRule flip;
  flip.kind = sim::FaultRule::Kind::BitFlipSummed;
  flip.site.code = 0xFF;
  flip.site.occurrence = 3;
  flip.flipByte = 100;
  options.faults.rules.push_back(flip);
  test::TracedSim sim(folder_, 3, options);
  const std::vector<std::uint8_t> before = sim->Snapshot().FlashAt(kAreaStart, kBelowLoader);
  const std::string report = (dir_.Path() / "report.json").string();
  const auto r = Kv9flash({"--port", "COM3", "--no-init", "--skip-current", "--backup",
                           dir_.Path().string() + "/", "--report", report});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(sim->Snapshot().romVersion, "V2.00.00 ");  // another version: updated

  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(dir_.Path())) {
    if (e.path().extension() == ".mot") files.push_back(e.path());
  }
  ASSERT_EQ(files.size(), 1u);
  const std::string file = files[0].string();
  EXPECT_TRUE(std::regex_match(files[0].filename().string(),
                               std::regex(R"(fw-\d{8}-\d{6}-COM3-V1\.00\.00\.mot)")));
  const Lines out = SplitLines(r.out);
  EXPECT_TRUE(Contains(out, "FIRMWARE BACKUP : " + file)) << r.out;
  EXPECT_EQ(FindFrame(out, "ROM保存    : OK"), FindFrame(out, "ID照合     : OK") + 2) << r.out;
  EXPECT_NE(r.err.find("  backup   " + file + "\n"), std::string::npos) << r.err;
  std::ifstream reportFile(report);
  const std::string json((std::istreambuf_iterator<char>(reportFile)), {});
  EXPECT_NE(json.find("\"firmware_backup\":\"" + file + "\""), std::string::npos) << json;

  // Read in user-boot mode (0xFF), 1 KB a frame, twice, all before the erase's blank check.
  const Lines frames = sim.Received();
  const std::size_t firstRead = FindFrame(frames, "FF 09 ");
  ASSERT_LT(firstRead, frames.size());
  EXPECT_EQ(frames[firstRead], "FF 09 01 FF FC 00 00 00 00 04 00 F8");
  const auto reads = std::count_if(frames.begin(), frames.end(),
                                   [](const std::string& f) { return f.rfind("FF 09 ", 0) == 0; });
  EXPECT_EQ(reads, 2 * 240);
  std::size_t lastRead = firstRead;
  for (std::size_t i = firstRead; i < frames.size(); i = FindFrame(frames, "FF 09 ", i + 1))
    lastRead = i;
  EXPECT_LT(lastRead, FindFrame(frames, "4D"));

  EXPECT_EQ(LoadedBelowLoader(file), before);
  // The roll-back takes its own copy, named relative to the working folder,
  // onto a name a file has already: that file stays, the copy gets "-2",
  // and the report names it absolutely.
  const std::filesystem::path kept = dir_.Path() / "old.mot";
  { std::ofstream(kept) << "keep me\n"; }
  const std::vector<std::uint8_t> updated = sim->Snapshot().FlashAt(kAreaStart, kBelowLoader);
  const std::string relative = std::filesystem::relative(kept).string();
  ASSERT_NE(relative.front(), '/');
  const auto back = Kv9flash({"--port", "COM3", "--no-init", "--image", file, "--backup", relative, "--report", report});
  ASSERT_EQ(back.exitCode, 0) << back.err;
  EXPECT_EQ(sim->Snapshot().FlashAt(kAreaStart, kBelowLoader), before);
  EXPECT_EQ(sim->Snapshot().romVersion, "V1.00.00 ");
  std::ifstream keptFile(kept);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(keptFile)), {}), "keep me\n");
  const std::string second = (dir_.Path() / "old-2.mot").string();
  EXPECT_EQ(LoadedBelowLoader(second), updated);
  EXPECT_TRUE(Contains(SplitLines(back.out), "FIRMWARE BACKUP : " + second)) << back.out;
  std::ifstream backReport(report);
  const std::string backJson((std::istreambuf_iterator<char>(backReport)), {});
  EXPECT_NE(backJson.find("\"firmware_backup\":\"" + second + "\""), std::string::npos) << backJson;
}

// A target that cannot take the copy is bad input, refused before
// discovery's first frame: a mistyped folder, the image file itself under
// another name (a hard link), a folder with several ports.
TEST_F(Kv9flashBackupTest, BackupTargetThatCannotTakeTheCopyIsRefusedBeforeAnyFrame) {
  test::TracedSim sim(folder_, 3);
  test::TracedSim other(folder_, 4);
  const std::vector<std::uint8_t> before = sim->Snapshot().FlashAt(kAreaStart, 262144);
  const std::filesystem::path image = dir_.Path() / "fw.mot";
  const std::string imageText = SRecordImageText("KV9 Q508 ROM V1.00.00", kAreaStart, before.data(), kBelowLoader);
  { std::ofstream(image) << imageText; }
  const std::filesystem::path sameFile = dir_.Path() / "same.mot";
  std::filesystem::create_hard_link(image, sameFile);
  const std::string missing = (dir_.Path() / "missing").string();
  struct Row {
    std::vector<std::string> args;
    std::string problem;
  };
  const Row rows[] = {
      {{"--port", "COM3", "--backup", missing + "/fw.mot"}, missing + ": No such file or directory"},
      {{"--port", "COM3", "--image", image.string(), "--backup", sameFile.string()},
       sameFile.string() + ": this is the image file the update writes; the copy would replace it"},
      {{"--port", "COM3,COM4", "--backup", missing}, missing + ": No such file or directory"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args[3]);
    const auto r = Kv9flash(row.args);
    EXPECT_EQ(r.exitCode, 2) << r.err;
    EXPECT_NE(r.err.find("error: ファームウェアのバックアップができないため、書き込みを中止しました。 " + row.problem +
                         "\n"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.err.find("continue with:"), std::string::npos) << r.err;
  }
  EXPECT_EQ(sim.Received(), Lines{});
  EXPECT_EQ(other.Received(), Lines{});
  EXPECT_EQ(sim->Snapshot().FlashAt(kAreaStart, 262144), before);
  std::ifstream imageFile(image);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(imageFile)), {}), imageText);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_.Path()), {}), 2);
}

// A copy that is not whole (a read the module refuses) ends the run before
// a single erase frame, the flash as it was.
TEST_F(Kv9flashBackupTest, BackupThatIsNotWholeStopsBeforeTheErase) {
  const std::string refused = (dir_.Path() / "fw.mot").string();
  struct Row {
    bool refuseReads;
    std::string file, reason;
  };
  const Row rows[] = {{true, refused, "the module did not answer the read at 0xFFFC0000"}};
  unsigned com = 3;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.file);
    sim::SimOptions options;
    if (row.refuseReads) {
      sim::FaultRule refuse;
      refuse.kind = sim::FaultRule::Kind::ErrorReply;
      refuse.site.code = 0xFF;
      refuse.errorCode = 0x2A;
      options.faults.rules.push_back(refuse);
    }
    const std::string port = "COM" + std::to_string(com);
    test::TracedSim sim(folder_, com++, options);
    const std::vector<std::uint8_t> before = sim->Snapshot().FlashAt(kAreaStart, 262144);
    const auto r = Kv9flash({"--port", port, "--backup", row.file});
    EXPECT_EQ(r.exitCode, 1);
    const Lines out = SplitLines(r.out);
    const std::string problem = row.file + ": " + row.reason;
    const Lines tail{"ID照合     : OK",
                     "FIRMWARE BACKUP : NG " + problem,
                     "ROM保存    : NG",
                     "アップデートに失敗しました。",
                     "",
                     "ファームウェアのバックアップができないため、書き込みを中止しました。R/"
                     "Wのファームウェアは書き換えていません。",
                     "R/Wの電源を入れ直すと、元のファームウェアで動作します。",
                     "保存先を確認してから、もう一度書き込みを行ってください。"};
    ASSERT_GE(out.size(), tail.size()) << r.out;
    EXPECT_EQ(Lines(out.end() - static_cast<long>(tail.size()), out.end()), tail) << r.out;
    EXPECT_NE(
        r.err.find("error: ファームウェアのバックアップができないため、書き込みを中止しました。 " +
                   problem + "\n"),
        std::string::npos)
        << r.err;
    EXPECT_NE(
        r.err.find("continue with: kv9flash --port " + port + " --backup " + row.file + " update"),
        std::string::npos)
        << r.err;
    const Lines frames = sim.Received();
    for (const char* erase : {"4D", "48", "59 "})
      EXPECT_EQ(FindFrame(frames, erase), frames.size()) << erase;
    EXPECT_EQ(sim->Snapshot().FlashAt(kAreaStart, 262144), before);
    EXPECT_FALSE(std::filesystem::exists(row.file));
    EXPECT_FALSE(std::filesystem::exists(row.file + ".part"));
  }
}

TEST_F(Kv9flashBackupTest, SkipCurrentSendsNothingAfterDiscoveryToAModuleAtTheImagesVersion) {
  sim::SimOptions options;
  options.initialRomVersion = "V2.00.00";
  test::TracedSim sim(folder_, 3, options);
  const auto r =
      Kv9flash({"--port", "COM3", "--skip-current", "--report", (dir_.Path() / "r.json").string()});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  const Lines out = SplitLines(r.out);
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(),
            "R/"
            "Wのファームウェアは書き込むファームウェアと同じバージョン（V2.00."
            "00）です。アップデートは行いません。");
  const Lines frames = sim.Received();
  // Discovery's three frames (operation mode, ROM version, model name), then nothing.
  EXPECT_EQ(frames.size(), 3u) << frames.back();
  EXPECT_EQ(FindFrame(frames, "02 00 4E 0A 9B"), frames.size());
  EXPECT_EQ(sim->Snapshot().personality, sim::Personality::Firmware);
  std::ifstream json(dir_.Path() / "r.json");
  const std::string text((std::istreambuf_iterator<char>(json)), {});
  EXPECT_NE(text.find("\"outcome\":\"skipped\",\"exit\":0"), std::string::npos) << text;
}

}  // namespace
}  // namespace kv9
