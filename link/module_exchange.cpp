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

}  // namespace

int ExchangeModuleFrame(TFlashWrRXCont& cont, const ModuleRequest& request) {
  SendModuleFrame(cont, request);
  return cont.WaitRxCount(request.timeoutMs, request.replyLength);
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
