#include "boot/boot_menu_commands.h"

#include <array>

#include "boot/boot_frames.h"
#include "boot/boot_protocol.h"
#include "link/flash_wr_rx_cont.h"
#include "serial/com_types.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kMenuMemReadAddress = 0xFFFA0000;
constexpr std::uint32_t kMenuLockBitAddress = 0xFFFEFFFF;

BootMenuOutcome Outcome(int ok, const std::string& text, DetailLines details = {}) {
  return {ok, "OK: " + text, "NG: " + text, ok ? std::move(details) : DetailLines{}};
}

// One inquiry into a local buffer, decoded when it succeeded.
using InquiryFn = int (TFlashWrRXCont::*)(std::uint8_t*, int&);
using DecodeFn = DetailLines (*)(const std::uint8_t*, int);

BootMenuOutcome InquiryOutcome(TFlashWrRXCont& c, InquiryFn inquiry, DecodeFn decode, const std::string& text) {
  std::array<std::uint8_t, kInquiryBufSize> buffer{};
  int length = 0;
  const int ok = (c.*inquiry)(buffer.data(), length);
  return Outcome(ok, text, ok ? decode(buffer.data(), length) : DetailLines{});
}

}  // namespace

void LogMenuOutcome(const BootMenuOutcome& outcome, const std::function<void(const std::string&, int)>& log) {
  if (!outcome.ok) {
    log(outcome.ngText, 1);
    return;
  }
  log(outcome.okText, 0);
  for (const std::string& line : outcome.details) log(line, 0);
}

BootMenuOutcome MenuBitRate(TFlashWrRXCont& c, std::int32_t portNumber) {
  c.CommX1.SetBaudRate(StrToBaudRate("19200"));
  // A port that cannot be opened has shown its message; matching then fails.
  c.OpenPort(static_cast<std::uint8_t>(portNumber));
  c.RxFlush();
  return Outcome(c.BitRateMatch(), "ビットレート合わせ込み");
}

BootMenuOutcome MenuSupportDevice(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::SupportDevice, SupportDeviceLines, "サポートデバイス問い合わせ ");
}

BootMenuOutcome MenuDeviceSelect(TFlashWrRXCont& c) {
  return Outcome(c.DeviceSelect({'8', 'a', '0', '2'}), "デバイス選択");
}

BootMenuOutcome MenuClockInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::ClockInfo, ClockModeLines, "クロックモード問い合わせ ");
}

BootMenuOutcome MenuSelectClockMode(TFlashWrRXCont& c) { return Outcome(c.SelectClockMode(0), "クロックモード選択"); }

BootMenuOutcome MenuTeibaiInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::TeibaiInfo, TeibaiInfoLines, "逓倍比問い合わせ");
}

BootMenuOutcome MenuGetClockInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::GetClockInfo, GetClockInfoLines, "動作周波数問い合わせ");
}

BootMenuOutcome MenuBootAreaInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::BootAreaInfo, AreaListLines, "ユーザブート領域情報問い合わせ");
}

BootMenuOutcome MenuUserAreaInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::UserAreaInfo, AreaListLines,
                        "ユーザ領域情報問い合わせ ユーザ領域の個数");
}

BootMenuOutcome MenuEraseBlockInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::EraseBlockInfo, AreaListLines, "消去ブロック情報問い合わせ");
}

BootMenuOutcome MenuWriteSizeInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::WriteSizeInfo, WriteSizeLines, "// 書き込みサイズ問い合わせ");
}

BootMenuOutcome MenuDataAreaChk(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::DataAreaChk, DataAreaChkLines, "データ領域有無問い合わせ");
}

BootMenuOutcome MenuDataAreaInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::DataAreaInfo, DataAreaInfoLines, "データ領域情報問い合わせ");
}

BootMenuOutcome MenuSelectBitRate(TFlashWrRXCont& c, const TProgSettings& settings) {
  return Outcome(c.SelectBitRate(BitRateField(static_cast<std::uint32_t>(settings.BootBitRate)),
                                 InputFreqField(settings.InputFreqMHz), settings.Multiplier1,
                                 settings.Multiplier2),
                 "新ビットレート選択");
}

BootMenuOutcome MenuEraseStatusSet(TFlashWrRXCont& c) {
  std::uint8_t status = 0;
  return Outcome(c.EraseStatusSet(status), "書き込み消去ステータス遷移");
}

BootMenuOutcome MenuBootProgInfo(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::BootProgInfo, BootProgInfoLines, "ブートプログラムステータス問い合わせ");
}

BootMenuOutcome MenuIdCheck(TFlashWrRXCont& c) {
  std::array<std::uint8_t, 16> code;
  code.fill(0xFF);
  return Outcome(c.IDCheck(code.data()), "ID コードチェック");
}

BootMenuOutcome MenuSelUserBootArea(TFlashWrRXCont& c) {
  return Outcome(c.SelUserBootArea(), "ユーザブート領域書き込み選択");
}

BootMenuOutcome MenuSelUserArea(TFlashWrRXCont& c) { return Outcome(c.SelUserArea(), "ユーザ領域書き込み選択"); }

BootMenuOutcome MenuWrite256Bytes(TFlashWrRXCont& c) {
  return Outcome(c.Write256Bytes(0xFFFFFFFF, nullptr), "256バイト書き込み");
}

BootMenuOutcome MenuSelErase(TFlashWrRXCont& c) { return Outcome(c.SelErase(), "消去選択"); }

BootMenuOutcome MenuBlockErase(TFlashWrRXCont& c) { return Outcome(c.BlockErase(0xFF), "ブロック消去"); }

BootMenuOutcome MenuMemRead(TFlashWrRXCont& c) {
  int length = 0;
  return Outcome(c.MemRead(1, kMenuMemReadAddress, 1, length, 256), "メモリリード");
}

BootMenuOutcome MenuUserBootSumCheck(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::UserBootSumCheck, SumCheckLines, "ユーザブート領域サムチェック");
}

BootMenuOutcome MenuUserAreaSumCheck(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::UserAreaSumCheck, SumCheckLines, "ユーザ領域サムチェック");
}

BootMenuOutcome MenuDataSumCheck(TFlashWrRXCont& c) {
  return InquiryOutcome(c, &TFlashWrRXCont::DataSumCheck, SumCheckLines, "データ領域チェックサム");
}

BootMenuOutcome MenuUserBootBlankCheck(TFlashWrRXCont& c) {
  return Outcome(c.UserBootBlankCheck(), "ユーザブート領域ブランクチェック");
}

BootMenuOutcome MenuUserAreaBlankCheck(TFlashWrRXCont& c) {
  return Outcome(c.UserAreaBlankCheck(), "ユーザ領域ブランクチェック");
}

BootMenuOutcome MenuReadLockBitStatus(TFlashWrRXCont& c) {
  std::uint8_t status = 0;
  const int ok = c.ReadLockBitStatus(kMenuLockBitAddress, status);
  return Outcome(ok, "リードロックビットステータス", ok ? LockStatusLines(status) : DetailLines{});
}

BootMenuOutcome MenuProgLockBit(TFlashWrRXCont& c) {
  return Outcome(c.ProgLockBit(kMenuLockBitAddress), "ロックビットプログラム");
}

BootMenuOutcome MenuEnLockBit(TFlashWrRXCont& c) { return Outcome(c.EnLockBit(), "ロックビット有効"); }

BootMenuOutcome MenuDisaLockBit(TFlashWrRXCont& c) { return Outcome(c.DisaLockBit(), "ロックビット無効"); }

}  // namespace kv9
