#include "image/image_buffer.h"

#include <algorithm>

#include "image/image_area.h"
#include "platform/resources.h"
#include "wire/crc16.h"
#include "wire/embedded_image_layout.h"

namespace kv9 {

void ImageBuffer::SetArea(std::uint32_t start) {
  crcEnd = kCrcEnd;
  romStart = start;
  romEnd = kRomEnd;
}

void ImageBuffer::Reset() {
  bytes.SetSize(static_cast<std::size_t>(romEnd - romStart) + 1);
  loaded = 0;
  base = romStart;
  Fill(0xFF);
  bytes.Rewind();
}

void ImageBuffer::Fill(std::uint8_t value) {
  std::fill(bytes.Memory(), bytes.Memory() + bytes.Size(), value);
}

std::uint16_t ImageBuffer::Crc() {
  bytes.Rewind();
  // A ROM size chosen after start-up may describe more than the buffer
  // holds; the CRC then covers only the bytes that exist.
  const std::size_t span = static_cast<std::size_t>(crcEnd - romStart) + 1;
  return Crc16(bytes.Memory(), std::min(span, bytes.Size()));
}

ImageLoadResult LoadEmbedded(ImageBuffer& image) {
  const ResourceBlob blob = FindResource("HEXDATA", "HexData1");
  image.bytes.Write(blob.data, blob.size);
  image.base = kEmbeddedImageStart;
  image.loaded = 1;
  ImageLoadResult result;
  result.ok = true;
  return result;
}

}  // namespace kv9
