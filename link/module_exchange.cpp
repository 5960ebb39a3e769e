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

// The offset of the first byte after a reply's LEN byte.
constexpr int kReplyDataOffset = 4;

// A whole reply that accepted the request but repeats something else than
// its echo. A refusal carries no data to judge.
bool EchoDiffers(TFlashWrRXCont& cont, const ModuleRequest& request) {
  if (static_cast<int>(request.echo.size()) + kReplyDataOffset > request.replyLength) return false;
  if (cont.PeekRx(2) != kStatusAccepted) return false;
  for (std::size_t i = 0; i < request.echo.size(); ++i) {
    if (cont.PeekRx(kReplyDataOffset + static_cast<int>(i)) == request.echo[i]) continue;
    cont.AddLog("Reply rejected: it answers another request (byte " + std::to_string(kReplyDataOffset + i) + ")", 0);
    return true;
  }
  return false;
}

enum class Awaited { Whole, Spoilt, None };

Awaited AwaitReply(TFlashWrRXCont& cont, std::uint32_t timeoutMs, int length) {
  if (!cont.WaitRxCount(timeoutMs, length)) return Awaited::None;
  const ReplyVerdict verdict = PeekReplyVerdict(cont, length);
  if (verdict.Whole()) return Awaited::Whole;
  cont.AddLog(ReplyVerdictText(verdict), 0);
  return Awaited::Spoilt;
}

}  // namespace

int AwaitWholeReply(TFlashWrRXCont& cont, std::uint32_t timeoutMs, int length) {
  return AwaitReply(cont, timeoutMs, length) == Awaited::Whole ? 1 : 0;
}

int ExchangeModuleFrame(TFlashWrRXCont& cont, const ModuleRequest& request) {
  for (int attempt = 1;; ++attempt) {
    SendModuleFrame(cont, request);
    Awaited got = AwaitReply(cont, request.timeoutMs, request.replyLength);
    if (got == Awaited::Whole && EchoDiffers(cont, request)) got = Awaited::Spoilt;
    if (got == Awaited::Whole) return 1;
    if (got == Awaited::None || attempt >= request.attempts || cont.Stopped()) return 0;
    cont.AddLog("Asked again (" + std::to_string(attempt + 1) + " of " + std::to_string(request.attempts) +
                    "): " + request.title,
                0);
  }
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
