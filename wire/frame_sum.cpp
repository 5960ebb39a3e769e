#include "wire/frame_sum.h"

namespace kv9 {

std::uint8_t FrameSum(const std::uint8_t* bytes, std::size_t count) {
  unsigned sum = 0;
  for (std::size_t i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<std::uint8_t>(sum & 0xFF);
}

}  // namespace kv9
