#pragma once
// The module's own command frame: STX, 0x00, command code, LEN, LEN data
// bytes, ETX, FrameSum, CR. Pure.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace kv9 {

constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEtx = 0x03;
constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kCmdAct = 0x4E;    // "N": commands that set or act
constexpr std::uint8_t kCmdQuery = 0x4F;  // "O": queries
constexpr std::uint8_t kStatusAccepted = 0x30;

std::vector<std::uint8_t> BuildModuleFrame(std::uint8_t code, const std::vector<std::uint8_t>& data);

// The field of a reply that spoiled it, in the order they are checked.
enum class ReplyFault { None, Short, Stx, Byte1, Len, Etx, Sum, Cr };

struct ReplyVerdict {
  ReplyFault fault = ReplyFault::None;
  std::size_t offset = 0;     // where the field sits in the reply
  std::uint8_t found = 0;     // what the reply holds there
  std::uint8_t expected = 0;  // what a whole reply of this length holds
  bool Whole() const { return fault == ReplyFault::None; }
};

// Judges the first reply.size() bytes a command awaited as one whole reply
// frame laid out like the tool's own: STX, 0x00, status, LEN (reply.size()
// - 7 data bytes), data, ETX, FrameSum of STX..ETX, CR. The status is not
// judged here; a refusal is still a whole reply. Pure.
ReplyVerdict CheckModuleReply(std::span<const std::uint8_t> reply);

// The trace line saying why a reply was not taken, e.g.
// "Reply rejected: SUM at byte 15 is 19, expected 18".
std::string ReplyVerdictText(const ReplyVerdict& verdict);

}  // namespace kv9
