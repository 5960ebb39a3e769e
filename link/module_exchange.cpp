#include "link/module_exchange.h"

#include "link/flash_wr_rx_cont.h"
#include "link/hex_trace.h"
#include "link/module_frame.h"

namespace kv9 {
namespace {

// Logs the title (a trace line) and the bare hex line with its own force
// (only while TxLog is set), then sends the frame with flush-first so the
// ring is empty when the reply begins.
void SendModuleFrame(TFlashWrRXCont& cont, const ModuleRequest& request) {
  const auto frame = BuildModuleFrame(request.code, request.data);
  if (cont.TxLog) {
    cont.AddLog(request.title, 0);
    cont.AddLog(HexTrace("", frame.data(), frame.size()), request.hexForce);
  }
  cont.SendBytes(frame.data(), static_cast<int>(frame.size()), 1);
}

// Judges the awaited bytes where they lie, so nothing of a spoilt reply is
// taken.
ReplyVerdict PeekReplyVerdict(const TFlashWrRXCont& cont, int length) {
  std::vector<std::uint8_t> reply(static_cast<std::size_t>(length));
  for (int i = 0; i < length; ++i) reply[static_cast<std::size_t>(i)] = cont.PeekRx(i);
  return CheckModuleReply(reply);
}

}  // namespace

int AwaitWholeReply(TFlashWrRXCont& cont, std::uint32_t timeoutMs, int length) {
  if (!cont.WaitRxCount(timeoutMs, length)) return 0;
  const ReplyVerdict verdict = PeekReplyVerdict(cont, length);
  if (verdict.Whole()) return 1;
  cont.AddLog(ReplyVerdictText(verdict), 0);
  return 0;
}

int ExchangeModuleFrame(TFlashWrRXCont& cont, const ModuleRequest& request) {
  SendModuleFrame(cont, request);
  return AwaitWholeReply(cont, request.timeoutMs, request.replyLength);
}

int TakeReplyStatus(TFlashWrRXCont& cont) {
  cont.RxByte();
  cont.RxByte();
  return cont.RxByte() == kStatusAccepted ? 1 : 0;
}

int ExchangeCheckedModuleFrame(TFlashWrRXCont& cont, const ModuleRequest& request) {
  if (!ExchangeModuleFrame(cont, request)) return 0;
  return TakeReplyStatus(cont);
}

}  // namespace kv9
