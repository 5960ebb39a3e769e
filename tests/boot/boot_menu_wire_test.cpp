// The command menu's work in the core: one operation, its OK/NG texts and
// decoded detail lines, against the simulated module.
#include "boot_wire_fixture.h"

#include "window/boot_menu_commands.h"

namespace kv9::test {
namespace {

using Lines = std::vector<std::string>;

struct LoggedLine {
  std::string text;
  int force;
  bool operator==(const LoggedLine&) const = default;
};

void PrintTo(const LoggedLine& line, std::ostream* os) { *os << line.force << ":" << line.text; }

// Runs the row of a menu item with the controller's own settings.
BootMenuOutcome Menu(TFlashWrRXCont& c, const char* item) {
  const BootMenuCommand* command = FindBootMenuCommand(item);
  if (!command) {
    ADD_FAILURE() << "no menu item " << item;
    return {};
  }
  return RunBootMenuCommand(c, *command, c.Settings);
}

std::vector<LoggedLine> Log(const BootMenuOutcome& outcome) {
  std::vector<LoggedLine> lines;
  LogMenuOutcome(outcome, [&lines](const std::string& text, int force) { lines.push_back({text, force}); });
  return lines;
}

TEST_F(BootWire, MenuInquiriesDecodeTheModulesReplies) {
  TProgSettings settings;
  settings.CpuCode = 6;
  Start(BootOptions(sim::Cpu::RX630), settings);
  ASSERT_EQ(Menu(*cont_, "MnBitRate").ok, 1);
  const BootMenuOutcome device = Menu(*cont_, "MnSupportDevice");
  EXPECT_EQ(Log(device), (std::vector<LoggedLine>{{"OK: サポートデバイス問い合わせ ", 0},
                                                   {"デバイス数: 1", 0},
                                                   {"文字数: 9", 0},
                                                   {"デバイスコード: 7505", 0},
                                                   {"品名: RX630", 0}}));
  EXPECT_EQ(Menu(*cont_, "MnGetClockInfo").details,
            (Lines{"クロック数: 2", "最小周波数: 8.00MHz", "最大周波数: 100.00MHz", "最小周波数: 8.00MHz",
                   "最大周波数: 50.00MHz"}));
  EXPECT_EQ(Menu(*cont_, "MnTeibaiInfo").details,
            (Lines{"クロック数: 2", "逓倍比種類: 4", "逓倍比: 1", "逓倍比: 2", "逓倍比: 4", "逓倍比: 8", "逓倍比種類: 4",
                   "逓倍比: 1", "逓倍比: 2", "逓倍比: 4", "逓倍比: 8"}));
  EXPECT_EQ(Menu(*cont_, "MnUserAreaInfo").details,
            (Lines{"領域数: 1", "1--------------------------", "領域先頭アドレス: 0xFFFA0000",
                   "領域最終アドレス: 0xFFFFFFFF"}));
  // The erase-block inquiry: 0x26 answered by 0x36 with every block.
  const BootMenuOutcome blocks = Menu(*cont_, "MnEraseBlockInfo");
  EXPECT_EQ(blocks.okText, "OK: 消去ブロック情報問い合わせ");
  ASSERT_EQ(blocks.details.size(), 1u + 30u * 3u);
  EXPECT_EQ(blocks.details[0], "領域数: 30");
  EXPECT_EQ(blocks.details[1], "1--------------------------");
  EXPECT_EQ(blocks.details[2], "領域先頭アドレス: 0xFFFFF000");
  EXPECT_EQ(blocks.details[3], "領域最終アドレス: 0xFFFFFFFF");
  EXPECT_EQ(blocks.details[88], "30--------------------------");
  EXPECT_EQ(SentFrames({0x26}).size(), 1u);
  EXPECT_EQ(Menu(*cont_, "MnWriteSizeinfo").details, (Lines{"書き込みサイズ: 256"}));
  EXPECT_EQ(Menu(*cont_, "MnDataAreaChk").details, (Lines{"データ領域あり"}));
  EXPECT_EQ(Menu(*cont_, "MnDataAreaInfo").details,
            (Lines{"領域数: 1", "データ領域先頭アドレス: 0x00100000", "データ領域最終アドレス: 0x00107FFF"}));
  EXPECT_EQ(Menu(*cont_, "MnBootProgInfo").details, (Lines{"ステータス: デバイス選択待ち", "エラー: エラーなし"}));
}

TEST_F(BootWire, MenuDeviceSelectSendsRx231CodeButAckFollowsTheSetting) {
  TProgSettings settings;
  settings.CpuCode = 6;
  Start(BootOptions(sim::Cpu::RX231), settings);
  ASSERT_EQ(Menu(*cont_, "MnBitRate").ok, 1);
  const BootMenuOutcome selected = Menu(*cont_, "MnDeviceSelect");
  // The RX231 accepted "8a02" with 0x46, which an RX630 setting does not take.
  EXPECT_EQ(Log(selected), (std::vector<LoggedLine>{{"NG: デバイス選択", 1}}));
  EXPECT_EQ(SentFrames({0x10}), (std::vector<Bytes>{{0x10, 0x04, 0x38, 0x61, 0x30, 0x32, 0xF1}}));
  EXPECT_EQ(Menu(*cont_, "MnBootProgInfo").details, (Lines{"ステータス: ビットレート選択待ち", "エラー: エラーなし"}));
  // An RX231 describes its uniform blocks per area.
  EXPECT_EQ(Menu(*cont_, "MnEraseBlockInfo").details,
            (Lines{"領域数: 2", "1--------------------------", "領域先頭アドレス: 0xFFFC0000",
                   "領域最終アドレス: 0xFFFFFFFF", "ブロックサイズ: 2048", "ブロック数: 128",
                   "2--------------------------", "領域先頭アドレス: 0x00100000", "領域最終アドレス: 0x00101FFF",
                   "ブロックサイズ: 1024", "ブロック数: 8"}));
}

TEST_F(BootWire, MenuLockBitsSumsAndBlankChecks) {
  TProgSettings settings;
  settings.CpuCode = 6;
  Start(BootOptions(sim::Cpu::RX630), settings);
  ToCommandWait();
  EXPECT_EQ(Log(Menu(*cont_, "MnReadLockBitStatus")),
            (std::vector<LoggedLine>{{"OK: リードロックビットステータス", 0}, {"ステータス: 64", 0}, {"アンロック状態", 0}}));
  EXPECT_EQ(SentFrames({0x71}), (std::vector<Bytes>{{0x71, 0x04, 0x01, 0xFE, 0xFF, 0xFF, 0x8E}}));
  EXPECT_EQ(Menu(*cont_, "MnProgLockBit").ok, 1);
  EXPECT_EQ(Menu(*cont_, "MnReadLockBitStatus").details, (Lines{"ステータス: 0", "ロック状態"}));
  EXPECT_EQ(Menu(*cont_, "MnDisaLockBit").ok, 1);
  EXPECT_FALSE(sim_->Snapshot().lockBitsEnabled);
  EXPECT_EQ(Menu(*cont_, "MnEnLockBit").ok, 1);
  EXPECT_TRUE(sim_->Snapshot().lockBitsEnabled);
  EXPECT_EQ(Menu(*cont_, "MnUserAreaBlankCheck").ngText, "NG: ユーザ領域ブランクチェック");
  EXPECT_EQ(Menu(*cont_, "MnUserAreaBlankCheck").ok, 0);  // factory firmware present
  EXPECT_EQ(Menu(*cont_, "MnUserBootBlankCheck").ok, 1);
  const BootMenuOutcome sum = Menu(*cont_, "MnUserBootSumCheck");
  EXPECT_EQ(sum.details, (Lines{"サムチェック: 0x003FC000"}));  // 16 KB of 0xFF
  EXPECT_EQ(Menu(*cont_, "MnMemRead").ok, 1);
  EXPECT_EQ(SentFrames({0xFF, 0x09}), (std::vector<Bytes>{{0xFF, 0x09, 0x01, 0xFF, 0xFA, 0x00, 0x00, 0x00, 0x00,
                                                            0x01, 0x00, 0xFD}}));
  EXPECT_EQ(sim_->Snapshot().FlashAt(0xFFFA0000, 256), Bytes(cont_->ReplyBuf.begin() + 5, cont_->ReplyBuf.begin() + 261));
  EXPECT_EQ(Menu(*cont_, "MnSelUSerArea").ok, 1);
  EXPECT_EQ(Menu(*cont_, "MnWrite256Bytes").ok, 1);  // the end frame leaves the programming state
  EXPECT_EQ(Menu(*cont_, "MnSelErase").ok, 1);
  EXPECT_EQ(Menu(*cont_, "MnBlockErase").ok, 1);  // block 0xFF closes the erase state
  EXPECT_EQ(Menu(*cont_, "MnBootProgInfo").details, (Lines{"ステータス: 書き込み消去ホストコマンド待ち", "エラー: エラーなし"}));
}

TEST_F(BootWire, MenuFailuresShowOnlyTheForcedNgLine) {
  Start(BootOptions(sim::Cpu::RX231));
  // Still matching: nothing of the command state is understood.
  const BootMenuOutcome info = Menu(*cont_, "MnClockInfo");
  EXPECT_EQ(Log(info), (std::vector<LoggedLine>{{"NG: クロックモード問い合わせ ", 1}}));
  cont_->ClosePort();
  EXPECT_EQ(Log(Menu(*cont_, "MnEraseStatusSet")), (std::vector<LoggedLine>{{"NG: 書き込み消去ステータス遷移", 1}}));
}

}  // namespace
}  // namespace kv9::test
