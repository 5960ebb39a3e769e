#pragma once
// Checksum of the microcontroller's boot-mode frames: the two's complement of
// the byte sum, so that every byte of a frame including the sum adds up to 0
// modulo 256. The same rule checks replies (sum over all bytes but the last
// equals the last). Shared by the tool and the simulated module.
#include <cstddef>
#include <cstdint>

namespace kv9 {

// Pure; safe from any thread. Returns the sum byte for the first `count` bytes.
std::uint8_t BootSum(const std::uint8_t* bytes, std::size_t count);

}  // namespace kv9
