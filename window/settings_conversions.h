#pragma once
// How the settings dialog's controls map onto the settings it edits. The
// numeric edits accept any number, so every conversion here is defined for
// every input the edits can hold. Pure.
#include <cstdint>

namespace kv9 {

// The microcontroller list of the settings dialog: "RX630", "RX63T", "RX231".
constexpr int kCpuEntryCount = 3;  // the rows of the CPU table

// The CpuCode an entry stands for: 0 is 6 (RX630), 1 is 7 (RX63T), any
// other index, also -1 for none, is 5 (RX231).
std::int32_t CpuCodeOfEntry(int entry);
// The entry that shows a CpuCode: 6 is 0, 7 is 1, anything else 2 (RX231).
int CpuEntryOfCode(std::int32_t cpuCode);

// An entered number as an integer setting: truncated toward zero. Numbers
// beyond the 32-bit range keep the nearest end of it and NaN gives 0, so a
// wild entry can never make the conversion undefined.
std::int32_t TruncToInt32(double value);
// A clock multiplier: the low 8 bits of the truncated number (258 gives 2,
// -1 gives 255).
std::uint8_t MultiplierOf(double value);

}  // namespace kv9
