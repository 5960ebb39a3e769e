#pragma once
// The firmware image the update programs: its bytes in address order, the
// flash address of the first byte, the area the buffer is laid out for and
// what the last load made of it. The boot-mode programmer reads it block by
// block; the loaders write records into it. Core code; it neither logs nor
// shows anything.
#include <cstdint>
#include <string>

#include "image/image_load_result.h"
#include "image/memory_stream.h"

namespace kv9 {

struct ImageBuffer {
  // Byte i belongs to flash address romStart + i.
  TMemoryStream bytes;
  // The flash address of the first byte: 0xFFFC0000 for the image the tool
  // carries, romStart at the time of a file load. The update refuses to run
  // while it differs from romStart.
  std::uint32_t base = 0;
  // The area: romStart..romEnd, and the CRC covers romStart..crcEnd.
  std::uint32_t romStart = 0;
  std::uint32_t romEnd = 0;
  std::uint32_t crcEnd = 0;
  // Set while the buffer holds an image that may be programmed.
  std::uint8_t loaded = 0;
  // Why the last file load failed; empty after a good load.
  std::string loadProblem;

  // Lays the buffer out for the area from `start` to the top of the address
  // space. Size and contents stay: from then on byte i belongs to start + i.
  void SetArea(std::uint32_t start);
  // Sizes the buffer to the area, all erased (0xFF), rewound, nothing loaded.
  void Reset();
  // Every byte set to `value`; the size and the position stay.
  void Fill(std::uint8_t value);
  // CRC-16/X-25 of the image of romStart..crcEnd (only bytes the buffer
  // holds); leaves the position at 0.
  std::uint16_t Crc();
};

// Writes the image the tool carries (resource "HEXDATA"/"HexData1") from the
// current position on, growing the buffer if the image is larger, and marks
// it loaded. Shows nothing. A missing resource raises EResNotFound.
ImageLoadResult LoadEmbedded(ImageBuffer& image);

}  // namespace kv9
