#pragma once
// One line of a Motorola S-record file, decoded by character position.
// Only S2 (24-bit address) and S3 (32-bit address) lines carry data for the
// loader; the match on "S2"/"S3" is case-sensitive and every other line
// (S0, S1, S5, S7-S9, blank, anything else) is passed over. Pure.
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv9 {

struct SRecord {
  enum class Kind { Ignored, Data };
  Kind kind = Kind::Ignored;
  std::uint32_t addressBytes = 0;  // 3 for S2, 4 for S3
  std::uint32_t count = 0;         // count field: address + data + checksum bytes
  std::uint32_t address = 0;
  std::vector<std::uint8_t> data;
  std::uint32_t checksum = 0;
  // The count leaves no room for the address and the checksum. Such a line
  // cannot be a record at all; the loader treats it like a checksum error.
  bool malformed = false;
  bool checksumOk = false;
  bool Valid() const { return kind == Kind::Data && !malformed && checksumOk; }
};

SRecord ParseSRecordLine(std::string_view line);

}  // namespace kv9
