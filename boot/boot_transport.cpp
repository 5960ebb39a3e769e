// The boot-mode transport: acknowledgement, data-reply, memory-read and
// lock-status receivers on top of the link's ring and wait timer.
#include <algorithm>

#include "boot/boot_frames.h"
#include "boot/boot_programmer.h"
#include "boot/boot_reply_format.h"
#include "wire/boot_sum.h"

namespace kv9 {

BootProgrammer::BootProgrammer(LineLink& link, TProgSettings& settings, ReplyBuffer& reply,
                               BlockBuffer& block, std::int32_t& loaderCrc)
    : link_(link), settings_(settings), reply_(reply), block_(block), loaderCrc_(loaderCrc) {}

// Takes `count` bytes into `to` and checks the trailing sum.
int BootProgrammer::TakeReply(std::uint8_t* to, int count) {
  for (int i = 0; i < count; ++i) to[i] = link_.RxByte();
  return BootSum(to, static_cast<std::size_t>(count - 1)) == to[count - 1] ? 1 : 0;
}

int BootProgrammer::WaitResponse(std::uint8_t expected, std::uint32_t timeoutMs) {
  link_.StartWaitTimer();
  if (!link_.PollRxCount(timeoutMs, 1)) return 0;
  if (link_.RxByte() == expected) return 1;
  // An error response: the command code with bit 7 set, then the error code.
  if (!link_.PollRxCount(timeoutMs, 1)) return 0;
  link_.AddLog("エラーコード: " + Hex2(link_.RxByte()), 0);
  return 0;
}

int BootProgrammer::RecvInquiryReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length,
                                     std::uint8_t* buffer) {
  length = 0;
  link_.StartWaitTimer();
  if (!link_.PollRxCount(timeoutMs, boot_reply_length::kInquiryHeader)) return 0;
  // An error response is not the reply code: no use waiting for more.
  if (link_.PeekRx(0) != expected) return 0;
  // At most 258, what every buffer holds.
  const int needed = link_.PeekRx(1) + boot_reply_length::kInquiryOverhead;
  if (!link_.PollRxCount(timeoutMs, needed)) return 0;
  length = needed;
  return TakeReply(buffer, needed);
}

int BootProgrammer::RecvReadReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length) {
  length = 0;
  link_.StartWaitTimer();
  if (!link_.PollRxCount(timeoutMs, boot_reply_length::kReadHeader)) return 0;
  if (link_.PeekRx(0) != expected) return 0;
  const std::uint8_t sizeBytes[4] = {link_.PeekRx(1), link_.PeekRx(2), link_.PeekRx(3),
                                     link_.PeekRx(4)};
  const std::uint32_t size = ReadBe32(sizeBytes);
  // The size comes from the line: a reply that would not fit the reply
  // buffer is refused before a single byte is stored.
  if (size > static_cast<std::uint32_t>(kReplyBufSize - boot_reply_length::kReadOverhead)) return 0;
  const int needed = static_cast<int>(size) + boot_reply_length::kReadOverhead;
  if (!link_.PollRxCount(timeoutMs, needed)) return 0;
  length = needed;
  return TakeReply(reply_.data(), needed);
}

int BootProgrammer::SendCmdByte(std::uint8_t command, std::uint8_t expected) {
  link_.RxFlush();
  link_.SendBytes(&command, 1, 1);
  return WaitResponse(expected, kBootAckTimeoutMs);
}

int BootProgrammer::Inquire(std::uint8_t command, std::uint8_t expected, std::uint8_t* buffer,
                            int& length) {
  link_.RxFlush();
  link_.SendBytes(&command, 1, 1);
  return RecvInquiryReply(expected, kInquiryTimeoutMs, length, buffer);
}

int BootProgrammer::InquireCode(std::uint8_t command, std::uint8_t* buffer, int& length) {
  return Inquire(command, InquiryReplyCode(command), buffer, length);
}

int BootProgrammer::RecvEraseBlockReply(std::uint32_t timeoutMs, int& length, std::uint8_t* buffer) {
  length = 0;
  link_.StartWaitTimer();
  // An error response is two bytes: seen at the first one, not by a time-out.
  if (!link_.PollRxCount(timeoutMs, 1)) return 0;
  if (link_.PeekRx(0) != InquiryReplyCode(boot_cmd::kEraseBlockInfo)) return 0;
  // Every form has three bytes before its length is known or reached.
  if (!link_.PollRxCount(timeoutMs, boot_reply_length::kWideInquiryHeader)) return 0;
  const std::uint8_t header[] = {link_.PeekRx(0), link_.PeekRx(1), link_.PeekRx(2)};
  const int needed = EraseBlockReplyLength(header);
  if (needed > kInquiryBufSize) return 0;
  if (!link_.PollRxCount(timeoutMs, needed)) return 0;
  length = needed;
  return TakeReply(buffer, needed);
}

int BootProgrammer::InquireEraseBlocks(std::uint8_t* buffer, int& length) {
  link_.RxFlush();
  const std::uint8_t command = boot_cmd::kEraseBlockInfo;
  link_.SendBytes(&command, 1, 1);
  return RecvEraseBlockReply(kInquiryTimeoutMs, length, buffer);
}

int BootProgrammer::RecvLockStatus(std::uint32_t timeoutMs, std::uint8_t& status) {
  link_.StartWaitTimer();
  if (!link_.PollRxCount(timeoutMs, 1)) return 0;
  status = link_.RxByte();
  if (status != boot_reply::kLockStatusError) return 1;
  if (!link_.PollRxCount(timeoutMs, 1)) return 0;
  status = link_.RxByte();
  link_.AddLog("エラーコード: " + Hex2(status), 0);
  return 0;
}

int BootProgrammer::SendBootFrame(std::uint8_t command, const std::uint8_t* data, int count,
                                  std::uint8_t expected) {
  link_.RxFlush();
  const BootFrame frame =
      BootDataFrame(command, data, static_cast<std::size_t>(std::max(count, 0)));
  link_.SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
  return WaitResponse(expected, kBootAckTimeoutMs);
}

}  // namespace kv9
