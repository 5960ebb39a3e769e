#include "window/image_open.h"

#include <algorithm>
#include <cstdio>

#include "boot/boot_protocol.h"
#include "boot/flash_operations.h"
#include "image/loader_texts.h"
#include "wire/embedded_image_layout.h"

namespace kv9::window {
namespace {

std::string LowerExtension(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (separator != std::string::npos && dot < separator)) return {};
  std::string ext = path.substr(dot);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext;
}

}  // namespace

std::string ImageFileProblem(const std::string& path) {
  const std::string ext = LowerExtension(path);
  if (ext == ".hex" || ext == ".mot") return {};
  return kUnknownExtensionText;
}

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

std::string ImageVersionText(TFlashWrRXCont& cont) {
  const std::size_t size = cont.ImageStream.Size();
  if (kRomVersionAddress < cont.RomStart || kRomVersionAddress - cont.RomStart + kRomVersionLength > size) return {};
  const std::uint8_t* v = cont.ImageStream.Memory() + (kRomVersionAddress - cont.RomStart);
  const bool printable = std::all_of(v, v + kRomVersionLength, [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; });
  return printable ? std::string(reinterpret_cast<const char*>(v), kRomVersionLength) : std::string();
}

std::string LoadedImageLine(const std::string& path, std::uint32_t bytes, std::uint16_t crc,
                            const std::string& version) {
  char crcText[16];
  std::snprintf(crcText, sizeof crcText, "0x%04X", crc);
  return "ROMデータ : " + path + "  書込 " + std::to_string(bytes) + "バイト  CRC " + crcText +
         "  バージョン " + (version.empty() ? std::string("なし") : version);
}

std::string LoadedImageLine(TFlashWrRXCont& cont, const std::string& path) {
  return LoadedImageLine(path, ProgrammedBytes(cont), cont.ImageCrc(), ImageVersionText(cont));
}

}  // namespace kv9::window
