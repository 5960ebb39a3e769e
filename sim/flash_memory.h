#pragma once
// One flash area of the microcontroller. Erasing sets bytes to 0xFF;
// programming writes a whole 256-byte unit and is refused unless every byte of
// that unit is erased, because flash cells can only be written once between
// erasures and the boot program programs in units, never in single bytes.
#include <cstdint>
#include <span>
#include <vector>

#include "cpu_profile.h"

namespace kv9::sim {

class FlashMemory {
 public:
  static constexpr std::uint32_t kProgramUnit = 256;

  explicit FlashMemory(AddressRange range);

  const AddressRange& Range() const { return range_; }
  bool Contains(std::uint32_t address, std::uint32_t count) const {
    return range_.Contains(address, count);
  }

  enum class ProgramResult { Ok, BadAddress, NotErased };
  // `data` is one program unit; `address` must be unit-aligned inside the area.
  ProgramResult Program(std::uint32_t address, std::span<const std::uint8_t> data);

  void Erase(const AddressRange& block);  // the block must lie inside the area
  bool IsBlank(const AddressRange& part) const;
  bool IsBlank() const { return IsBlank(range_); }

  std::span<const std::uint8_t> View(std::uint32_t address, std::uint32_t count) const;
  std::uint32_t ByteSum() const;  // 32-bit arithmetic sum of every byte
  // CRC-16/X-25 over [first, last], the way the resident loader checks itself.
  std::uint16_t Crc(std::uint32_t first, std::uint32_t last) const;

  // Places `bytes` so that they end at the last address of the area (a raw
  // image of the top of memory); extra leading bytes are ignored.
  void LoadTop(std::span<const std::uint8_t> bytes);
  void Fill(std::uint32_t address, std::span<const std::uint8_t> bytes);

  const std::vector<std::uint8_t>& Bytes() const { return bytes_; }

 private:
  std::size_t Offset(std::uint32_t address) const { return address - range_.first; }

  AddressRange range_;
  std::vector<std::uint8_t> bytes_;
};

}  // namespace kv9::sim
