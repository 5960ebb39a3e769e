#include "platform/ticks.h"

#include <chrono>
#include <thread>

namespace kv9 {
namespace {
std::function<std::uint32_t()>& TestSource() {
  static std::function<std::uint32_t()> source;
  return source;
}
}  // namespace

std::uint32_t TickCount() {
  if (auto& source = TestSource()) return source();
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

void SetTickSourceForTest(std::function<std::uint32_t()> source) { TestSource() = std::move(source); }

}  // namespace kv9
