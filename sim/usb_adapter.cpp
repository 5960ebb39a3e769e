#include "usb_adapter.h"

namespace kv9::sim {

void UsbAdapterFifo::Push(std::uint8_t byte, Clock::time_point at) { held_.push_back({byte, at}); }

std::vector<std::uint8_t> UsbAdapterFifo::TakeDue(Clock::time_point now) {
  std::vector<std::uint8_t> out;
  const bool timerRanOut = !held_.empty() && held_.front().at + latency_ <= now;
  // Full packets leave as they fill: the 62nd byte's arrival sends them.
  std::size_t count = held_.size() - held_.size() % kAdapterPacketBytes;
  if (timerRanOut) count = held_.size();
  out.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    out.push_back(held_.front().byte);
    held_.pop_front();
  }
  return out;
}

std::optional<Clock::time_point> UsbAdapterFifo::NextDue() const {
  if (held_.empty()) return std::nullopt;
  if (held_.size() >= kAdapterPacketBytes) return held_[kAdapterPacketBytes - 1].at;
  return held_.front().at + latency_;
}

}  // namespace kv9::sim
