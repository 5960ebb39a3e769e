#pragma once
// Writes what reached the module, at exit, so tests and people can check it:
//   flash.bin           user area, from summary.flash.first to 0xFFFFFFFF
//   userboot.bin        user boot area
//   eeprom_factory.bin  factory image, 124 bytes
//   eeprom_all.bin      all-data image, 124 bytes
//   summary.json        state, rates seen, command counts, block counters
#include <filesystem>
#include <string>

#include "sim_module.h"

namespace kv9::sim {

// Throws std::runtime_error when a file cannot be written.
void WriteDump(const std::filesystem::path& dir, const SimSnapshot& snapshot);
std::string SummaryJson(const SimSnapshot& snapshot);

}  // namespace kv9::sim
