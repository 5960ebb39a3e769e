#pragma once
// Pure helpers of the flash steps.
#include <cstdint>

namespace kv9 {

// True at the first byte that is not 0xFF: erased flash need not be programmed.
bool BlockHasData(const std::uint8_t* bytes, int count);

// Integer percentage of done out of total, truncated; 0 when total is 0.
int GaugePercent(std::uint32_t done, std::uint32_t total);

// 256-byte blocks of the image area RomStart..RomEnd; in user-boot mode the
// top 16 KB (user boot program) are left out.
std::uint32_t ProgramBlockCount(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode);

// 2048-byte erase blocks of an RX231 and the first one erased: counted down
// from just below RomEnd, 8 fewer (from 0xFFFFB800) in user-boot mode.
struct AddressEraseRange {
  std::uint32_t count;
  std::uint32_t first;
};
AddressEraseRange Rx231EraseRange(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode);

}  // namespace kv9
