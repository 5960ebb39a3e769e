#include "boot/boot_protocol.h"

#include <array>

namespace kv9 {
namespace {

// Every boot-mode command the tool sends. Data-reply inquiries list their
// reply code as the success value.
constexpr std::array<BootCommandInfo, 36> kCommands{{
    {0x00, "BitRateMatch", 0x00, 0x00},
    {0x10, "DeviceSelect", 0x06, 0x46},
    {0x11, "SelectClockMode", 0x06, 0x06},
    {0x20, "SupportDevice", 0x30, 0x30},
    {0x21, "ClockInfo", 0x31, 0x31},
    {0x22, "TeibaiInfo", 0x32, 0x32},
    {0x23, "GetClockInfo", 0x33, 0x33},
    {0x24, "BootAreaInfo", 0x34, 0x34},
    {0x25, "UserAreaInfo", 0x35, 0x35},
    {0x26, "EraseBlockInfo", 0x36, 0x36},
    {0x27, "WriteSizeInfo", 0x37, 0x37},
    {0x2A, "DataAreaChk", 0x3A, 0x3A},
    {0x2B, "DataAreaInfo", 0x3B, 0x3B},
    {0x3F, "SelectBitRate", 0x06, 0x06},
    {0x40, "EraseStatusSet", 0x26, 0x06},
    {0x42, "SelUserBootArea", 0x06, 0x06},
    {0x43, "SelUserArea", 0x06, 0x06},
    {0x48, "SelErase", 0x06, 0x06},
    {0x4A, "UserBootSumCheck", 0x5A, 0x5A},
    {0x4B, "UserAreaSumCheck", 0x5B, 0x5B},
    {0x4C, "UserBootBlankCheck", 0x06, 0x06},
    {0x4D, "UserAreaBlankCheck", 0x06, 0x06},
    {0x4F, "BootProgInfo", 0x5F, 0x5F},
    {0x50, "Write256Bytes", 0x06, 0x06},
    {0x52, "MemRead", 0x52, 0x52},
    {0x55, "BitRateMatch", 0xE6, 0xE6},
    {0x58, "BlockErase", 0x06, 0x06},
    {0x59, "BlockEraseAt", 0x06, 0x06},
    {0x60, "IDCheck", 0x26, 0x06},
    {0x61, "DataSumCheck", 0x71, 0x71},
    {0x71, "ReadLockBitStatus", 0x00, 0x00},  // any status byte but 0xF1
    {0x75, "DisaLockBit", 0x06, 0x06},
    {0x77, "ProgLockBit", 0x06, 0x06},
    {0x7A, "EnLockBit", 0x06, 0x06},
    {0x9D, "LoaderRestart", 0x9D, 0x9D},
    {0x9F, "LoaderCrcCheck", 0x9F, 0x9F},
}};

struct CodeText {
  std::uint8_t code;
  const char* text;
};

constexpr CodeText kStatusTexts[] = {
    {0x11, "デバイス選択待ち"},
    {0x12, "クロックモード選択待ち"},
    {0x13, "ビットレート選択待ち"},
    {0x1F, "書き込み消去ホストコマンド待ち状態への遷移待ち（ビットレート選択完了）"},
    {0x31, "ユーザ領域の消去中/ユーザブート領域の消去中"},
    {0x3F, "書き込み消去ホストコマンド待ち"},
    {0x4F, "書き込みデータ受信待ち"},
    {0x5F, "消去ブロック指定待ち"},
};

constexpr CodeText kErrorTexts[] = {
    {0x00, "エラーなし"},
    {0x11, "サムチェックエラー"},
    {0x21, "デバイスコード不一致エラー"},
    {0x22, "クロックモード不一致エラー"},
    {0x24, "ビットレート選択不可エラー"},
    {0x25, "入力周波数エラー"},
    {0x26, "逓倍比エラー"},
    {0x27, "動作周波数エラー"},
    {0x29, "ブロック番号エラー"},
    {0x2A, "アドレスエラー"},
    {0x2B, "データ長エラー"},
    {0x51, "消去エラー"},
    {0x52, "未消去エラー"},
    {0x53, "書き込みエラー"},
    {0x54, "選択処理エラー"},
    {0x80, "コマンドエラー"},
    {0xFF, "ビットレート合わせ込み確認エラー"},
};

template <std::size_t N>
std::string Lookup(const CodeText (&table)[N], std::uint8_t code) {
  for (const CodeText& row : table) {
    if (row.code == code) return row.text;
  }
  return "????";
}

}  // namespace

const BootCommandInfo* FindBootCommand(std::uint8_t code) {
  for (const BootCommandInfo& row : kCommands) {
    if (row.code == code) return &row;
  }
  return nullptr;
}

std::uint8_t InquiryReplyCode(std::uint8_t command) {
  return command == boot_cmd::kDataSumCheck ? 0x71 : static_cast<std::uint8_t>(command + 0x10);
}

std::string BootStatusText(std::uint8_t status) { return Lookup(kStatusTexts, status); }

std::string BootErrorText(std::uint8_t error) { return Lookup(kErrorTexts, error); }

}  // namespace kv9
