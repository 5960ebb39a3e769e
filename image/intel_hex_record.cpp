#include "image/intel_hex_record.h"

#include "image/hex_fields.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kTypeData = 0;
constexpr std::uint32_t kTypeEndOfFile = 1;
constexpr std::uint32_t kTypeSegment = 2;
constexpr std::uint32_t kTypeLinear = 4;

// ':' + count + address + type + n data bytes + checksum.
constexpr std::size_t LineLengthFor(std::uint32_t count) { return 11 + 2 * std::size_t{count}; }

}  // namespace

IntelHexRecord ParseIntelHexLine(std::string_view line) {
  IntelHexRecord r;
  r.count = HexField(line, 2, 2);
  r.address = HexField(line, 4, 4);
  r.type = HexField(line, 8, 2);
  std::uint32_t sum = r.count + (r.address >> 8) + (r.address & 0xFF) + r.type;
  if (r.count > kIntelHexMaxCount) {
    if (r.type == kTypeData) {
      r.kind = IntelHexRecord::Kind::Data;
      r.oversized = true;
    }
    return r;
  }

  if (r.type == kTypeSegment || r.type == kTypeLinear) {
    r.kind = r.type == kTypeSegment ? IntelHexRecord::Kind::Segment : IntelHexRecord::Kind::LinearAddress;
    r.segment = HexField(line, 10, 4);
    const std::uint32_t checksum = HexField(line, 14, 2);
    sum += (r.segment >> 8) + (r.segment & 0xFF);
    r.checksumOk = ((0u - sum) & 0xFF) == checksum;
    r.truncated = line.size() < LineLengthFor(2);
  } else if (r.type == kTypeData || r.type == kTypeEndOfFile) {
    r.kind = r.type == kTypeData ? IntelHexRecord::Kind::Data : IntelHexRecord::Kind::EndOfFile;
    r.data.reserve(r.count);
    for (std::uint32_t k = 0; k < r.count; ++k) {
      const std::uint32_t byte = HexField(line, 10 + 2 * k, 2);
      r.data.push_back(static_cast<std::uint8_t>(byte));
      sum += byte;
    }
    const std::uint32_t checksum = HexField(line, 10 + 2 * r.count, 2);
    r.checksumOk = ((0u - sum) & 0xFF) == checksum;
    r.truncated = line.size() < LineLengthFor(r.count);
    if (r.kind == IntelHexRecord::Kind::EndOfFile) r.data.clear();
  }
  return r;
}

}  // namespace kv9
