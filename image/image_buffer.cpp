// The controller's image buffer: the bytes the update programs, in address
// order, with the flash area they belong to.
#include <algorithm>

#include "wire/crc16.h"
#include "wire/embedded_image_layout.h"
#include "image/image_area.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/resources.h"

namespace kv9 {

void TFlashWrRXCont::SetImageArea(std::int32_t cpuCode, std::int32_t romSizeIndex) {
  Settings.CpuCode = cpuCode;
  Settings.RomSizeIndex = romSizeIndex;
  CrcEnd = kCrcEnd;
  const ImageArea area = AreaFor(cpuCode, romSizeIndex);
  DeviceCode = area.deviceCode;
  RomStart = area.romStart;
  RomEnd = kRomEnd;
}

void TFlashWrRXCont::InitImageBuffer() {
  const std::size_t size = static_cast<std::size_t>(RomEnd - RomStart) + 1;
  ImageStream.SetSize(size);
  ImageStream.Rewind();
  ImageLoaded = 0;
  ImageBase = RomStart;
  std::fill(ImageStream.Memory(), ImageStream.Memory() + size, 0xFF);
  ImageStream.Rewind();
}

void TFlashWrRXCont::LoadEmbeddedImage() {
  const ResourceBlob blob = FindResource("HEXDATA", "HexData1");
  ImageStream.Write(blob.data, blob.size);
  ImageBase = kEmbeddedImageStart;
  ImageLoaded = 1;
}

std::uint16_t TFlashWrRXCont::ImageCrc() {
  ImageStream.Rewind();
  // A ROM size chosen after start-up may describe more than the buffer
  // holds; the CRC then covers only the bytes that exist.
  const std::size_t span = static_cast<std::size_t>(CrcEnd - RomStart) + 1;
  return Crc16(ImageStream.Memory(), std::min(span, ImageStream.Size()));
}

std::uint16_t TFlashWrRXCont::Crc16(const std::uint8_t* bytes, std::size_t count) const {
  return kv9::Crc16(bytes, count);
}

}  // namespace kv9
