#pragma once
// Where a data record of an image file goes. The loaders accept a record
// whose first address lies in the image area, pass over records whose
// address bits 8 to 19 are all set (the 0x?FFFxx pages some tool chains
// emit for vectors and option bytes outside the flash image), and refuse
// everything else. Pure except for the stream write.
#include <cstddef>
#include <cstdint>

#include "image/memory_stream.h"

namespace kv9 {

enum class RecordPlace { InArea, Ignored, OutOfRange };

RecordPlace ClassifyRecordAddress(std::uint32_t address, std::uint32_t romStart, std::uint32_t romEnd);

// Of count bytes placed from `address` on, how many the update will never
// program: those in the resident loader's top 16 KB (0xFFFFC000 and up) and
// those past 0xFFFFFFFF.
std::uint32_t UnprogrammedBytes(std::uint32_t address, std::size_t count);

// Writes count bytes at `offset`. A record that runs past the end extends
// the stream; should it start beyond the end (an area chosen larger than the
// buffer), the gap between is filled with erased bytes (0xFF) so that no
// byte appears that no record and no earlier image put there. Leaves the
// position after the written bytes. Nothing happens for count 0.
void WriteRecordAt(TMemoryStream& stream, std::size_t offset, const std::uint8_t* bytes, std::size_t count);

}  // namespace kv9
