#include "window/image_open.h"

#include <algorithm>
#include <cstdio>

#include "boot/boot_protocol.h"
#include "boot/flash_operations.h"
#include "image/loader_texts.h"
#include "image/version_text.h"

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

std::string LoadedImageLine(const std::string& path, std::uint32_t bytes, std::uint16_t crc,
                            const std::string& version) {
  char crcText[16];
  std::snprintf(crcText, sizeof crcText, "0x%04X", crc);
  return "ROMデータ : " + path + "  書込 " + std::to_string(bytes) + "バイト  CRC " + crcText +
         "  バージョン " + (version.empty() ? std::string("なし") : version);
}

std::string LoadedImageLine(TFlashWrRXCont& cont, const std::string& path) {
  return LoadedImageLine(path, ProgrammedBytes(cont.ImageStream.Memory(), cont.ImageStream.Size(), cont.RomStart, cont.RomEnd), cont.ImageCrc(),
                         PrintableVersionBytesAt(cont.ImageStream.Memory(), cont.ImageStream.Size(), cont.RomStart));
}

}  // namespace kv9::window
