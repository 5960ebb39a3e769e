#pragma once
// One line of an Intel HEX file, decoded by character position. Only two
// record types matter to the loader: data (0) and extended segment address
// (2), each with at most 128 data bytes; everything else, end-of-file
// included, is passed over without a checksum test. Pure.
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv9 {

constexpr std::uint32_t kIntelHexMaxCount = 128;

struct IntelHexRecord {
  enum class Kind { Ignored, Data, Segment };
  Kind kind = Kind::Ignored;
  std::uint32_t count = 0;    // byte count field n
  std::uint32_t address = 0;  // 16-bit load offset
  std::uint32_t type = 0;     // record type field
  std::uint32_t segment = 0;  // segment value (Segment only)
  std::vector<std::uint8_t> data;  // the n data bytes (Data only)
  bool checksumOk = false;    // meaningful for Data and Segment
};

// The first character (normally ':') is never examined.
IntelHexRecord ParseIntelHexLine(std::string_view line);

}  // namespace kv9
