#include "boot/boot_frames.h"

#include <cmath>
#include <cstdio>

#include "boot/boot_protocol.h"
#include "wire/boot_sum.h"

namespace kv9 {

BootFrame BootDataFrame(std::uint8_t command, const std::uint8_t* data, std::size_t count) {
  BootFrame f;
  f.reserve(count + 3);
  f.push_back(command);
  f.push_back(static_cast<std::uint8_t>(count));
  f.insert(f.end(), data, data + count);
  f.push_back(BootSum(f.data(), f.size()));
  return f;
}

BootFrame ProgramFrame(std::uint32_t address, const std::uint8_t* data256) {
  BootFrame f;
  f.reserve(262);
  f.push_back(boot_cmd::kWrite256Bytes);
  const auto a = Be32Bytes(address);
  f.insert(f.end(), a.begin(), a.end());
  f.insert(f.end(), data256, data256 + 256);
  f.push_back(BootSum(f.data(), f.size()));
  return f;
}

BootFrame EndOfProgramFrame() {
  BootFrame f{boot_cmd::kWrite256Bytes, 0xFF, 0xFF, 0xFF, 0xFF};
  f.push_back(BootSum(f.data(), f.size()));
  return f;
}

std::array<std::uint8_t, 4> Be32Bytes(std::uint32_t v) {
  return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
          static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
}

std::uint32_t ReadBe32(const std::uint8_t* b) {
  return (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) | (std::uint32_t{b[2]} << 8) | b[3];
}

std::uint16_t ReadBe16(const std::uint8_t* b) {
  return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

std::uint16_t BitRateField(std::uint32_t bitsPerSecond) {
  return static_cast<std::uint16_t>(bitsPerSecond / 100);
}

std::uint16_t InputFreqField(float megahertz) {
  const double product = std::trunc(static_cast<double>(megahertz) * 100.0);
  if (!(product > 0)) return 0;  // negative or NaN: nothing sensible to send
  return static_cast<std::uint16_t>(static_cast<std::uint32_t>(std::fmin(product, 4294967295.0)));
}

std::string Hex2(std::uint8_t value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value);
  return text;
}

std::string Hex4(std::uint16_t value) {
  char text[5];
  std::snprintf(text, sizeof text, "%04X", value);
  return text;
}

std::string Hex8(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

}  // namespace kv9
