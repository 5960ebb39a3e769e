#pragma once
// The module's own command frame: STX, 0x00, command code, LEN, LEN data
// bytes, ETX, FrameSum, CR. Pure.
#include <cstdint>
#include <vector>

namespace kv9 {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kCmdAct = 0x4E;    // "N": commands that set or act
constexpr std::uint8_t kCmdQuery = 0x4F;  // "O": queries
constexpr std::uint8_t kStatusAccepted = 0x30;

std::vector<std::uint8_t> BuildModuleFrame(std::uint8_t code, const std::vector<std::uint8_t>& data);

}  // namespace kv9
