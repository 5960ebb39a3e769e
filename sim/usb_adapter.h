#pragma once
// The tool's end of the line as a USB serial adapter delivers it (an FTDI
// chip): the bytes the module sends are held in the adapter until a full
// USB packet of 62 is waiting or the adapter's latency timer has run since
// the first of them (16 ms by default, 1 ms in the driver's low-latency
// mode). Every short reply therefore reaches the tool up to one timer
// later. The holding is pure: the module's loop pushes the bytes as they
// leave its line and writes to the pty what TakeDue hands over.
#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include "module_context.h"

namespace kv9::sim {

constexpr std::size_t kAdapterPacketBytes = 62;

class UsbAdapterFifo {
 public:
  // A latency of zero is no adapter: bytes pass at once.
  explicit UsbAdapterFifo(std::chrono::milliseconds latency = std::chrono::milliseconds(0)) : latency_(latency) {}

  void SetLatency(std::chrono::milliseconds latency) { latency_ = latency; }
  std::chrono::milliseconds Latency() const { return latency_; }

  // A byte that reached the adapter at `at`.
  void Push(std::uint8_t byte, Clock::time_point at);
  // What the adapter hands over by `now`: each full packet as soon as it is
  // full, and everything held once the first held byte waited the latency.
  std::vector<std::uint8_t> TakeDue(Clock::time_point now);
  // When TakeDue next has bytes (none while nothing is held).
  std::optional<Clock::time_point> NextDue() const;
  bool Empty() const { return held_.empty(); }
  void Clear() { held_.clear(); }

 private:
  struct Held {
    std::uint8_t byte;
    Clock::time_point at;
  };
  std::chrono::milliseconds latency_;
  std::deque<Held> held_;
};

}  // namespace kv9::sim
