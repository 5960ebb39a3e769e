#include "boot/boot_protocol.h"

namespace kv9 {
namespace {

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

std::uint8_t InquiryReplyCode(std::uint8_t command) {
  return command == boot_cmd::kDataSumCheck ? 0x71 : static_cast<std::uint8_t>(command + 0x10);
}

std::string BootStatusText(std::uint8_t status) { return Lookup(kStatusTexts, status); }

std::string BootErrorText(std::uint8_t error) { return Lookup(kErrorTexts, error); }

}  // namespace kv9
