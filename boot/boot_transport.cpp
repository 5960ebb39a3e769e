// The boot-mode transport: acknowledgement, data-reply, memory-read and
// lock-status receivers on top of the controller's ring and wait timer.
#include <algorithm>

#include "boot/boot_frames.h"
#include "boot/boot_protocol.h"
#include "wire/boot_sum.h"
#include "link/flash_wr_rx_cont.h"

namespace kv9 {
namespace {

// Takes `count` bytes into `to` and checks the trailing sum.
int TakeReply(TFlashWrRXCont& c, std::uint8_t* to, int count) {
  for (int i = 0; i < count; ++i) to[i] = c.RxByte();
  return BootSum(to, static_cast<std::size_t>(count - 1)) == to[count - 1] ? 1 : 0;
}

}  // namespace

int TFlashWrRXCont::WaitResponse(std::uint8_t expected, std::uint32_t timeoutMs) {
  StartWaitTimer();
  if (!PollRxCount(timeoutMs, 1)) return 0;
  if (RxByte() == expected) return 1;
  // An error response: the command code with bit 7 set, then the error code.
  if (!PollRxCount(timeoutMs, 1)) return 0;
  AddLog("エラーコード: " + Hex2(RxByte()), 0);
  return 0;
}

int TFlashWrRXCont::RecvInquiryReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length,
                                     std::uint8_t* buffer) {
  length = 0;
  StartWaitTimer();
  if (!PollRxCount(timeoutMs, 2)) return 0;
  // An error response is not the reply code: no use waiting for more.
  if (PeekRx(0) != expected) return 0;
  const int needed = PeekRx(1) + 3;  // at most 258, what every buffer holds
  if (!PollRxCount(timeoutMs, needed)) return 0;
  length = needed;
  return TakeReply(*this, buffer, needed);
}

int TFlashWrRXCont::RecvReadReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length) {
  length = 0;
  StartWaitTimer();
  if (!PollRxCount(timeoutMs, 5)) return 0;
  if (PeekRx(0) != expected) return 0;
  const std::uint8_t sizeBytes[4] = {PeekRx(1), PeekRx(2), PeekRx(3), PeekRx(4)};
  const std::uint32_t size = ReadBe32(sizeBytes);
  // The size comes from the line: a reply that would not fit ReplyBuf is
  // refused before a single byte is stored.
  if (size > static_cast<std::uint32_t>(kReplyBufSize - 6)) return 0;
  const int needed = static_cast<int>(size) + 6;
  if (!PollRxCount(timeoutMs, needed)) return 0;
  length = needed;
  return TakeReply(*this, ReplyBuf.data(), needed);
}

int TFlashWrRXCont::SendCmdByte(std::uint8_t command, std::uint8_t expected) {
  RxFlush();
  SendBytes(&command, 1, 1);
  return WaitResponse(expected, kBootAckTimeoutMs);
}

int TFlashWrRXCont::Inquire(std::uint8_t command, std::uint8_t expected, std::uint8_t* buffer, int& length) {
  RxFlush();
  SendBytes(&command, 1, 1);
  return RecvInquiryReply(expected, kInquiryTimeoutMs, length, buffer);
}

int TFlashWrRXCont::RecvLockStatus(std::uint32_t timeoutMs, std::uint8_t& status) {
  StartWaitTimer();
  if (!PollRxCount(timeoutMs, 1)) return 0;
  status = RxByte();
  if (status != boot_reply::kLockStatusError) return 1;
  if (!PollRxCount(timeoutMs, 1)) return 0;
  status = RxByte();
  AddLog("エラーコード: " + Hex2(status), 0);
  return 0;
}

int TFlashWrRXCont::SendBootFrame(std::uint8_t command, const std::uint8_t* data, int count,
                                  std::uint8_t expected) {
  RxFlush();
  const BootFrame frame = BootDataFrame(command, data, static_cast<std::size_t>(std::max(count, 0)));
  SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
  return WaitResponse(expected, kBootAckTimeoutMs);
}

}  // namespace kv9
