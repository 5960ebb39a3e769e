#pragma once
// One line of a Motorola S-record file, decoded by character position.
// S2 (24-bit address) and S3 (32-bit address) lines carry the data the
// loader places; S1 lines are data for 16-bit addresses, which no image
// area reaches; S5/S6 say how many data records the
// file holds; S7/S8/S9 end the file. The match on the "S" is case-sensitive
// and every other line (S0, S4, blank, anything else) is passed over. Pure.
#include <cstdint>
#include <string_view>
#include <vector>

namespace kv9 {

struct SRecord {
  enum class Kind {
    Ignored,      // S0, S4, not a record
    Data,         // S2, S3: placed by the loader
    OtherData,    // S1: a data record outside every image area, refused by the loader
    RecordCount,  // S5, S6: address field = number of data records
    Termination,  // S7, S8, S9
  };
  Kind kind = Kind::Ignored;
  std::uint32_t addressBytes = 0;  // 2 (S1, S5, S9), 3 (S2, S6, S8) or 4 (S3, S7)
  std::uint32_t count = 0;         // count field: address + data + checksum bytes
  std::uint32_t address = 0;
  std::vector<std::uint8_t> data;
  std::uint32_t checksum = 0;
  // The count leaves no room for the address and the checksum. Such a line
  // cannot be a record at all; the loader treats it like a checksum error.
  bool malformed = false;
  // The line ends before the checksum its count announces: a file cut in the
  // middle of a record. Its missing digits would read as zeros.
  bool truncated = false;
  bool checksumOk = false;
  bool Valid() const { return kind != Kind::Ignored && !malformed && !truncated && checksumOk; }
};

SRecord ParseSRecordLine(std::string_view line);

}  // namespace kv9
