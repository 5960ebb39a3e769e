#include "image/record_placement.h"

#include <algorithm>

#include "wire/embedded_image_layout.h"

namespace kv9 {

RecordPlace ClassifyRecord(std::uint32_t address, std::size_t count, std::uint32_t romStart,
                           std::uint32_t romEnd) {
  // 64-bit, so that a record running past 0xFFFFFFFF does not wrap into the area.
  const std::uint64_t last = std::uint64_t{address} + (count == 0 ? 0 : count - 1);
  return romStart <= address && last <= romEnd ? RecordPlace::InArea : RecordPlace::OutOfRange;
}

std::uint32_t UnprogrammedBytes(std::uint32_t address, std::size_t count) {
  const std::uint64_t end = std::uint64_t{address} + count;
  const std::uint64_t start = std::max<std::uint64_t>(address, kLoaderAreaStart);
  return end > start ? static_cast<std::uint32_t>(end - start) : 0;
}

std::optional<std::size_t> PlacedBytes::FirstPlaced(std::size_t offset, std::size_t count) const {
  const std::size_t end = std::min(offset + count, placed_.size());
  for (std::size_t i = offset; i < end; ++i) {
    if (placed_[i]) return i;
  }
  return std::nullopt;
}

void PlacedBytes::Mark(std::size_t offset, std::size_t count) {
  if (placed_.size() < offset + count) placed_.resize(offset + count, false);
  std::fill(placed_.begin() + static_cast<std::ptrdiff_t>(offset),
            placed_.begin() + static_cast<std::ptrdiff_t>(offset + count), true);
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
