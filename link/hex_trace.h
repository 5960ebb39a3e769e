#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv9 {

// The trace form of bytes: the prefix, then each byte as two upper-case hex
// digits followed by one blank ("TX: 02 00 0D ").
std::string HexTrace(const std::string& prefix, const std::uint8_t* bytes, std::size_t count);

}  // namespace kv9
