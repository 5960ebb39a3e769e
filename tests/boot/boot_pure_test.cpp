// Frame builders, number conversions, reply decoders and code tables.
#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "boot/boot_frames.h"
#include "boot/boot_protocol.h"
#include "boot/boot_reply_format.h"
#include "boot/cpu_profile.h"
#include "wire/boot_sum.h"
#include "boot/flash_operations.h"

namespace kv9 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Lines = std::vector<std::string>;

// A data reply as the boot program sends it: code, size, data, sum.
Bytes Reply(std::uint8_t code, const Bytes& data) {
  Bytes r(data.size() + 2);
  r[0] = code;
  r[1] = static_cast<std::uint8_t>(data.size());
  std::copy(data.begin(), data.end(), r.begin() + 2);
  r.push_back(BootSum(r.data(), r.size()));
  return r;
}

Lines Decode(DetailLines (*fn)(const std::uint8_t*, int), const Bytes& reply) {
  return fn(reply.data(), static_cast<int>(reply.size()));
}

TEST(BootFrames, SumAndFrameLayouts) {
  const Bytes device{0x10, 0x04, 0x38, 0x61, 0x30, 0x32};
  EXPECT_EQ(BootSum(device.data(), device.size()), 0xF1);
  const std::uint8_t code[4] = {'8', 'a', '0', '2'};
  EXPECT_EQ(BootDataFrame(0x10, code, 4), (Bytes{0x10, 0x04, 0x38, 0x61, 0x30, 0x32, 0xF1}));
  EXPECT_EQ(EndOfProgramFrame(), (Bytes{0x50, 0xFF, 0xFF, 0xFF, 0xFF, 0xB4}));
  std::uint8_t data[256];
  for (int i = 0; i < 256; ++i) data[i] = static_cast<std::uint8_t>(i);
  const BootFrame p = ProgramFrame(0xFFFC0100, data);
  ASSERT_EQ(p.size(), 262u);
  EXPECT_EQ((Bytes{p.begin(), p.begin() + 6}), (Bytes{0x50, 0xFF, 0xFC, 0x01, 0x00, 0x00}));
  EXPECT_EQ(p[260], 0xFF);
  unsigned total = 0;
  for (std::uint8_t b : p) total += b;
  EXPECT_EQ(total % 256, 0u);
}

TEST(BootFrames, BitRateAndFrequencyFields) {
  EXPECT_EQ(BitRateField(115200), 1152);
  EXPECT_EQ(BitRateField(57650), 576);
  EXPECT_EQ(InputFreqField(13.56f), 1356);
  EXPECT_EQ(InputFreqField(12.00f), 1200);
  EXPECT_EQ(InputFreqField(12.29f), 1228);  // just below 12.29, truncated
  EXPECT_EQ(InputFreqField(0.0f), 0);
  EXPECT_EQ(InputFreqField(-3.0f), 0);
  EXPECT_EQ(Hex8(0xFFFFBF00), "FFFFBF00");
  EXPECT_EQ(Hex4(0x0A1B), "0A1B");
  EXPECT_EQ(Hex2(0x21), "21");
}

TEST(BootFormats, GroupedAndBareHundredths) {
  EXPECT_EQ(FormatGrouped2(13.56f), "13.56");
  EXPECT_EQ(FormatGrouped2(12.29f), "12.29");
  EXPECT_EQ(FormatGrouped2(0.5), "0.50");
  EXPECT_EQ(FormatGrouped2(1234567.891), "1,234,567.89");
  EXPECT_EQ(FormatGrouped2(-1000), "-1,000.00");
  EXPECT_EQ(FormatBare2(8.0f), "8.00");
  EXPECT_EQ(FormatBare2(100.0f), "100.00");
  EXPECT_EQ(FormatBare2(0.5f), ".50");
  EXPECT_EQ(FormatBare2(0.0f), ".00");
}

TEST(BootDecoders, OperatingFrequencies) {
  EXPECT_EQ(Decode(GetClockInfoLines, Reply(0x33, {0x01, 0x03, 0x20, 0x27, 0x10})),
            (Lines{"クロック数: 1", "最小周波数: 8.00MHz", "最大周波数: 100.00MHz"}));
  EXPECT_EQ(Decode(GetClockInfoLines, Reply(0x33, {0x01, 0x00, 0x32, 0x00, 0x32})),
            (Lines{"クロック数: 1", "最小周波数: .50MHz", "最大周波数: .50MHz"}));
}

TEST(BootDecoders, AreaListsAndDataArea) {
  EXPECT_EQ(Decode(AreaListLines, Reply(0x34, {0x01, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00, 0x1F, 0xFF})),
            (Lines{"領域数: 1", "1--------------------------", "領域先頭アドレス: 0x00001000",
                   "領域最終アドレス: 0x00001FFF"}));
  // Two areas announced, one and a half received: only the whole one prints.
  EXPECT_EQ(Decode(AreaListLines, Reply(0x36, {0x02, 0xFF, 0xFF, 0xF0, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}))
                .size(),
            4u);
  EXPECT_EQ(Decode(DataAreaChkLines, Reply(0x3A, {0x22})), (Lines{"データ領域なし"}));
  EXPECT_EQ(Decode(DataAreaChkLines, Reply(0x3A, {0x21})), (Lines{"データ領域あり"}));
  EXPECT_EQ(Decode(DataAreaInfoLines, Reply(0x3B, {0x01, 0x00, 0x10, 0x00, 0x00, 0x00, 0x10, 0x1F, 0xFF})),
            (Lines{"領域数: 1", "データ領域先頭アドレス: 0x00100000", "データ領域最終アドレス: 0x00101FFF"}));
  EXPECT_EQ(Decode(WriteSizeLines, Reply(0x37, {0x01, 0x00})), (Lines{"書き込みサイズ: 256"}));
  EXPECT_EQ(Decode(SumCheckLines, Reply(0x5B, {0x01, 0x2A, 0xBC, 0xDE})), (Lines{"サムチェック: 0x012ABCDE"}));
  EXPECT_EQ(Decode(ClockModeLines, Reply(0x31, {0x00, 0x01})), (Lines{"クロックモード: 0"}));
}

TEST(BootDecoders, RatiosStatusAndLockBits) {
  EXPECT_EQ(Decode(TeibaiInfoLines, Reply(0x32, {0x02, 0x02, 0x01, 0x08, 0x01, 0xC8})),
            (Lines{"クロック数: 2", "逓倍比種類: 2", "逓倍比: 1", "逓倍比: 8", "逓倍比種類: 1", "逓倍比: 200"}));
  EXPECT_EQ(Decode(BootProgInfoLines, Reply(0x5F, {0x3F, 0x00})),
            (Lines{"ステータス: 書き込み消去ホストコマンド待ち", "エラー: エラーなし"}));
  EXPECT_EQ(Decode(BootProgInfoLines, Reply(0x5F, {0x77, 0x33})), (Lines{"ステータス: ????", "エラー: ????"}));
  EXPECT_EQ(LockStatusLines(0x40), (Lines{"ステータス: 64", "アンロック状態"}));
  EXPECT_EQ(LockStatusLines(0x00), (Lines{"ステータス: 0", "ロック状態"}));
}

TEST(BootDecoders, SupportedDevicesNeverReadPastTheReply) {
  const Bytes two = Reply(0x30, {0x02, 0x09, '8', 'a', '0', '2', 'R', 'X', '2', '3', '1', 0x05, '7', '5', '0', '5',
                                 'X'});
  EXPECT_EQ(Decode(SupportDeviceLines, two),
            (Lines{"デバイス数: 2", "文字数: 9", "デバイスコード: 8a02", "品名: RX231", "文字数: 5",
                   "デバイスコード: 7505", "品名: X"}));
  // One record: the second prints nothing.
  const Bytes one = Reply(0x30, {0x01, 0x09, '7', '5', '0', '5', 'R', 'X', '6', '3', '0'});
  EXPECT_EQ(Decode(SupportDeviceLines, one).size(), 4u);
  // A count that promises two records and a character count running past
  // the end: the record that does not fit is left out.
  const Bytes cut = Reply(0x30, {0x02, 0x09, '7', '5', '0', '5', 'R', 'X', '6', '3', '0', 0x40, '7'});
  EXPECT_EQ(Decode(SupportDeviceLines, cut).size(), 4u);
  // A size byte claiming more than arrived: only received bytes are used.
  Bytes lying{0x30, 0xFF, 0x01, 0x30};
  EXPECT_EQ(Decode(SupportDeviceLines, lying), (Lines{"デバイス数: 1"}));
  EXPECT_TRUE(SupportDeviceLines(nullptr, 0).empty());
}

TEST(BootTables, CodesTextsAndReplyCodes) {
  EXPECT_EQ(BootStatusText(0x1F), "書き込み消去ホストコマンド待ち状態への遷移待ち（ビットレート選択完了）");
  EXPECT_EQ(BootStatusText(0x31), "ユーザ領域の消去中/ユーザブート領域の消去中");
  EXPECT_EQ(BootStatusText(0x00), "????");
  EXPECT_EQ(BootErrorText(0xFF), "ビットレート合わせ込み確認エラー");
  EXPECT_EQ(BootErrorText(0x54), "選択処理エラー");
  EXPECT_EQ(BootErrorText(0x61), "????");
  EXPECT_EQ(InquiryReplyCode(0x26), 0x36);
  EXPECT_EQ(InquiryReplyCode(0x4F), 0x5F);
  EXPECT_EQ(InquiryReplyCode(0x61), 0x71);
}

TEST(CpuTable, DefaultRowAndNames) {
  // A code without a row of its own is the default CPU, the RX231.
  EXPECT_EQ(&CpuProfileFor(0), &CpuProfileFor(kCpuRx231));
  EXPECT_EQ(&CpuProfileFor(8), &CpuProfileFor(kCpuRx231));
  ASSERT_NE(CpuProfileNamed("RX63T"), nullptr);
  EXPECT_EQ(CpuProfileNamed("RX63T")->code, kCpuRx63T);
  EXPECT_EQ(CpuProfileNamed("rx63t"), nullptr);
  EXPECT_EQ(CpuNameList(", ", " or "), "RX231, RX630 or RX63T");
  EXPECT_EQ(CpuNameList("|", "|"), "RX231|RX630|RX63T");
}

TEST(FlashArithmetic, BlocksGaugeAndEraseRanges) {
  const std::uint8_t blank[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  const std::uint8_t data[4] = {0xFF, 0xFF, 0xFE, 0xFF};
  EXPECT_FALSE(BlockHasData(blank, 4));
  EXPECT_TRUE(BlockHasData(data, 4));
  EXPECT_FALSE(BlockHasData(data, 2));
  EXPECT_EQ(ProgramBlockCount(0xFFFC0000, 0xFFFFFFFF, 0), 1024u);
  EXPECT_EQ(ProgramBlockCount(0xFFFC0000, 0xFFFFFFFF, 1), 960u);
  EXPECT_EQ(ProgramBlockCount(0xFFFFC000, 0xFFFFFFFF, 1), 0u);
  EXPECT_EQ(ProgramBlockCount(0xFFE00000, 0xFFFFFFFF, 0), 8192u);
  EXPECT_EQ(GaugePercent(1, 26), 3);
  EXPECT_EQ(GaugePercent(26, 26), 100);
  EXPECT_EQ(GaugePercent(5, 0), 0);
  const EraseGeometry& rx231 = CpuProfileFor(kCpuRx231).erase;
  const AddressEraseRange full = EraseAddressRange(rx231, 0xFFFC0000, 0xFFFFFFFF, 0);
  EXPECT_EQ(full.count, 128u);
  EXPECT_EQ(full.first, 0xFFFFF800u);
  const AddressEraseRange userBoot = EraseAddressRange(rx231, 0xFFFC0000, 0xFFFFFFFF, 1);
  EXPECT_EQ(userBoot.count, 120u);
  EXPECT_EQ(userBoot.first, 0xFFFFB800u);
}

}  // namespace
}  // namespace kv9
