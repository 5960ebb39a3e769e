#pragma once
// The texts the image file loaders show. Pure.
#include <cstdint>
#include <string>

namespace kv9 {

// Message box for a data record outside the image area.
inline constexpr const char* kOutOfRangeMessage = "データが、範囲外です！！";

// Debug line after a load that wrote bytes: "プログラムデータ読み込み終了[<n>Bytes]".
std::string LoadSummaryLine(std::uint32_t byteCount);

// Debug line with the image CRC after every file load: "CRC: " + 4 upper-case hex digits.
std::string ImageCrcLine(std::uint16_t crc);

}  // namespace kv9
