#pragma once
// Pure helpers of the flash steps.
#include <cstdint>

#include "boot/cpu_profile.h"

namespace kv9 {

// True at the first byte that is not 0xFF: erased flash need not be programmed.
bool BlockHasData(const std::uint8_t* bytes, int count);

// Integer percentage of done out of total, truncated; 0 when total is 0.
int GaugePercent(std::uint32_t done, std::uint32_t total);

// 256-byte blocks of the image area RomStart..RomEnd; in user-boot mode the
// top 16 KB (user boot program) are left out.
std::uint32_t ProgramBlockCount(std::uint32_t romStart, std::uint32_t romEnd, int userBootMode);

// The bytes an update in user-boot mode programs from `image` (its first
// byte at romStart): the 256-byte blocks below the user boot program that
// hold anything but 0xFF. Pure.
std::uint32_t ProgrammedBytes(const std::uint8_t* image, std::size_t size, std::uint32_t romStart,
                              std::uint32_t romEnd);

// The erase blocks of RomStart..RomEnd for a CPU that erases by address,
// and the first one erased: counted down from its top block, without the
// user boot program's blocks in user-boot mode.
struct AddressEraseRange {
  std::uint32_t count;
  std::uint32_t first;
};
AddressEraseRange EraseAddressRange(const EraseGeometry& erase, std::uint32_t romStart,
                                    std::uint32_t romEnd, int userBootMode);

}  // namespace kv9
