#pragma once
// Checksum of the module's own command and reply frames: the low 8 bits of
// the arithmetic sum of every byte from STX through ETX inclusive. The tool
// builds its frames with it and the simulated module checks and answers with
// it, so both sides share one definition.
#include <cstddef>
#include <cstdint>

namespace kv9 {

// Pure; safe from any thread. `bytes` starts at STX; `count` covers STX..ETX
// (LEN + 5 bytes for a frame with LEN data bytes).
std::uint8_t FrameSum(const std::uint8_t* bytes, std::size_t count);

}  // namespace kv9
