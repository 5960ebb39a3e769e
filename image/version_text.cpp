#include "image/version_text.h"

#include <algorithm>

#include "wire/embedded_image_layout.h"

namespace kv9 {
namespace {

constexpr std::uint32_t kVersionTextLength = 16;  // up to the loader area

}  // namespace

std::string TrimmedVersion(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

std::string VersionTextAt(const std::uint8_t* bytes, std::size_t size, std::uint32_t base) {
  if (kRomVersionAddress < base || kRomVersionAddress - base + kVersionTextLength > size) return {};
  const std::uint8_t* v = bytes + (kRomVersionAddress - base);
  const std::string text =
      TrimmedVersion(std::string(reinterpret_cast<const char*>(v), kVersionTextLength));
  const bool printable = std::all_of(text.begin(), text.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x20 && b < 0x7F;
  });
  return printable ? text : std::string();
}

std::string PrintableVersionBytesAt(const std::uint8_t* bytes, std::size_t size, std::uint32_t base) {
  if (kRomVersionAddress < base || kRomVersionAddress - base + kRomVersionLength > size) return {};
  const std::uint8_t* v = bytes + (kRomVersionAddress - base);
  const bool printable = std::all_of(v, v + kRomVersionLength, [](std::uint8_t b) { return b >= 0x20 && b < 0x7F; });
  return printable ? std::string(reinterpret_cast<const char*>(v), kRomVersionLength) : std::string();
}

std::string ImageVersionText(const ImageBuffer& image) {
  return VersionTextAt(image.bytes.Memory(), image.bytes.Size(), image.base);
}

}  // namespace kv9
