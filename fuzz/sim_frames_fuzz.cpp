// The simulated module's frame parsers (normal firmware frames, the boot
// program's commands and the loader's), fed what a tool might send, in
// pieces, with pauses and noise between them. Invariants: every reply of
// the normal firmware is a whole frame (STX, 00, status, LEN, data, ETX,
// sum, CR) with a right sum, since no fault is injected; nothing is sent
// empty or at rate 0; no more blocks are programmed than were received.
#include <chrono>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_check.h"
#include "wire/frame_sum.h"
#include "sim/module_core.h"

namespace {

using kv9::sim::Personality;

void CheckFirmwareReply(const std::vector<std::uint8_t>& f) {
  KV9_FUZZ_REQUIRE(f.size() >= 7);
  KV9_FUZZ_REQUIRE(f[0] == 0x02 && f[1] == 0x00);
  KV9_FUZZ_REQUIRE(f.size() == static_cast<std::size_t>(f[3]) + 7);
  KV9_FUZZ_REQUIRE(f[f.size() - 3] == 0x03 && f[f.size() - 1] == 0x0D);
  KV9_FUZZ_REQUIRE(kv9::FrameSum(f.data(), f.size() - 2) == f[f.size() - 2]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1 || size > 8192) return 0;
  // First byte: microcontroller, start personality and ID code protection.
  kv9::sim::SimOptions options;
  options.cpu = static_cast<kv9::sim::Cpu>(data[0] % 3);
  options.startIn = (data[0] & 0x04) ? kv9::sim::StartIn::Boot : kv9::sim::StartIn::Firmware;
  options.idProtect = static_cast<kv9::sim::IdProtect>((data[0] >> 3) % 3);
  kv9::sim::ModuleCore core(options);
  auto now = kv9::sim::Clock::time_point{} + std::chrono::hours(1);

  // Then pieces: a header byte (low six bits: length; high two: what
  // follows: 1 ms, 50 ms, 700 ms, or the bytes are noise), then the bytes.
  std::size_t at = 1;
  while (at < size) {
    const std::uint8_t header = data[at++];
    const std::size_t n = std::min<std::size_t>(header & 0x3F, size - at);
    const std::span<const std::uint8_t> piece(data + at, n);
    at += n;
    const unsigned kind = header >> 6;
    const Personality before = core.Current();
    const std::size_t sentBefore = core.Context().out.size();
    // The tool sends at the rate the module listens at (19200 while it
    // restarts, when nothing listens); noise is bytes at another rate.
    const std::uint32_t rate = core.ListenRate() ? core.ListenRate() : 19200;
    if (kind == 3 || !core.Hears(rate)) {
      core.Noise(n, kind == 3 ? 1200 : rate);
    } else {
      core.Receive(piece, rate, now);
    }
    const auto& out = core.Context().out;
    for (std::size_t i = sentBefore; i < out.size(); ++i) {
      KV9_FUZZ_REQUIRE(!out[i].bytes.empty());
      KV9_FUZZ_REQUIRE(out[i].rate != 0);
      if (before == Personality::Firmware) CheckFirmwareReply(out[i].bytes);
    }
    core.Context().out.clear();
    now += std::chrono::milliseconds(kind == 0 ? 1 : kind == 1 ? 50 : kind == 2 ? 700 : 1);
    core.Tick(now);
    KV9_FUZZ_REQUIRE(core.Context().blocksProgrammed <= core.Context().blocksReceived);
  }
  return 0;
}
