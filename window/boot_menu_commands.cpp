#include "window/boot_menu_commands.h"

#include <algorithm>

#include "boot/boot_frames.h"
#include "link/flash_wr_rx_cont.h"
#include "serial/com_types.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kMenuMemReadAddress = 0xFFFA0000;
constexpr std::uint32_t kMenuLockBitAddress = 0xFFFEFFFF;

// The two shapes most rows share: an inquiry that fills the reply, and a
// command without arguments.
template <int (TFlashWrRXCont::*Inquiry)(std::uint8_t*, int&)>
int Inquire(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply& reply) {
  return (c.*Inquiry)(reply.bytes.data(), reply.length);
}

template <int (TFlashWrRXCont::*Command)()>
int Send(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  return (c.*Command)();
}

// The only row that opens the port: at 19200 bit/s on the window's port
// number. A port that cannot be opened has shown its message; matching then
// fails.
int MatchBitRate(TFlashWrRXCont& c, const TProgSettings& settings, BootMenuReply&) {
  c.ReopenAtRate(static_cast<std::uint8_t>(settings.PortNumber), StrToBaudRate("19200"));
  return c.BitRateMatch();
}

// "8a02", whatever the configured microcontroller; the acknowledgement still
// follows the controller's setting.
int SelectRx231(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  return c.DeviceSelect({'8', 'a', '0', '2'});
}

int SelectClockMode0(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  return c.SelectClockMode(0);
}

int SelectWindowBitRate(TFlashWrRXCont& c, const TProgSettings& settings, BootMenuReply&) {
  return c.SelectBitRate(BitRateField(static_cast<std::uint32_t>(settings.BootBitRate)),
                         InputFreqField(settings.InputFreqMHz), settings.Multiplier1,
                         settings.Multiplier2);
}

int EnterEraseStatus(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  std::uint8_t status = 0;  // not shown
  return c.EraseStatusSet(status);
}

int CheckBlankIdCode(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  std::array<std::uint8_t, 16> code;
  code.fill(0xFF);
  return c.IDCheck(code.data());
}

int EndProgramming(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  return c.Write256Bytes(0xFFFFFFFF, nullptr);
}

int EndBlockErase(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  return c.BlockErase(0xFF);
}

// The data stays in the controller's ReplyBuf.
int ReadUserBoot256(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  int length = 0;
  return c.MemRead(1, kMenuMemReadAddress, 1, length, 256);
}

int ReadLockBits(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply& reply) {
  reply.length = 1;
  return c.ReadLockBitStatus(kMenuLockBitAddress, reply.bytes[0]);
}

int ProgramLockBits(TFlashWrRXCont& c, const TProgSettings&, BootMenuReply&) {
  return c.ProgLockBit(kMenuLockBitAddress);
}

using C = TFlashWrRXCont;
using P = BootMenuPlace;

// Menu order. The texts are the tool's own, blanks included.
constexpr BootMenuCommand kCommands[] = {
    {"MnBitRate", "ビットレート合わせ込み", P::kCommandMenu, "ビットレート合わせ込み", MatchBitRate,
     nullptr, 1},
    {"MnSupportDevice", "サポートデバイス", P::kInquiries, "サポートデバイス問い合わせ ",
     Inquire<&C::SupportDevice>, SupportDeviceLines, 2},
    {"MnDeviceSelect", "デバイス選択", P::kInquiries, "デバイス選択", SelectRx231, nullptr, 3},
    {"MnClockInfo", "クロックモード問い合わせ", P::kInquiries, "クロックモード問い合わせ ",
     Inquire<&C::ClockInfo>, ClockModeLines, 4},
    {"MnSelectClockMode", "クロックモード選択", P::kInquiries, "クロックモード選択",
     SelectClockMode0, nullptr, 5},
    {"MnTeibaiInfo", "逓倍比問い合わせ", P::kInquiries, "逓倍比問い合わせ", Inquire<&C::TeibaiInfo>,
     TeibaiInfoLines, 6},
    {"MnGetClockInfo", "動作周波数問い合わせ", P::kInquiries, "動作周波数問い合わせ",
     Inquire<&C::GetClockInfo>, GetClockInfoLines, 7},
    {"MnBootAreaInfo", "ブートモード領域情報問い合わせ", P::kInquiries,
     "ユーザブート領域情報問い合わせ", Inquire<&C::BootAreaInfo>, AreaListLines, 9},
    {"MnUserAreaInfo", "ユーザ領域情報問い合わせ", P::kInquiries,
     "ユーザ領域情報問い合わせ ユーザ領域の個数", Inquire<&C::UserAreaInfo>, AreaListLines, 10},
    {"MnEraseBlockInfo", "消去ブロック情報問い合わせ", P::kInquiries, "消去ブロック情報問い合わせ",
     Inquire<&C::EraseBlockInfo>, EraseBlockLines, 13},
    {"MnWriteSizeinfo", "書き込みサイズ問い合わせ", P::kInquiries, "// 書き込みサイズ問い合わせ",
     Inquire<&C::WriteSizeInfo>, WriteSizeLines, 14},
    {"MnDataAreaChk", "データ領域有無問い合わせ", P::kInquiries, "データ領域有無問い合わせ",
     Inquire<&C::DataAreaChk>, DataAreaChkLines, 11},
    {"MnDataAreaInfo", "データ領域情報問い合わせ", P::kInquiries, "データ領域情報問い合わせ",
     Inquire<&C::DataAreaInfo>, DataAreaInfoLines, 12},
    {"MnSelectBitRate", "新ビットレート選択", P::kInquiries, "新ビットレート選択",
     SelectWindowBitRate, nullptr, 8},
    {"MnEraseStatusSet", "書き込み消去ステータス遷移", P::kInquiries, "書き込み消去ステータス遷移",
     EnterEraseStatus, nullptr, 15},
    {"MnBootProgInfo", "ブートプログラムステータス問い合わせ", P::kInquiries,
     "ブートプログラムステータス問い合わせ", Inquire<&C::BootProgInfo>, BootProgInfoLines, 0},
    {"MnRX210_IDCheck", "ID コードチェック", P::kCommandMenu, "ID コードチェック", CheckBlankIdCode,
     nullptr, 0},
    {"MnSelUserBootArea", "ユーザブート領域書き込み選択", P::kHostCommands,
     "ユーザブート領域書き込み選択", Send<&C::SelUserBootArea>, nullptr, 0},
    {"MnSelUSerArea", "ユーザ領域書き込み選択", P::kHostCommands, "ユーザ領域書き込み選択",
     Send<&C::SelUserArea>, nullptr, 0},
    {"MnWrite256Bytes", "256バイト書き込み", P::kHostCommands, "256バイト書き込み", EndProgramming,
     nullptr, 0},
    {"MnSelErase", "消去選択", P::kHostCommands, "消去選択", Send<&C::SelErase>, nullptr, 0},
    {"MnBlockErase", "ブロック消去", P::kHostCommands, "ブロック消去", EndBlockErase, nullptr, 0},
    {"MnMemRead", "メモリリード", P::kHostCommands, "メモリリード", ReadUserBoot256, nullptr, 0},
    {"MnUserBootSumCheck", "ユーザブート領域サムチェック", P::kHostCommands,
     "ユーザブート領域サムチェック", Inquire<&C::UserBootSumCheck>, SumCheckLines, 0},
    {"MnUserAreaSumCheck", "ユーザ領域サムチェック", P::kHostCommands, "ユーザ領域サムチェック",
     Inquire<&C::UserAreaSumCheck>, SumCheckLines, 0},
    {"MnDataSumCheck", "データ領域チェックサム", P::kHostCommands, "データ領域チェックサム",
     Inquire<&C::DataSumCheck>, SumCheckLines, 0},
    {"MnUserBootBlankCheck", "ユーザブート領域ブランクチェック", P::kHostCommands,
     "ユーザブート領域ブランクチェック", Send<&C::UserBootBlankCheck>, nullptr, 0},
    {"MnUserAreaBlankCheck", "ユーザ領域ブランクチェック", P::kHostCommands,
     "ユーザ領域ブランクチェック", Send<&C::UserAreaBlankCheck>, nullptr, 0},
    {"MnReadLockBitStatus", "リードロックビットステータス", P::kHostCommands,
     "リードロックビットステータス", ReadLockBits, LockStatusReplyLines, 0},
    {"MnProgLockBit", "ロックビットプログラム", P::kHostCommands, "ロックビットプログラム",
     ProgramLockBits, nullptr, 0},
    {"MnEnLockBit", "ロックビット有効", P::kHostCommands, "ロックビット有効", Send<&C::EnLockBit>,
     nullptr, 0},
    {"MnDisaLockBit", "ロックビット無効", P::kHostCommands, "ロックビット無効",
     Send<&C::DisaLockBit>, nullptr, 0},
};

}  // namespace

std::span<const BootMenuCommand> BootMenuCommands() { return kCommands; }

const BootMenuCommand* FindBootMenuCommand(std::string_view item) {
  for (const BootMenuCommand& command : kCommands) {
    if (item == command.item) return &command;
  }
  return nullptr;
}

std::vector<const BootMenuCommand*> CommandCheckSequence() {
  std::vector<const BootMenuCommand*> steps;
  for (const BootMenuCommand& command : kCommands) {
    if (command.commandCheckStep > 0) steps.push_back(&command);
  }
  std::sort(steps.begin(), steps.end(), [](const BootMenuCommand* a, const BootMenuCommand* b) {
    return a->commandCheckStep < b->commandCheckStep;
  });
  return steps;
}

BootMenuOutcome RunBootMenuCommand(TFlashWrRXCont& c, const BootMenuCommand& command,
                                   const TProgSettings& settings) {
  BootMenuReply reply;
  const int ok = command.run(c, settings, reply);
  BootMenuOutcome outcome{
      ok, std::string("OK: ") + command.text, std::string("NG: ") + command.text, {}};
  if (ok && command.decode) outcome.details = command.decode(reply.bytes.data(), reply.length);
  return outcome;
}

void LogMenuOutcome(const BootMenuOutcome& outcome,
                    const std::function<void(const std::string&, int)>& log) {
  if (!outcome.ok) {
    log(outcome.ngText, 1);
    return;
  }
  log(outcome.okText, 0);
  for (const std::string& line : outcome.details) log(line, 0);
}

DetailLines LockStatusReplyLines(const std::uint8_t* reply, int length) {
  return length > 0 ? LockStatusLines(reply[0]) : DetailLines{};
}

}  // namespace kv9
