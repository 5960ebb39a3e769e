#include "wire/id_code_table.h"

#include <algorithm>

namespace kv9 {

// Product data: 33 printable characters, the first 32 form pieces A and B.
const char IdCodeTable[34] = "KV9Q508-RXBOOT-A#kv9q508+rxbootB!";

std::array<std::uint8_t, kIdCodeLength> IdCodePiece(bool pieceA) {
  std::array<std::uint8_t, kIdCodeLength> code{};
  const char* from = IdCodeTable + (pieceA ? 0 : kIdCodeLength);
  std::copy(from, from + kIdCodeLength, code.begin());
  return code;
}

}  // namespace kv9
