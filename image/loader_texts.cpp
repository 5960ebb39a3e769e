#include "image/loader_texts.h"

#include <cstdio>

namespace kv9 {

std::string LoadSummaryLine(std::uint32_t byteCount) {
  return "プログラムデータ読み込み終了[" + std::to_string(byteCount) + "Bytes]";
}

std::string ImageCrcLine(std::uint16_t crc) {
  char digits[5];
  std::snprintf(digits, sizeof digits, "%04X", static_cast<unsigned>(crc));
  return std::string("CRC: ") + digits;
}

}  // namespace kv9
