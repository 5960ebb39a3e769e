#include "link/hex_trace.h"

namespace kv9 {

std::string HexTrace(const std::string& prefix, const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(prefix.size() + 3 * count);
  line += prefix;
  for (std::size_t i = 0; i < count; ++i) {
    line += kDigits[bytes[i] >> 4];
    line += kDigits[bytes[i] & 0x0F];
    line += ' ';
  }
  return line;
}

}  // namespace kv9
