#include "image/record_placement.h"

#include <algorithm>

namespace kv9 {

RecordPlace ClassifyRecordAddress(std::uint32_t address, std::uint32_t romStart, std::uint32_t romEnd) {
  if (romStart <= address && address <= romEnd) return RecordPlace::InArea;
  if ((address & 0xFFF00) == 0xFFF00) return RecordPlace::Ignored;
  return RecordPlace::OutOfRange;
}

void WriteRecordAt(TMemoryStream& stream, std::size_t offset, const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) return;
  const std::size_t oldSize = stream.Size();
  if (offset > oldSize) {
    stream.SetSize(offset);
    std::fill(stream.Memory() + oldSize, stream.Memory() + offset, 0xFF);
  }
  stream.Seek(offset);
  stream.Write(bytes, count);
}

}  // namespace kv9
