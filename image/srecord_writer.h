#pragma once
// A flash image as a Motorola S-record file the S-record loader reads back
// as the same image: an S0 header line with a text, S3 data records for
// every 256-byte block that holds a byte other than 0xFF (erased blocks
// need no record: a loaded file starts from erased bytes), and an S7
// termination record. Pure: tests call it directly.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kv9 {

// `bytes` belong to flash addresses from `firstAddress` on; `header` goes
// into the S0 record (cut to the 252 bytes it can carry). Lines end in "\n".
std::string SRecordImageText(const std::string& header, std::uint32_t firstAddress,
                             const std::uint8_t* bytes, std::size_t count);

}  // namespace kv9
