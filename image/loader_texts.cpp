#include "image/loader_texts.h"

#include <cstdio>

namespace kv9 {
namespace {

std::string Hex8(std::uint32_t value) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08X", static_cast<unsigned>(value));
  return digits;
}

}  // namespace

std::string LoadSummaryLine(std::uint32_t byteCount) {
  return "プログラムデータ読み込み終了[" + std::to_string(byteCount) + "Bytes]";
}

std::string ImageCrcLine(std::uint16_t crc) {
  char digits[5];
  std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(crc));
  return std::string("CRC: ") + digits;
}

std::string TruncatedRecordMessage(std::size_t lineNumber) {
  return std::to_string(lineNumber) + "行目のレコードが途中で切れています。ファイルを確認してください。";
}

std::string RecordCountMessage(std::uint32_t announced, std::uint32_t found) {
  return "レコード数が一致しません（S5/S6: " + std::to_string(announced) + "、データレコード: " +
         std::to_string(found) + "）。ファイルを確認してください。";
}

std::string DataAfterEndMessage(std::size_t lineNumber) {
  return std::to_string(lineNumber) +
         "行目のデータレコードが終了レコードの後にあります（ファイルが連結されていませんか）。ファイルを確認してください。";
}

std::string OverlapMessage(std::uint32_t address) {
  return "アドレス 0x" + Hex8(address) + " のデータが複数のレコードにあります。ファイルを確認してください。";
}

std::string ChecksumErrorText(std::size_t lineNumber) {
  return std::to_string(lineNumber) + "行目のチェックサムが一致しません。ファイルを確認してください。";
}

std::string UnprogrammedDataLine(std::uint32_t byteCount) {
  return "書き込まれないデータ[" + std::to_string(byteCount) +
         "Bytes]（ローダ領域 0xFFFFC000～0xFFFFFFFF）";
}

std::string ImageAreaMismatchMessage(std::uint32_t imageStart, std::uint32_t romStart) {
  return "ＲＯＭデータは 0x" + Hex8(imageStart) + " からのデータですが、ROMサイズ設定の先頭は 0x" + Hex8(romStart) +
         " です。設定を確認してください。";
}

}  // namespace kv9
