#include "image/srecord.h"

#include "image/hex_fields.h"

namespace kv9 {

SRecord ParseSRecordLine(std::string_view line) {
  SRecord r;
  const std::string_view tag = TextField(line, 1, 2);
  if (tag == "S2") {
    r.addressBytes = 3;
  } else if (tag == "S3") {
    r.addressBytes = 4;
  } else {
    return r;
  }
  r.kind = SRecord::Kind::Data;
  r.count = HexField(line, 3, 2);
  std::uint32_t sum = r.count;
  for (std::uint32_t i = 0; i < r.addressBytes; ++i) {
    const std::uint32_t byte = HexField(line, 5 + 2 * i, 2);
    r.address = (r.address << 8) | byte;
    sum += byte;
  }
  // The count covers the address, the data and the checksum byte. A count
  // smaller than address + checksum would mean a negative data length;
  // reading on would take the checksum from inside the address.
  if (r.count < r.addressBytes + 1) {
    r.malformed = true;
    return r;
  }
  const std::uint32_t length = r.count - r.addressBytes - 1;  // at most 251 (S2) / 250 (S3)
  const std::uint32_t dataStart = 5 + 2 * r.addressBytes;
  r.data.reserve(length);
  for (std::uint32_t k = 0; k < length; ++k) {
    const std::uint32_t byte = HexField(line, dataStart + 2 * k, 2);
    r.data.push_back(static_cast<std::uint8_t>(byte));
    sum += byte;
  }
  r.checksum = HexField(line, dataStart + 2 * length, 2);
  r.checksumOk = ((sum + r.checksum) & 0xFF) == 0xFF;
  return r;
}

}  // namespace kv9
