#pragma once
// The identity of the firmware an update leaves on the module: the SHA-256
// of the area the module's CRC covers (romStart..crcEnd) as the flash holds
// it afterwards, erased bytes included. The same firmware loaded from a
// .mot or a .hex file, or carried built in, has one identity. Pure.
#include <string>

#include "image/image_buffer.h"

namespace kv9 {

// 64 lower-case hexadecimal digits; bytes the buffer does not hold count as
// erased (0xFF).
std::string CrcAreaSha256(const ImageBuffer& image);

}  // namespace kv9
