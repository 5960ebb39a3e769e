#pragma once
// The version text a firmware image carries at 0xFFFFBFF0 (16 bytes), and
// the comparison with the ROM version a module reports: trailing blanks and
// zero bytes are padding, not part of the version. Pure.
#include <cstddef>
#include <cstdint>
#include <string>

#include "image/image_buffer.h"

namespace kv9 {

// `text` without its trailing blanks and zero bytes.
std::string TrimmedVersion(std::string text);

// The 16 bytes at 0xFFFFBFF0 of `bytes` (whose first byte belongs to flash
// address `base`), trimmed; "" when the bytes do not reach them or they
// hold a byte that is not printable text.
std::string VersionTextAt(const std::uint8_t* bytes, std::size_t size, std::uint32_t base);

// The version text as the module reports it: the 9 bytes at 0xFFFFBFF0 as
// they stand, when every one is printable; "" otherwise (what `kv9flash
// info` and the window's load line show).
std::string PrintableVersionBytesAt(const std::uint8_t* bytes, std::size_t size, std::uint32_t base);

// The trimmed text for an image, from the address its first byte belongs to.
std::string ImageVersionText(const ImageBuffer& image);

}  // namespace kv9
