// ID code, erase, program, verify and the loader commands against the
// simulated module: frames on the wire, log lines, gauge, and what reached
// the simulated flash.
#include "boot_wire_fixture.h"

#include "link/firmware_update.h"

#include <algorithm>

#include "boot/boot_frames.h"
#include "wire/id_code_table.h"

namespace kv9::test {
namespace {

// A recognisable image: data in the first 8 KB, one block just below the
// loader area, and the top 16 KB; erased (0xFF) elsewhere.
void FillImage(TFlashWrRXCont& c) {
  std::uint8_t* m = c.ImageStream.Memory();
  const std::size_t size = c.ImageStream.Size();
  std::fill(m, m + size, 0xFF);
  for (std::size_t i = 0; i < 0x2000; ++i) m[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  for (std::size_t i = 0x3BF00; i < 0x3C000; ++i) m[i] = static_cast<std::uint8_t>(i);
  for (std::size_t i = 0x3C000; i < size; ++i) m[i] = static_cast<std::uint8_t>(i >> 3);
  c.ImageLoaded = 1;
}

std::uint32_t AddressOf(const Bytes& frame, std::size_t at) {
  return (std::uint32_t{frame[at]} << 24) | (std::uint32_t{frame[at + 1]} << 16) |
         (std::uint32_t{frame[at + 2]} << 8) | frame[at + 3];
}

TEST_F(BootWire, IdCodeNotNeededWithPlainAnswer) {
  TProgSettings settings;
  settings.CpuCode = 6;
  Start(BootOptions(sim::Cpu::RX630), settings);
  ASSERT_EQ(cont_->BootHandshake(), 1);
  ASSERT_EQ(cont_->IdCodeStep(1), 1);
  EXPECT_TRUE(SentFrames({0x60}).empty());
  EXPECT_EQ(sim_->Snapshot().bootStatus, 0x3F);
}

TEST_F(BootWire, IdCodeRx231PlainAnswerIs06) {
  Start(BootOptions(sim::Cpu::RX231));
  ToCommandWait(0);
  EXPECT_TRUE(SentFrames({0x60}).empty());
  EXPECT_EQ(sim_->Snapshot().bootStatus, 0x3F);
}

TEST_F(BootWire, IdCodeSecondPieceAfterOneRefusal) {
  sim::SimOptions o = BootOptions(sim::Cpu::RX231);
  o.idProtect = sim::IdProtect::PieceB;
  Start(o);
  ASSERT_EQ(cont_->BootHandshake(), 1);
  ASSERT_EQ(cont_->IdCodeStep(1), 1);  // piece A first, as in user-boot mode
  const auto frames = SentFrames({0x60, 0x10});
  ASSERT_EQ(frames.size(), 2u);
  const auto a = IdCodePiece(true);
  const auto b = IdCodePiece(false);
  EXPECT_TRUE(std::equal(a.begin(), a.end(), frames[0].begin() + 2));
  EXPECT_TRUE(std::equal(b.begin(), b.end(), frames[1].begin() + 2));
  EXPECT_TRUE(Logged("エラーコード: 61"));
  EXPECT_FALSE(Logged("NG: ID コードチェック"));
  EXPECT_EQ(sim_->Snapshot().bootStatus, 0x3F);
}

TEST_F(BootWire, IdCodeRightPieceFirstNeedsOneCheck) {
  sim::SimOptions o = BootOptions(sim::Cpu::RX630);
  o.idProtect = sim::IdProtect::PieceB;
  TProgSettings settings;
  settings.CpuCode = 6;
  Start(o, settings);
  ASSERT_EQ(cont_->BootHandshake(), 1);
  ASSERT_EQ(cont_->IdCodeStep(0), 1);  // piece B first
  EXPECT_EQ(SentFrames({0x60, 0x10}).size(), 1u);
}

TEST_F(BootWire, IdCodeBothPiecesRefused) {
  sim::SimOptions o = BootOptions(sim::Cpu::RX231);
  o.idProtect = sim::IdProtect::PieceA;
  o.faults.rules.push_back({sim::FaultRule::Kind::ErrorReply, {sim::FaultSite::Side::Boot, {}, 0x60, 0}, 0x61});
  Start(o);
  ASSERT_EQ(cont_->BootHandshake(), 1);
  EXPECT_EQ(cont_->IdCodeStep(1), 0);
  EXPECT_EQ(SentFrames({0x60, 0x10}).size(), 2u);
  EXPECT_EQ(SentFrames({0x40}).size(), 1u);  // the transition is not repeated
  EXPECT_TRUE(Logged("NG: ID コードチェック"));
}

TEST_F(BootWire, Rx231EraseByAddressFullAndUserBoot) {
  Start(BootOptions(sim::Cpu::RX231));
  ToCommandWait();
  ASSERT_EQ(cont_->EraseUserArea(0), 1);
  auto frames = SentFrames({0x59, 0x04});
  ASSERT_EQ(frames.size(), 129u);
  for (std::size_t i = 0; i < 128; ++i) ASSERT_EQ(AddressOf(frames[i], 2), 0xFFFFF800u - 0x800u * i) << i;
  EXPECT_EQ(AddressOf(frames[127], 2), 0xFFFC0000u);
  EXPECT_EQ(AddressOf(frames[128], 2), 0xFFFFFFFFu);
  EXPECT_TRUE(Logged("User ROM : NO BLANK"));
  EXPECT_TRUE(Logged("OK: 消去"));
  ASSERT_EQ(ui_.gauge.size(), 129u);
  EXPECT_EQ(ui_.gauge.front(), 0);
  EXPECT_EQ(ui_.gauge[1], 0);  // 1 x 100 / 128
  EXPECT_EQ(ui_.gauge[2], 1);
  EXPECT_EQ(ui_.gauge.back(), 100);
  const auto flash = sim_->Snapshot().flash;
  EXPECT_TRUE(std::all_of(flash.begin(), flash.end(), [](std::uint8_t b) { return b == 0xFF; }));

  // Erased already: the blank check spares the erasure.
  pane_.lines.clear();
  const std::size_t erasures = SentFrames({0x48}).size() + SentFrames({0x59}).size();
  ASSERT_EQ(cont_->EraseUserArea(0), 1);
  EXPECT_TRUE(Logged("User ROM : BLANK"));
  EXPECT_EQ(SentFrames({0x48}).size() + SentFrames({0x59}).size(), erasures);
}

TEST_F(BootWire, Rx231EraseInUserBootModeKeepsTheLoader) {
  Start(BootOptions(sim::Cpu::RX231));
  ToCommandWait();
  const auto loaderBefore = sim_->Snapshot().FlashAt(0xFFFFC000, 0x4000);
  ASSERT_EQ(cont_->EraseUserArea(1), 1);
  const auto frames = SentFrames({0x59, 0x04});
  ASSERT_EQ(frames.size(), 121u);
  EXPECT_EQ(AddressOf(frames[0], 2), 0xFFFFB800u);
  EXPECT_EQ(AddressOf(frames[119], 2), 0xFFFC0000u);
  EXPECT_EQ(AddressOf(frames[120], 2), 0xFFFFFFFFu);
  EXPECT_EQ(sim_->Snapshot().FlashAt(0xFFFFC000, 0x4000), loaderBefore);
}

TEST_F(BootWire, Rx630UserBootEraseByBlockNumber) {
  TProgSettings settings;
  settings.CpuCode = 6;
  Start(BootOptions(sim::Cpu::RX630), settings);
  ToCommandWait();
  ASSERT_EQ(cont_->EraseUserArea(1), 1);
  const auto frames = SentFrames({0x58, 0x01});
  ASSERT_EQ(frames.size(), 27u);
  for (std::size_t i = 0; i < 26; ++i) EXPECT_EQ(frames[i][2], 4 + i);
  EXPECT_EQ(frames[26][2], 0xFF);
  EXPECT_TRUE(Logged("4Erase 成功"));
  EXPECT_TRUE(Logged("29Erase 成功"));
  ASSERT_GE(ui_.gauge.size(), 2u);
  EXPECT_EQ(ui_.gauge[1], 3);  // after block 4: 1 x 100 / 26
  EXPECT_EQ(ui_.gauge.back(), 100);
}

TEST_F(BootWire, EraseFailureStopsButClosesTheSequence) {
  sim::SimOptions o = BootOptions(sim::Cpu::RX630);
  o.faults.rules.push_back({sim::FaultRule::Kind::ErrorReply, {sim::FaultSite::Side::Boot, {}, 0x58, 3}, 0x51});
  TProgSettings settings;
  settings.CpuCode = 6;
  Start(o, settings);
  ToCommandWait();
  EXPECT_EQ(cont_->EraseUserArea(0), 0);
  EXPECT_TRUE(Logged("1Erase 成功"));
  EXPECT_TRUE(Logged("2Erase 失敗"));
  EXPECT_TRUE(Logged("NG: 消去"));
  const auto frames = SentFrames({0x58, 0x01});
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(frames.back()[2], 0xFF);
}

TEST_F(BootWire, ProgramWholeAreaThenVerify) {
  Start(BootOptions(sim::Cpu::RX231));
  FillImage(*cont_);
  ToCommandWait();
  ASSERT_EQ(cont_->EraseUserArea(0), 1);
  ui_.gauge.clear();
  ASSERT_EQ(cont_->ProgramUserArea(1, 0), 1);
  EXPECT_TRUE(Logged("OK: Prog"));
  ASSERT_EQ(ui_.addresses.size(), 1024u);
  EXPECT_EQ(ui_.addresses.front(), "FFFC0000");
  EXPECT_EQ(ui_.addresses.back(), "FFFFFF00");
  EXPECT_EQ(ui_.gauge.size(), 1025u);
  EXPECT_EQ(ui_.gauge.back(), 100);
  // Only blocks holding data are sent: 32 + 1 + 64, then the end frame.
  const auto frames = SentFrames({0x50});
  ASSERT_EQ(frames.size(), 98u);
  EXPECT_EQ(frames.back(), (Bytes{0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4}));
  const sim::SimSnapshot s = sim_->Snapshot();
  EXPECT_EQ(s.blocksProgrammed, 97u);
  const std::uint8_t* image = cont_->ImageStream.Memory();
  EXPECT_EQ(s.FlashAt(0xFFFC0000, 0x40000), Bytes(image, image + 0x40000));

  ASSERT_EQ(cont_->VerifyUserArea(1, 0), 1);
  EXPECT_TRUE(Logged("OK: Verify"));
  EXPECT_EQ(SentFrames({0x52, 0x09, 0x01}).size(), 97u);
  EXPECT_EQ(cont_->LoaderCrcCheck(), 1);
}

TEST_F(BootWire, UserBootModeSequenceAsTheUpdateRunsIt) {
  Start(BootOptions(sim::Cpu::RX231));
  FillImage(*cont_);
  const auto loaderBefore = sim_->Snapshot().FlashAt(0xFFFFC000, 0x4000);
  ToCommandWait(1);
  ASSERT_EQ(cont_->EraseUserArea(1), 1);
  ASSERT_EQ(cont_->ProgramUserArea(1, 1), 1);
  ASSERT_EQ(ui_.addresses.size(), 960u);
  EXPECT_EQ(ui_.addresses.back(), "FFFFBF00");
  const auto frames = SentFrames({0x50});
  ASSERT_EQ(frames.size(), 34u);  // 32 + 1 data blocks, then the end frame
  EXPECT_EQ(AddressOf(frames[32], 1), 0xFFFFBF00u);
  const sim::SimSnapshot s = sim_->Snapshot();
  const std::uint8_t* image = cont_->ImageStream.Memory();
  EXPECT_EQ(s.FlashAt(0xFFFC0000, 0x3C000), Bytes(image, image + 0x3C000));
  EXPECT_EQ(s.FlashAt(0xFFFFC000, 0x4000), loaderBefore);  // the loader stays
  EXPECT_EQ(cont_->LoaderCrcCheck(), 1);
  EXPECT_TRUE(Logged("CRC Data: 0xA0C3"));  // CRC-16/X-25 of FillImage below the loader
  // User-boot reads use the 0xFF command byte.
  ASSERT_EQ(cont_->VerifyUserArea(0, 1), 1);
  EXPECT_EQ(SentFrames({0xFF, 0x09, 0x01}).size(), 33u);
  cont_->LoaderRestart();
  EXPECT_TRUE(sim_->WaitFor([](const sim::SimSnapshot& x) { return x.restarts > 0 && x.personality == sim::Personality::Firmware; }, std::chrono::seconds(2)));
}

TEST_F(BootWire, WrongLoaderCrcIsRefused) {
  sim::SimOptions o = BootOptions(sim::Cpu::RX231);
  o.faults.badLoaderCrc = true;
  Start(o);
  ToCommandWait();
  EXPECT_EQ(cont_->LoaderCrcCheck(), 0);
  EXPECT_EQ(SentFrames({0x9F}).size(), 1u);
}

TEST_F(BootWire, WriteFailureStopsWithoutEndFrame) {
  sim::SimOptions o = BootOptions(sim::Cpu::RX231);
  o.faults.rules.push_back({sim::FaultRule::Kind::ErrorReply, {sim::FaultSite::Side::Boot, {}, 0x50, 3}, 0x53});
  Start(o);
  FillImage(*cont_);
  ToCommandWait();
  ASSERT_EQ(cont_->EraseUserArea(0), 1);
  EXPECT_EQ(cont_->ProgramUserArea(0, 0), 0);
  EXPECT_TRUE(ui_.addresses.empty());
  const int failed = LogIndex("Write 失敗");
  ASSERT_GE(failed, 0);
  EXPECT_EQ(LogIndex("NG: Prog"), failed + 1);
  const auto frames = SentFrames({0x50});
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_EQ(AddressOf(frames.back(), 1), 0xFFFC0200u);  // the refused block; no end-of-programming frame
  EXPECT_EQ(sim_->Snapshot().bootStatus, 0x4F);
}

TEST_F(BootWire, VerifyGivesUpAfterThreeDifferingReads) {
  Start(BootOptions(sim::Cpu::RX231));
  FillImage(*cont_);
  ToCommandWait();
  ASSERT_EQ(cont_->EraseUserArea(0), 1);
  ASSERT_EQ(cont_->ProgramUserArea(0, 0), 1);
  cont_->ImageStream.Memory()[0x300] ^= 0x01;  // block 3 differs from the flash
  ui_.gauge.clear();
  EXPECT_EQ(cont_->VerifyUserArea(0, 0), 0);
  EXPECT_TRUE(Logged("NG: Verify"));
  EXPECT_FALSE(Logged("Read 失敗"));
  const auto reads = SentFrames({0x52, 0x09, 0x01});
  ASSERT_EQ(reads.size(), 6u);  // blocks 0..2 once, block 3 three times
  for (std::size_t i = 3; i < 6; ++i) EXPECT_EQ(AddressOf(reads[i], 3), 0xFFFC0300u);
  EXPECT_EQ(ui_.gauge.size(), 4u);  // the start and blocks 0..2; none for the failed block
}

TEST_F(BootWire, VerifyReadFailuresAreLogged) {
  sim::SimOptions o = BootOptions(sim::Cpu::RX231);
  o.faults.rules.push_back({sim::FaultRule::Kind::BadSum, {sim::FaultSite::Side::Boot, {}, 0x52, 1}, 0});
  Start(o);
  FillImage(*cont_);
  ToCommandWait();
  ASSERT_EQ(cont_->EraseUserArea(0), 1);
  ASSERT_EQ(cont_->ProgramUserArea(0, 0), 1);
  EXPECT_EQ(cont_->VerifyUserArea(0, 0), 1);  // the second attempt matches
  EXPECT_TRUE(Logged("Read 失敗"));
}

// The same controller programmed blocks before (as the window's boot menu
// does): an update that fails before its own write reports none of them.
TEST_F(BootWire, AnUpdateReportsOnlyTheBlocksItsOwnRunProgrammed) {
  Start(BootOptions(sim::Cpu::RX231));
  FillImage(*cont_);
  ToCommandWait();
  ASSERT_EQ(cont_->EraseUserArea(0), 1);
  ASSERT_EQ(cont_->ProgramUserArea(0, 0), 1);
  ASSERT_GT(cont_->LastProgramTally().accepted, 0u);
  // The boot program is in the middle of its session: the boot-mode request
  // goes unanswered and the handshake finds no bit-rate matching.
  UpdateOptions options;
  options.ResetWaitMs = 0;
  std::int32_t failStage = -1;
  const UpdateReport report = RunFirmwareUpdate(*cont_, cont_->Settings, options,
                                                [](const std::string&, int) {}, failStage, nullptr);
  EXPECT_EQ(report.stage, "handshake");
  EXPECT_EQ(report.bytesProgrammed, 0u);
  EXPECT_EQ(report.areaPassed, 0u);
  EXPECT_FALSE(report.writeCompleted);
  // It answered no ROM version query: its boot program still holds it.
  EXPECT_EQ(report.moduleState, ModuleState::BootMode);
  EXPECT_TRUE(report.powerCycleFirst);
}

TEST_F(BootWire, AnImageForAnotherAreaIsRefusedBeforeAnyFrame) {
  Start(BootOptions(sim::Cpu::RX630), [] {
    TProgSettings s;
    s.CpuCode = 6;
    return s;
  }());
  cont_->LoadEmbeddedImage();  // its first byte belongs to 0xFFFC0000
  // "384K" chosen after start-up: the area starts 128 KB lower.
  cont_->SetImageArea(6, 13);
  std::vector<std::string> lines;
  std::int32_t failStage = -1;
  RunFirmwareUpdate(*cont_, cont_->Settings, UpdateOptions{},
                    [&](const std::string& text, int) { lines.push_back(text); }, failStage, nullptr);
  const std::string refusal = "ＲＯＭデータは 0xFFFC0000 からのデータですが、ROMサイズ設定の先頭は 0xFFFA0000 です。設定を確認してください。";
  EXPECT_EQ(lines, std::vector<std::string>{refusal});
  EXPECT_EQ(ui_.messages, std::vector<std::string>{refusal});
  EXPECT_TRUE(traced_->Received().empty());
  EXPECT_EQ(sim_->Snapshot().blocksErased, 0u);
}

}  // namespace
}  // namespace kv9::test
