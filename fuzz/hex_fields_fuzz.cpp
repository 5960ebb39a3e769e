// The record-field helpers both image loaders read records with: a field
// is exactly the characters at its place (cut at the line's end, empty past
// it), and a field's value depends only on its last eight characters, each
// non-hex character counting as a 0 digit.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_check.h"
#include "image/hex_fields.h"

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Two bytes choose the field's place and length, the rest is the line.
  const std::size_t position = data[0];
  const std::size_t length = data[1];
  const std::string line(reinterpret_cast<const char*>(data + 2), size - 2);

  const std::string_view field = kv9::TextField(line, position, length);
  if (position == 0 || position > line.size()) {
    KV9_FUZZ_REQUIRE(field.empty());
  } else {
    KV9_FUZZ_REQUIRE(field.data() == line.data() + position - 1);
    KV9_FUZZ_REQUIRE(field.size() == std::min(length, line.size() - position + 1));
  }

  const std::uint32_t value = kv9::HexValue(line);
  const std::string_view tail = std::string_view(line).substr(line.size() > 8 ? line.size() - 8 : 0);
  KV9_FUZZ_REQUIRE(value == kv9::HexValue(tail));
  std::string zeroed(line);
  std::replace_if(zeroed.begin(), zeroed.end(), [](char c) { return !IsHexDigit(c); }, '0');
  KV9_FUZZ_REQUIRE(value == kv9::HexValue(zeroed));
  KV9_FUZZ_REQUIRE(kv9::HexField(line, position, length) == kv9::HexValue(field));
  return 0;
}
