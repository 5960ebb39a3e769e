#include "link/module_frame.h"

#include <cstdio>

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

namespace kv9 {
namespace {

// The bytes a reply frame holds besides its data: STX, 0x00, status, LEN,
// ETX, SUM, CR.
constexpr std::size_t kReplyFraming = 7;

ReplyVerdict Field(std::span<const std::uint8_t> reply, ReplyFault fault, std::size_t offset,
                   std::uint8_t expected) {
  return {fault, offset, reply[offset], expected};
}

const char* FieldName(ReplyFault fault) {
  switch (fault) {
    case ReplyFault::Stx: return "STX";
    case ReplyFault::Byte1: return "byte 1";
    case ReplyFault::Len: return "LEN";
    case ReplyFault::Etx: return "ETX";
    case ReplyFault::Sum: return "SUM";
    case ReplyFault::Cr: return "CR";
    default: return "";
  }
}

}  // namespace

ReplyVerdict CheckModuleReply(std::span<const std::uint8_t> reply) {
  const std::size_t n = reply.size();
  if (n < kReplyFraming) return {ReplyFault::Short, 0, 0, 0};
  const auto dataLength = static_cast<std::uint8_t>(n - kReplyFraming);
  if (reply[0] != kStx) return Field(reply, ReplyFault::Stx, 0, kStx);
  if (reply[1] != 0x00) return Field(reply, ReplyFault::Byte1, 1, 0x00);
  if (n - kReplyFraming > 0xFF || reply[3] != dataLength) {
    return Field(reply, ReplyFault::Len, 3, dataLength);
  }
  if (reply[n - 3] != kEtx) return Field(reply, ReplyFault::Etx, n - 3, kEtx);
  const std::uint8_t sum = FrameSum(reply.data(), n - 2);
  if (reply[n - 2] != sum) return Field(reply, ReplyFault::Sum, n - 2, sum);
  if (reply[n - 1] != kCr) return Field(reply, ReplyFault::Cr, n - 1, kCr);
  return {};
}

std::string ReplyVerdictText(const ReplyVerdict& verdict) {
  if (verdict.Whole()) return "";
  if (verdict.fault == ReplyFault::Short) return "Reply rejected: too short for a frame";
  char text[80];
  std::snprintf(text, sizeof text, "Reply rejected: %s at byte %zu is %02X, expected %02X",
                FieldName(verdict.fault), verdict.offset, verdict.found, verdict.expected);
  return text;
}

}  // namespace kv9
