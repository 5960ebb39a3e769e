#include "image/srecord.h"

#include "image/hex_fields.h"

namespace kv9 {
namespace {

struct TypeInfo {
  SRecord::Kind kind;
  std::uint32_t addressBytes;
};

TypeInfo InfoOf(std::string_view tag) {
  if (tag.size() != 2 || tag[0] != 'S') return {SRecord::Kind::Ignored, 0};
  switch (tag[1]) {
    case '1': return {SRecord::Kind::OtherData, 2};
    case '2': return {SRecord::Kind::Data, 3};
    case '3': return {SRecord::Kind::Data, 4};
    case '5': return {SRecord::Kind::RecordCount, 2};
    case '6': return {SRecord::Kind::RecordCount, 3};
    case '7': return {SRecord::Kind::Termination, 4};
    case '8': return {SRecord::Kind::Termination, 3};
    case '9': return {SRecord::Kind::Termination, 2};
    default: return {SRecord::Kind::Ignored, 0};
  }
}

}  // namespace

SRecord ParseSRecordLine(std::string_view line) {
  SRecord r;
  const TypeInfo info = InfoOf(TextField(line, 1, 2));
  if (info.kind == SRecord::Kind::Ignored) return r;
  r.kind = info.kind;
  r.addressBytes = info.addressBytes;
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
  // Two characters of type, two of count, then two per counted byte.
  r.truncated = line.size() < 4 + 2 * std::size_t{r.count};
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
