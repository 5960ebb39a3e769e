#include "wire/boot_sum.h"

namespace kv9 {

std::uint8_t BootSum(const std::uint8_t* bytes, std::size_t count) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF);
}

}  // namespace kv9
