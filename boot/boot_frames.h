#pragma once
// Pure builders of the boot-mode frames the tool sends, and the number
// conversions they need. Multi-byte numbers are big-endian on the line.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv9 {

using BootFrame = std::vector<std::uint8_t>;

// command, size = count, data, BootSum.
BootFrame BootDataFrame(std::uint8_t command, const std::uint8_t* data, std::size_t count);
// 0x50, address, 256 data bytes, BootSum (262 bytes, no size byte).
BootFrame ProgramFrame(std::uint32_t address, const std::uint8_t* data256);
// 0x50, FF FF FF FF, BootSum: ends a programming sequence.
BootFrame EndOfProgramFrame();

std::array<std::uint8_t, 4> Be32Bytes(std::uint32_t value);
std::uint32_t ReadBe32(const std::uint8_t* bytes);
std::uint16_t ReadBe16(const std::uint8_t* bytes);

// BootBitRate / 100, truncated to 16 bits, as the new-bit-rate frame carries it.
std::uint16_t BitRateField(std::uint32_t bitsPerSecond);
// Input frequency x 100 truncated toward zero, to 16 bits. The product is
// formed in double precision so that a single-precision value just below
// x.yz (12.29 is 12.2899999...) is sent as xyz - 1, as the boot program has
// always been told (1228 for 12.29).
std::uint16_t InputFreqField(float megahertz);

// Upper-case hexadecimal with a fixed number of digits.
std::string Hex2(std::uint8_t value);
std::string Hex4(std::uint16_t value);
std::string Hex8(std::uint32_t value);

}  // namespace kv9
