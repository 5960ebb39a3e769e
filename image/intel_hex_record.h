#pragma once
// One line of an Intel HEX file, decoded by character position. The loader
// uses data (0), end-of-file (1), extended segment address (2) and extended
// linear address (4) records; every other type is passed over without a
// checksum test. Pure.
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv9 {

constexpr std::uint32_t kIntelHexMaxCount = 128;

struct IntelHexRecord {
  enum class Kind { Ignored, Data, EndOfFile, Segment, LinearAddress };
  Kind kind = Kind::Ignored;
  std::uint32_t count = 0;    // byte count field n
  std::uint32_t address = 0;  // 16-bit load offset
  std::uint32_t type = 0;     // record type field
  std::uint32_t segment = 0;  // the 16-bit value of a Segment or LinearAddress record
  std::vector<std::uint8_t> data;  // the n data bytes (Data only)
  bool checksumOk = false;    // meaningful for every kind but Ignored
  // A data record longer than the loader's record buffer: its bytes cannot
  // be taken, and passing it over would silently leave a hole in the image.
  bool oversized = false;
  // The line ends before the checksum its count announces.
  bool truncated = false;
  bool Valid() const { return kind != Kind::Ignored && checksumOk && !oversized && !truncated; }
};

// The first character (normally ':') is never examined.
IntelHexRecord ParseIntelHexLine(std::string_view line);

}  // namespace kv9
