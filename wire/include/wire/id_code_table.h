#pragma once
// The table the two 16-byte ID code pieces are copied from at run time.
// Piece A is characters 0..15, piece B characters 16..31; the 33rd character
// is not used. The simulated module protects its flash with the same pieces.
#include <array>
#include <cstdint>

namespace kv9 {

constexpr std::size_t kIdCodeLength = 16;
extern const char IdCodeTable[34];  // 33 printable characters and a terminating zero

// Copies piece A (which != 0) or piece B (which == 0) into a 16-byte array.
std::array<std::uint8_t, kIdCodeLength> IdCodePiece(bool pieceA);

}  // namespace kv9
