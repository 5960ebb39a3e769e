#pragma once
// What differs between the three microcontrollers the module may carry: the
// boot program's device code and acknowledgement bytes, the flash layout with
// its erase blocks, and the clock facts the boot program reports and checks.
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim_options.h"

namespace kv9::sim {

struct AddressRange {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  std::uint32_t Size() const { return last - first + 1; }
  bool Contains(std::uint32_t a) const { return a >= first && a <= last; }
  bool Contains(std::uint32_t a, std::uint32_t count) const {
    return count > 0 && Contains(a) && count - 1 <= last - a;
  }
};

struct ClockType {
  std::vector<std::uint8_t> multipliers;  // allowed multiplication ratios
  std::uint16_t minMHz100 = 0;            // operating frequency range, unit 0.01 MHz
  std::uint16_t maxMHz100 = 0;
};

struct CpuProfile {
  Cpu cpu;
  const char* productName;
  std::array<std::uint8_t, 4> deviceCode;
  std::uint8_t deviceSelectAck;   // 0x46 on RX231, else 0x06
  std::uint8_t transitionAck;     // plain answer to the state transition (and ID check)
  bool hasClockModeStep;          // RX231 has none
  std::vector<std::uint8_t> clockModes;
  std::vector<ClockType> clockTypes;  // [0] system clock, [1] peripheral clock
  std::uint16_t minInputMHz100;
  std::uint16_t maxInputMHz100;
  std::optional<std::uint32_t> internalPeripheralHz;  // input frequency 0 allowed when set
  AddressRange userArea;
  AddressRange userBootArea;
  AddressRange dataArea;
  bool eraseByAddress;  // RX231: 2048-byte blocks named by start address
  std::vector<AddressRange> eraseBlocks;  // block n is eraseBlocks[n]
  // RX231: the boot program runs from the fixed internal clock, so the new
  // bit rate command's input frequency and multipliers are dummies; only the
  // rate is checked, against internalPeripheralHz.
  bool clockFieldsIgnored = false;
  // RX231: the size of the uniform erase blocks of the user and the data
  // area, as the erase-block inquiry reports them (0 for the listed parts).
  std::uint32_t eraseBlockSize = 0;
  std::uint32_t dataEraseBlockSize = 0;

  // Index of the erase block that holds `address`, if any.
  std::optional<std::size_t> BlockOf(std::uint32_t address) const;
};

const CpuProfile& ProfileFor(Cpu cpu);

}  // namespace kv9::sim
