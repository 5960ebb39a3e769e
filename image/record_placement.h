#pragma once
// Where a data record of an image file goes. A record is placed only when
// every one of its bytes lies in the image area and no earlier record of the
// same file placed any of them; anything else, wherever it lies (below the
// area, at 16-bit addresses, past 0xFFFFFFFF), is refused, because the file
// is meant to be the whole image and a byte it holds that the update would
// not program, or holds twice, says it is not. Pure except for the stream
// write.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "image/memory_stream.h"

namespace kv9 {

enum class RecordPlace { InArea, OutOfRange, Overlap };

// InArea when address .. address + count - 1 lies within romStart..romEnd
// (a record without bytes: when its address does), OutOfRange otherwise.
// Never Overlap: that needs the load's PlacedBytes.
RecordPlace ClassifyRecord(std::uint32_t address, std::size_t count, std::uint32_t romStart,
                           std::uint32_t romEnd);

// Of count bytes placed from `address` on, how many the update will never
// program: those in the resident loader's top 16 KB (0xFFFFC000 and up).
std::uint32_t UnprogrammedBytes(std::uint32_t address, std::size_t count);

// The buffer offsets one load has placed so far.
class PlacedBytes {
 public:
  // The first offset of offset .. offset + count - 1 placed before, if any.
  std::optional<std::size_t> FirstPlaced(std::size_t offset, std::size_t count) const;
  void Mark(std::size_t offset, std::size_t count);

 private:
  std::vector<bool> placed_;
};

// Writes count bytes at `offset`. A record that runs past the end extends
// the stream; should it start beyond the end, the gap between is filled
// with erased bytes (0xFF) so that no byte appears that no record put there.
// Leaves the position after the written bytes. Nothing happens for count 0.
void WriteRecordAt(TMemoryStream& stream, std::size_t offset, const std::uint8_t* bytes, std::size_t count);

}  // namespace kv9
