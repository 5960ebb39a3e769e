#include "cli/image_info.h"

#include <algorithm>
#include <cstdio>

#include "boot/flash_operations.h"
#include "wire/embedded_image_layout.h"

namespace kv9::cli {
namespace {

constexpr std::uint32_t kVersionAddress = kRomVersionAddress;
constexpr std::size_t kVersionLength = kRomVersionLength;

std::string Hex8(std::uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", value);
  return text;
}

}  // namespace

std::uint32_t ProgrammedBytes(TFlashWrRXCont& cont) {
  const std::uint32_t blocks = ProgramBlockCount(cont.RomStart, cont.RomEnd, 1);
  const std::uint8_t* memory = cont.ImageStream.Memory();
  const std::size_t size = cont.ImageStream.Size();
  std::uint32_t bytes = 0;
  for (std::uint32_t i = 0; i < blocks; ++i) {
    const std::size_t at = static_cast<std::size_t>(i) * kBlockSize;
    if (at >= size) break;
    const int count = static_cast<int>(std::min<std::size_t>(kBlockSize, size - at));
    if (BlockHasData(memory + at, count)) bytes += kBlockSize;
  }
  return bytes;
}

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
  out += "program   " + std::to_string(ProgrammedBytes(cont)) +
         " bytes (256-byte blocks below the user boot area)\n";
  char crc[64];
  std::snprintf(crc, sizeof crc, "CRC       0x%04X", cont.ImageCrc());
  out += std::string(crc) + " (" + Hex8(cont.RomStart) + ".." + Hex8(cont.CrcEnd) +
         ", compared with the module's)\n";
  std::string version;
  if (kVersionAddress >= cont.RomStart &&
      kVersionAddress - cont.RomStart + kVersionLength <= size) {
    const std::uint8_t* v = memory + (kVersionAddress - cont.RomStart);
    const bool printable =
        std::all_of(v, v + kVersionLength, [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; });
    if (printable) version.assign(reinterpret_cast<const char*>(v), kVersionLength);
  }
  out += "version   " +
         (version.empty() ? std::string("(no printable text at 0xFFFFBFF0)") : version) + "\n";
  return out;
}

}  // namespace kv9::cli
