#pragma once
// What sets the three microcontrollers apart in boot mode, in one table:
// every RX231/RX630/RX63T difference of the tool reads from here, so adding
// a CPU is one row.
#include <array>
#include <cstdint>

namespace kv9 {

// How the user area is erased.
enum class EraseScheme {
  NumberedBlocks,  // block numbers 0 (4 in user-boot mode) to 29, then 0xFF
  BlockAddresses,  // 2 KB blocks by address, downwards from the top, then RomEnd
};

struct CpuProfile {
  std::int32_t code;               // the settings' CpuCode
  const char* name;                // as the settings dialog and kv9flash name it
  std::array<char, 4> deviceCode;  // sent by the device selection
  std::uint8_t deviceSelectAck;    // what acknowledges the device selection
  std::uint8_t transitionAck;      // erase-status "no ID code" and ID check success
  bool selectsClockMode;           // asks for its clock modes and selects the first
  // The UART runs from the internal oscillator: no input frequency is sent
  // and the multiplication ratios are fixed (and shown as such).
  bool internalClock;
  std::uint8_t fixedMultiplier1;
  std::uint8_t fixedMultiplier2;
  EraseScheme erase;
};

constexpr std::int32_t kCpuRx231 = 5;
constexpr std::int32_t kCpuRx630 = 6;
constexpr std::int32_t kCpuRx63T = 7;

// The rows, in the settings dialog's list order (RX630, RX63T, RX231).
const std::array<CpuProfile, 3>& CpuProfiles();

// The row of a CpuCode; codes without a row of their own are an RX231, the
// tool's default.
const CpuProfile& CpuProfileFor(std::int32_t cpuCode);

// The device code of a CpuCode, as the device selection sends it.
inline std::array<char, 4> DeviceCodeFor(std::int32_t cpuCode) { return CpuProfileFor(cpuCode).deviceCode; }

// The row named `name` (exact, upper case), or nullptr.
const CpuProfile* CpuProfileNamed(const char* name);

}  // namespace kv9
