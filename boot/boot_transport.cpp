// The boot-mode transport: acknowledgement, data-reply, memory-read and
// lock-status receivers on top of the controller's ring and wait timer.
#include <algorithm>

#include "boot/boot_frames.h"
#include "boot/boot_protocol.h"
#include "boot/boot_sum.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/message_pump.h"

namespace kv9 {
namespace {

// One poll round of the reply wait without restarting the timer, so a wait
// in two stages (header, then the rest) keeps a single deadline.
int PollRxCount(TFlashWrRXCont& c, std::uint32_t timeoutMs, int count) {
  // A held-back frame gets no reply: no use waiting for one.
  if (c.Stopped()) return c.RxCount() >= count ? 1 : 0;
  for (;;) {
    ProcessMessages();
    WaitMessages(10);
    if (c.RxCount() >= count) return 1;
    ProcessMessages();
    if (c.WaitTimerExpired(timeoutMs)) return 0;
  }
}

// The unread byte `offset` places ahead, without taking it.
std::uint8_t PeekRx(const TFlashWrRXCont& c, int offset) {
  return c.RxBuffer[static_cast<std::size_t>((c.RxReadPos + offset) % kRxRingSize)];
}

// Takes `count` bytes into `to` and checks the trailing sum.
int TakeReply(TFlashWrRXCont& c, std::uint8_t* to, int count) {
  for (int i = 0; i < count; ++i) to[i] = c.RxByte();
  return BootSum(to, static_cast<std::size_t>(count - 1)) == to[count - 1] ? 1 : 0;
}

}  // namespace

int TFlashWrRXCont::WaitResponse(std::uint8_t expected, std::uint32_t timeoutMs) {
  StartWaitTimer();
  if (!PollRxCount(*this, timeoutMs, 1)) return 0;
  if (RxByte() == expected) return 1;
  // An error response: the command code with bit 7 set, then the error code.
  if (!PollRxCount(*this, timeoutMs, 1)) return 0;
  AddLog("エラーコード: " + Hex2(RxByte()), 0);
  return 0;
}

int TFlashWrRXCont::RecvInquiryReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length,
                                     std::uint8_t* buffer) {
  length = 0;
  StartWaitTimer();
  if (!PollRxCount(*this, timeoutMs, 2)) return 0;
  // An error response is not the reply code: no use waiting for more.
  if (PeekRx(*this, 0) != expected) return 0;
  const int needed = PeekRx(*this, 1) + 3;  // at most 258, what every buffer holds
  if (!PollRxCount(*this, timeoutMs, needed)) return 0;
  length = needed;
  return TakeReply(*this, buffer, needed);
}

int TFlashWrRXCont::RecvReadReply(std::uint8_t expected, std::uint32_t timeoutMs, int& length) {
  length = 0;
  StartWaitTimer();
  if (!PollRxCount(*this, timeoutMs, 5)) return 0;
  if (PeekRx(*this, 0) != expected) return 0;
  const std::uint8_t sizeBytes[4] = {PeekRx(*this, 1), PeekRx(*this, 2), PeekRx(*this, 3), PeekRx(*this, 4)};
  const std::uint32_t size = ReadBe32(sizeBytes);
  // The size comes from the line: a reply that would not fit ReplyBuf is
  // refused before a single byte is stored.
  if (size > static_cast<std::uint32_t>(kReplyBufSize - 6)) return 0;
  const int needed = static_cast<int>(size) + 6;
  if (!PollRxCount(*this, timeoutMs, needed)) return 0;
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
  if (!PollRxCount(*this, timeoutMs, 1)) return 0;
  status = RxByte();
  if (status != boot_reply::kLockStatusError) return 1;
  if (!PollRxCount(*this, timeoutMs, 1)) return 0;
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
