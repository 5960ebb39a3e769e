// The controller's reply handling: the module's command replies and the
// boot program's acknowledgements, data replies, memory-read replies and
// lock-bit status, arriving in pieces of any size while the reply wait runs.
//
// The port's event thread is replaced by a message pump that hands one piece
// to the receive ring per wait round, and the tick counter by one that the
// pump advances, so a reply that never completes times out at once instead
// of after a second. Invariant: a command never takes more bytes from the
// ring than arrived (the ring starts empty at each command and, with inputs
// under its size, never wraps); caller buffers are heap blocks of exactly
// the size the callers use, so AddressSanitizer stops any write past them.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "boot/boot_protocol.h"
#include "fuzz/fuzz_check.h"
#include "link/flash_wr_rx_cont.h"
#include "platform/message_pump.h"
#include "platform/ticks.h"

namespace {

std::uint32_t g_now = 0;

// The bytes still to arrive, as pieces.
struct Pieces {
  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::size_t at = 0;
};

class FeedPump : public kv9::MessagePump {
 public:
  kv9::TFlashWrRXCont* cont = nullptr;
  Pieces pieces;
  std::size_t delivered = 0;

  void ProcessMessages() override {}
  // One piece per wait round: its first byte is its length (0..31), a
  // round without bytes is a pause on the line.
  void WaitMessages(std::uint32_t ms) override {
    g_now += ms;
    if (pieces.at >= pieces.size) return;
    const std::size_t n = std::min<std::size_t>(pieces.data[pieces.at] % 32, pieces.size - pieces.at - 1);
    const std::uint8_t* bytes = pieces.data + pieces.at + 1;
    pieces.at += n + 1;
    // The batch as the received-bytes handler stores it (inputs are far
    // smaller than the ring, so nothing is dropped).
    cont->StoreReceived(bytes, static_cast<int>(n));
    delivered += n;
  }
};

kv9::TFlashWrRXCont& Controller() {
  static kv9::TFlashWrRXCont cont(nullptr, nullptr, kv9::TProgSettings{});
  return cont;
}

template <std::size_t N>
std::unique_ptr<std::uint8_t[]> Block() {
  return std::unique_ptr<std::uint8_t[]>(new std::uint8_t[N]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Far less than the ring holds, so it never wraps within one input.
  // Command, log switches, a parameter, then the pieces.
  if (size < 3 || size > 4096) return 0;
  static FeedPump pump;
  static bool installed = [] {
    kv9::SetPump(&pump);
    kv9::SetTickSourceForTest([] { return g_now; });
    return true;
  }();
  (void)installed;
  kv9::TFlashWrRXCont& c = Controller();
  pump.cont = &c;
  pump.pieces = Pieces{data + 3, size - 3, 0};
  pump.delivered = 0;
  c.RxFlush();
  c.DebugLog = data[1] & 1;
  c.TxLog = (data[1] >> 1) & 1;
  c.RxLog = (data[1] >> 2) & 1;
  const std::uint8_t param = data[2];

  int length = 0;
  std::uint8_t status = 0;
  switch (data[0] % 12) {
    case 0: c.DousaModeSet(0, 0, 0, 0, 8); break;
    case 1: c.TxOnOffCmd(param & 1); break;
    case 2:
      if (c.ReadRomVersion(1)) KV9_FUZZ_REQUIRE(c.RomVersion[9] == 0);
      break;
    case 3:
      if (c.ReadModelName(1)) KV9_FUZZ_REQUIRE(c.ModelName[9] == 0);
      break;
    case 4: {  // the power query, as the factory-setting procedure sends it
      auto reply = Block<12>();
      const std::uint8_t query[] = {0x84, 0x00};
      length = 15;
      if (c.PassThroughCmd(0x4F, 2, reply.get(), length, query)) KV9_FUZZ_REQUIRE(length == 12);
      break;
    }
    case 5: {
      // The word count is the parameter; the destination holds exactly that.
      std::unique_ptr<std::uint8_t[]> image(new std::uint8_t[2 * param]);
      c.EepromRead(254, 1, param, image.get());
      break;
    }
    case 6: c.SetProgMode(); break;
    case 7: c.SendCmdByte(kv9::boot_cmd::kUserAreaBlankCheck, kv9::boot_reply::kAck); break;
    case 8: {
      auto buffer = Block<kv9::kInquiryBufSize>();
      const std::uint8_t command = static_cast<std::uint8_t>(kv9::boot_cmd::kSupportDevice + param % 12);
      if (c.Inquire(command, kv9::InquiryReplyCode(command), buffer.get(), length)) {
        KV9_FUZZ_REQUIRE(length >= 3 && length <= kv9::kInquiryBufSize);
      }
      break;
    }
    case 9:
      if (c.MemRead(1, 0xFFFC0000, param & 1, length, 256)) {
        KV9_FUZZ_REQUIRE(length >= 6 && length <= kv9::kReplyBufSize);
      }
      break;
    case 10: c.ReadLockBitStatus(0xFFFC0000, status); break;
    case 11: c.LoaderCrcCheck(); break;
  }
  // Everything taken had arrived: taking more would move the read index
  // past the write index, and the unread count would wrap to near the
  // ring's size.
  KV9_FUZZ_REQUIRE(static_cast<std::size_t>(c.RxCount()) <= pump.delivered);
  return 0;
}
