#include "link/module_frame.h"

#include "wire/frame_sum.h"

namespace kv9 {

std::vector<std::uint8_t> BuildModuleFrame(std::uint8_t code, const std::vector<std::uint8_t>& data) {
  std::vector<std::uint8_t> frame;
  frame.reserve(data.size() + 7);
  frame.push_back(kStx);
  frame.push_back(0x00);
  frame.push_back(code);
  frame.push_back(static_cast<std::uint8_t>(data.size()));
  frame.insert(frame.end(), data.begin(), data.end());
  frame.push_back(kEtx);
  frame.push_back(FrameSum(frame.data(), frame.size()));
  frame.push_back(kCr);
  return frame;
}

}  // namespace kv9
