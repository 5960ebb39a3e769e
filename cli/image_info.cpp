#include "cli/image_info.h"

#include <algorithm>
#include <cstdio>

#include "boot/flash_operations.h"
#include "image/image_digest.h"
#include "image/version_text.h"

namespace kv9::cli {
namespace {

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

std::string ImageInfoText(TFlashWrRXCont& cont, const std::string& source) {
  const std::uint8_t* memory = cont.ImageStream.Memory();
  const std::size_t size = cont.ImageStream.Size();
  std::size_t first = size, last = 0, dataBytes = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (memory[i] == 0xFF) continue;
    first = std::min(first, i);
    last = i;
    ++dataBytes;
  }
  std::string out;
  out += "image     " + source + "\n";
  out += "area      " + Hex8(cont.RomStart) + ".." + Hex8(cont.RomEnd) + "\n";
  if (dataBytes == 0) {
    out += "data      none (every byte is 0xFF)\n";
  } else {
    out += "data      " + Hex8(cont.RomStart + static_cast<std::uint32_t>(first)) + ".." +
           Hex8(cont.RomStart + static_cast<std::uint32_t>(last)) + ", " +
           std::to_string(dataBytes) + " bytes other than 0xFF\n";
  }
  out += "program   " + std::to_string(ProgrammedBytes(memory, size, cont.RomStart, cont.RomEnd)) +
         " bytes (256-byte blocks below the user boot area)\n";
  char crc[64];
  std::snprintf(crc, sizeof crc, "CRC       0x%04X", cont.ImageCrc());
  out += std::string(crc) + " (" + Hex8(cont.RomStart) + ".." + Hex8(cont.CrcEnd) +
         ", compared with the module's)\n";
  out += "sha256    " + CrcAreaSha256(cont.Image) + " (the CRC area as the update leaves it)\n";
  const std::string version = PrintableVersionBytesAt(memory, size, cont.RomStart);
  out += "version   " +
         (version.empty() ? std::string("(no printable text at 0xFFFFBFF0)") : version) + "\n";
  return out;
}

}  // namespace kv9::cli
