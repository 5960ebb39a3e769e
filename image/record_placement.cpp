#include "image/record_placement.h"

#include <algorithm>

#include "wire/embedded_image_layout.h"

namespace kv9 {

RecordPlace ClassifyRecordAddress(std::uint32_t address, std::uint32_t romStart, std::uint32_t romEnd) {
  if (romStart <= address && address <= romEnd) return RecordPlace::InArea;
  if ((address & 0xFFF00) == 0xFFF00) return RecordPlace::Ignored;
  return RecordPlace::OutOfRange;
}

std::uint32_t UnprogrammedBytes(std::uint32_t address, std::size_t count) {
  const std::uint64_t end = std::uint64_t{address} + count;
  const std::uint64_t start = std::max<std::uint64_t>(address, kLoaderAreaStart);
  return end > start ? static_cast<std::uint32_t>(end - start) : 0;
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
