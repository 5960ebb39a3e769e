#include "serial/output_drain.h"

#include <algorithm>

namespace kv9 {
namespace {

std::uint32_t SliceFor(int bytes, std::uint32_t rate) {
  const std::uint64_t bits = 10ull * static_cast<std::uint64_t>(std::max(bytes, 1));
  const std::uint64_t ms = rate > 0 ? bits * 1000 / rate : 1;
  return static_cast<std::uint32_t>(std::clamp<std::uint64_t>(ms, 1, 50));
}

}  // namespace

int WaitUntilSent(const DriverOutput& out, std::uint32_t rate, std::uint64_t deadlineMs) {
  for (;;) {
    const int queued = out.queued ? out.queued() : -1;
    int pending = queued;
    if (queued <= 0) {
      // The queue is empty (or unknown): only the transmitter may still hold bytes.
      if (!out.shifting || out.shifting() != 1) return 0;
      pending = 1;
    }
    const std::uint64_t now = out.nowMs();
    if (now >= deadlineMs) return queued > 0 ? queued : 0;
    const auto left = static_cast<std::uint32_t>(std::min<std::uint64_t>(deadlineMs - now, 50));
    out.sleepMs(std::min(SliceFor(pending, rate), left));
  }
}

}  // namespace kv9
