#include "link/flash_wr_rx_cont.h"

#include <algorithm>
#include <vector>

#include "link/hex_trace.h"
#include "platform/deadline.h"
#include "platform/ticks.h"

namespace kv9 {
namespace {

// One start tick for the whole program: a wait started from a message
// handled during another wait restarts the tick the first one measures from.
std::uint32_t g_waitStartTick = 0;

}  // namespace

TFlashWrRXCont::TFlashWrRXCont(LinkUi* owner, LogPane* logMemo, const TProgSettings& settings)
    : LogMemo(logMemo), Settings(settings), owner_(owner) {
  SetImageArea(Settings.CpuCode, Settings.RomSizeIndex);
  ModuleSupported = 0;
  ReWriteMode = 0;
  DebugLog = 0;
  TxLog = 1;
  RxLog = 1;
  InitImageBuffer();
  if (Settings.PortNumber == 0) Settings.PortNumber = 1;

  CommX1.SetPort("COM" + std::to_string(Settings.PortNumber));
  CommX1.SetBaudRate(StrToBaudRate(std::to_string(Settings.BitRate)));
  CommX1.Parity().SetBits(
      static_cast<TParityBits>(static_cast<std::uint8_t>(Settings.ParityCode) % 5));
  CommX1.FlowControl().SetFlowControl(Settings.FlowMode == 1   ? fcHardware
                                      : Settings.FlowMode == 2 ? fcSoftware
                                                               : fcNone);
  CommX1.OnRxChar = [this](TCustomComPort& sender, int count) { CommX1RxChar(sender, count); };
  CommX1.OnError = [this](TCustomComPort& sender, TComErrors errors) {
    CommX1Error(sender, errors);
  };
}

TFlashWrRXCont::~TFlashWrRXCont() { ClosePort(); }

void TFlashWrRXCont::AddLog(const std::string& text, int force) {
  AppendLogLine(LogMemo, DebugLog != 0, text, force);
}

int TFlashWrRXCont::SendBytes(const std::uint8_t* bytes, int count, int flushFirst) {
  if (flushFirst) RxFlush();
  if (!CommX1.Connected()) return 0;
  if (!stopsHeld_ && (stopped_ || (owner_ && owner_->StopRequested()))) {
    stopped_ = true;
    return 0;
  }
  const int written = CommX1.Write(bytes, count);
  // Where the driver cannot tell when the bytes have left (a pty, most USB
  // adapters) the write returns while the frame is still on its way; the
  // reply wait that follows counts from when it will have left.
  const std::uint32_t rate = CommX1.EffectiveBaudRate();
  if (rate > 0 && written > 0) {
    replyWaitOffsetMs_ = static_cast<std::uint32_t>(
        (std::uint64_t{static_cast<std::uint32_t>(written)} * 10000 + rate - 1) / rate);
  }
  if (TxLog) AddLog(HexTrace("TX: ", bytes, static_cast<std::size_t>(std::max(count, 0))), 0);
  return written;
}

int TFlashWrRXCont::RxCount() const {
  if (RxWritePos > RxReadPos) return RxWritePos - RxReadPos;
  if (RxWritePos < RxReadPos) return RxWritePos - RxReadPos + kRxRingSize;
  return 0;
}

std::uint8_t TFlashWrRXCont::PeekRx(int offset) const {
  return RxBuffer[static_cast<std::size_t>((RxReadPos + offset) % kRxRingSize)];
}

std::uint8_t TFlashWrRXCont::RxByte() {
  const std::uint8_t b = RxBuffer[static_cast<std::size_t>(RxReadPos)];
  if (++RxReadPos >= kRxRingSize) RxReadPos = 0;
  return b;
}

void TFlashWrRXCont::RxFlush() {
  RxWritePos = 0;
  RxReadPos = 0;
}

void TFlashWrRXCont::CommX1RxChar(TCustomComPort& sender, int count) {
  if (count <= 0) return;
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count));
  const int got = sender.Read(bytes.data(), count);
  StoreReceived(bytes.data(), got);
}

void TFlashWrRXCont::StoreReceived(const std::uint8_t* bytes, int count) {
  if (count <= 0) return;
  // The ring keeps at most 16383 unread bytes. Bytes beyond that are dropped
  // rather than written over unread ones, which would corrupt a reply.
  const int room = kRxRingSize - 1 - RxCount();
  const int kept = std::min(count, room);
  for (int i = 0; i < kept; ++i) {
    RxBuffer[static_cast<std::size_t>(RxWritePos)] = bytes[i];
    if (++RxWritePos >= kRxRingSize) RxWritePos = 0;
  }
  if (RxLog) AddLog(HexTrace("RX: ", bytes, static_cast<std::size_t>(count)), 0);
  if (kept < count) AddLog("RX: overrun, " + std::to_string(count - kept) + " bytes dropped", 0);
}

void TFlashWrRXCont::CommX1Error(TCustomComPort&, TComErrors errors) {
  if (DebugLog) AddLog(ComErrorsToStr(errors), 0);
}

void TFlashWrRXCont::StartWaitTimer() {
  g_waitStartTick = TickCount() + replyWaitOffsetMs_;
  replyWaitOffsetMs_ = 0;
}

int TFlashWrRXCont::WaitTimerExpired(std::uint32_t ms) {
  return TicksPassed(g_waitStartTick, ms) ? 1 : 0;
}

int TFlashWrRXCont::WaitRxCount(std::uint32_t timeoutMs, int count) {
  if (stopped_) return RxCount() >= count ? 1 : 0;
  StartWaitTimer();
  return PollRxCount(timeoutMs, count);
}

int TFlashWrRXCont::PollRxCount(std::uint32_t timeoutMs, int count) {
  // A held-back frame gets no reply: no use waiting for one.
  if (stopped_) return RxCount() >= count ? 1 : 0;
  return PollMessagesUntil([&] { return RxCount() >= count; },
                           [&] { return WaitTimerExpired(timeoutMs) != 0; },
                           [] { g_waitStartTick = TickCount(); });
}

int TFlashWrRXCont::OpenPort(std::uint8_t port) {
  LastOpenReason.clear();
  LastOpenFailure = PortOpenFailure::Other;
  ClosePort();
  RxWritePos = 0;
  RxReadPos = 0;
  portNumber_ = port;
  try {
    CommX1.SetPort("COM" + std::to_string(port));
    CommX1.Open();
    CommX1.SetRTS(true);
    CommX1.SetDTR(true);
  } catch (const EComPort& e) {
    LastOpenFailure = ClassifyPortOpenError(e.WinCode);
    LastOpenReason = PortOpenReason(CommX1.Port(), e.WinCode, e.Holder, e.what());
    if (owner_ && !QuietOpen) {
      std::string text = CommX1.Port() + "がオープン出来ません!!" + "\n\n" +
                         "  ポートを及びパラメータ設定を再確認してください。";
      // A port taken by another program or closed to this user is not a
      // setting to check: say which.
      if (LastOpenFailure == PortOpenFailure::InUse ||
          LastOpenFailure == PortOpenFailure::NoPermission) {
        text += "\n\n" + LastOpenReason;
      }
      owner_->ShowMessage(text);
    }
    return 0;
  }
  NoteAdapterLatency();
  return CommX1.Connected() ? 1 : 0;
}

int TFlashWrRXCont::ReopenAtRate(std::uint8_t port, TBaudRate rate, std::uint32_t customRate) {
  ClosePort();
  CommX1.SetBaudRate(rate);
  if (rate == brCustom) CommX1.SetCustomBaudRate(customRate);
  const int opened = OpenPort(port);
  RxFlush();
  return opened;
}

int TFlashWrRXCont::ReopenAtRate(std::uint32_t bitRate) {
  return ReopenAtRate(portNumber_, brCustom, bitRate);
}

void TFlashWrRXCont::ClosePort() {
  if (!CommX1.Connected()) return;
  try {
    CommX1.Close();
  } catch (...) {
    // Errors while closing change nothing the caller could act on.
  }
}

}  // namespace kv9
