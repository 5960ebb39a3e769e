#include "image/intel_hex_record.h"

#include "image/hex_fields.h"

namespace kv9 {

IntelHexRecord ParseIntelHexLine(std::string_view line) {
  IntelHexRecord r;
  r.count = HexField(line, 2, 2);
  r.address = HexField(line, 4, 4);
  r.type = HexField(line, 8, 2);
  std::uint32_t sum = r.count + (r.address >> 8) + (r.address & 0xFF) + r.type;
  if (r.count > kIntelHexMaxCount) return r;

  if (r.type == 2) {
    r.kind = IntelHexRecord::Kind::Segment;
    r.segment = HexField(line, 10, 4);
    const std::uint32_t checksum = HexField(line, 14, 2);
    sum += (r.segment >> 8) + (r.segment & 0xFF);
    r.checksumOk = ((0u - sum) & 0xFF) == checksum;
  } else if (r.type == 0) {
    r.kind = IntelHexRecord::Kind::Data;
    r.data.reserve(r.count);
    for (std::uint32_t k = 0; k < r.count; ++k) {
      const std::uint32_t byte = HexField(line, 10 + 2 * k, 2);
      r.data.push_back(static_cast<std::uint8_t>(byte));
      sum += byte;
    }
    const std::uint32_t checksum = HexField(line, 10 + 2 * r.count, 2);
    r.checksumOk = ((0u - sum) & 0xFF) == checksum;
  }
  return r;
}

}  // namespace kv9
