#include "image/srecord_writer.h"

#include <algorithm>

namespace kv9 {
namespace {

constexpr std::size_t kBlock = 256;        // the programming unit: erased blocks get no record
constexpr std::size_t kRecordData = 32;    // data bytes per S3 line, as common tools write
constexpr std::size_t kHeaderLimit = 252;  // the count byte leaves room for this much S0 text

// One record: type, count, the address in `addressBytes` bytes, data, and
// the ones' complement of the sum of count, address and data.
std::string Record(char type, std::uint32_t address, int addressBytes, const std::uint8_t* data,
                   std::size_t n) {
  static const char* const kDigits = "0123456789ABCDEF";
  std::string line = {'S', type};
  unsigned sum = 0;
  auto put = [&](std::uint8_t b) {
    line += kDigits[b >> 4];
    line += kDigits[b & 0x0F];
    sum += b;
  };
  put(static_cast<std::uint8_t>(addressBytes + n + 1));
  for (int shift = 8 * (addressBytes - 1); shift >= 0; shift -= 8)
    put(static_cast<std::uint8_t>(address >> shift));
  for (std::size_t i = 0; i < n; ++i) put(data[i]);
  const auto check = static_cast<std::uint8_t>(~sum);
  line += kDigits[check >> 4];
  line += kDigits[check & 0x0F];
  return line + "\n";
}

bool Erased(const std::uint8_t* bytes, std::size_t n) {
  return std::all_of(bytes, bytes + n, [](std::uint8_t b) { return b == 0xFF; });
}

}  // namespace

std::string SRecordImageText(const std::string& header, std::uint32_t firstAddress,
                             const std::uint8_t* bytes, std::size_t count) {
  const std::size_t headerSize = std::min(header.size(), kHeaderLimit);
  std::string text =
      Record('0', 0, 2, reinterpret_cast<const std::uint8_t*>(header.data()), headerSize);
  for (std::size_t block = 0; block < count; block += kBlock) {
    const std::size_t blockEnd = std::min(count, block + kBlock);
    if (Erased(bytes + block, blockEnd - block)) continue;
    for (std::size_t at = block; at < blockEnd; at += kRecordData) {
      const std::size_t n = std::min(kRecordData, blockEnd - at);
      text += Record('3', firstAddress + static_cast<std::uint32_t>(at), 4, bytes + at, n);
    }
  }
  return text + Record('7', 0, 4, nullptr, 0);
}

}  // namespace kv9
