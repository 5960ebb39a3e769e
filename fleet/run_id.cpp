#include "fleet/run_id.h"

#include <chrono>
#include <random>

namespace kv9::fleet {

std::string RunIdFromBytes(std::array<std::uint8_t, 16> b) {
  b[6] = static_cast<std::uint8_t>((b[6] & 0x0F) | 0x40);
  b[8] = static_cast<std::uint8_t>((b[8] & 0x3F) | 0x80);
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = 0; i < b.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    text += kDigits[b[i] >> 4];
    text += kDigits[b[i] & 15];
  }
  return text;
}

std::string NewRunId() {
  std::random_device device;
  // The clock mixed in keeps two ids apart even where the random source
  // were a fixed sequence.
  std::seed_seq seed{device(), device(), device(), device(),
                     static_cast<unsigned>(std::chrono::system_clock::now().time_since_epoch().count()),
                     static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
  std::mt19937 mix(seed);
  std::array<std::uint8_t, 16> bytes{};
  for (auto& b : bytes) b = static_cast<std::uint8_t>(mix() >> 24);
  return RunIdFromBytes(bytes);
}

}  // namespace kv9::fleet
