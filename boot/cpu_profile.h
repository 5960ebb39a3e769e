#pragma once
// What sets the three microcontrollers apart in boot mode, in one table:
// every RX231/RX630/RX63T difference of the tool reads from here, so adding
// a CPU is one row.
#include <array>
#include <cstdint>
#include <string>

namespace kv9 {

// How the user area is erased.
enum class EraseScheme {
  NumberedBlocks,  // block numbers from 0 (the top block) to the last, then 0xFF
  BlockAddresses,  // equal blocks by address, downwards from the top, then RomEnd
};

// The erase blocks of the user area.
struct EraseGeometry {
  EraseScheme scheme;
  // The blocks at the top of the area that hold the user boot program (its
  // 16 KB): left alone in user-boot mode.
  std::uint8_t userBootBlocks;
  // NumberedBlocks: the number of the lowest block.
  std::uint8_t lastBlock;
  // BlockAddresses: the size of every block and the address of the top one.
  std::uint32_t blockSize;
  std::uint32_t topBlock;
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
  EraseGeometry erase;
};

constexpr std::int32_t kCpuRx231 = 5;
constexpr std::int32_t kCpuRx630 = 6;
constexpr std::int32_t kCpuRx63T = 7;
// The tool's CPU unless another is chosen, and what a code without a row of
// its own stands for.
constexpr std::int32_t kDefaultCpuCode = kCpuRx231;

// The rows, in the settings dialog's list order (RX630, RX63T, RX231).
const std::array<CpuProfile, 3>& CpuProfiles();

// The row of a CpuCode; codes without a row of their own get the default's.
const CpuProfile& CpuProfileFor(std::int32_t cpuCode);

// The device code of a CpuCode, as the device selection sends it.
inline std::array<char, 4> DeviceCodeFor(std::int32_t cpuCode) { return CpuProfileFor(cpuCode).deviceCode; }

// The row named `name` (exact, upper case), or nullptr.
const CpuProfile* CpuProfileNamed(const char* name);

// Every CPU name, the default's first and then the table's order, joined by
// `separator` and by `last` before the final one ("RX231, RX630 or RX63T").
std::string CpuNameList(const std::string& separator, const std::string& last);

}  // namespace kv9
