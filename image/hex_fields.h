#pragma once
// Fixed-position text fields of image file records. Both loaders read a
// record by character position, never by scanning: a field is cut short
// where the line ends and is empty when it starts past the end, and its
// hexadecimal value counts any non-hex character as 0 while still giving it
// a place. A damaged line therefore yields some number rather than an
// exception; the record checksum is what rejects it. Pure.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kv9 {

// Characters position .. position + length - 1 of `line`, position 1 being
// the first character.
std::string_view TextField(std::string_view line, std::size_t position, std::size_t length);

// The hexadecimal value of `text`, last character counting 1, the one
// before it 16 and so on, modulo 2^32. Empty text gives 0.
std::uint32_t HexValue(std::string_view text);

// HexValue of TextField.
inline std::uint32_t HexField(std::string_view line, std::size_t position, std::size_t length) {
  return HexValue(TextField(line, position, length));
}

}  // namespace kv9
