#include "image/hex_fields.h"

namespace kv9 {

std::string_view TextField(std::string_view line, std::size_t position, std::size_t length) {
  if (position == 0 || position > line.size()) return {};
  return line.substr(position - 1, length);
}

std::uint32_t HexValue(std::string_view text) {
  std::uint32_t value = 0;
  for (char c : text) {
    std::uint32_t digit = 0;
    if (c >= '0' && c <= '9') {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (c >= 'a' && c <= 'f') {
      digit = static_cast<std::uint32_t>(c - 'a' + 10);
    } else if (c >= 'A' && c <= 'F') {
      digit = static_cast<std::uint32_t>(c - 'A' + 10);
    }
    value = value * 16 + digit;  // wraps modulo 2^32 like the 32-bit field it fills
  }
  return value;
}

}  // namespace kv9
